#include <Network/NSURLResponse.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSURLResponse, NSObject) {
    NSCodingRegister(b);
    b.readonlyProperty("URL", &NSURLResponse::URL);
    b.readonlyProperty("MIMEType", &NSURLResponse::MIMEType);
    b.readonlyProperty("expectedContentLength", &NSURLResponse::expectedContentLength);
    b.readonlyProperty("textEncodingName", &NSURLResponse::textEncodingName);
}

NSURLResponse::NSURLResponse(const Ref<NSURL>& url, const Ref<NSString>& MIMEType, long long expectedContentLength,
                             const Ref<NSString>& textEncodingName)
    : url_(url), mimeType_(MIMEType), expectedContentLength_(expectedContentLength),
      textEncodingName_(textEncodingName) {}

NSURLResponse::NSURLResponse(NSCoder* coder)
    : expectedContentLength_(coder->containsValueForKey("expectedContentLength"_ns)
                                 ? coder->decodeInt64ForKey("expectedContentLength"_ns)
                                 : NSURLResponseUnknownLength) {
    auto url = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "URL"_ns));
    url_ = url ? NSURL::URLWithString(url) : nullptr;
    mimeType_ = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "MIMEType"_ns));
    textEncodingName_ = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "textEncodingName"_ns));
}

void NSURLResponse::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(url_ ? url_->absoluteString() : nullptr, "URL"_ns);
    coder->encodeObjectForKey(mimeType_, "MIMEType"_ns);
    coder->encodeInt64ForKey(expectedContentLength_, "expectedContentLength"_ns);
    coder->encodeObjectForKey(textEncodingName_, "textEncodingName"_ns);
}

Ref<NSString> NSURLResponse::suggestedFilename() const {
    auto last = url_ ? url_->lastPathComponent() : nullptr;
    if (!last || last->length() == 0 || last->isEqualToString("/"_ns)) {
        return "Unknown"_ns;
    }
    return last;
}

Ref<NSString> NSURLResponse::description() const {
    return NSString::stringWithFormat("<%@: %p> { URL: %@ } { MIME type: %@, length: %lld }",
                                      NSStringFromClass(getClass()), static_cast<const void*>(this), url_, mimeType_,
                                      expectedContentLength_);
}
