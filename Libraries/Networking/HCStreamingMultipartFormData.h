// HCStreamingMultipartFormData: what a multipart construction block receives. Parts are collected
// into a streaming body; finalizing sets the request's body stream and its Content-Type and
// Content-Length.
#pragma once

#include <Networking/HCMultipartBodyStream.h>
#include <Networking/HCMultipartFormData.h>

#include <Network/NSURLRequest.h>

class HCStreamingMultipartFormData : public NSObject, public HCMultipartFormData {
    NS_OBJECT(HCStreamingMultipartFormData, NSObject)
public:
    // `initWithURLRequest:stringEncoding:`.
    HCStreamingMultipartFormData(const Ref<NSMutableURLRequest>& request, NSStringEncoding encoding);

    const Ref<NSMutableURLRequest>& request() const noexcept { return request_; }
    NSStringEncoding stringEncoding() const noexcept { return stringEncoding_; }
    const Ref<NSString>& boundary() const noexcept { return boundary_; }
    const Ref<HCMultipartBodyStream>& bodyStream() const noexcept { return bodyStream_; }

    bool appendPartWithFileURLNameError(const Ref<NSURL>& fileURL, const Ref<NSString>& name,
                                        Ref<NSError>* error) override;
    bool appendPartWithFileURLNameFileNameMimeTypeError(const Ref<NSURL>& fileURL, const Ref<NSString>& name,
                                                        const Ref<NSString>& fileName, const Ref<NSString>& mimeType,
                                                        Ref<NSError>* error) override;
    void appendPartWithInputStreamNameFileNameLengthMimeType(const Ref<NSInputStream>& inputStream,
                                                             const Ref<NSString>& name, const Ref<NSString>& fileName,
                                                             int64_t length, const Ref<NSString>& mimeType) override;
    void appendPartWithFileDataNameFileNameMimeType(const Ref<NSData>& data, const Ref<NSString>& name,
                                                    const Ref<NSString>& fileName,
                                                    const Ref<NSString>& mimeType) override;
    void appendPartWithFormDataName(const Ref<NSData>& data, const Ref<NSString>& name) override;
    void appendPartWithHeadersBody(const Ref<NSDictionary>& headers, const Ref<NSData>& body) override;
    void throttleBandwidthWithPacketSizeDelay(NSUInteger numberOfBytes, double delay) override;

    // The request with the body stream and its two header fields; untouched when no part was added.
    Ref<NSMutableURLRequest> requestByFinalizingMultipartFormData();

private:
    void appendPart(const Ref<NSDictionary>& headers, const id& body, unsigned long long length);

    Ref<NSMutableURLRequest> request_;
    NSStringEncoding stringEncoding_;
    Ref<NSString> boundary_;
    Ref<HCMultipartBodyStream> bodyStream_;
};
