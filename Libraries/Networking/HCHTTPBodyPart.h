// HCHTTPBodyPart: one part of a multipart body, read out in four phases: its encapsulation
// boundary, its header fields, its content and (for the last part) the closing boundary.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Network/NSInputStream.h>

class HCHTTPBodyPart : public NSObject {
    NS_OBJECT(HCHTTPBodyPart, NSObject)
public:
    HCHTTPBodyPart();
    ~HCHTTPBodyPart() override;

    NSStringEncoding stringEncoding() const noexcept { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }
    const Ref<NSDictionary>& headers() const noexcept { return headers_; }
    void setHeaders(const Ref<NSDictionary>& headers) { headers_ = headers; }
    const Ref<NSString>& boundary() const noexcept { return boundary_; }
    void setBoundary(const Ref<NSString>& boundary) { boundary_ = boundary; }
    // Data, a file URL or an input stream.
    const id& body() const noexcept { return body_; }
    void setBody(const id& body) { body_ = body; }
    unsigned long long bodyContentLength() const noexcept { return bodyContentLength_; }
    void setBodyContentLength(unsigned long long length) { bodyContentLength_ = length; }
    bool hasInitialBoundary() const noexcept { return hasInitialBoundary_; }
    void setHasInitialBoundary(bool has) { hasInitialBoundary_ = has; }
    bool hasFinalBoundary() const noexcept { return hasFinalBoundary_; }
    void setHasFinalBoundary(bool has) { hasFinalBoundary_ = has; }

    // The stream over the body, made on first use.
    Ref<NSInputStream> inputStream();
    bool hasBytesAvailable();
    unsigned long long contentLength() const;
    Ref<NSString> stringForHeaders() const;
    // Bytes read into the buffer (0 when the part is done), or -1 when the content cannot be read
    // or does not have its declared length (readError() says why).
    NSInteger readMaxLength(uint8_t* buffer, NSUInteger length);
    // Why the last read answered -1.
    Ref<NSError> readError() const;

    id copy() const override;

private:
    NSInteger readDataIntoBufferMaxLength(const Ref<NSData>& data, uint8_t* buffer, NSUInteger length);
    bool transitionToNextPhase();
    Ref<NSData> encapsulationBoundaryData() const;
    Ref<NSData> closingBoundaryData() const;
    Ref<NSError> lengthError(bool longer) const;

    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
    Ref<NSDictionary> headers_;
    Ref<NSString> boundary_;
    id body_;
    unsigned long long bodyContentLength_ = 0;
    Ref<NSInputStream> inputStream_;
    bool hasInitialBoundary_ = false;
    bool hasFinalBoundary_ = false;
    int phase_ = 0;
    unsigned long long phaseReadOffset_ = 0;
    unsigned long long bodyRead_ = 0;
    Ref<NSError> readError_;
};
