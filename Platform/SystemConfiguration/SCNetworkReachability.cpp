#include <SystemConfiguration/SCNetworkReachability.h>

#include <Foundation/NSArray.h>
#include <Runtime/ClassBuilder.h>

#include <Device/SimDevice.h>
#include <arpa/inet.h>
#include <cstring>

#include <algorithm>
#include <condition_variable>
#include <netdb.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>

NS_IMPLEMENT_CLASS(SCNetworkReachability, NSObject) {}

namespace {

bool isCellularInterface(const std::string& name) {
    return name.rfind("pdp_ip", 0) == 0;
}

struct Address {
    std::vector<uint8_t> bytes; // raw in_addr / in6_addr
    std::vector<uint8_t> mask;  // same length; empty when the device gives none
};

struct Interface {
    std::string name;
    bool up = false;
    bool loopback = false;
    bool hasGateway = false;
    std::vector<Address> addresses;
};

std::vector<uint8_t> addressBytes(const std::string& text) {
    uint8_t raw[16];
    if (text.find(':') != std::string::npos) {
        if (inet_pton(AF_INET6, text.c_str(), raw) == 1) {
            return {raw, raw + 16};
        }
    } else if (inet_pton(AF_INET, text.c_str(), raw) == 1) {
        return {raw, raw + 4};
    }
    return {};
}

std::vector<uint8_t> maskBytes(size_t length, const std::string& text) {
    if (text.empty()) {
        return {};
    }
    if (length == 16 && text.find(':') == std::string::npos) {
        std::vector<uint8_t> mask(16, 0);
        int prefix = std::atoi(text.c_str());
        for (int bit = 0; bit < prefix && bit < 128; ++bit) {
            mask[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(0x80 >> (bit % 8));
        }
        return mask;
    }
    auto mask = addressBytes(text);
    return mask.size() == length ? mask : std::vector<uint8_t>{};
}

// The simulated device's interfaces: the phone's own network, not the host's.
std::vector<Interface> interfaces() {
    std::vector<Interface> out;
    for (const auto& i : SimDevice::current().networkInterfaces()) {
        Interface entry{i.name, i.up, i.name.rfind("lo", 0) == 0, !i.gateway.empty(), {}};
        for (const auto& a : i.addresses) {
            Address address{addressBytes(a.address), {}};
            if (address.bytes.empty()) {
                continue;
            }
            address.mask = maskBytes(address.bytes.size(), a.netmask);
            entry.addresses.push_back(std::move(address));
        }
        out.push_back(std::move(entry));
    }
    return out;
}

bool hasFamily(const Interface& i, size_t length) {
    return std::any_of(i.addresses.begin(), i.addresses.end(),
                       [&](const Address& a) { return a.bytes.size() == length; });
}

// The interface that carries the default route for a family: one that is up with an address of
// that family and a gateway (a cellular link needs none), Wi-Fi before cellular.
const Interface* defaultRoute(const std::vector<Interface>& all, size_t length) {
    const Interface* cellular = nullptr;
    for (const auto& i : all) {
        if (!i.up || i.loopback || !hasFamily(i, length)) {
            continue;
        }
        if (isCellularInterface(i.name)) {
            cellular = cellular ? cellular : &i;
        } else if (i.hasGateway) {
            return &i;
        }
    }
    return cellular;
}

bool sameSubnet(const Address& own, const uint8_t* raw, size_t length) {
    if (own.bytes.size() != length || own.mask.size() != length) {
        return false;
    }
    for (size_t k = 0; k < length; ++k) {
        if ((own.bytes[k] & own.mask[k]) != (raw[k] & own.mask[k])) {
            return false;
        }
    }
    return true;
}

SCNetworkReachabilityFlags flagsThrough(const Interface& i, bool direct) {
    SCNetworkReachabilityFlags flags = kSCNetworkReachabilityFlagsReachable;
    if (direct) {
        flags |= kSCNetworkReachabilityFlagsIsDirect;
    }
    if (isCellularInterface(i.name)) {
        flags |= kSCNetworkReachabilityFlagsIsWWAN;
    }
    return flags;
}

SCNetworkReachabilityFlags flagsForAddress(const sockaddr* address, const std::vector<Interface>& all) {
    const uint8_t* raw = nullptr;
    size_t length = 0;
    bool any = false;
    bool loopback = false;
    bool linkLocal = false;
    if (address->sa_family == AF_INET) {
        auto* a = reinterpret_cast<const sockaddr_in*>(address);
        raw = reinterpret_cast<const uint8_t*>(&a->sin_addr);
        length = 4;
        any = a->sin_addr.s_addr == htonl(INADDR_ANY);
        loopback = raw[0] == 127;
        linkLocal = raw[0] == 169 && raw[1] == 254;
    } else if (address->sa_family == AF_INET6) {
        auto* a = reinterpret_cast<const sockaddr_in6*>(address);
        raw = reinterpret_cast<const uint8_t*>(&a->sin6_addr);
        length = 16;
        any = IN6_IS_ADDR_UNSPECIFIED(&a->sin6_addr);
        loopback = IN6_IS_ADDR_LOOPBACK(&a->sin6_addr);
        linkLocal = IN6_IS_ADDR_LINKLOCAL(&a->sin6_addr);
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
                if (own.bytes.size() == length && std::memcmp(own.bytes.data(), raw, length) == 0) {
                    return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                           kSCNetworkReachabilityFlagsIsDirect;
                }
            }
        }
        // On the link of an interface that is up: its own subnet, or the link-local network of a
        // Wi-Fi (or other non-cellular) interface with an address of the family.
        for (const auto& i : all) {
            if (!i.up || i.loopback) {
                continue;
            }
            bool onLink = linkLocal && !isCellularInterface(i.name) && hasFamily(i, length);
            for (const auto& own : i.addresses) {
                onLink = onLink || sameSubnet(own, raw, length);
            }
            if (onLink) {
                return flagsThrough(i, true);
            }
        }
    }
    const Interface* route = defaultRoute(all, length);
    return route ? flagsThrough(*route, false) : 0;
}

