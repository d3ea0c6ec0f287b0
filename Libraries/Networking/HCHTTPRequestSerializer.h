// HCHTTPRequestSerializer: builds requests from a method, a URL string and parameters, with the
// default headers (language, user agent, authorization), the request settings assigned on the
// serializer, and the parameters as a query string (GET, HEAD, DELETE) or a form body.
#pragma once

#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSSet.h>
#include <Networking/HCMultipartFormData.h>
#include <Networking/HCURLRequestSerialization.h>

#include <functional>

enum HCHTTPRequestQueryStringSerializationStyle : NSUInteger {
    HCHTTPRequestQueryStringDefaultStyle = 0,
};

using HCQueryStringSerializationBlock =
    std::function<Ref<NSString>(const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error)>;

// The names of the request settings a serializer passes on once they are assigned, in order.
const Ref<NSArray>& HCObservedRequestKeyPaths();

class HCHTTPRequestSerializer : public NSObject, public HCURLRequestSerialization, public NSSecureCoding {
    NS_OBJECT(HCHTTPRequestSerializer, NSObject)
public:
    HCHTTPRequestSerializer();
    explicit HCHTTPRequestSerializer(NSCoder* coder);

    static Ref<HCHTTPRequestSerializer> serializer();
    static bool supportsSecureCoding() { return true; }

    NSStringEncoding stringEncoding() const noexcept { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }

    // The observed request settings: assigning one (even to its current value) makes every later
    // request carry it.
    bool allowsCellularAccess() const noexcept { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows);
    NSURLRequestCachePolicy cachePolicy() const noexcept { return cachePolicy_; }
    void setCachePolicy(NSURLRequestCachePolicy policy);
    bool HTTPShouldHandleCookies() const noexcept { return shouldHandleCookies_; }
    void setHTTPShouldHandleCookies(bool should);
    bool HTTPShouldUsePipelining() const noexcept { return shouldUsePipelining_; }
    void setHTTPShouldUsePipelining(bool should);
    NSURLRequestNetworkServiceType networkServiceType() const noexcept { return networkServiceType_; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type);
    double timeoutInterval() const noexcept { return timeoutInterval_; }
    void setTimeoutInterval(double seconds);

    const Ref<NSSet>& HTTPMethodsEncodingParametersInURI() const noexcept { return methodsInURI_; }
    void setHTTPMethodsEncodingParametersInURI(const Ref<NSSet>& methods) { methodsInURI_ = methods; }
    const Ref<NSMutableSet>& mutableObservedChangedKeyPaths() const noexcept { return changedKeyPaths_; }

    // The default header fields.
    Ref<NSDictionary> HTTPRequestHeaders() const;
    void setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field);
    Ref<NSString> valueForHTTPHeaderField(const Ref<NSString>& field) const;
    void setAuthorizationHeaderFieldWithUsernamePassword(const Ref<NSString>& username, const Ref<NSString>& password);
    void setAuthorizationHeaderFieldWithToken(const Ref<NSString>& token);
    void clearAuthorizationHeader();

    HCHTTPRequestQueryStringSerializationStyle queryStringSerializationStyle() const noexcept { return style_; }
    void setQueryStringSerializationWithStyle(HCHTTPRequestQueryStringSerializationStyle style);
    void setQueryStringSerializationWithBlock(HCQueryStringSerializationBlock block);

    // nil (with the reason in `error`) when the parameters cannot be serialized: no request is
    // made then, so nothing half-built is ever sent.
    Ref<NSMutableURLRequest> requestWithMethodURLStringParametersError(const Ref<NSString>& method,
                                                                       const Ref<NSString>& URLString,
                                                                       const id& parameters, Ref<NSError>* error);
    Ref<NSMutableURLRequest> requestWithMethodURLStringParameters(const Ref<NSString>& method,
                                                                  const Ref<NSString>& URLString,
                                                                  const id& parameters) {
        return requestWithMethodURLStringParametersError(method, URLString, parameters, nullptr);
    }
    Ref<NSMutableURLRequest> multipartFormRequestWithMethodURLStringParametersConstructingBodyWithBlockError(
        const Ref<NSString>& method, const Ref<NSString>& URLString, const Ref<NSDictionary>& parameters,
        const std::function<void(HCMultipartFormData*)>& block, Ref<NSError>* error);
    Ref<NSMutableURLRequest> multipartFormRequestWithMethodURLStringParametersConstructingBodyWithBlock(
        const Ref<NSString>& method, const Ref<NSString>& URLString, const Ref<NSDictionary>& parameters,
        const std::function<void(HCMultipartFormData*)>& block) {
        return multipartFormRequestWithMethodURLStringParametersConstructingBodyWithBlockError(
            method, URLString, parameters, block, nullptr);
    }
    // A copy of the request without its body stream; the stream's bytes are written to the file
    // meanwhile, and the handler runs on the main queue with the error or nil.
    Ref<NSMutableURLRequest> requestWithMultipartFormRequestWritingStreamContentsToFileCompletionHandler(
        const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL, std::function<void(const Ref<NSError>&)> handler);

    Ref<NSMutableURLRequest> requestBySerializingRequestWithParametersError(const Ref<NSURLRequest>& request,
                                                                            const id& parameters,
                                                                            Ref<NSError>* error) override;

    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>& change, void* context) override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

protected:
    // The request with the default headers set where it has none (a mutable copy).
    Ref<NSMutableURLRequest> requestWithDefaultHeaders(const Ref<NSURLRequest>& request) const;
    bool encodesParametersInURI(const Ref<NSURLRequest>& request) const;
    // Copies this serializer's state into a fresh one (copy of a subclass).
    void copyStateInto(HCHTTPRequestSerializer& other) const;

private:
    template <class T>
    void setObserved(const char* key, T& field, T value);

    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
    bool allowsCellularAccess_ = true;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    bool shouldHandleCookies_ = true;
    bool shouldUsePipelining_ = false;
    NSURLRequestNetworkServiceType networkServiceType_ = NSURLNetworkServiceTypeDefault;
    double timeoutInterval_ = NSURLRequestDefaultTimeoutInterval;
    Ref<NSSet> methodsInURI_;
    Ref<NSMutableSet> changedKeyPaths_;
    Ref<NSMutableDictionary> headers_;
    HCHTTPRequestQueryStringSerializationStyle style_ = HCHTTPRequestQueryStringDefaultStyle;
    HCQueryStringSerializationBlock queryStringSerialization_;
};
