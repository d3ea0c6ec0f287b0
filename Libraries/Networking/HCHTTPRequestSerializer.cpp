#include <Networking/HCHTTPRequestSerializer.h>

#include <Networking/HCQueryStringPair.h>
#include <Networking/HCStreamingMultipartFormData.h>

#include <Dispatch/Dispatch.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSUserDefaults.h>
#include <Network/NSOutputStream.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(HCHTTPRequestSerializer, NSObject) {
    using S = HCHTTPRequestSerializer;
    NSCodingRegister(b);
    b.property("allowsCellularAccess", &S::allowsCellularAccess, &S::setAllowsCellularAccess);
    b.property("cachePolicy", &S::cachePolicy, &S::setCachePolicy);
    b.property("HTTPShouldHandleCookies", &S::HTTPShouldHandleCookies, &S::setHTTPShouldHandleCookies);
    b.property("HTTPShouldUsePipelining", &S::HTTPShouldUsePipelining, &S::setHTTPShouldUsePipelining);
    b.property("networkServiceType", &S::networkServiceType, &S::setNetworkServiceType);
    b.property("timeoutInterval", &S::timeoutInterval, &S::setTimeoutInterval);
    for (const char* key : {"allowsCellularAccess", "cachePolicy", "HTTPShouldHandleCookies", "HTTPShouldUsePipelining",
                            "networkServiceType", "timeoutInterval"}) {
        b.manualNotification(key);
    }
    b.classMethod("supportsSecureCoding", [] { return true; });
}

const Ref<NSString>& HCURLRequestSerializationErrorDomain() {
    static const Ref<NSString>& domain = *new Ref<NSString>("com.celvix.networking.error.serialization.request"_ns);
    return domain;
}

const Ref<NSArray>& HCObservedRequestKeyPaths() {
    static const Ref<NSArray>& keyPaths = *new Ref<NSArray>(
        NSArray::arrayWithObjects({"allowsCellularAccess"_ns, "cachePolicy"_ns, "HTTPShouldHandleCookies"_ns,
                                   "HTTPShouldUsePipelining"_ns, "networkServiceType"_ns, "timeoutInterval"_ns}));
    return keyPaths;
}

