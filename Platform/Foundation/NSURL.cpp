// NSURL. What is where:
//   Parts     the parser (RFC 3986 components), authority and string forms, relative resolution
//   NSURL     constructors (string, relative, file path), component accessors, path components,
//             file-URL helpers, equality and hashing
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSURL.h>
#include <Runtime/ClassBuilder.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <optional>

NS_IMPLEMENT_CLASS(NSURL, NSObject) {
    b.readonlyProperty("absoluteString", &NSURL::absoluteString);
    b.readonlyProperty("scheme", &NSURL::scheme);
    b.readonlyProperty("host", &NSURL::host);
    b.readonlyProperty("path", &NSURL::path);
    b.readonlyProperty("query", &NSURL::query);
    b.classMethod("URLWithString:", [](Ref<NSString> s) { return NSURL::URLWithString(s); });
}
NS_IMPLEMENT_CLASS(NSURLQueryItem, NSObject) {
    b.readonlyProperty("name", &NSURLQueryItem::name);
    b.readonlyProperty("value", &NSURLQueryItem::value);
}
NS_IMPLEMENT_CLASS(NSURLComponents, NSObject) {}

namespace ns_url {
namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isUnreserved(char c) {
    return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool isSubDelim(char c) {
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

// Whether `text` consists of unreserved characters, sub-delimiters, the `extra` characters and
// well-formed percent escapes.
bool isValidComponent(std::string_view text, std::string_view extra) {
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
                return false;
            }
            i += 2;
        } else if (!isUnreserved(c) && !isSubDelim(c) && extra.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool isValidScheme(std::string_view s) {
    if (s.empty() || !isAlpha(s[0])) {
        return false;
    }
    for (char c : s) {
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

bool isValidHost(std::string_view host) {
    if (!host.empty() && host.front() == '[') {
        // An IP literal: hex digits, ":" and "." for IPv6, or the "v" future form.
        if (host.size() < 3 || host.back() != ']') {
            return false;
        }
        for (char c : host.substr(1, host.size() - 2)) {
            if (!isUnreserved(c) && !isSubDelim(c) && c != ':') {
                return false;
            }
        }
        return true;
    }
    return isValidComponent(host, "");
}

} // namespace

std::optional<Parts> Parts::parse(std::string_view text) {
    Parts p;
    // Split by the generic syntax: [scheme:][//authority]path[?query][#fragment].
    size_t hash = text.find('#');
    if (hash != std::string_view::npos) {
        p.fragment = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    size_t question = text.find('?');
    if (question != std::string_view::npos) {
        p.query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    size_t colon = text.find(':');
    size_t slash = text.find('/');
    if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash)) {
        std::string_view scheme = text.substr(0, colon);
        if (!isValidScheme(scheme)) {
            return std::nullopt; // also a relative path whose first segment holds ':'
        }
        p.scheme = std::string(scheme);
        text = text.substr(colon + 1);
    }
    if (text.substr(0, 2) == "//") {
        p.hasAuthority = true;
        text = text.substr(2);
        size_t end = text.find('/');
        std::string_view authority = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end);
        size_t at = authority.rfind('@');
        if (at != std::string_view::npos) {
            std::string_view userinfo = authority.substr(0, at);
            authority = authority.substr(at + 1);
            if (!isValidComponent(userinfo, ":")) {
                return std::nullopt;
            }
            size_t sep = userinfo.find(':');
            p.user = std::string(userinfo.substr(0, sep));
            if (sep != std::string_view::npos) {
                p.password = std::string(userinfo.substr(sep + 1));
            }
        }
        size_t portColon = std::string_view::npos;
        if (!authority.empty() && authority.front() == '[') {
            size_t close = authority.find(']');
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            if (close + 1 < authority.size()) {
                if (authority[close + 1] != ':') {
                    return std::nullopt;
                }
                portColon = close + 1;
            }
        } else {
            portColon = authority.rfind(':');
        }
        if (portColon != std::string_view::npos) {
            std::string_view port = authority.substr(portColon + 1);
            for (char c : port) {
                if (!isDigit(c)) {
                    return std::nullopt;
                }
            }
            p.port = std::string(port);
            authority = authority.substr(0, portColon);
        }
        if (!isValidHost(authority)) {
            return std::nullopt;
        }
        p.host = std::string(authority);
    }
    if (!isValidComponent(text, ":@/")) {
        return std::nullopt;
    }
    p.path = std::string(text);
    if ((p.query && !isValidComponent(*p.query, ":@/?")) || (p.fragment && !isValidComponent(*p.fragment, ":@/?"))) {
        return std::nullopt;
    }
    return p;
}

std::string Parts::authority() const {
    std::string out;
    if (user || password) {
        out += user.value_or("");
        if (password) {
            out += ":" + *password;
        }
        out += "@";
    }
    out += host;
    if (port) {
        out += ":" + *port;
    }
    return out;
}

std::string Parts::toString() const {
    std::string out;
    if (scheme) {
        out += *scheme + ":";
    }
    if (hasAuthority) {
        out += "//" + authority();
    }
    out += path;
    if (query) {
        out += "?" + *query;
    }
    if (fragment) {
        out += "#" + *fragment;
    }
    return out;
}

std::string removeDotSegments(std::string_view path) {
    std::string in(path);
    std::string out;
    auto dropLastSegment = [&out] {
        size_t slash = out.rfind('/');
        out.erase(slash == std::string::npos ? 0 : slash);
    };
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.erase(0, 3);
        } else if (in.starts_with("./")) {
            in.erase(0, 2);
        } else if (in.starts_with("/./")) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../")) {
            in.erase(0, 3);
            dropLastSegment();
        } else if (in == "/..") {
            in = "/";
            dropLastSegment();
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            size_t next = in.find('/', in[0] == '/' ? 1 : 0);
            out += in.substr(0, next);
            in.erase(0, next == std::string::npos ? in.size() : next);
        }
    }
    return out;
}

