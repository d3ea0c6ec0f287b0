#include <SystemConfiguration/SCNetworkReachability.h>

#include <Foundation/NSArray.h>
#include <Runtime/ClassBuilder.h>

#include <arpa/inet.h>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

NS_IMPLEMENT_CLASS(SCNetworkReachability, NSObject) {}

namespace {

bool isCellularInterface(const std::string& name) {
    for (const char* prefix : {"wwan", "rmnet", "ppp", "wwp", "pdp"}) {
        if (name.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

struct Interface {
    std::string name;
    bool up = false;
    bool loopback = false;
    std::vector<std::vector<uint8_t>> addresses; // raw in_addr / in6_addr bytes
};

std::vector<Interface> interfaces() {
    std::vector<Interface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return out;
    }
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        auto found = std::find_if(out.begin(), out.end(), [&](const Interface& x) { return x.name == i->ifa_name; });
        if (found == out.end()) {
            out.push_back({i->ifa_name,
                           (i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING),
                           (i->ifa_flags & IFF_LOOPBACK) != 0,
                           {}});
            found = out.end() - 1;
        }
        if (!i->ifa_addr) {
            continue;
        }
        if (i->ifa_addr->sa_family == AF_INET) {
            auto* a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
            auto* p = reinterpret_cast<const uint8_t*>(&a->sin_addr);
            found->addresses.emplace_back(p, p + 4);
        } else if (i->ifa_addr->sa_family == AF_INET6) {
            auto* a = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr);
            auto* p = reinterpret_cast<const uint8_t*>(&a->sin6_addr);
            found->addresses.emplace_back(p, p + 16);
        }
    }
    freeifaddrs(list);
    return out;
}

const Interface* interfaceNamed(const std::vector<Interface>& all, const std::string& name) {
    for (const auto& i : all) {
        if (i.name == name) {
            return &i;
        }
    }
    return nullptr;
}

struct Route {
    std::string interfaceName;
    bool direct = false;
    int prefix = -1;
};

// The best IPv4 route to the address (network byte order), from /proc/net/route.
Route routeToIPv4(uint32_t address) {
    Route best;
    std::ifstream file("/proc/net/route");
    std::string line;
    std::getline(file, line); // header
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string name, destination, gateway, flags, refs, use, metric, mask;
        if (!(fields >> name >> destination >> gateway >> flags >> refs >> use >> metric >> mask)) {
            continue;
        }
        uint32_t dest = static_cast<uint32_t>(std::stoul(destination, nullptr, 16));
        uint32_t gw = static_cast<uint32_t>(std::stoul(gateway, nullptr, 16));
        uint32_t m = static_cast<uint32_t>(std::stoul(mask, nullptr, 16));
        unsigned long f = std::stoul(flags, nullptr, 16);
        if (!(f & 0x1) || (address & m) != dest) { // RTF_UP
            continue;
        }
        int prefix = __builtin_popcount(m);
        if (prefix > best.prefix) {
            best = {name, gw == 0, prefix};
        }
    }
    return best;
}

// The best IPv6 route to the address, from /proc/net/ipv6_route.
Route routeToIPv6(const uint8_t* address) {
    Route best;
    std::ifstream file("/proc/net/ipv6_route");
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string destination, destinationPrefix, source, sourcePrefix, nextHop, metric, refs, use, flags, name;
        if (!(fields >> destination >> destinationPrefix >> source >> sourcePrefix >> nextHop >> metric >> refs >>
              use >> flags >> name)) {
            continue;
        }
        int prefix = static_cast<int>(std::stoul(destinationPrefix, nullptr, 16));
        unsigned long f = std::stoul(flags, nullptr, 16);
        if (!(f & 0x1) || destination.size() != 32 || name == "lo") {
            continue;
        }
        bool matches = true;
        for (int bit = 0; bit < prefix && matches; ++bit) {
            int byte = bit / 8;
            uint8_t routeByte =
                static_cast<uint8_t>(std::stoul(destination.substr(static_cast<size_t>(byte) * 2, 2), nullptr, 16));
            uint8_t mask = static_cast<uint8_t>(0x80 >> (bit % 8));
            matches = (address[byte] & mask) == (routeByte & mask);
        }
        if (matches && prefix > best.prefix) {
            best = {name, nextHop == std::string(32, '0'), prefix};
        }
    }
    return best;
}

