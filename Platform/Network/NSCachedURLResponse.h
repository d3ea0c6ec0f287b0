// NSCachedURLResponse: a response with its body, as offered to a cache.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Network/NSURLResponse.h>

enum NSURLCacheStoragePolicy : NSUInteger {
    NSURLCacheStorageAllowed = 0,
    NSURLCacheStorageAllowedInMemoryOnly = 1,
    NSURLCacheStorageNotAllowed = 2,
};

class NSCachedURLResponse : public NSObject {
    NS_OBJECT(NSCachedURLResponse, NSObject)
public:
    NSCachedURLResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                        const Ref<NSDictionary>& userInfo = nullptr,
                        NSURLCacheStoragePolicy storagePolicy = NSURLCacheStorageAllowed)
        : response_(response), data_(data), userInfo_(userInfo), storagePolicy_(storagePolicy) {}

    const Ref<NSURLResponse>& response() const noexcept { return response_; }
    const Ref<NSData>& data() const noexcept { return data_; }
    const Ref<NSDictionary>& userInfo() const noexcept { return userInfo_; }
    NSURLCacheStoragePolicy storagePolicy() const noexcept { return storagePolicy_; }

private:
    Ref<NSURLResponse> response_;
    Ref<NSData> data_;
    Ref<NSDictionary> userInfo_;
    NSURLCacheStoragePolicy storagePolicy_;
};