Parts Parts::resolvedAgainst(const Parts& base) const {
    Parts t;
    if (scheme) {
        t = *this;
        t.path = removeDotSegments(path);
        return t;
    }
    if (hasAuthority) {
        t = *this;
        t.path = removeDotSegments(path);
    } else {
        if (path.empty()) {
            t.path = base.path;
            t.query = query ? query : base.query;
        } else {
            if (path.front() == '/') {
                t.path = removeDotSegments(path);
            } else {
                std::string merged;
                if (base.hasAuthority && base.path.empty()) {
                    merged = "/" + path;
                } else {
                    size_t slash = base.path.rfind('/');
                    merged = (slash == std::string::npos ? std::string() : base.path.substr(0, slash + 1)) + path;
                }
                t.path = removeDotSegments(merged);
            }
            t.query = query;
        }
        t.hasAuthority = base.hasAuthority;
        t.user = base.user;
        t.password = base.password;
        t.host = base.host;
        t.port = base.port;
    }
    t.scheme = base.scheme;
    t.fragment = fragment;
    return t;
}

} // namespace ns_url

using ns_url::Parts;

namespace {

// Percent-decoded text; nil when the escapes do not make UTF-8.
Ref<NSString> decoded(const std::string& text) {
    return NSString::from(text)->stringByRemovingPercentEncoding();
}

Ref<NSString> optionalString(const std::optional<std::string>& s) {
    return s ? NSString::from(*s) : nullptr;
}

Ref<NSString> encode(const Ref<NSString>& text, const Ref<NSCharacterSet>& allowed) {
    return text->stringByAddingPercentEncodingWithAllowedCharacters(allowed);
}

Ref<NSNumber> portNumber(const std::optional<std::string>& port) {
    if (!port || port->empty() || port->size() > 18) {
        return nullptr;
    }
    return NSNumber::numberWithInteger(std::stol(*port));
}

std::string hostForDisplay(const std::string& host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        return host.substr(1, host.size() - 2);
    }
    return host;
}

} // namespace

// MARK: - NSURL

NSURL::NSURL(Parts relative, Ref<NSURL> base) : relative_(std::move(relative)), base_(std::move(base)) {
    if (relative_.scheme) {
        base_ = nullptr; // an absolute reference does not keep a base
    }
    absolute_ = base_ ? relative_.resolvedAgainst(base_->absolute_) : relative_;
}

Ref<NSURL> NSURL::URLWithString(const Ref<NSString>& string) {
    return URLWithStringRelativeToURL(string, nullptr);
}

