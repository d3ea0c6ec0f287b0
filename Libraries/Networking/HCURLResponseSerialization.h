// The protocol of response serializers, the error domain and keys of rejected replies, and the
// helpers that chain errors and read a reply's text encoding.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSError.h>
#include <Network/NSURLResponse.h>

const Ref<NSString>& HCURLResponseSerializationErrorDomain();
// User-info keys: the rejected response, and its body.
const Ref<NSString>& HCNetworkingOperationFailingURLResponseErrorKey();
const Ref<NSString>& HCNetworkingOperationFailingURLResponseDataErrorKey();

class HCURLResponseSerialization {
public:
    virtual ~HCURLResponseSerialization() = default;
    // The object made of the reply, or nil; a rejected reply sets `error` (when given), possibly
    // together with an object.
    virtual id responseObjectForResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                                  Ref<NSError>* error) = 0;
};

// `error` with `underlyingError` under NSUnderlyingErrorKey (unless it has one already); the
// underlying error alone when there is no error.
Ref<NSError> HCChainUnderlyingError(const Ref<NSError>& error, const Ref<NSError>& underlyingError);
// Whether the error or any error under it is an undecodable-content rejection (-1016).
bool HCErrorChainHasUndecodableContent(const Ref<NSError>& error);
// The encoding an IANA charset name stands for, or 0 when the name is unknown.
NSStringEncoding HCStringEncodingForIANACharSetName(const Ref<NSString>& name);
// A library text, looked up in the library's string table of the main bundle.
Ref<NSString> HCLocalizedString(const char* text);
