#include <SystemInfo/Reachability.h>

#include <Darwin/Darwin.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSRunLoop.h>
#include <Runtime/ClassBuilder.h>

#include <cstring>

NS_IMPLEMENT_CLASS(Reachability, NSObject) {
    b.readonlyProperty("currentReachabilityStatus", &Reachability::currentReachabilityStatus);
    b.readonlyProperty("connectionRequired", &Reachability::connectionRequired);
}

const Ref<NSString>& kNetworkReachabilityChangedNotification() {
    static const Ref<NSString>& name = *new Ref<NSString>("kNetworkReachabilityChangedNotification"_ns);
    return name;
}

namespace {

sockaddr_in zeroAddress() {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    return address;
}

} // namespace

Reachability::Reachability(Ref<SCNetworkReachability> target) : reachabilityRef_(std::move(target)) {}

Reachability::~Reachability() {
    stopNotifier();
    reachabilityRef_ = nullptr;
}

Ref<Reachability> Reachability::reachabilityWithHostName(const Ref<NSString>& hostName) {
    if (!hostName) {
        return nullptr;
    }
    auto target = SCNetworkReachabilityCreateWithName(hostName->str().c_str());
    return target ? make<Reachability>(target) : nullptr;
}

Ref<Reachability> Reachability::reachabilityWithAddress(const sockaddr_in* hostAddress) {
    if (!hostAddress) {
        return nullptr;
    }
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(hostAddress));
    return target ? make<Reachability>(target) : nullptr;
}

Ref<Reachability> Reachability::reachabilityForInternetConnection() {
    sockaddr_in address = zeroAddress();
    return reachabilityWithAddress(&address);
}

Ref<Reachability> Reachability::reachabilityForLocalWiFi() {
    sockaddr_in address = zeroAddress();
    address.sin_addr.s_addr = htonl(0xA9FE0000); // 169.254.0.0
    auto reachability = reachabilityWithAddress(&address);
    if (reachability) {
        reachability->localWiFiRef_ = true;
    }
    return reachability;
}

bool Reachability::startNotifier() {
    // The callback holds the object weakly: watching never keeps it alive, and a report that was
    // already on its way when the object went away finds nobody to post for.
    Weak<Reachability> weak(this);
    bool registered =
        SCNetworkReachabilitySetCallback(reachabilityRef_, [weak](SCNetworkReachability*, SCNetworkReachabilityFlags) {
            if (auto self = weak.lock()) {
                NSNotificationCenter::defaultCenter()->postNotificationNameObject(
                    kNetworkReachabilityChangedNotification(), self);
            }
        });
    if (!registered) {
        return false;
    }
    return SCNetworkReachabilityScheduleWithRunLoop(reachabilityRef_, NSRunLoop::currentRunLoop(),
                                                    NSDefaultRunLoopMode());
}

void Reachability::stopNotifier() {
    if (reachabilityRef_) {
        SCNetworkReachabilityUnscheduleFromRunLoop(reachabilityRef_, NSRunLoop::currentRunLoop(),
                                                   NSDefaultRunLoopMode());
    }
}

NetworkStatus Reachability::localWiFiStatusForFlags(SCNetworkReachabilityFlags flags) const {
    bool reachable = (flags & kSCNetworkReachabilityFlagsReachable) != 0;
    bool direct = (flags & kSCNetworkReachabilityFlagsIsDirect) != 0;
    return reachable && direct ? ReachableViaWiFi : NotReachable;
}

NetworkStatus Reachability::networkStatusForFlags(SCNetworkReachabilityFlags flags) const {
    if ((flags & kSCNetworkReachabilityFlagsReachable) == 0) {
        return NotReachable;
    }
    NetworkStatus status = NotReachable;
    if ((flags & kSCNetworkReachabilityFlagsConnectionRequired) == 0) {
        status = ReachableViaWiFi;
    }
    if ((flags & (kSCNetworkReachabilityFlagsConnectionOnDemand | kSCNetworkReachabilityFlagsConnectionOnTraffic)) &&
        (flags & kSCNetworkReachabilityFlagsInterventionRequired) == 0) {
        status = ReachableViaWiFi;
    }
    if (flags & kSCNetworkReachabilityFlagsIsWWAN) {
        status = ReachableViaWWAN;
    }
    return status;
}

bool Reachability::connectionRequired() const {
    SCNetworkReachabilityFlags flags = 0;
    return SCNetworkReachabilityGetFlags(reachabilityRef_, &flags) &&
           (flags & kSCNetworkReachabilityFlagsConnectionRequired) != 0;
}

NetworkStatus Reachability::currentReachabilityStatus() const {
    SCNetworkReachabilityFlags flags = 0;
    if (!SCNetworkReachabilityGetFlags(reachabilityRef_, &flags)) {
        return NotReachable;
    }
    return localWiFiRef_ ? localWiFiStatusForFlags(flags) : networkStatusForFlags(flags);
}