Ref<NSURL> NSURL::URLWithStringRelativeToURL(const Ref<NSString>& string, const Ref<NSURL>& baseURL) {
    if (!string || (string->str().empty() && !baseURL)) {
        return nullptr;
    }
    auto parts = Parts::parse(string->str());
    if (!parts) {
        return nullptr;
    }
    return make<NSURL>(std::move(*parts), baseURL);
}

Ref<NSURL> NSURL::fileURLWithPath(const Ref<NSString>& path) {
    if (!path || path->str().empty()) {
        NSException::raise(NSInvalidArgumentException, "+[NSURL fileURLWithPath:]: nil or empty path");
    }
    std::error_code ec;
    std::string absolute = path->str();
    if (absolute.front() != '/') {
        absolute = (std::filesystem::current_path(ec) / absolute).string();
    }
    bool isDirectory = std::filesystem::is_directory(absolute, ec);
    return fileURLWithPathIsDirectory(NSString::from(absolute), isDirectory);
}

Ref<NSURL> NSURL::fileURLWithPathIsDirectory(const Ref<NSString>& path, bool isDirectory) {
    if (!path || path->str().empty()) {
        NSException::raise(NSInvalidArgumentException, "+[NSURL fileURLWithPath:isDirectory:]: nil or empty path");
    }
    std::string absolute = path->str();
    if (absolute.front() != '/') {
        std::error_code ec;
        absolute = (std::filesystem::current_path(ec) / absolute).string();
    }
    if (isDirectory && absolute.back() != '/') {
        absolute += '/';
    }
    Parts parts;
    parts.scheme = "file";
    parts.hasAuthority = true;
    parts.path = encode(NSString::from(absolute), NSCharacterSet::URLPathAllowedCharacterSet())->str();
    return make<NSURL>(std::move(parts), nullptr);
}

Ref<NSString> NSURL::absoluteString() const {
    return NSString::from(absolute_.toString());
}

Ref<NSURL> NSURL::absoluteURL() const {
    if (!base_) {
        return Ref<NSURL>(const_cast<NSURL*>(this));
    }
    return make<NSURL>(absolute_, nullptr);
}

Ref<NSString> NSURL::relativeString() const {
    return NSString::from(relative_.toString());
}

namespace {
Ref<NSString> decodedPath(const std::string& encoded) {
    std::string p = encoded;
    if (p.size() > 1 && p.back() == '/') {
        p.pop_back();
    }
    return decoded(p);
}
} // namespace

Ref<NSString> NSURL::relativePath() const {
    return decodedPath(relative_.path);
}

Ref<NSString> NSURL::scheme() const {
    return optionalString(absolute_.scheme);
}

Ref<NSString> NSURL::host() const {
    if (!absolute_.hasAuthority || absolute_.host.empty()) {
        return nullptr;
    }
    return decoded(hostForDisplay(absolute_.host));
}

Ref<NSNumber> NSURL::port() const {
    return portNumber(absolute_.port);
}

Ref<NSString> NSURL::user() const {
    return absolute_.user ? decoded(*absolute_.user) : nullptr;
}

Ref<NSString> NSURL::password() const {
    return absolute_.password ? decoded(*absolute_.password) : nullptr;
}

Ref<NSString> NSURL::path() const {
    return decodedPath(absolute_.path);
}

Ref<NSString> NSURL::query() const {
    return optionalString(absolute_.query);
}

Ref<NSString> NSURL::fragment() const {
    return optionalString(absolute_.fragment);
}

Ref<NSString> NSURL::resourceSpecifier() const {
    Parts p = absolute_;
    p.scheme.reset();
    return NSString::from(p.toString());
}

bool NSURL::hasDirectoryPath() const {
    return !absolute_.path.empty() && absolute_.path.back() == '/';
}