// Tells every scheduled target of a change of the device's network. Address targets look again at
// once, on the thread that made the change (nothing blocks); name targets need the resolver, so one
// thread looks at them.
class Watcher {
public:
    static Watcher& shared() {
        static Watcher* watcher = new Watcher();
        return *watcher;
    }

    void add(SCNetworkReachability* target, bool byName) {
        std::lock_guard lock(mutex_);
        targets_.emplace_back(target);
        if (byName) {
            pending_.emplace_back(target);
            condition_.notify_one();
        }
    }

    void remove(SCNetworkReachability* target) {
        std::lock_guard lock(mutex_);
        std::erase_if(targets_, [&](const Weak<SCNetworkReachability>& w) { return w.unsafePointer() == target; });
    }

private:
    Watcher() {
        SimDevice::current().addListener([this](SimDevice::Change change) {
            if (change == SimDevice::Change::Network || change == SimDevice::Change::Profile) {
                deviceChanged();
            }
        });
        std::thread([this] { run(); }).detach();
    }

    void deviceChanged() {
        std::vector<Ref<SCNetworkReachability>> addressTargets;
        {
            std::lock_guard lock(mutex_);
            for (auto& w : targets_) {
                if (auto t = w.lock()) {
                    if (t->isNameTarget()) {
                        changed_.push_back(t);
                    } else {
                        addressTargets.push_back(t);
                    }
                }
            }
            condition_.notify_one();
        }
        for (auto& t : addressTargets) {
            t->reevaluate();
        }
    }

    void run() {
        pthread_setname_np(pthread_self(), "reachability");
        for (;;) {
            std::vector<Ref<SCNetworkReachability>> work;
            {
                std::unique_lock lock(mutex_);
                condition_.wait(lock, [&] { return !pending_.empty() || !changed_.empty(); });
                for (auto& w : pending_) {
                    if (auto t = w.lock()) {
                        work.push_back(t);
                    }
                }
                pending_.clear();
                for (auto& t : changed_) {
                    work.push_back(std::move(t));
                }
                changed_.clear();
            }
            for (auto& t : work) {
                t->reevaluate();
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable condition_;
    std::vector<Weak<SCNetworkReachability>> targets_;
    std::vector<Weak<SCNetworkReachability>> pending_;
    std::vector<Ref<SCNetworkReachability>> changed_;
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
    // A name is resolved by the host's resolver (loopback names, test servers); its addresses are
    // then reached, or not, over the device's network.
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
        Watcher::shared().add(this, isName_);
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
