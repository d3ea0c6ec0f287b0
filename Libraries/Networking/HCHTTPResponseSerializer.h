// HCHTTPResponseSerializer: validates a reply's status code and MIME type and hands the body on as
// it is. The parsing serializers derive from it.
#pragma once

#include <Foundation/NSIndexSet.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSSet.h>
#include <Network/NSHTTPURLResponse.h>
#include <Networking/HCURLResponseSerialization.h>

class HCHTTPResponseSerializer : public NSObject, public HCURLResponseSerialization, public NSSecureCoding {
    NS_OBJECT(HCHTTPResponseSerializer, NSObject)
public:
    HCHTTPResponseSerializer();
    explicit HCHTTPResponseSerializer(NSCoder* coder);

    static Ref<HCHTTPResponseSerializer> serializer();
    static bool supportsSecureCoding() { return true; }

    NSStringEncoding stringEncoding() const noexcept { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }
    // nil accepts every status code / MIME type.
    const Ref<NSIndexSet>& acceptableStatusCodes() const noexcept { return acceptableStatusCodes_; }
    void setAcceptableStatusCodes(const Ref<NSIndexSet>& codes) { acceptableStatusCodes_ = codes; }
    const Ref<NSSet>& acceptableContentTypes() const noexcept { return acceptableContentTypes_; }
    void setAcceptableContentTypes(const Ref<NSSet>& types) { acceptableContentTypes_ = types; }

    // YES for a reply with an acceptable status and MIME type (and for anything that is no HTTP
    // response); otherwise NO with the reasons chained in `error`.
    bool validateResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error);
    id responseObjectForResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                          Ref<NSError>* error) override;

    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

protected:
    // The check the parsing serializers share: false when the reply must not be parsed.
    bool validateForParsing(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error);

    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
    Ref<NSIndexSet> acceptableStatusCodes_;
    Ref<NSSet> acceptableContentTypes_;
};