bool NSURL::isFileURL() const {
    if (!absolute_.scheme) {
        return false;
    }
    std::string s = *absolute_.scheme;
    for (auto& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s == "file";
}

Ref<NSString> NSURL::lastPathComponent() const {
    auto p = path();
    return p ? p->lastPathComponent() : NSString::string();
}

Ref<NSString> NSURL::pathExtension() const {
    auto p = path();
    return p ? p->pathExtension() : NSString::string();
}

Ref<NSArray> NSURL::pathComponents() const {
    auto p = path();
    return p ? p->pathComponents() : NSArray::array();
}

Ref<NSURL> NSURL::withAbsolutePath(const std::string& encodedPath) const {
    Parts p = absolute_;
    p.path = encodedPath;
    return make<NSURL>(std::move(p), nullptr);
}

Ref<NSURL> NSURL::URLByAppendingPathComponent(const Ref<NSString>& component) const {
    if (!component) {
        return absoluteURL();
    }
    std::string piece = encode(component, NSCharacterSet::URLPathAllowedCharacterSet())->str();
    std::string p = absolute_.path;
    if (p.empty()) {
        p = absolute_.hasAuthority ? "/" : "";
    } else if (p.back() != '/') {
        p += '/';
    }
    if (!piece.empty() && piece.front() == '/') {
        piece.erase(0, 1);
    }
    return withAbsolutePath(p + piece);
}

Ref<NSURL> NSURL::URLByAppendingPathExtension(const Ref<NSString>& extension) const {
    if (!extension || extension->str().empty()) {
        return absoluteURL();
    }
    std::string p = absolute_.path;
    bool directory = p.size() > 1 && p.back() == '/';
    if (directory) {
        p.pop_back();
    }
    if (p.empty() || p.back() == '/') {
        return absoluteURL(); // no last component to extend
    }
    p += "." + encode(extension, NSCharacterSet::URLPathAllowedCharacterSet())->str();
    return withAbsolutePath(directory ? p + "/" : p);
}

Ref<NSURL> NSURL::URLByDeletingLastPathComponent() const {
    std::string p = absolute_.path;
    if (p.size() > 1 && p.back() == '/') {
        p.pop_back();
    }
    size_t slash = p.rfind('/');
    if (slash == std::string::npos) {
        return withAbsolutePath(p.empty() ? std::string() : std::string("./"));
    }
    return withAbsolutePath(p.substr(0, slash + 1));
}

Ref<NSURL> NSURL::URLByDeletingPathExtension() const {
    std::string p = absolute_.path;
    bool directory = p.size() > 1 && p.back() == '/';
    if (directory) {
        p.pop_back();
    }
    size_t slash = p.rfind('/');
    size_t dot = p.rfind('.');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= nameStart) {
        return absoluteURL();
    }
    p.erase(dot);
    return withAbsolutePath(directory ? p + "/" : p);
}

Ref<NSURL> NSURL::standardizedURL() const {
    return withAbsolutePath(ns_url::removeDotSegments(absolute_.path));
}

bool NSURL::isEqual(const id& other) const {
    auto u = cast<NSURL>(other);
    if (!u) {
        return false;
    }
    return u->relative_ == relative_ && NSObjectsEqual(u->base_, base_);
}

NSUInteger NSURL::hash() const {
    return std::hash<std::string>()(absolute_.toString());
}

Ref<NSString> NSURL::description() const {
    if (base_) {
        return NSString::from(relative_.toString() + " -- " + base_->description()->str());
    }
    return NSString::from(relative_.toString());
}

id NSURL::copy() const {
    return id(const_cast<NSURL*>(this));
}

// MARK: - NSURLQueryItem

NSURLQueryItem::NSURLQueryItem(const Ref<NSString>& name, const Ref<NSString>& value)
    : name_(name ? cast<NSString>(name->copy()) : NSString::string()),
      value_(value ? cast<NSString>(value->copy()) : nullptr) {}

Ref<NSURLQueryItem> NSURLQueryItem::queryItemWithNameValue(const Ref<NSString>& name, const Ref<NSString>& value) {
    return make<NSURLQueryItem>(name, value);
}

bool NSURLQueryItem::isEqual(const id& other) const {
    auto q = cast<NSURLQueryItem>(other);
    return q && q->name_->isEqualToString(name_) && NSObjectsEqual(q->value_, value_);
}

NSUInteger NSURLQueryItem::hash() const {
    return name_->hash() ^ (value_ ? value_->hash() : 0);
}

Ref<NSString> NSURLQueryItem::description() const {
    return NSString::stringWithFormat("<NSURLQueryItem %p> {name = %@, value = %@}", static_cast<const void*>(this),
                                      name_, value_);
}

id NSURLQueryItem::copy() const {
    return id(const_cast<NSURLQueryItem*>(this));
}

// MARK: - NSURLComponents

