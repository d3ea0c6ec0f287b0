// NSURLResponse: what a load learned before the body: the URL, the MIME type, the expected length
// and the text encoding's name.
#pragma once

#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSURL.h>

// The expected content length when the reply does not say.
inline constexpr long long NSURLResponseUnknownLength = -1;

class NSURLResponse : public NSObject, public NSSecureCoding {
    NS_OBJECT(NSURLResponse, NSObject)
public:
    explicit NSURLResponse(NSCoder* coder);
    // `initWithURL:MIMEType:expectedContentLength:textEncodingName:`.
    NSURLResponse(const Ref<NSURL>& url, const Ref<NSString>& MIMEType, long long expectedContentLength,
                  const Ref<NSString>& textEncodingName);

    const Ref<NSURL>& URL() const noexcept { return url_; }
    const Ref<NSString>& MIMEType() const noexcept { return mimeType_; }
    long long expectedContentLength() const noexcept { return expectedContentLength_; }
    const Ref<NSString>& textEncodingName() const noexcept { return textEncodingName_; }
    // The URL's last path component, or "Unknown".
    virtual Ref<NSString> suggestedFilename() const;

    void encodeWithCoder(NSCoder* coder) override;
    Ref<NSString> description() const override;
    id copy() const override { return Ref<NSObject>(const_cast<NSURLResponse*>(this)); }

protected:
    Ref<NSURL> url_;
    Ref<NSString> mimeType_;
    long long expectedContentLength_;
    Ref<NSString> textEncodingName_;
};
