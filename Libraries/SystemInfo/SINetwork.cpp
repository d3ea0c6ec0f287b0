#include <SystemInfo/SINetwork.h>

#include <Darwin/Darwin.h>
#include <Dispatch/DispatchOnce.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSPort.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSThread.h>
#include <Network/NSHTTPURLResponse.h>
#include <Network/NSURLRequest.h>
#include <Network/NSURLSession.h>
#include <Runtime/ClassBuilder.h>
#include <SystemConfiguration/CaptiveNetwork.h>
#include <SystemInfo/Reachability.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sstream>

NS_IMPLEMENT_CLASS(SINetwork, NSObject) {}

namespace {

constexpr const char* kWiFiInterface = "en0";
constexpr const char* kCellularInterface = "pdp_ip0";
constexpr const char* kDefaultEchoPage = "http://checkip.dyndns.org/cgi-bin/check_ip.cgi";

std::mutex configurationMutex;
Ref<NSURL>& echoPage() {
    static Ref<NSURL>& url = *new Ref<NSURL>(NSURL::URLWithString(NSString::from(kDefaultEchoPage)));
    return url;
}
double echoTimeout = 10.0;

// The dotted text of an IPv4 entry; IPv6 entries give none (their bytes are no IPv4 address).
std::string ipv4Text(const darwin::ifaddrs* entry) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) {
        return {};
    }
    char text[64] = "";
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    return darwin::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) ? text : "";
}

bool isWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A string scanner that skips blanks and line ends before each scan.
struct Scanner {
    const std::string& text;
    size_t position = 0;

    void skip() {
        while (position < text.size() && isWhitespace(text[position])) {
            ++position;
        }
    }
    bool atEnd() {
        size_t p = position;
        while (p < text.size() && isWhitespace(text[p])) {
            ++p;
        }
        return p >= text.size();
    }
    // Moves up to `stop` (or the end); false when nothing was passed.
    bool scanUpTo(char stop, std::string* taken) {
        skip();
        size_t end = text.find(stop, position);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end == position) {
            return false;
        }
        if (taken) {
            *taken = text.substr(position, end - position);
        }
        position = end;
        return true;
    }
};

void replaceAll(std::string& text, const std::string& target, const std::string& replacement) {
    if (target.empty()) {
        return;
    }
    size_t at = 0;
    while ((at = text.find(target, at)) != std::string::npos) {
        text.replace(at, target.size(), replacement);
        at += replacement.size();
    }
}

std::string wordAfterAddress(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    for (;;) {
        size_t blank = text.find(' ', start);
        words.push_back(text.substr(start, blank == std::string::npos ? std::string::npos : blank - start));
        if (blank == std::string::npos) {
            break;
        }
        start = blank + 1;
    }
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "Address:") {
            return i + 1 < words.size() ? words[i + 1] : std::string();
        }
    }
    return {};
}

// Downloads a page as UTF-8 text; nullopt on failure or when the time-out passes. The download
// runs on the network thread; a caller on the main thread keeps its run loop turning meanwhile.
std::optional<std::string> download(const Ref<NSURL>& url, double timeout) {
    struct Result {
        std::mutex mutex;
        std::condition_variable condition;
        bool done = false;
        std::optional<std::string> text;
    };
    auto result = std::make_shared<Result>();
    auto request =
        NSURLRequest::requestWithURLCachePolicyTimeoutInterval(url, NSURLRequestReloadIgnoringLocalCacheData, timeout);
    bool onMain = NSThread::isMainThread();
    auto task = NSURLSession::sharedSession()->dataTaskWithRequestCompletionHandler(
        request,
        [result, onMain](const Ref<NSData>& data, const Ref<NSURLResponse>& response, const Ref<NSError>& error) {
            std::optional<std::string> text;
            auto http = cast<NSHTTPURLResponse>(response);
            bool ok = !error && data && (!http || (http->statusCode() >= 200 && http->statusCode() < 300));
            if (ok) {
                auto page = NSString::stringWithDataEncoding(data, NSUTF8StringEncoding);
                if (page) {
                    text = page->str();
                }
            }
            {
                std::lock_guard lock(result->mutex);
                result->text = std::move(text);
                result->done = true;
            }
            result->condition.notify_all();
            if (onMain) {
                NSRunLoop::mainRunLoop()->performBlock([] {}); // wakes the waiting turn
            }
        });
    if (!task) {
        return std::nullopt;
    }
    task->resume();
    // The network's own time-out ends the request; this limit only guards against a reply that
    // never finishes.
    auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout + 1.0);
    auto finished = [&] {
        std::lock_guard lock(result->mutex);
        return result->done;
    };
    if (onMain) {
        auto runLoop = NSRunLoop::mainRunLoop();
        auto port = NSMachPort::port(); // lets a turn with nothing to do sleep
        runLoop->addPortForMode(port, NSDefaultRunLoopMode());
        while (!finished() && std::chrono::steady_clock::now() < limit) {
            runLoop->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::dateWithTimeIntervalSinceNow(0.1));
        }
        runLoop->removePortForMode(port, NSDefaultRunLoopMode());
    } else {
        std::unique_lock lock(result->mutex);
        result->condition.wait_until(lock, limit, [&] { return result->done; });
    }
    std::lock_guard lock(result->mutex);
    if (!result->done) {
        task->cancel();
        return std::nullopt;
    }
    return result->text;
}

