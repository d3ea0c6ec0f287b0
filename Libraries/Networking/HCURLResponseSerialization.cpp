#include <Networking/HCURLResponseSerialization.h>

#include <Foundation/NSBundle.h>

#include <algorithm>
#include <string>

const Ref<NSString>& HCURLResponseSerializationErrorDomain() {
    static const Ref<NSString>& domain = *new Ref<NSString>("com.celvix.networking.error.serialization.response"_ns);
    return domain;
}

const Ref<NSString>& HCNetworkingOperationFailingURLResponseErrorKey() {
    static const Ref<NSString>& key =
        *new Ref<NSString>("com.celvix.networking.serialization.response.error.response"_ns);
    return key;
}

const Ref<NSString>& HCNetworkingOperationFailingURLResponseDataErrorKey() {
    static const Ref<NSString>& key = *new Ref<NSString>("com.celvix.networking.serialization.response.error.data"_ns);
    return key;
}

Ref<NSError> HCChainUnderlyingError(const Ref<NSError>& error, const Ref<NSError>& underlyingError) {
    if (!error) {
        return underlyingError;
    }
    if (!underlyingError || error->userInfo()->objectForKey(NSUnderlyingErrorKey())) {
        return error;
    }
    auto info = NSMutableDictionary::dictionaryWithDictionary(error->userInfo());
    info->setObjectForKey(underlyingError, NSUnderlyingErrorKey());
    return make<NSError>(error->domain(), error->code(), info);
}

bool HCErrorChainHasUndecodableContent(const Ref<NSError>& error) {
    for (Ref<NSError> e = error; e; e = e->underlyingError()) {
        if (e->domain()->isEqualToString(HCURLResponseSerializationErrorDomain()) &&
            e->code() == NSURLErrorCannotDecodeContentData) {
            return true;
        }
    }
    return false;
}

NSStringEncoding HCStringEncodingForIANACharSetName(const Ref<NSString>& name) {
    if (!name) {
        return static_cast<NSStringEncoding>(0);
    }
    std::string key = name->lowercaseString()->str();
    key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return c == '"' || c == ' '; }), key.end());
    if (key == "utf-8" || key == "utf8") {
        return NSUTF8StringEncoding;
    }
    if (key == "iso-8859-1" || key == "iso8859-1" || key == "latin1" || key == "iso_8859-1" || key == "l1") {
        return NSISOLatin1StringEncoding;
    }
    if (key == "us-ascii" || key == "ascii") {
        return NSASCIIStringEncoding;
    }
    if (key == "utf-16" || key == "utf16") {
        return NSUTF16StringEncoding;
    }
    if (key == "utf-16be") {
        return NSUTF16BigEndianStringEncoding;
    }
    if (key == "utf-16le") {
        return NSUTF16LittleEndianStringEncoding;
    }
    return static_cast<NSStringEncoding>(0);
}

Ref<NSString> HCLocalizedString(const char* text) {
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(NSString::from(text), ""_ns, "HCNetworking"_ns);
}
