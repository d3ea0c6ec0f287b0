#include <Shell/DXSessionLink.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSRegularExpression.h>
#include <Foundation/NSURL.h>

namespace {

// Scheme and host (no "/", white space, "@", "?" or "#"), the fixed path, and an id that starts with
// a word character and runs to the end of its line. Searched anywhere in the text: a label may come
// before the link. The scheme is matched case-sensitively, as the link is accepted.
const char* const kSessionLinkPattern = R"((https?://[^/\s@?#]+)/download_app/\?sessionid=(\w.*))";

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
    if (!text || text->length() == 0 || text->str().size() > kDXMaximumServerLength * 2) {
        return link;
    }
    // One expression both accepts the link and cuts out its server and id, so the server a link is
    // accepted for is the server the device's identifiers go to. Two links: none is taken.
    auto matches = sessionLinkExpression()->matchesInStringOptionsRange(text, 0, NSMakeRange(0, text->length()));
    if (!matches || matches->count() != 1) {
        return link;
    }
    auto match = cast<NSTextCheckingResult>(matches->objectAtIndex(0));
    auto webservice = text->substringWithRange(match->rangeAtIndex(1));
    // The id runs to the end of its line; white space at the end of the line is not part of it.
    auto sessionid = trimmed(text->substringWithRange(match->rangeAtIndex(2)));
    // A session link is plain ASCII, and its id holds no white space or control characters.
    for (unsigned char c : webservice->str()) {
        if (c >= 0x80) {
            return link;
        }
    }
    if (sessionid->length() == 0 || holdsSpaceOrControl(sessionid->str())) {
        return link;
    }
    for (unsigned char c : sessionid->str()) {
        if (c >= 0x80) {
            return link;
        }
    }
    // The host must be one the URL reader agrees on (an IPv6 literal in brackets, a name, a port).
    auto url = NSURL::URLWithString(webservice);
    if (!url || !url->host() || url->host()->length() == 0) {
        return link;
    }
    link.webservice = webservice;
    link.sessionid = sessionid;
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