namespace {
[[noreturn]] void raiseInvalid(const char* what, const Ref<NSString>& value) {
    NSException::raise(NSInvalidArgumentException, std::string("-[NSURLComponents ") + what +
                                                       "]: invalid characters in " + NSDescription(value)->str());
}

// The query characters with some delimiters removed, for encoding query item names and values.
Ref<NSCharacterSet> queryAllowedWithout(const char* removed) {
    auto set = cast<NSMutableCharacterSet>(NSCharacterSet::URLQueryAllowedCharacterSet()->mutableCopy());
    set->removeCharactersInString(NSString::from(removed));
    return set;
}

const Ref<NSCharacterSet>& queryNameAllowed() {
    static const Ref<NSCharacterSet> set = cast<NSCharacterSet>(queryAllowedWithout("&=#")->copy());
    return set;
}

const Ref<NSCharacterSet>& queryValueAllowed() {
    static const Ref<NSCharacterSet> set = cast<NSCharacterSet>(queryAllowedWithout("&#")->copy());
    return set;
}
} // namespace

Ref<NSURLComponents> NSURLComponents::components() {
    return make<NSURLComponents>();
}

Ref<NSURLComponents> NSURLComponents::componentsWithString(const Ref<NSString>& string) {
    if (!string) {
        return nullptr;
    }
    auto parts = Parts::parse(string->str());
    return parts ? make<NSURLComponents>(std::move(*parts)) : nullptr;
}

Ref<NSURLComponents> NSURLComponents::componentsWithURLResolvingAgainstBaseURL(const Ref<NSURL>& url, bool resolve) {
    if (!url) {
        return nullptr;
    }
    return make<NSURLComponents>(resolve ? url->absoluteParts() : url->relativeParts());
}

Ref<NSURL> NSURLComponents::URL() const {
    return URLRelativeToURL(nullptr);
}

Ref<NSURL> NSURLComponents::URLRelativeToURL(const Ref<NSURL>& baseURL) const {
    if (parts_.hasAuthority && !parts_.path.empty() && parts_.path.front() != '/') {
        return nullptr;
    }
    if (!parts_.hasAuthority && parts_.path.starts_with("//")) {
        return nullptr;
    }
    auto reparsed = Parts::parse(parts_.toString());
    if (!reparsed || !(*reparsed == parts_)) {
        return nullptr;
    }
    return make<NSURL>(parts_, baseURL);
}

Ref<NSString> NSURLComponents::string() const {
    auto url = URL();
    return url ? url->relativeString() : nullptr;
}

Ref<NSString> NSURLComponents::scheme() const {
    return optionalString(parts_.scheme);
}

void NSURLComponents::setScheme(const Ref<NSString>& scheme) {
    if (!scheme) {
        parts_.scheme.reset();
        return;
    }
    if (!ns_url::isValidScheme(scheme->str())) {
        raiseInvalid("setScheme:", scheme);
    }
    parts_.scheme = scheme->str();
}

namespace {
// Setting a user, password, port or host makes the authority present; it goes only when the host is
// removed and nothing else of it is left.
void updateAuthority(Parts& p, bool added) {
    p.hasAuthority = p.hasAuthority || added;
}
} // namespace

