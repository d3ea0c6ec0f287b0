// Image views and buttons that load their images from a URL through a shared image cache, and the
// cache itself.
#pragma once

#include <Networking/HCHTTPRequestOperation.h>
#include <Networking/HCImageResponseSerializer.h>

#include <Foundation/NSOperationQueue.h>
#include <Network/NSCache.h>
#include <Network/NSURLRequest.h>
#include <Network/NSURLResponse.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImageView.h>

// `@protocol HCImageCache`: images by request.
class HCImageCacheProtocol {
public:
    virtual ~HCImageCacheProtocol() = default;
    virtual Ref<UIImage> cachedImageForRequest(const Ref<NSURLRequest>& request) = 0;
    virtual void cacheImageForRequest(const Ref<UIImage>& image, const Ref<NSURLRequest>& request) = 0;
};

// The image cache: keyed by the request URL's absolute text, no limits.
class HCImageCache : public NSCache, public HCImageCacheProtocol {
    NS_OBJECT(HCImageCache, NSCache)
public:
    // nil for a request that asks to bypass caches (reload ignoring cache data, policies 1 and 4).
    Ref<UIImage> cachedImageForRequest(const Ref<NSURLRequest>& request) override;
    // A nil image or request stores nothing.
    void cacheImageForRequest(const Ref<UIImage>& image, const Ref<NSURLRequest>& request) override;
};

using HCImageSuccess = std::function<void(const Ref<NSURLRequest>& request, const Ref<NSHTTPURLResponse>& response,
                                          const Ref<UIImage>& image)>;
using HCImageFailure = std::function<void(const Ref<NSURLRequest>& request, const Ref<NSHTTPURLResponse>& response,
                                          const Ref<NSError>& error)>;
using HCButtonImageFailure = std::function<void(const Ref<NSError>& error)>;

// MARK: UIImageView
Ref<NSOperationQueue> hc_sharedImageRequestOperationQueueForImageViews();
// The cache set with setSharedImageCache, else the default cache (which a memory warning empties).
Ref<HCImageCache> sharedImageCacheForImageViews();
void setSharedImageCacheForImageViews(const Ref<HCImageCache>& cache);
Ref<HCImageResponseSerializer> imageResponseSerializer(const Ref<UIImageView>& self);
void setImageResponseSerializer(const Ref<UIImageView>& self, const Ref<HCImageResponseSerializer>& serializer);
Ref<HCHTTPRequestOperation> hc_imageRequestOperation(const Ref<UIImageView>& self);
void hc_setImageRequestOperation(const Ref<UIImageView>& self, const Ref<HCHTTPRequestOperation>& operation);
void setImageWithURL(const Ref<UIImageView>& self, const Ref<NSURL>& url);
void setImageWithURLPlaceholderImage(const Ref<UIImageView>& self, const Ref<NSURL>& url,
                                     const Ref<UIImage>& placeholder);
void setImageWithURLRequestPlaceholderImageSuccessFailure(const Ref<UIImageView>& self,
                                                          const Ref<NSURLRequest>& request,
                                                          const Ref<UIImage>& placeholder, HCImageSuccess success,
                                                          HCImageFailure failure);
void cancelImageRequestOperation(const Ref<UIImageView>& self);

// MARK: UIButton
Ref<NSOperationQueue> hc_sharedImageRequestOperationQueueForButtons();
// The buttons' own cache when one was set, else the image views' cache.
Ref<HCImageCache> sharedImageCacheForButtons();
void setSharedImageCacheForButtons(const Ref<HCImageCache>& cache);
Ref<HCImageResponseSerializer> imageResponseSerializer(const Ref<UIButton>& self);
void setImageResponseSerializer(const Ref<UIButton>& self, const Ref<HCImageResponseSerializer>& serializer);
Ref<HCHTTPRequestOperation> hc_imageRequestOperationForState(const Ref<UIButton>& self, UIControlState state);
void hc_setImageRequestOperationForState(const Ref<UIButton>& self, const Ref<HCHTTPRequestOperation>& operation,
                                         UIControlState state);
Ref<HCHTTPRequestOperation> hc_backgroundImageRequestOperationForState(const Ref<UIButton>& self, UIControlState state);
void hc_setBackgroundImageRequestOperationForState(const Ref<UIButton>& self,
                                                   const Ref<HCHTTPRequestOperation>& operation, UIControlState state);
void setImageForStateWithURL(const Ref<UIButton>& self, UIControlState state, const Ref<NSURL>& url);
void setImageForStateWithURLPlaceholderImage(const Ref<UIButton>& self, UIControlState state, const Ref<NSURL>& url,
                                             const Ref<UIImage>& placeholder);
void setImageForStateWithURLRequestPlaceholderImageSuccessFailure(const Ref<UIButton>& self, UIControlState state,
                                                                  const Ref<NSURLRequest>& request,
                                                                  const Ref<UIImage>& placeholder,
                                                                  HCImageSuccess success, HCButtonImageFailure failure);
void setBackgroundImageForStateWithURL(const Ref<UIButton>& self, UIControlState state, const Ref<NSURL>& url);
void setBackgroundImageForStateWithURLPlaceholderImage(const Ref<UIButton>& self, UIControlState state,
                                                       const Ref<NSURL>& url, const Ref<UIImage>& placeholder);
void setBackgroundImageForStateWithURLRequestPlaceholderImageSuccessFailure(
    const Ref<UIButton>& self, UIControlState state, const Ref<NSURLRequest>& request, const Ref<UIImage>& placeholder,
    HCImageSuccess success, HCButtonImageFailure failure);
void cancelImageRequestOperationForState(const Ref<UIButton>& self, UIControlState state);
void cancelBackgroundImageRequestOperationForState(const Ref<UIButton>& self, UIControlState state);