namespace {

char observerContext;

// The user's languages, most preferred first (the platform keeps them under "AppleLanguages").
Ref<NSArray> preferredLanguages() {
    auto languages = NSUserDefaults::standardUserDefaults()->arrayForKey("AppleLanguages"_ns);
    return languages ? languages : NSArray::array();
}

Ref<NSString> acceptLanguage() {
    auto entries = NSMutableArray::array();
    NSUInteger index = 0;
    auto languages = preferredLanguages();
    for (const auto& language : *languages) {
        float q = 1.0f - (static_cast<float>(index) * 0.1f);
        entries->addObject(NSString::stringWithFormat("%@;q=%0.1g", language, static_cast<double>(q)));
        ++index;
        if (q <= 0.5f) {
            break;
        }
    }
    return entries->componentsJoinedByString(", "_ns);
}

// The ASCII form of a Latin letter of U+00C0 to U+017F (its base letter, or a ligature's letters);
// empty for a character that has none.
std::string latinToASCII(char32_t c) {
    static const char* const latin1[] = {
        "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I",  "I",  // C0
        "D", "N", "O", "O", "O", "O", "O",  "",  "O", "U", "U", "U", "U", "Y", "TH", "ss", // D0
        "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",  // E0
        "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y",  // F0
    };
    static const char extendedA[] = "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi"
                                    "??JjKkkLlLlLlLlLlNnNnNnnNnOoOoOo??RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
    if (c >= 0xC0 && c <= 0xFF) {
        return latin1[c - 0xC0];
    }
    switch (c) {
    case 0x132:
        return "IJ";
    case 0x133:
        return "ij";
    case 0x152:
        return "OE";
    case 0x153:
        return "oe";
    default:
        break;
    }
    if (c >= 0x100 && c <= 0x17F && extendedA[c - 0x100] != '?') {
        return std::string(1, extendedA[c - 0x100]);
    }
    return {};
}

// The text made ASCII: Latin letters with marks become their base letters, and whatever has no
// ASCII form is removed.
Ref<NSString> asciiOnly(const Ref<NSString>& text) {
    std::string out;
    const std::string& in = text->str();
    for (size_t i = 0; i < in.size();) {
        unsigned char lead = static_cast<unsigned char>(in[i]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 1;
        if (length == 1) {
            if (lead < 0x80) {
                out += static_cast<char>(lead);
            }
            ++i;
            continue;
        }
        char32_t c = lead & (0xFF >> (length + 1));
        for (size_t k = 1; k < length && i + k < in.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
        }
        out += latinToASCII(c);
        i += length;
    }
    return NSString::from(out);
}

Ref<NSString> userAgent() {
    auto bundle = NSBundle::mainBundle();
    id name = bundle->objectForInfoDictionaryKey("CFBundleExecutable"_ns);
    if (!name) {
        name = bundle->objectForInfoDictionaryKey("CFBundleIdentifier"_ns);
    }
    id version = bundle->objectForInfoDictionaryKey("CFBundleShortVersionString"_ns);
    if (!version) {
        version = bundle->objectForInfoDictionaryKey("CFBundleVersion"_ns);
    }
    auto device = UIDevice::currentDevice();
    auto text =
        NSString::stringWithFormat("%@/%@ (%@; iOS %@; Scale/%0.2f)", name, version, device->model(),
                                   device->systemVersion(), static_cast<double>(UIScreen::mainScreen()->scale()));
    if (!text->canBeConvertedToEncoding(NSASCIIStringEncoding)) {
        text = asciiOnly(text);
    }
    return text;
}

} // namespace

HCHTTPRequestSerializer::HCHTTPRequestSerializer()
    : methodsInURI_(NSSet::setWithObjects({"GET"_ns, "HEAD"_ns, "DELETE"_ns})), changedKeyPaths_(NSMutableSet::set()),
      headers_(NSMutableDictionary::dictionary()) {
    headers_->setObjectForKey(acceptLanguage(), "Accept-Language"_ns);
    if (auto agent = userAgent()) {
        headers_->setObjectForKey(agent, "User-Agent"_ns);
    }
    const Ref<NSArray>& keyPaths = HCObservedRequestKeyPaths();
    for (const auto& keyPath : *keyPaths) {
        addObserverForKeyPathOptionsContext(this, cast<NSString>(keyPath), NSKeyValueObservingOptionNew,
                                            &observerContext);
    }
}

HCHTTPRequestSerializer::HCHTTPRequestSerializer(NSCoder* coder) : HCHTTPRequestSerializer() {
    auto stored = cast<NSDictionary>(coder->decodeObjectOfClassesForKey({NSDictionary::class_(), NSString::class_()},
                                                                        "mutableHTTPRequestHeaders"_ns));
    if (stored) {
        headers_ = NSMutableDictionary::dictionaryWithDictionary(stored);
    }
    style_ = static_cast<HCHTTPRequestQueryStringSerializationStyle>(
        coder->decodeInt64ForKey("queryStringSerializationStyle"_ns));
    // The request settings that were assigned travel with the archive too.
    if (coder->containsValueForKey("timeoutInterval"_ns)) {
        setTimeoutInterval(coder->decodeDoubleForKey("timeoutInterval"_ns));
    }
    if (coder->containsValueForKey("cachePolicy"_ns)) {
        setCachePolicy(static_cast<NSURLRequestCachePolicy>(coder->decodeInt64ForKey("cachePolicy"_ns)));
    }
    if (coder->containsValueForKey("allowsCellularAccess"_ns)) {
        setAllowsCellularAccess(coder->decodeBoolForKey("allowsCellularAccess"_ns));
    }
    if (coder->containsValueForKey("HTTPShouldHandleCookies"_ns)) {
        setHTTPShouldHandleCookies(coder->decodeBoolForKey("HTTPShouldHandleCookies"_ns));
    }
    if (coder->containsValueForKey("HTTPShouldUsePipelining"_ns)) {
        setHTTPShouldUsePipelining(coder->decodeBoolForKey("HTTPShouldUsePipelining"_ns));
    }
    if (coder->containsValueForKey("networkServiceType"_ns)) {
        setNetworkServiceType(
            static_cast<NSURLRequestNetworkServiceType>(coder->decodeInt64ForKey("networkServiceType"_ns)));
    }
}

Ref<HCHTTPRequestSerializer> HCHTTPRequestSerializer::serializer() {
    return make<HCHTTPRequestSerializer>();
}

template <class T>
void HCHTTPRequestSerializer::setObserved(const char* key, T& field, T value) {
    auto name = NSString::from(key);
    willChangeValueForKey(name);
    field = value;
    didChangeValueForKey(name);
}

void HCHTTPRequestSerializer::setAllowsCellularAccess(bool allows) {
    setObserved("allowsCellularAccess", allowsCellularAccess_, allows);
}
void HCHTTPRequestSerializer::setCachePolicy(NSURLRequestCachePolicy policy) {
    setObserved("cachePolicy", cachePolicy_, policy);
}
void HCHTTPRequestSerializer::setHTTPShouldHandleCookies(bool should) {
    setObserved("HTTPShouldHandleCookies", shouldHandleCookies_, should);
}
void HCHTTPRequestSerializer::setHTTPShouldUsePipelining(bool should) {
    setObserved("HTTPShouldUsePipelining", shouldUsePipelining_, should);
}
void HCHTTPRequestSerializer::setNetworkServiceType(NSURLRequestNetworkServiceType type) {
    setObserved("networkServiceType", networkServiceType_, type);
}
void HCHTTPRequestSerializer::setTimeoutInterval(double seconds) {
    setObserved("timeoutInterval", timeoutInterval_, seconds);
}

void HCHTTPRequestSerializer::observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath,
                                                                          const id& object,
                                                                          const Ref<NSDictionary>& change,
                                                                          void* context) {
    if (context != &observerContext) {
        NSObject::observeValueForKeyPathOfObjectChangeContext(keyPath, object, change, context);
        return;
    }
    id value = change ? change->objectForKey(NSKeyValueChangeNewKey()) : nullptr;
    if (!value || value->isKindOfClass(NSNull::class_())) {
        changedKeyPaths_->removeObject(keyPath);
    } else {
        changedKeyPaths_->addObject(keyPath);
    }
}