Ref<NSString> NSURLComponents::user() const {
    return parts_.user ? decoded(*parts_.user) : nullptr;
}
void NSURLComponents::setUser(const Ref<NSString>& user) {
    setPercentEncodedUser(user ? encode(user, NSCharacterSet::URLUserAllowedCharacterSet()) : nullptr);
}
Ref<NSString> NSURLComponents::password() const {
    return parts_.password ? decoded(*parts_.password) : nullptr;
}
void NSURLComponents::setPassword(const Ref<NSString>& password) {
    setPercentEncodedPassword(password ? encode(password, NSCharacterSet::URLPasswordAllowedCharacterSet()) : nullptr);
}
Ref<NSString> NSURLComponents::host() const {
    return parts_.hasAuthority ? decoded(hostForDisplay(parts_.host)) : nullptr;
}
void NSURLComponents::setHost(const Ref<NSString>& host) {
    if (!host) {
        setPercentEncodedHost(nullptr);
        return;
    }
    // An IPv6 address is written in brackets.
    std::string h = host->str();
    if (h.find(':') != std::string::npos && h.front() != '[') {
        for (char c : h) {
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') {
                raiseInvalid("setHost:", host);
            }
        }
        setPercentEncodedHost(NSString::from("[" + h + "]"));
        return;
    }
    setPercentEncodedHost(encode(host, NSCharacterSet::URLHostAllowedCharacterSet()));
}
Ref<NSNumber> NSURLComponents::port() const {
    return portNumber(parts_.port);
}
void NSURLComponents::setPort(const Ref<NSNumber>& port) {
    if (!port) {
        parts_.port.reset();
    } else {
        if (port->longLongValue() < 0) {
            NSException::raise(NSInvalidArgumentException, "-[NSURLComponents setPort:]: negative port");
        }
        parts_.port = std::to_string(port->longLongValue());
    }
    updateAuthority(parts_, port != nullptr);
}
Ref<NSString> NSURLComponents::path() const {
    auto p = decoded(parts_.path);
    return p ? p : NSString::string();
}
void NSURLComponents::setPath(const Ref<NSString>& path) {
    parts_.path = path ? encode(path, NSCharacterSet::URLPathAllowedCharacterSet())->str() : std::string();
}
Ref<NSString> NSURLComponents::query() const {
    return parts_.query ? decoded(*parts_.query) : nullptr;
}
void NSURLComponents::setQuery(const Ref<NSString>& query) {
    setPercentEncodedQuery(query ? encode(query, NSCharacterSet::URLQueryAllowedCharacterSet()) : nullptr);
}
Ref<NSString> NSURLComponents::fragment() const {
    return parts_.fragment ? decoded(*parts_.fragment) : nullptr;
}
void NSURLComponents::setFragment(const Ref<NSString>& fragment) {
    setPercentEncodedFragment(fragment ? encode(fragment, NSCharacterSet::URLFragmentAllowedCharacterSet()) : nullptr);
}

Ref<NSString> NSURLComponents::percentEncodedUser() const {
    return optionalString(parts_.user);
}
void NSURLComponents::setPercentEncodedUser(const Ref<NSString>& user) {
    if (user && !ns_url::isValidComponent(user->str(), "")) {
        raiseInvalid("setPercentEncodedUser:", user);
    }
    parts_.user = user ? std::optional<std::string>(user->str()) : std::nullopt;
    updateAuthority(parts_, user != nullptr);
}
Ref<NSString> NSURLComponents::percentEncodedPassword() const {
    return optionalString(parts_.password);
}
void NSURLComponents::setPercentEncodedPassword(const Ref<NSString>& password) {
    if (password && !ns_url::isValidComponent(password->str(), "")) {
        raiseInvalid("setPercentEncodedPassword:", password);
    }
    parts_.password = password ? std::optional<std::string>(password->str()) : std::nullopt;
    updateAuthority(parts_, password != nullptr);
}
Ref<NSString> NSURLComponents::percentEncodedHost() const {
    return parts_.hasAuthority ? NSString::from(parts_.host) : nullptr;
}
void NSURLComponents::setPercentEncodedHost(const Ref<NSString>& host) {
    if (host && !ns_url::isValidHost(host->str())) {
        raiseInvalid("setPercentEncodedHost:", host);
    }
    parts_.host = host ? host->str() : std::string();
    if (host) {
        parts_.hasAuthority = true;
    } else {
        parts_.hasAuthority = parts_.user || parts_.password || parts_.port;
    }
}
Ref<NSString> NSURLComponents::percentEncodedPath() const {
    return NSString::from(parts_.path);
}
void NSURLComponents::setPercentEncodedPath(const Ref<NSString>& path) {
    if (path && !ns_url::isValidComponent(path->str(), ":@/")) {
        raiseInvalid("setPercentEncodedPath:", path);
    }
    parts_.path = path ? path->str() : std::string();
}
Ref<NSString> NSURLComponents::percentEncodedQuery() const {
    return optionalString(parts_.query);
}
void NSURLComponents::setPercentEncodedQuery(const Ref<NSString>& query) {
    if (query && !ns_url::isValidComponent(query->str(), ":@/?")) {
        raiseInvalid("setPercentEncodedQuery:", query);
    }
    parts_.query = query ? std::optional<std::string>(query->str()) : std::nullopt;
}
Ref<NSString> NSURLComponents::percentEncodedFragment() const {
    return optionalString(parts_.fragment);
}
void NSURLComponents::setPercentEncodedFragment(const Ref<NSString>& fragment) {
    if (fragment && !ns_url::isValidComponent(fragment->str(), ":@/?")) {
        raiseInvalid("setPercentEncodedFragment:", fragment);
    }
    parts_.fragment = fragment ? std::optional<std::string>(fragment->str()) : std::nullopt;
}

