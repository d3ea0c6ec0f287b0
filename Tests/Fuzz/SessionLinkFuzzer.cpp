// Fuzzes the readers of outside text on the way into a session: the "enoxm://" link the lookup page
// opens the app with, a scanned QR text, and a typed server and session id (the input split at its
// first NUL byte). Whatever they accept must name an http(s) server with a host.
#include <Shell/DXSessionLink.h>
#include <Shell/DXURLSchemeEntry.h>

#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSURL.h>
#include <Foundation/NSUserDefaults.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void checkAccepted(const DXSessionLink& link) {
    if (!link.isValid()) {
        return;
    }
    auto url = NSURL::URLWithString(link.webservice);
    auto scheme = url ? url->scheme()->lowercaseString()->str() : std::string();
    if (!url || (scheme != "http" && scheme != "https") || !url->host() || url->host()->length() == 0 ||
        link.sessionid->length() == 0) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool ready = [] {
        NSSandbox::useTemporaryRoot();
        NSLogSetHook([](const std::string&) {});
        return true;
    }();
    (void)ready;
    std::string input(reinterpret_cast<const char*>(bytes), size);
    auto text = NSString::from(input);
    if (!text) {
        return 0;
    }
    if (auto parameters = DXURLSchemeParameters(NSString::from("enoxm://" + input))) {
        DXStoreDeviceIdentifiers(parameters);
    }
    DXURLSchemeParameters(text);
    checkAccepted(DXSessionLinkFromScannedText(text));
    auto split = input.find('\0');
    auto server = NSString::from(input.substr(0, split));
    auto session = NSString::from(split == std::string::npos ? std::string() : input.substr(split + 1));
    checkAccepted(DXSessionLinkFromTypedEntry(server, session));
    return 0;
}
