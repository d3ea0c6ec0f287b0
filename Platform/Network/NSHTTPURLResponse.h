// NSHTTPURLResponse: an HTTP reply's status code and header fields. The MIME type and the text
// encoding come from "Content-Type", the expected length from "Content-Length".
#pragma once

#include <Foundation/NSDictionary.h>
#include <Network/NSURLResponse.h>

#include <string>
#include <utility>
#include <vector>

class NSHTTPURLResponse : public NSURLResponse {
    NS_OBJECT(NSHTTPURLResponse, NSURLResponse)
public:
    // `initWithURL:statusCode:HTTPVersion:headerFields:`.
    NSHTTPURLResponse(const Ref<NSURL>& url, NSInteger statusCode, const Ref<NSString>& HTTPVersion,
                      const Ref<NSDictionary>& headerFields);
    // The header fields as received, in order; repeated fields are joined with ", ".
    NSHTTPURLResponse(const Ref<NSURL>& url, NSInteger statusCode, const Ref<NSString>& HTTPVersion,
                      std::vector<std::pair<std::string, std::string>> headerFields);

    explicit NSHTTPURLResponse(NSCoder* coder);

    NSInteger statusCode() const noexcept { return statusCode_; }
    const Ref<NSString>& HTTPVersion() const noexcept { return version_; }
    Ref<NSDictionary> allHeaderFields() const;
    // The value of a header field, its name compared without regard to case.
    Ref<NSString> valueForHTTPHeaderField(const Ref<NSString>& field) const;
    Ref<NSString> suggestedFilename() const override;

    // The platform's short text for a status code ("not found", "internal server error").
    static Ref<NSString> localizedStringForStatusCode(NSInteger statusCode);

    void encodeWithCoder(NSCoder* coder) override;
    Ref<NSString> description() const override;

private:
    void deriveFromHeaders();

    NSInteger statusCode_;
    Ref<NSString> version_;
    std::vector<std::pair<std::string, std::string>> headers_;
};