namespace {
// The query split into items; `decode` percent-decodes names and values (text that does not decode
// is kept as written).
Ref<NSArray> splitQuery(const std::optional<std::string>& query, bool decode) {
    if (!query) {
        return nullptr;
    }
    std::vector<id> items;
    if (query->empty()) {
        return NSArray::array();
    }
    auto convert = [decode](std::string_view text) -> Ref<NSString> {
        auto s = NSString::from(text);
        if (!decode) {
            return s;
        }
        auto d = s->stringByRemovingPercentEncoding();
        return d ? d : s;
    };
    size_t start = 0;
    for (;;) {
        size_t amp = query->find('&', start);
        std::string_view item = std::string_view(*query).substr(start, amp == std::string::npos ? amp : amp - start);
        size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            items.push_back(NSURLQueryItem::queryItemWithNameValue(convert(item), nullptr));
        } else {
            items.push_back(
                NSURLQueryItem::queryItemWithNameValue(convert(item.substr(0, eq)), convert(item.substr(eq + 1))));
        }
        if (amp == std::string::npos) {
            break;
        }
        start = amp + 1;
    }
    return NSArray::arrayWithVector(std::move(items));
}
} // namespace

Ref<NSArray> NSURLComponents::queryItems() const {
    return splitQuery(parts_.query, true);
}

namespace {
// Joins query items into "name=value&name" form; `encodeItem` gives one item's text and raises
// for an item it refuses. A nil list clears the query.
std::optional<std::string> joinQueryItems(const Ref<NSArray>& items, const char* selector,
                                          const std::function<std::string(const Ref<NSURLQueryItem>&)>& encodeItem) {
    if (!items) {
        return std::nullopt;
    }
    std::string query;
    bool first = true;
    for (const auto& o : *items) {
        auto item = cast<NSURLQueryItem>(o);
        if (!item) {
            NSException::raise(NSInvalidArgumentException,
                               std::string("-[NSURLComponents ") + selector + "]: not an NSURLQueryItem");
        }
        if (!first) {
            query += '&';
        }
        first = false;
        query += encodeItem(item);
    }
    return query;
}
} // namespace

void NSURLComponents::setQueryItems(const Ref<NSArray>& items) {
    parts_.query = joinQueryItems(items, "setQueryItems:", [](const Ref<NSURLQueryItem>& item) {
        std::string text = encode(item->name(), queryNameAllowed())->str();
        if (item->value()) {
            text += "=" + encode(item->value(), queryValueAllowed())->str();
        }
        return text;
    });
}

Ref<NSArray> NSURLComponents::percentEncodedQueryItems() const {
    return splitQuery(parts_.query, false);
}

void NSURLComponents::setPercentEncodedQueryItems(const Ref<NSArray>& items) {
    parts_.query = joinQueryItems(items, "setPercentEncodedQueryItems:", [](const Ref<NSURLQueryItem>& item) {
        const std::string& name = item->name()->str();
        if (!ns_url::isValidComponent(name, ":@/?") || name.find_first_of("&=") != std::string::npos) {
            raiseInvalid("setPercentEncodedQueryItems:", item->name());
        }
        if (item->value() && (!ns_url::isValidComponent(item->value()->str(), ":@/?") ||
                              item->value()->str().find('&') != std::string::npos)) {
            raiseInvalid("setPercentEncodedQueryItems:", item->value());
        }
        return item->value() ? name + "=" + item->value()->str() : name;
    });
}

bool NSURLComponents::isEqual(const id& other) const {
    auto c = cast<NSURLComponents>(other);
    return c && c->parts_ == parts_;
}

NSUInteger NSURLComponents::hash() const {
    return std::hash<std::string>()(parts_.toString());
}

Ref<NSString> NSURLComponents::description() const {
    return NSString::stringWithFormat("<NSURLComponents %p> %s", static_cast<const void*>(this), parts_.toString());
}

id NSURLComponents::copy() const {
    return make<NSURLComponents>(parts_);
}
