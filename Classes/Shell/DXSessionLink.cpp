#include <Shell/DXSessionLink.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSRegularExpression.h>
#include <Foundation/NSURL.h>

namespace {

// Scheme and host (no "/", white space, "@", "?" or "#"), the fixed path, and an id that starts with
// a word character and runs to the end of the text without white space.
const char* const kSessionLinkPattern = R"(^(https?://[^/\s@?#]+)/download_app/\?sessionid=(\w\S*)$)";

const Ref<NSRegularExpression>& sessionLinkExpression() {
    static const Ref<NSRegularExpression> expression =
        NSRegularExpression::regularExpressionWithPatternOptionsError(NSString::from(kSessionLinkPattern), 0, nullptr);
    return expression;
}

Ref<NSString> trimmed(const Ref<NSString>& text) {
    return text ? text->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceAndNewlineCharacterSet()) : ""_ns;
}

bool holdsSpaceOrControl(const std::string& text) {
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7f) {
            return true;
        }
    }
    return false;
}

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
    size_t n = std::char_traits<char>::length(prefix);
    if (text.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

DXSessionLink refused(const char* key) {
    DXSessionLink link;
    link.refusal = NSString::from(key);
    return link;
}

} // namespace

DXSessionLink DXSessionLinkFromScannedText(const Ref<NSString>& text) {
    DXSessionLink link;
    auto candidate = trimmed(text);
    if (candidate->length() == 0 || candidate->str().size() > kDXMaximumServerLength * 2) {
        return link;
    }
    // A session link is plain ASCII. Anything else (bytes that are not UTF-8 included, which the
    // string and the expression engine would count differently) is not a session link.
    for (unsigned char c : candidate->str()) {
        if (c >= 0x80) {
            return link;
        }
    }
    auto matches =
        sessionLinkExpression()->matchesInStringOptionsRange(candidate, 0, NSMakeRange(0, candidate->length()));
    if (!matches || matches->count() != 1) {
        return link;
    }
    auto match = cast<NSTextCheckingResult>(matches->objectAtIndex(0));
    link.webservice = candidate->substringWithRange(match->rangeAtIndex(1));
    link.sessionid = candidate->substringWithRange(match->rangeAtIndex(2));
    // The host must be one the URL reader agrees on (an IPv6 literal in brackets, a name, a port).
    auto url = NSURL::URLWithString(link.webservice);
    if (!url || !url->host() || url->host()->length() == 0) {
        return DXSessionLink{};
    }
    return link;
}

DXSessionLink DXSessionLinkFromTypedEntry(const Ref<NSString>& serverText, const Ref<NSString>& sessionText) {
    auto server = trimmed(serverText)->str();
    auto session = trimmed(sessionText);
    if (server.empty() || server.size() > kDXMaximumServerLength || holdsSpaceOrControl(server)) {
        return refused(kDXSessionServerRefusal);
    }
    if (session->length() == 0 || holdsSpaceOrControl(session->str())) {
        return refused(kDXSessionIdRefusal);
    }
    std::string scheme = "https://";
    for (const char* given : {"http://", "https://"}) {
        if (startsWithIgnoringCase(server, given)) {
            size_t n = std::char_traits<char>::length(given);
            scheme = server.substr(0, n);
            server.erase(0, n);
            break;
        }
    }
    if (server.find("://") != std::string::npos) {
        return refused(kDXSessionServerRefusal); // another scheme, or a second one
    }
    // Drop the link path if the operator typed it, then any trailing "/".
    for (const char* ending : {"/download_app/", "/download_app"}) {
        if (endsWith(server, ending)) {
            server.erase(server.size() - std::char_traits<char>::length(ending));
        }
    }
    while (!server.empty() && server.back() == '/') {
        server.pop_back();
    }
    if (server.empty() || server.front() == '/') {
        return refused(kDXSessionServerRefusal);
    }
    server = scheme + server;
    auto address = NSString::from(server);
    auto url = NSURL::URLWithString(address);
    if (!url || !url->host() || url->host()->length() == 0 || url->user() || url->password() || url->query() ||
        url->fragment() || server.size() > kDXMaximumServerLength) {
        return refused(kDXSessionServerRefusal);
    }
    DXSessionLink link;
    link.webservice = address;
    link.sessionid = session;
    return link;
}