Ref<NSDictionary> HCHTTPRequestSerializer::HTTPRequestHeaders() const {
    return NSDictionary::dictionaryWithDictionary(headers_);
}

void HCHTTPRequestSerializer::setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field) {
    if (!field) {
        return;
    }
    headers_->setObjectForKeyedSubscript(value, field);
}

Ref<NSString> HCHTTPRequestSerializer::valueForHTTPHeaderField(const Ref<NSString>& field) const {
    return field ? cast<NSString>(headers_->objectForKey(field)) : nullptr;
}

void HCHTTPRequestSerializer::setAuthorizationHeaderFieldWithUsernamePassword(const Ref<NSString>& username,
                                                                              const Ref<NSString>& password) {
    auto pair = NSString::stringWithFormat("%@:%@", username, password);
    auto encoded = pair->dataUsingEncoding(NSUTF8StringEncoding)->base64EncodedStringWithOptions(0);
    setValueForHTTPHeaderField(NSString::stringWithFormat("Basic %@", encoded), "Authorization"_ns);
}

void HCHTTPRequestSerializer::setAuthorizationHeaderFieldWithToken(const Ref<NSString>& token) {
    setValueForHTTPHeaderField(NSString::stringWithFormat("Token token=\"%@\"", token), "Authorization"_ns);
}

void HCHTTPRequestSerializer::clearAuthorizationHeader() {
    headers_->removeObjectForKey("Authorization"_ns);
}

void HCHTTPRequestSerializer::setQueryStringSerializationWithStyle(HCHTTPRequestQueryStringSerializationStyle style) {
    style_ = style;
    queryStringSerialization_ = nullptr;
}

void HCHTTPRequestSerializer::setQueryStringSerializationWithBlock(HCQueryStringSerializationBlock block) {
    queryStringSerialization_ = std::move(block);
}

Ref<NSMutableURLRequest> HCHTTPRequestSerializer::requestWithMethodURLStringParametersError(
    const Ref<NSString>& method, const Ref<NSString>& URLString, const id& parameters, Ref<NSError>* error) {
    auto request = make<NSMutableURLRequest>(URLString ? NSURL::URLWithString(URLString) : nullptr);
    request->setHTTPMethod(method);
    const Ref<NSArray>& keyPaths = HCObservedRequestKeyPaths();
    for (const auto& item : *keyPaths) {
        auto keyPath = cast<NSString>(item);
        if (!changedKeyPaths_->containsObject(keyPath)) {
            continue;
        }
        const std::string& key = keyPath->str();
        if (key == "allowsCellularAccess") {
            request->setAllowsCellularAccess(allowsCellularAccess_);
        } else if (key == "cachePolicy") {
            request->setCachePolicy(cachePolicy_);
        } else if (key == "HTTPShouldHandleCookies") {
            request->setHTTPShouldHandleCookies(shouldHandleCookies_);
        } else if (key == "HTTPShouldUsePipelining") {
            request->setHTTPShouldUsePipelining(shouldUsePipelining_);
        } else if (key == "networkServiceType") {
            request->setNetworkServiceType(networkServiceType_);
        } else if (key == "timeoutInterval") {
            request->setTimeoutInterval(timeoutInterval_);
        }
    }
    auto serialized = requestBySerializingRequestWithParametersError(request, parameters, error);
    return serialized ? cast<NSMutableURLRequest>(serialized->mutableCopy()) : nullptr;
}