SCNetworkReachabilityFlags flagsForAddress(const sockaddr* address, const std::vector<Interface>& all) {
    const uint8_t* raw = nullptr;
    size_t length = 0;
    bool any = false;
    bool loopback = false;
    Route route;
    if (address->sa_family == AF_INET) {
        auto* a = reinterpret_cast<const sockaddr_in*>(address);
        raw = reinterpret_cast<const uint8_t*>(&a->sin_addr);
        length = 4;
        any = a->sin_addr.s_addr == htonl(INADDR_ANY);
        loopback = raw[0] == 127;
        if (!any && !loopback) {
            route = routeToIPv4(a->sin_addr.s_addr);
        } else if (any) {
            route = routeToIPv4(htonl(INADDR_ANY)); // the default route, when there is one
            if (route.prefix != 0) {
                route = {};
            }
        }
    } else if (address->sa_family == AF_INET6) {
        auto* a = reinterpret_cast<const sockaddr_in6*>(address);
        raw = reinterpret_cast<const uint8_t*>(&a->sin6_addr);
        length = 16;
        any = IN6_IS_ADDR_UNSPECIFIED(&a->sin6_addr);
        loopback = IN6_IS_ADDR_LOOPBACK(&a->sin6_addr);
        if (!loopback) {
            route = routeToIPv6(raw);
            if (any && route.prefix != 0) {
                route = {};
            }
        }
    } else {
        return 0;
    }
    if (loopback) {
        return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
               kSCNetworkReachabilityFlagsIsDirect;
    }
    if (!any) {
        for (const auto& i : all) {
            if (!i.up) {
                continue; // an address on an interface that is down reaches nothing
            }
            for (const auto& own : i.addresses) {
                if (own.size() == length && std::memcmp(own.data(), raw, length) == 0) {
                    return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                           kSCNetworkReachabilityFlagsIsDirect;
                }
            }
        }
    }
    if (route.prefix < 0) {
        return 0;
    }
    const Interface* through = interfaceNamed(all, route.interfaceName);
    if (!through || !through->up) {
        return 0;
    }
    SCNetworkReachabilityFlags flags = kSCNetworkReachabilityFlagsReachable;
    if (route.direct && !any) {
        flags |= kSCNetworkReachabilityFlagsIsDirect;
    }
    if (isCellularInterface(through->name)) {
        flags |= kSCNetworkReachabilityFlagsIsWWAN;
    }
    return flags;
}

// Watches the routing socket and asks every scheduled target to look again after each change.
class Watcher {
public:
    static Watcher& shared() {
        static Watcher* watcher = new Watcher();
        return *watcher;
    }

    void add(SCNetworkReachability* target) {
        std::lock_guard lock(mutex_);
        targets_.emplace_back(target);
        pending_.emplace_back(target);
        wake();
    }

    void remove(SCNetworkReachability* target) {
        std::lock_guard lock(mutex_);
        std::erase_if(targets_, [&](const Weak<SCNetworkReachability>& w) { return w.unsafePointer() == target; });
    }

private:
    Watcher() {
        if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
            wake_[0] = wake_[1] = -1;
        }
        socket_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
        if (socket_ >= 0) {
            sockaddr_nl local{};
            local.nl_family = AF_NETLINK;
            local.nl_groups =
                RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;
            if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
                ::close(socket_);
                socket_ = -1;
            }
        }
        std::thread([this] { run(); }).detach();
    }

    void wake() {
        if (wake_[1] >= 0) {
            char byte = 1;
            [[maybe_unused]] ssize_t n = ::write(wake_[1], &byte, 1);
        }
    }

    void run() {
        pthread_setname_np(pthread_self(), "reachability");
        char buffer[8192];
        for (;;) {
            pollfd fds[2] = {{wake_[0], POLLIN, 0}, {socket_, POLLIN, 0}};
            int count = socket_ >= 0 ? 2 : 1;
            if (poll(fds, static_cast<nfds_t>(count), -1) < 0) {
                continue;
            }
            bool changed = false;
            if (fds[0].revents & POLLIN) {
                while (::read(wake_[0], buffer, sizeof buffer) > 0) {
                }
            }
            if (count == 2 && (fds[1].revents & POLLIN)) {
                while (::recv(socket_, buffer, sizeof buffer, 0) > 0) {
                    changed = true;
                }
            }
            std::vector<Ref<SCNetworkReachability>> baseline;
            std::vector<Ref<SCNetworkReachability>> all;
            {
                std::lock_guard lock(mutex_);
                for (auto& w : pending_) {
                    if (auto t = w.lock()) {
                        baseline.push_back(t);
                    }
                }
                pending_.clear();
                if (changed) {
                    for (auto& w : targets_) {
                        if (auto t = w.lock()) {
                            all.push_back(t);
                        }
                    }
                }
            }
            for (auto& t : baseline) {
                t->reevaluate();
            }
            for (auto& t : all) {
                t->reevaluate();
            }
        }
    }

    std::mutex mutex_;
    std::vector<Weak<SCNetworkReachability>> targets_;
    std::vector<Weak<SCNetworkReachability>> pending_;
    int wake_[2] = {-1, -1};
    int socket_ = -1;
};

} // namespace

SCNetworkReachability::SCNetworkReachability(const sockaddr* address) {
    size_t length = address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    auto* p = reinterpret_cast<const uint8_t*>(address);
    address_.assign(p, p + length);
}

SCNetworkReachability::SCNetworkReachability(std::string hostName) : isName_(true), name_(std::move(hostName)) {}

SCNetworkReachability::~SCNetworkReachability() {
    Watcher::shared().remove(this);
}

