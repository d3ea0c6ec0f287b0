#include <Network/NSHTTPURLResponse.h>

#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cctype>
#include <strings.h>

NS_IMPLEMENT_CLASS(NSHTTPURLResponse, NSURLResponse) {
    NSCodingRegister(b);
    b.readonlyProperty("statusCode", &NSHTTPURLResponse::statusCode);
    b.readonlyProperty("allHeaderFields", &NSHTTPURLResponse::allHeaderFields);
}

namespace {

std::string trim(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) {
        ++a;
    }
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) {
        --b;
    }
    return std::string(s.substr(a, b - a));
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

NSHTTPURLResponse::NSHTTPURLResponse(const Ref<NSURL>& url, NSInteger statusCode, const Ref<NSString>& HTTPVersion,
                                     const Ref<NSDictionary>& headerFields)
    : NSURLResponse(url, nullptr, NSURLResponseUnknownLength, nullptr), statusCode_(statusCode),
      version_(HTTPVersion ? HTTPVersion : "HTTP/1.1"_ns) {
    if (headerFields) {
        for (const auto& [key, value] : *headerFields) {
            headers_.emplace_back(NSDescription(key)->str(), NSDescription(value)->str());
        }
    }
    deriveFromHeaders();
}

NSHTTPURLResponse::NSHTTPURLResponse(const Ref<NSURL>& url, NSInteger statusCode, const Ref<NSString>& HTTPVersion,
                                     std::vector<std::pair<std::string, std::string>> headerFields)
    : NSURLResponse(url, nullptr, NSURLResponseUnknownLength, nullptr), statusCode_(statusCode),
      version_(HTTPVersion ? HTTPVersion : "HTTP/1.1"_ns) {
    for (auto& [name, value] : headerFields) {
        auto existing = std::find_if(headers_.begin(), headers_.end(), [&name = name](const auto& h) {
            return strcasecmp(h.first.c_str(), name.c_str()) == 0;
        });
        if (existing != headers_.end()) {
            existing->second += ", " + value;
        } else {
            headers_.emplace_back(std::move(name), std::move(value));
        }
    }
    deriveFromHeaders();
}

NSHTTPURLResponse::NSHTTPURLResponse(NSCoder* coder)
    : NSURLResponse(coder), statusCode_(static_cast<NSInteger>(coder->decodeInt64ForKey("statusCode"_ns))) {
    version_ = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "HTTPVersion"_ns));
    if (!version_) {
        version_ = "HTTP/1.1"_ns;
    }
    auto names =
        cast<NSArray>(coder->decodeObjectOfClassesForKey({NSArray::class_(), NSString::class_()}, "headerNames"_ns));
    auto values =
        cast<NSArray>(coder->decodeObjectOfClassesForKey({NSArray::class_(), NSString::class_()}, "headerValues"_ns));
    if (names && values && names->count() == values->count()) {
        for (NSUInteger i = 0; i < names->count(); ++i) {
            headers_.emplace_back(NSDescription(names->objectAtIndex(i))->str(),
                                  NSDescription(values->objectAtIndex(i))->str());
        }
    }
}

void NSHTTPURLResponse::encodeWithCoder(NSCoder* coder) {
    NSURLResponse::encodeWithCoder(coder);
    coder->encodeInt64ForKey(statusCode_, "statusCode"_ns);
    coder->encodeObjectForKey(version_, "HTTPVersion"_ns);
    auto names = NSMutableArray::array();
    auto values = NSMutableArray::array();
    for (const auto& [name, value] : headers_) {
        names->addObject(NSString::from(name));
        values->addObject(NSString::from(value));
    }
    coder->encodeObjectForKey(names, "headerNames"_ns);
    coder->encodeObjectForKey(values, "headerValues"_ns);
}

void NSHTTPURLResponse::deriveFromHeaders() {
    if (auto type = valueForHTTPHeaderField("Content-Type"_ns)) {
        std::string text = type->str();
        size_t semicolon = text.find(';');
        std::string mime = lower(trim(text.substr(0, semicolon)));
        if (!mime.empty()) {
            mimeType_ = NSString::from(mime);
        }
        while (semicolon != std::string::npos) {
            size_t next = text.find(';', semicolon + 1);
            std::string parameter =
                trim(text.substr(semicolon + 1, next == std::string::npos ? std::string::npos : next - semicolon - 1));
            size_t equals = parameter.find('=');
            if (equals != std::string::npos && lower(trim(parameter.substr(0, equals))) == "charset") {
                std::string charset = trim(parameter.substr(equals + 1));
                if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"') {
                    charset = charset.substr(1, charset.size() - 2);
                }
                if (!charset.empty()) {
                    textEncodingName_ = NSString::from(lower(charset));
                }
            }
            semicolon = next;
        }
    }
    if (auto length = valueForHTTPHeaderField("Content-Length"_ns)) {
        std::string text = trim(length->str());
        if (!text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
            expectedContentLength_ = std::stoll(text);
        }
    }
}