Ref<NSString> currentNetworkValue(const Ref<NSString>& key) {
    Ref<NSString> value;
    auto interfaces = CNCopySupportedInterfaces();
    if (!interfaces) {
        return nullptr;
    }
    for (const auto& name : *interfaces) {
        auto info = CNCopyCurrentNetworkInfo(cast<NSString>(name));
        if (info) {
            value = cast<NSString>(info->objectForKey(key));
        }
    }
    return value;
}

} // namespace

Ref<SINetwork> SINetwork::sharedInstance() {
    static dispatch_once_t once;
    static Ref<SINetwork>* shared = nullptr;
    dispatch_once(&once, [] { shared = new Ref<SINetwork>(make<SINetwork>()); });
    return *shared;
}

id SINetwork::copy() const {
    return Ref<NSObject>(const_cast<SINetwork*>(this));
}

Ref<NSString> SINetwork::currentIPAddress() {
    darwin::ifaddrs* list = nullptr;
    if (darwin::getifaddrs(&list) != 0) {
        return "0.0.0.0"_ns;
    }
    std::string wifi;
    std::string cellular;
    for (auto* entry = list; entry; entry = entry->ifa_next) {
        std::string text = ipv4Text(entry);
        if (text.empty()) {
            continue;
        }
        if (std::strcmp(entry->ifa_name, kWiFiInterface) == 0) {
            wifi = text;
        } else if (std::strcmp(entry->ifa_name, kCellularInterface) == 0) {
            cellular = text;
        }
    }
    darwin::freeifaddrs(list);
    if (!wifi.empty()) {
        return NSString::from(wifi);
    }
    return NSString::from(cellular.empty() ? "0.0.0.0" : cellular);
}

bool SINetwork::connectedViaWiFi() {
    auto reachability = Reachability::reachabilityForInternetConnection();
    if (!reachability) {
        return false;
    }
    reachability->startNotifier();
    return reachability->currentReachabilityStatus() == ReachableViaWiFi;
}

bool SINetwork::connectedVia3G() {
    auto reachability = Reachability::reachabilityForInternetConnection();
    if (!reachability) {
        return false;
    }
    reachability->startNotifier();
    return reachability->currentReachabilityStatus() == ReachableViaWWAN;
}

