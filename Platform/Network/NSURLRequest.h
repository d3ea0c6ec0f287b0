// NSURLRequest and NSMutableURLRequest: what to load and how: the URL, the HTTP method, header
// fields (names compared without regard to case), a body as data or as a stream, the time-out
// (idle time allowed without progress) and the cache, cellular, cookie, pipelining and service
// settings.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSURL.h>

#include <string>
#include <utility>
#include <vector>

class NSInputStream;

// A load fails with this code when its body stream ends before the request's declared
// Content-Length, or yields more bytes than it.
inline constexpr NSInteger NSURLErrorRequestBodyStreamExhausted = -1021;
// A redirect from https to plain http that the client did not choose itself (it returned the
// request it was offered, or had no say) is refused with this code.
inline constexpr NSInteger NSURLErrorAppTransportSecurityRequiresSecureConnection = -1022;

enum NSURLRequestCachePolicy : NSUInteger {
    NSURLRequestUseProtocolCachePolicy = 0,
    NSURLRequestReloadIgnoringLocalCacheData = 1,
    NSURLRequestReturnCacheDataElseLoad = 2,
    NSURLRequestReturnCacheDataDontLoad = 3,
    NSURLRequestReloadIgnoringLocalAndRemoteCacheData = 4,
    NSURLRequestReloadRevalidatingCacheData = 5,
};

enum NSURLRequestNetworkServiceType : NSUInteger {
    NSURLNetworkServiceTypeDefault = 0,
    NSURLNetworkServiceTypeVoIP = 1,
    NSURLNetworkServiceTypeVideo = 2,
    NSURLNetworkServiceTypeBackground = 3,
    NSURLNetworkServiceTypeVoice = 4,
};

// The default time-out of a request, in seconds.
inline constexpr double NSURLRequestDefaultTimeoutInterval = 60.0;

class NSURLRequest : public NSObject, public NSSecureCoding {
    NS_OBJECT(NSURLRequest, NSObject)
public:
    NSURLRequest();
    // `initWithCoder:`: everything but a body stream is archived.
    explicit NSURLRequest(NSCoder* coder);
    // `initWithURL:cachePolicy:timeoutInterval:`.
    explicit NSURLRequest(const Ref<NSURL>& url,
                          NSURLRequestCachePolicy cachePolicy = NSURLRequestUseProtocolCachePolicy,
                          double timeoutInterval = NSURLRequestDefaultTimeoutInterval);
    NSURLRequest(const NSURLRequest& other);
    ~NSURLRequest() override;

    static Ref<NSURLRequest> requestWithURL(const Ref<NSURL>& url);
    static Ref<NSURLRequest> requestWithURLCachePolicyTimeoutInterval(const Ref<NSURL>& url,
                                                                      NSURLRequestCachePolicy cachePolicy,
                                                                      double timeoutInterval);

    const Ref<NSURL>& URL() const noexcept { return url_; }
    const Ref<NSURL>& mainDocumentURL() const noexcept { return mainDocumentURL_; }
    NSURLRequestCachePolicy cachePolicy() const noexcept { return cachePolicy_; }
    double timeoutInterval() const noexcept { return timeoutInterval_; }
    // "GET" unless set.
    const Ref<NSString>& HTTPMethod() const noexcept { return method_; }
    // nil when the request has no header fields.
    Ref<NSDictionary> allHTTPHeaderFields() const;
    // The value of a header field, its name compared without regard to case; nil when absent.
    Ref<NSString> valueForHTTPHeaderField(const Ref<NSString>& field) const;
    const Ref<NSData>& HTTPBody() const noexcept { return body_; }
    const Ref<NSInputStream>& HTTPBodyStream() const noexcept { return bodyStream_; }
    bool allowsCellularAccess() const noexcept { return allowsCellularAccess_; }
    bool HTTPShouldHandleCookies() const noexcept { return shouldHandleCookies_; }
    bool HTTPShouldUsePipelining() const noexcept { return shouldUsePipelining_; }
    NSURLRequestNetworkServiceType networkServiceType() const noexcept { return networkServiceType_; }

    // The header fields in the order they were first set, with the names as first written.
    const std::vector<std::pair<std::string, std::string>>& headerFields() const noexcept { return headers_; }

    void encodeWithCoder(NSCoder* coder) override;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    // "<NSURLRequest: 0x...> { URL: ... }"
    Ref<NSString> description() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    Ref<NSURL> url_;
    Ref<NSURL> mainDocumentURL_;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    double timeoutInterval_ = NSURLRequestDefaultTimeoutInterval;
    Ref<NSString> method_;
    std::vector<std::pair<std::string, std::string>> headers_;
    Ref<NSData> body_;
    Ref<NSInputStream> bodyStream_;
    bool allowsCellularAccess_ = true;
    bool shouldHandleCookies_ = true;
    bool shouldUsePipelining_ = false;
    NSURLRequestNetworkServiceType networkServiceType_ = NSURLNetworkServiceTypeDefault;
};

class NSMutableURLRequest : public NSURLRequest {
    NS_OBJECT(NSMutableURLRequest, NSURLRequest)
public:
    NSMutableURLRequest() = default;
    explicit NSMutableURLRequest(const Ref<NSURL>& url,
                                 NSURLRequestCachePolicy cachePolicy = NSURLRequestUseProtocolCachePolicy,
                                 double timeoutInterval = NSURLRequestDefaultTimeoutInterval)
        : NSURLRequest(url, cachePolicy, timeoutInterval) {}
    NSMutableURLRequest(const NSURLRequest& other) : NSURLRequest(other) {}
    explicit NSMutableURLRequest(NSCoder* coder) : NSURLRequest(coder) {}

    static Ref<NSMutableURLRequest> requestWithURL(const Ref<NSURL>& url);

    void setURL(const Ref<NSURL>& url) { url_ = url; }
    void setMainDocumentURL(const Ref<NSURL>& url) { mainDocumentURL_ = url; }
    void setCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
    // A nil method means "GET".
    void setHTTPMethod(const Ref<NSString>& method);
    // Replaces every header field; nil removes them all.
    void setAllHTTPHeaderFields(const Ref<NSDictionary>& fields);
    // Sets (nil removes) a header field, whatever the case of its existing name.
    void setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field);
    // Appends to an existing field with ","; sets it when absent.
    void addValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field);
    // Setting a body drops the body stream, and the reverse.
    void setHTTPBody(const Ref<NSData>& body);
    void setHTTPBodyStream(const Ref<NSInputStream>& stream);
    void setAllowsCellularAccess(bool allows) { allowsCellularAccess_ = allows; }
    void setHTTPShouldHandleCookies(bool should) { shouldHandleCookies_ = should; }
    void setHTTPShouldUsePipelining(bool should) { shouldUsePipelining_ = should; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { networkServiceType_ = type; }
};
