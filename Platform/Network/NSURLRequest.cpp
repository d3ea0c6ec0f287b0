#include <Network/NSURLRequest.h>

#include <Network/NSInputStream.h>
#include <Runtime/ClassBuilder.h>

#include <strings.h>

NS_IMPLEMENT_CLASS(NSURLRequest, NSObject) {
    NSCodingRegister(b);
    b.readonlyProperty("URL", &NSURLRequest::URL);
    b.readonlyProperty("timeoutInterval", &NSURLRequest::timeoutInterval);
    b.readonlyProperty("cachePolicy", &NSURLRequest::cachePolicy);
    b.readonlyProperty("allowsCellularAccess", &NSURLRequest::allowsCellularAccess);
    b.readonlyProperty("HTTPShouldHandleCookies", &NSURLRequest::HTTPShouldHandleCookies);
    b.readonlyProperty("HTTPShouldUsePipelining", &NSURLRequest::HTTPShouldUsePipelining);
    b.readonlyProperty("networkServiceType", &NSURLRequest::networkServiceType);
    b.readonlyProperty("HTTPMethod", &NSURLRequest::HTTPMethod);
}

NS_IMPLEMENT_CLASS(NSMutableURLRequest, NSURLRequest) {
    NSCodingRegister(b);
    using M = NSMutableURLRequest;
    b.property("URL", static_cast<const Ref<NSURL>& (M::*)() const>(&M::URL), &M::setURL);
    b.property("timeoutInterval", static_cast<double (M::*)() const>(&M::timeoutInterval), &M::setTimeoutInterval);
    b.property("cachePolicy", static_cast<NSURLRequestCachePolicy (M::*)() const>(&M::cachePolicy), &M::setCachePolicy);
    b.property("allowsCellularAccess", static_cast<bool (M::*)() const>(&M::allowsCellularAccess),
               &M::setAllowsCellularAccess);
    b.property("HTTPShouldHandleCookies", static_cast<bool (M::*)() const>(&M::HTTPShouldHandleCookies),
               &M::setHTTPShouldHandleCookies);
    b.property("HTTPShouldUsePipelining", static_cast<bool (M::*)() const>(&M::HTTPShouldUsePipelining),
               &M::setHTTPShouldUsePipelining);
    b.property("networkServiceType", static_cast<NSURLRequestNetworkServiceType (M::*)() const>(&M::networkServiceType),
               &M::setNetworkServiceType);
    b.property("HTTPMethod", static_cast<const Ref<NSString>& (M::*)() const>(&M::HTTPMethod), &M::setHTTPMethod);
}

namespace {
const Ref<NSString>& getMethod() {
    static const Ref<NSString>& method = *new Ref<NSString>("GET"_ns);
    return method;
}
} // namespace

NSURLRequest::NSURLRequest() : method_(getMethod()) {}

NSURLRequest::~NSURLRequest() = default;

NSURLRequest::NSURLRequest(const Ref<NSURL>& url, NSURLRequestCachePolicy cachePolicy, double timeoutInterval)
    : url_(url), cachePolicy_(cachePolicy), timeoutInterval_(timeoutInterval), method_(getMethod()) {}

NSURLRequest::NSURLRequest(const NSURLRequest& other)
    : NSObject(), url_(other.url_), mainDocumentURL_(other.mainDocumentURL_), cachePolicy_(other.cachePolicy_),
      timeoutInterval_(other.timeoutInterval_), method_(other.method_), headers_(other.headers_), body_(other.body_),
      bodyStream_(other.bodyStream_), allowsCellularAccess_(other.allowsCellularAccess_),
      shouldHandleCookies_(other.shouldHandleCookies_), shouldUsePipelining_(other.shouldUsePipelining_),
      networkServiceType_(other.networkServiceType_) {}

NSURLRequest::NSURLRequest(NSCoder* coder) : NSURLRequest() {
    auto url = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "URL"_ns));
    url_ = url ? NSURL::URLWithString(url) : nullptr;
    auto main = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "mainDocumentURL"_ns));
    mainDocumentURL_ = main ? NSURL::URLWithString(main) : nullptr;
    if (auto method = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "HTTPMethod"_ns))) {
        method_ = method;
    }
    auto fields = cast<NSDictionary>(
        coder->decodeObjectOfClassesForKey({NSDictionary::class_(), NSString::class_()}, "allHTTPHeaderFields"_ns));
    if (fields) {
        for (const auto& [key, value] : *fields) {
            headers_.emplace_back(NSDescription(key)->str(), NSDescription(value)->str());
        }
    }
    body_ = cast<NSData>(coder->decodeObjectOfClassForKey(NSData::class_(), "HTTPBody"_ns));
    if (coder->containsValueForKey("timeoutInterval"_ns)) {
        timeoutInterval_ = coder->decodeDoubleForKey("timeoutInterval"_ns);
    }
    cachePolicy_ = static_cast<NSURLRequestCachePolicy>(coder->decodeInt64ForKey("cachePolicy"_ns));
    networkServiceType_ =
        static_cast<NSURLRequestNetworkServiceType>(coder->decodeInt64ForKey("networkServiceType"_ns));
    if (coder->containsValueForKey("allowsCellularAccess"_ns)) {
        allowsCellularAccess_ = coder->decodeBoolForKey("allowsCellularAccess"_ns);
        shouldHandleCookies_ = coder->decodeBoolForKey("HTTPShouldHandleCookies"_ns);
        shouldUsePipelining_ = coder->decodeBoolForKey("HTTPShouldUsePipelining"_ns);
    }
}