Ref<NSMutableURLRequest> HCHTTPRequestSerializer::requestWithDefaultHeaders(const Ref<NSURLRequest>& request) const {
    auto mutableRequest = cast<NSMutableURLRequest>(request->mutableCopy());
    for (const auto& [field, value] : *headers_) {
        auto name = cast<NSString>(field);
        if (!request->valueForHTTPHeaderField(name)) {
            mutableRequest->setValueForHTTPHeaderField(cast<NSString>(value), name);
        }
    }
    return mutableRequest;
}

bool HCHTTPRequestSerializer::encodesParametersInURI(const Ref<NSURLRequest>& request) const {
    return methodsInURI_ && methodsInURI_->containsObject(request->HTTPMethod()->uppercaseString());
}

Ref<NSMutableURLRequest>
HCHTTPRequestSerializer::requestBySerializingRequestWithParametersError(const Ref<NSURLRequest>& request,
                                                                        const id& parameters, Ref<NSError>* error) {
    if (!request) {
        return nullptr;
    }
    auto mutableRequest = requestWithDefaultHeaders(request);
    Ref<NSString> query;
    if (parameters) {
        if (queryStringSerialization_) {
            Ref<NSError> serializationError;
            query = queryStringSerialization_(request, parameters, &serializationError);
            if (serializationError) {
                if (error) {
                    *error = serializationError;
                }
                return nullptr;
            }
        } else if (style_ == HCHTTPRequestQueryStringDefaultStyle) {
            query = HCJoinQueryPairs(parameters);
        }
    }
    if (encodesParametersInURI(request)) {
        if (query && mutableRequest->URL()) {
            auto url = mutableRequest->URL();
            auto text = url->absoluteString()->stringByAppendingFormat(url->query() ? "&%@" : "?%@", query);
            mutableRequest->setURL(NSURL::URLWithString(text));
        }
    } else {
        if (!query) {
            query = ""_ns;
        }
        if (!mutableRequest->valueForHTTPHeaderField("Content-Type"_ns)) {
            mutableRequest->setValueForHTTPHeaderField("application/x-www-form-urlencoded"_ns, "Content-Type"_ns);
        }
        mutableRequest->setHTTPBody(query->dataUsingEncoding(stringEncoding_));
    }
    return mutableRequest;
}

Ref<NSMutableURLRequest>
HCHTTPRequestSerializer::multipartFormRequestWithMethodURLStringParametersConstructingBodyWithBlockError(
    const Ref<NSString>& method, const Ref<NSString>& URLString, const Ref<NSDictionary>& parameters,
    const std::function<void(HCMultipartFormData*)>& block, Ref<NSError>* error) {
    auto request = requestWithMethodURLStringParametersError(method, URLString, nullptr, error);
    if (!request) {
        return nullptr;
    }
    auto formData = make<HCStreamingMultipartFormData>(request, NSUTF8StringEncoding);
    if (parameters) {
        auto pairs = HCFlattenQueryPairs(nullptr, parameters);
        for (const auto& item : *pairs) {
            auto pair = cast<HCQueryStringPair>(item);
            Ref<NSData> data;
            if (auto bytes = cast<NSData>(pair->value())) {
                data = bytes;
            } else if (pair->value()->isKindOfClass(NSNull::class_())) {
                data = NSData::data();
            } else {
                data = NSDescription(pair->value())->dataUsingEncoding(stringEncoding_);
            }
            if (data) {
                formData->appendPartWithFormDataName(data, NSDescription(pair->field()));
            }
        }
    }
    if (block) {
        block(formData.get());
    }
    return formData->requestByFinalizingMultipartFormData();
}