Ref<NSString> SINetwork::macAddress() {
    const char* failure = nullptr;
    std::vector<uint8_t> buffer;
    size_t size = 0;
    int error = 0;
    unsigned index = darwin::if_nametoindex(kWiFiInterface);
    if (index == 0) {
        failure = "if_nametoindex failure";
    } else if (darwin::sysctlInterfaceList(index, nullptr, &size, &error) < 0) {
        failure = "sysctl mgmtInfoBase failure";
    } else {
        try {
            buffer.resize(size);
        } catch (const std::bad_alloc&) {
            failure = "buffer allocation failure";
        }
        if (!failure && darwin::sysctlInterfaceList(index, buffer.data(), &size, &error) < 0) {
            failure = "sysctl msgBuffer failure";
        }
    }
    constexpr size_t header = 112;
    if (!failure) {
        // The link-layer address follows the header: its name length at 5, the hardware address
        // after the name, which starts at 8. An interface without one has no MAC address.
        const uint8_t* link = buffer.data() + header;
        size_t nameLength = size > header + 5 ? link[5] : 0;
        size_t hardwareLength = size > header + 6 ? link[6] : 0;
        if (size < header + 8 + nameLength + 6 || hardwareLength < 6) {
            failure = "sysctl msgBuffer failure";
        } else {
            const uint8_t* mac = link + 8 + nameLength;
            return NSString::stringWithFormat("%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                                              mac[5]);
        }
    }
    // The reason goes to the log only: a caller (and the system dictionary) must never take it
    // for an address.
    NSLog("Error: %@", NSString::from(failure));
    return nullptr;
}

Ref<NSString> SINetwork::addressFromEchoPage(const std::string& page) {
    Scanner scanner{page};
    if (scanner.atEnd()) {
        return nullptr;
    }
    std::string working = page;
    std::string tag;
    std::string candidate;
    while (!scanner.atEnd()) {
        scanner.scanUpTo('<', nullptr);
        std::string taken;
        if (scanner.scanUpTo('>', &taken)) {
            tag = taken;
        }
        replaceAll(working, tag + ">", " ");
        candidate = wordAfterAddress(working);
    }
    return candidate.empty() ? nullptr : NSString::from(candidate);
}

Ref<NSString> SINetwork::externalIPAddress() {
    if (!connectedViaWiFi() && !connectedVia3G()) {
        return nullptr;
    }
    auto url = externalIPAddressURL();
    if (!url) {
        return nullptr;
    }
    auto page = download(url, externalIPAddressTimeout());
    return page ? addressFromEchoPage(*page) : nullptr;
}

Ref<NSString> SINetwork::cellIPAddress() {
    darwin::ifaddrs* list = nullptr;
    if (darwin::getifaddrs(&list) != 0) {
        return nullptr;
    }
    std::string cellular;
    for (auto* entry = list; entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET &&
            std::strcmp(entry->ifa_name, kCellularInterface) == 0) {
            cellular = ipv4Text(entry);
        }
    }
    darwin::freeifaddrs(list);
    return cellular.empty() ? nullptr : NSString::from(cellular);
}

Ref<NSString> SINetwork::WiFiNetmaskAddress() {
    sockaddr_in netmask;
    std::memset(&netmask, 0, sizeof netmask);
    if (darwin::ioctlNetmask(kWiFiInterface, &netmask) != 0) {
        return nullptr;
    }
    std::string text = darwin::inet_ntoa(netmask.sin_addr);
    return text.empty() ? nullptr : NSString::from(text);
}

Ref<NSString> SINetwork::WiFiBroadcastAddress() {
    auto address = currentIPAddress();
    auto netmask = WiFiNetmaskAddress();
    if (!address || !netmask || address->length() == 0 || netmask->length() == 0) {
        return nullptr;
    }
    auto addressParts = address->componentsSeparatedByString("."_ns);
    auto netmaskParts = netmask->componentsSeparatedByString("."_ns);
    if (addressParts->count() != 4 || netmaskParts->count() != 4) {
        return nullptr;
    }
    uint32_t a = 0;
    uint32_t m = 0;
    for (NSUInteger i = 0; i < 4; ++i) {
        unsigned shift = 24 - 8 * static_cast<unsigned>(i);
        a |= static_cast<uint32_t>(cast<NSString>(addressParts->objectAtIndex(i))->intValue()) << shift;
        m |= static_cast<uint32_t>(cast<NSString>(netmaskParts->objectAtIndex(i))->intValue()) << shift;
    }
    uint32_t broadcast = a | ~m;
    auto text = NSString::stringWithFormat(
        "%ld.%ld.%ld.%ld", static_cast<long>((broadcast >> 24) & 0xFF), static_cast<long>((broadcast >> 16) & 0xFF),
        static_cast<long>((broadcast >> 8) & 0xFF), static_cast<long>(broadcast & 0xFF));
    return text->length() ? text : nullptr;
}

Ref<NSString> SINetwork::BSSID() {
    return currentNetworkValue(kCNNetworkInfoKeyBSSID());
}

Ref<NSString> SINetwork::SSID() {
    return currentNetworkValue(kCNNetworkInfoKeySSID());
}

Ref<NSURL> SINetwork::externalIPAddressURL() {
    std::lock_guard lock(configurationMutex);
    return echoPage();
}

void SINetwork::setExternalIPAddressURL(const Ref<NSURL>& url) {
    std::lock_guard lock(configurationMutex);
    echoPage() = url;
}

double SINetwork::externalIPAddressTimeout() {
    std::lock_guard lock(configurationMutex);
    return echoTimeout;
}

void SINetwork::setExternalIPAddressTimeout(double seconds) {
    std::lock_guard lock(configurationMutex);
    echoTimeout = seconds > 0 ? seconds : echoTimeout;
}