SCNetworkReachabilityFlags SCNetworkReachability::computeFlags() const {
    auto all = interfaces();
    if (!isName_) {
        return flagsForAddress(reinterpret_cast<const sockaddr*>(address_.data()), all);
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (getaddrinfo(name_.c_str(), nullptr, &hints, &results) != 0 || !results) {
        return 0;
    }
    SCNetworkReachabilityFlags flags = 0;
    for (addrinfo* r = results; r && !(flags & kSCNetworkReachabilityFlagsReachable); r = r->ai_next) {
        flags = flagsForAddress(r->ai_addr, all);
    }
    freeaddrinfo(results);
    return flags;
}

bool SCNetworkReachability::getFlags(SCNetworkReachabilityFlags* flags) {
    if (!flags) {
        return false;
    }
    *flags = computeFlags();
    return true;
}

bool SCNetworkReachability::setCallback(SCNetworkReachabilityCallBack callback) {
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
    return true;
}

bool SCNetworkReachability::scheduleWithRunLoop(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {
    if (!runLoop || !mode) {
        return false;
    }
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        if (runLoop_ && runLoop_ != runLoop) {
            return false;
        }
        first = !runLoop_;
        runLoop_ = runLoop;
        if (std::none_of(modes_.begin(), modes_.end(), [&](const auto& m) { return m->isEqualToString(mode); })) {
            modes_.push_back(mode);
        }
        if (first) {
            hasReported_ = false;
        }
    }
    if (first) {
        if (!isName_) {
            // An address is looked at here and now (interfaces and routes only, nothing that
            // blocks), so that every change after this call is reported. A host name needs the
            // resolver, so the watcher thread takes its baseline.
            SCNetworkReachabilityFlags flags = computeFlags();
            std::lock_guard lock(mutex_);
            if (runLoop_ == runLoop && !hasReported_) {
                hasReported_ = true;
                lastFlags_ = flags;
            }
        }
        Watcher::shared().add(this);
    }
    return true;
}

bool SCNetworkReachability::unscheduleFromRunLoop(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {
    bool last = false;
    {
        std::lock_guard lock(mutex_);
        if (!runLoop_ || runLoop_ != runLoop) {
            return false;
        }
        std::erase_if(modes_, [&](const auto& m) { return m->isEqualToString(mode); });
        if (modes_.empty()) {
            runLoop_ = nullptr;
            last = true;
        }
    }
    if (last) {
        Watcher::shared().remove(this);
    }
    return true;
}

void SCNetworkReachability::reevaluate() {
    SCNetworkReachabilityFlags flags = computeFlags();
    Ref<NSRunLoop> runLoop;
    Ref<NSArray> modes;
    SCNetworkReachabilityCallBack callback;
    {
        std::lock_guard lock(mutex_);
        if (!runLoop_) {
            return;
        }
        if (!hasReported_) {
            // The first look after scheduling is the baseline: only later changes are reported.
            hasReported_ = true;
            lastFlags_ = flags;
            return;
        }
        if (flags == lastFlags_) {
            return;
        }
        lastFlags_ = flags;
        runLoop = runLoop_;
        modes = NSArray::arrayWithRefs(modes_);
        callback = callback_;
    }
    if (!callback) {
        return;
    }
    Ref<SCNetworkReachability> self(this);
    runLoop->performInModesBlock(modes, [self, callback, flags] { callback(self.get(), flags); });
}

Ref<NSString> SCNetworkReachability::description() const {
    std::lock_guard lock(mutex_);
    if (isName_) {
        return NSString::stringWithFormat("<SCNetworkReachability %p> {name = %s}", static_cast<const void*>(this),
                                          name_.c_str());
    }
    char text[INET6_ADDRSTRLEN] = "?";
    auto* address = reinterpret_cast<const sockaddr*>(address_.data());
    if (address->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
    }
    return NSString::stringWithFormat("<SCNetworkReachability %p> {address = %s}", static_cast<const void*>(this),
                                      text);
}

Ref<SCNetworkReachability> SCNetworkReachabilityCreateWithAddress(const sockaddr* address) {
    if (!address || (address->sa_family != AF_INET && address->sa_family != AF_INET6)) {
        return nullptr;
    }
    return make<SCNetworkReachability>(address);
}

Ref<SCNetworkReachability> SCNetworkReachabilityCreateWithName(const char* name) {
    if (!name || !*name) {
        return nullptr;
    }
    return make<SCNetworkReachability>(std::string(name));
}

bool SCNetworkReachabilityGetFlags(const Ref<SCNetworkReachability>& target, SCNetworkReachabilityFlags* flags) {
    return target && target->getFlags(flags);
}

bool SCNetworkReachabilitySetCallback(const Ref<SCNetworkReachability>& target,
                                      SCNetworkReachabilityCallBack callback) {
    return target && target->setCallback(std::move(callback));
}

bool SCNetworkReachabilityScheduleWithRunLoop(const Ref<SCNetworkReachability>& target, const Ref<NSRunLoop>& runLoop,
                                              const Ref<NSString>& mode) {
    return target && target->scheduleWithRunLoop(runLoop, mode);
}

bool SCNetworkReachabilityUnscheduleFromRunLoop(const Ref<SCNetworkReachability>& target, const Ref<NSRunLoop>& runLoop,
                                                const Ref<NSString>& mode) {
    return target && target->unscheduleFromRunLoop(runLoop, mode);
}