Ref<NSMutableURLRequest>
HCHTTPRequestSerializer::requestWithMultipartFormRequestWritingStreamContentsToFileCompletionHandler(
    const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL, std::function<void(const Ref<NSError>&)> handler) {
    auto copy = cast<NSMutableURLRequest>(request->mutableCopy());
    Ref<NSInputStream> inputStream = request->HTTPBodyStream();
    copy->setHTTPBodyStream(nullptr);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [inputStream, fileURL, handler] {
        Ref<NSError> error;
        auto outputStream = NSOutputStream::outputStreamWithURLAppend(fileURL, false);
        if (!inputStream || !outputStream) {
            error = make<NSError>(HCURLRequestSerializationErrorDomain(), NSURLErrorBadURL);
        } else {
            inputStream->open();
            outputStream->open();
            uint8_t buffer[1024];
            while (true) {
                if (inputStream->streamError()) {
                    error = inputStream->streamError();
                    break;
                }
                if (outputStream->streamError()) {
                    error = outputStream->streamError();
                    break;
                }
                if (!inputStream->hasBytesAvailable() || !outputStream->hasSpaceAvailable()) {
                    break;
                }
                NSInteger read = inputStream->readMaxLength(buffer, sizeof buffer);
                if (read < 0) {
                    error = inputStream->streamError();
                    break;
                }
                NSInteger written = 0;
                if (read > 0) {
                    written = outputStream->writeMaxLength(buffer, static_cast<NSUInteger>(read));
                    if (written < 0) {
                        error = outputStream->streamError();
                        break;
                    }
                    if (written < read) {
                        // A short write would lose the rest of this chunk: the copy is incomplete.
                        error = make<NSError>(NSPOSIXErrorDomain(), EIO);
                        break;
                    }
                }
                if (read == 0 && written == 0) {
                    break;
                }
            }
            outputStream->close();
            inputStream->close();
        }
        if (handler) {
            dispatch_async(dispatch_get_main_queue(), [handler, error] { handler(error); });
        }
    });
    return copy;
}

void HCHTTPRequestSerializer::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(headers_, "mutableHTTPRequestHeaders"_ns);
    coder->encodeInt64ForKey(static_cast<int64_t>(style_), "queryStringSerializationStyle"_ns);
    auto changed = [&](const char* key) { return changedKeyPaths_->containsObject(NSString::from(key)); };
    if (changed("timeoutInterval")) {
        coder->encodeDoubleForKey(timeoutInterval_, "timeoutInterval"_ns);
    }
    if (changed("cachePolicy")) {
        coder->encodeInt64ForKey(static_cast<int64_t>(cachePolicy_), "cachePolicy"_ns);
    }
    if (changed("allowsCellularAccess")) {
        coder->encodeBoolForKey(allowsCellularAccess_, "allowsCellularAccess"_ns);
    }
    if (changed("HTTPShouldHandleCookies")) {
        coder->encodeBoolForKey(shouldHandleCookies_, "HTTPShouldHandleCookies"_ns);
    }
    if (changed("HTTPShouldUsePipelining")) {
        coder->encodeBoolForKey(shouldUsePipelining_, "HTTPShouldUsePipelining"_ns);
    }
    if (changed("networkServiceType")) {
        coder->encodeInt64ForKey(static_cast<int64_t>(networkServiceType_), "networkServiceType"_ns);
    }
}

void HCHTTPRequestSerializer::copyStateInto(HCHTTPRequestSerializer& other) const {
    other.headers_ = NSMutableDictionary::dictionaryWithDictionary(headers_);
    other.style_ = style_;
    other.queryStringSerialization_ = queryStringSerialization_;
    other.stringEncoding_ = stringEncoding_;
    other.methodsInURI_ = methodsInURI_;
    // A copy makes the same requests: the assigned request settings (the time-out above all) go
    // with it.
    other.allowsCellularAccess_ = allowsCellularAccess_;
    other.cachePolicy_ = cachePolicy_;
    other.shouldHandleCookies_ = shouldHandleCookies_;
    other.shouldUsePipelining_ = shouldUsePipelining_;
    other.networkServiceType_ = networkServiceType_;
    other.timeoutInterval_ = timeoutInterval_;
    other.changedKeyPaths_ = NSMutableSet::setWithSet(changedKeyPaths_);
}

id HCHTTPRequestSerializer::copy() const {
    auto other = make<HCHTTPRequestSerializer>();
    copyStateInto(*other);
    return other;
}
