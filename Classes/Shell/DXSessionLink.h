// The session the device joins: a transaction-service base address ("webservice") and a session id
// ("sessionid"), taken from a scanned QR text or from the two fields the operator typed.
//
// A session link is "http[s]://<host>[:port]/download_app/?sessionid=<id>". One expression decides
// both whether a text is a session link and what its server and id are, so the server a link is
// accepted for is exactly the server the device's identifiers are sent to.
#pragma once

#include <Foundation/NSString.h>

struct DXSessionLink {
    // Scheme and host (and port), no trailing "/": the transaction service's base address.
    Ref<NSString> webservice;
    Ref<NSString> sessionid;
    // The string-table key of the reason a typed entry was refused; nil when the entry is usable.
    Ref<NSString> refusal;

    bool isValid() const { return webservice && sessionid && !refusal; }
};

// The session of a scanned text: the text must hold exactly one session link, anywhere (a label may
// come before it), with the scheme in lower case and no user information in the host; the session
// id runs to the end of the link's line. The link is plain ASCII and its id holds no white space.
// Anything else, two links included, gives an invalid result without a refusal: the scanner simply
// goes on.
DXSessionLink DXSessionLinkFromScannedText(const Ref<NSString>& text);

// The session of a typed server and session id. Both are trimmed; the server may carry its own
// "http://" or "https://" (kept as given, any letter case) and otherwise gets "https://"; a trailing
// "/download_app/" or "/download_app" is dropped. The result must be an http(s) address with a host,
// at most kDXMaximumServerLength characters, without white space, user information, query or
// fragment; the session id must not be empty nor hold white space. A refused entry names its reason.
DXSessionLink DXSessionLinkFromTypedEntry(const Ref<NSString>& server, const Ref<NSString>& sessionid);

inline constexpr size_t kDXMaximumServerLength = 1024;

// The refusal keys.
inline constexpr const char* kDXSessionServerRefusal = "ENTERSESSIONID_INVALID_SERVER";
inline constexpr const char* kDXSessionIdRefusal = "ENTERSESSIONID_INVALID_ID";