Ref<NSDictionary> NSHTTPURLResponse::allHeaderFields() const {
    std::vector<NSDictionary::Entry> entries;
    entries.reserve(headers_.size());
    for (const auto& [name, value] : headers_) {
        entries.emplace_back(NSString::from(name), NSString::from(value));
    }
    return make<NSDictionary>(entries);
}

Ref<NSString> NSHTTPURLResponse::valueForHTTPHeaderField(const Ref<NSString>& field) const {
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

Ref<NSString> NSHTTPURLResponse::suggestedFilename() const {
    if (auto disposition = valueForHTTPHeaderField("Content-Disposition"_ns)) {
        std::string text = disposition->str();
        size_t at = lower(text).find("filename=");
        if (at != std::string::npos) {
            std::string name = trim(text.substr(at + 9));
            name = name.substr(0, name.find(';'));
            if (name.size() >= 2 && name.front() == '"') {
                name = name.substr(1, name.find('"', 1) - 1);
            }
            name = name.substr(name.find_last_of('/') == std::string::npos ? 0 : name.find_last_of('/') + 1);
            if (!name.empty()) {
                return NSString::from(name);
            }
        }
    }
    return NSURLResponse::suggestedFilename();
}

Ref<NSString> NSHTTPURLResponse::localizedStringForStatusCode(NSInteger statusCode) {
    switch (statusCode) {
    case 100:
        return "continue"_ns;
    case 101:
        return "switching protocols"_ns;
    case 200:
        return "no error"_ns;
    case 201:
        return "created"_ns;
    case 202:
        return "accepted"_ns;
    case 203:
        return "non-authoritative information"_ns;
    case 204:
        return "no content"_ns;
    case 205:
        return "reset content"_ns;
    case 206:
        return "partial content"_ns;
    case 300:
        return "multiple choices"_ns;
    case 301:
        return "moved permanently"_ns;
    case 302:
        return "found"_ns;
    case 303:
        return "see other"_ns;
    case 304:
        return "not modified"_ns;
    case 305:
        return "needs proxy"_ns;
    case 307:
        return "temporarily redirected"_ns;
    case 308:
        return "permanent redirect"_ns;
    case 400:
        return "bad request"_ns;
    case 401:
        return "unauthorized"_ns;
    case 402:
        return "payment required"_ns;
    case 403:
        return "forbidden"_ns;
    case 404:
        return "not found"_ns;
    case 405:
        return "method not allowed"_ns;
    case 406:
        return "unacceptable"_ns;
    case 407:
        return "proxy authentication required"_ns;
    case 408:
        return "request timed out"_ns;
    case 409:
        return "conflict"_ns;
    case 410:
        return "no longer exists"_ns;
    case 411:
        return "length required"_ns;
    case 412:
        return "precondition failed"_ns;
    case 413:
        return "request too large"_ns;
    case 414:
        return "requested URL too long"_ns;
    case 415:
        return "unsupported media type"_ns;
    case 416:
        return "requested range not satisfiable"_ns;
    case 417:
        return "expectation failed"_ns;
    case 422:
        return "unprocessable entity"_ns;
    case 429:
        return "too many requests"_ns;
    case 500:
        return "internal server error"_ns;
    case 501:
        return "unimplemented"_ns;
    case 502:
        return "bad gateway"_ns;
    case 503:
        return "service unavailable"_ns;
    case 504:
        return "gateway timed out"_ns;
    case 505:
        return "unsupported version"_ns;
    default:
        break;
    }
    if (statusCode >= 100 && statusCode < 200) {
        return "informational"_ns;
    }
    if (statusCode >= 200 && statusCode < 300) {
        return "success"_ns;
    }
    if (statusCode >= 300 && statusCode < 400) {
        return "redirected"_ns;
    }
    if (statusCode >= 400 && statusCode < 500) {
        return "client error"_ns;
    }
    if (statusCode >= 500 && statusCode < 600) {
        return "server error"_ns;
    }
    return "unknown status"_ns;
}

Ref<NSString> NSHTTPURLResponse::description() const {
    return NSString::stringWithFormat("<%@: %p> { URL: %@ } { Status Code: %ld, Headers %@ }",
                                      NSStringFromClass(getClass()), static_cast<const void*>(this), url_,
                                      static_cast<long>(statusCode_), allHeaderFields());
}