void NSURLRequest::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(url_ ? url_->absoluteString() : nullptr, "URL"_ns);
    coder->encodeObjectForKey(mainDocumentURL_ ? mainDocumentURL_->absoluteString() : nullptr, "mainDocumentURL"_ns);
    coder->encodeObjectForKey(method_, "HTTPMethod"_ns);
    coder->encodeObjectForKey(allHTTPHeaderFields(), "allHTTPHeaderFields"_ns);
    coder->encodeObjectForKey(body_, "HTTPBody"_ns);
    coder->encodeDoubleForKey(timeoutInterval_, "timeoutInterval"_ns);
    coder->encodeInt64ForKey(static_cast<int64_t>(cachePolicy_), "cachePolicy"_ns);
    coder->encodeInt64ForKey(static_cast<int64_t>(networkServiceType_), "networkServiceType"_ns);
    coder->encodeBoolForKey(allowsCellularAccess_, "allowsCellularAccess"_ns);
    coder->encodeBoolForKey(shouldHandleCookies_, "HTTPShouldHandleCookies"_ns);
    coder->encodeBoolForKey(shouldUsePipelining_, "HTTPShouldUsePipelining"_ns);
}

Ref<NSURLRequest> NSURLRequest::requestWithURL(const Ref<NSURL>& url) {
    return make<NSURLRequest>(url);
}

Ref<NSURLRequest> NSURLRequest::requestWithURLCachePolicyTimeoutInterval(const Ref<NSURL>& url,
                                                                         NSURLRequestCachePolicy cachePolicy,
                                                                         double timeoutInterval) {
    return make<NSURLRequest>(url, cachePolicy, timeoutInterval);
}

Ref<NSDictionary> NSURLRequest::allHTTPHeaderFields() const {
    if (headers_.empty()) {
        return nullptr;
    }
    std::vector<NSDictionary::Entry> entries;
    entries.reserve(headers_.size());
    for (const auto& [name, value] : headers_) {
        entries.emplace_back(NSString::from(name), NSString::from(value));
    }
    return make<NSDictionary>(entries);
}

Ref<NSString> NSURLRequest::valueForHTTPHeaderField(const Ref<NSString>& field) const {
    if (!field) {
        return nullptr;
    }
    for (const auto& [name, value] : headers_) {
        if (strcasecmp(name.c_str(), field->UTF8String()) == 0) {
            return NSString::from(value);
        }
    }
    return nullptr;
}

bool NSURLRequest::isEqual(const id& other) const {
    auto o = cast<NSURLRequest>(other);
    if (!o) {
        return false;
    }
    return NSObjectsEqual(url_, o->url_) && method_->isEqualToString(o->method_) && headers_ == o->headers_ &&
           NSObjectsEqual(body_, o->body_) && bodyStream_ == o->bodyStream_ && cachePolicy_ == o->cachePolicy_ &&
           timeoutInterval_ == o->timeoutInterval_;
}

NSUInteger NSURLRequest::hash() const {
    return url_ ? url_->hash() : 0;
}

Ref<NSString> NSURLRequest::description() const {
    return NSString::stringWithFormat("<%@: %p> { URL: %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), url_);
}

id NSURLRequest::copy() const {
    return make<NSURLRequest>(*this);
}

id NSURLRequest::mutableCopy() const {
    return make<NSMutableURLRequest>(*this);
}

Ref<NSMutableURLRequest> NSMutableURLRequest::requestWithURL(const Ref<NSURL>& url) {
    return make<NSMutableURLRequest>(url);
}

void NSMutableURLRequest::setHTTPMethod(const Ref<NSString>& method) {
    method_ = method ? cast<NSString>(method->copy()) : getMethod();
}

void NSMutableURLRequest::setAllHTTPHeaderFields(const Ref<NSDictionary>& fields) {
    headers_.clear();
    if (!fields) {
        return;
    }
    for (const auto& [key, value] : *fields) {
        auto name = cast<NSString>(key);
        auto text = cast<NSString>(value);
        if (name && text) {
            setValueForHTTPHeaderField(text, name);
        }
    }
}

void NSMutableURLRequest::setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field) {
    if (!field) {
        return;
    }
    for (auto it = headers_.begin(); it != headers_.end(); ++it) {
        if (strcasecmp(it->first.c_str(), field->UTF8String()) == 0) {
            if (value) {
                it->second = value->str();
            } else {
                headers_.erase(it);
            }
            return;
        }
    }
    if (value) {
        headers_.emplace_back(field->str(), value->str());
    }
}

void NSMutableURLRequest::addValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field) {
    if (!field || !value) {
        return;
    }
    for (auto& [name, existing] : headers_) {
        if (strcasecmp(name.c_str(), field->UTF8String()) == 0) {
            existing += "," + value->str();
            return;
        }
    }
    headers_.emplace_back(field->str(), value->str());
}

void NSMutableURLRequest::setHTTPBody(const Ref<NSData>& body) {
    body_ = body ? cast<NSData>(body->copy()) : nullptr;
    bodyStream_ = nullptr;
}

void NSMutableURLRequest::setHTTPBodyStream(const Ref<NSInputStream>& stream) {
    bodyStream_ = stream;
    body_ = nullptr;
}
