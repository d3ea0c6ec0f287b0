#include <Networking/HCNetworkReachabilityManager.h>

#include <Darwin/Darwin.h>
#include <Dispatch/Dispatch.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(HCNetworkReachabilityManager, NSObject) {
    using M = HCNetworkReachabilityManager;
    b.property("networkReachabilityStatus", &M::networkReachabilityStatus, &M::setNetworkReachabilityStatus);
    b.readonlyProperty("reachable", &M::isReachable);
    b.readonlyProperty("reachableViaWWAN", &M::isReachableViaWWAN);
    b.readonlyProperty("reachableViaWiFi", &M::isReachableViaWiFi);
}

const Ref<NSString>& HCNetworkingReachabilityDidChangeNotification() {
    static const Ref<NSString>& name = *new Ref<NSString>("com.celvix.networking.reachability.change"_ns);
    return name;
}

const Ref<NSString>& HCNetworkingReachabilityNotificationStatusItem() {
    static const Ref<NSString>& key = *new Ref<NSString>("HCNetworkingReachabilityNotificationStatusItem"_ns);
    return key;
}

HCNetworkReachabilityStatus HCNetworkReachabilityStatusForFlags(SCNetworkReachabilityFlags flags) {
    bool reachable = (flags & kSCNetworkReachabilityFlagsReachable) != 0;
    bool needsConnection = (flags & kSCNetworkReachabilityFlagsConnectionRequired) != 0;
    bool connectsAutomatically =
        (flags & (kSCNetworkReachabilityFlagsConnectionOnDemand | kSCNetworkReachabilityFlagsConnectionOnTraffic)) != 0;
    bool connectsWithoutUser = connectsAutomatically && (flags & kSCNetworkReachabilityFlagsInterventionRequired) == 0;
    bool isNetworkReachable = reachable && (!needsConnection || connectsWithoutUser);
    if (!isNetworkReachable) {
        return HCNetworkReachabilityStatusNotReachable;
    }
    return (flags & kSCNetworkReachabilityFlagsIsWWAN) ? HCNetworkReachabilityStatusReachableViaWWAN
                                                       : HCNetworkReachabilityStatusReachableViaWiFi;
}

namespace {

// Computes the status now, then reports it on the main queue: the block first, then the
// notification.
void reportStatus(SCNetworkReachabilityFlags flags, const std::function<void(HCNetworkReachabilityStatus)>& block) {
    HCNetworkReachabilityStatus status = HCNetworkReachabilityStatusForFlags(flags);
    dispatch_async(dispatch_get_main_queue(), [status, block] {
        if (block) {
            block(status);
        }
        NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(
            HCNetworkingReachabilityDidChangeNotification(), nullptr,
            NSDictionary::dictionaryWithEntries(
                {{HCNetworkingReachabilityNotificationStatusItem(), NSNumber::numberWithInteger(status)}}));
    });
}

} // namespace

HCNetworkReachabilityManager::HCNetworkReachabilityManager() {
    NSException::raise(NSGenericException, "`-init` unavailable. Use `-initWithReachability:` instead");
}

HCNetworkReachabilityManager::HCNetworkReachabilityManager(const Ref<SCNetworkReachability>& reachability)
    : reachability_(reachability) {}

HCNetworkReachabilityManager::~HCNetworkReachabilityManager() {
    stopMonitoring();
}

Ref<HCNetworkReachabilityManager> HCNetworkReachabilityManager::sharedManager() {
    static dispatch_once_t once;
    static Ref<HCNetworkReachabilityManager>* shared = nullptr;
    dispatch_once(&once, [] {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = 0;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        shared = new Ref<HCNetworkReachabilityManager>(managerForAddress(reinterpret_cast<const sockaddr*>(&address)));
    });
    return *shared;
}

Ref<HCNetworkReachabilityManager> HCNetworkReachabilityManager::managerForDomain(const Ref<NSString>& domain) {
    auto target = SCNetworkReachabilityCreateWithName(domain ? domain->UTF8String() : nullptr);
    return target ? make<HCNetworkReachabilityManager>(target) : nullptr;
}

Ref<HCNetworkReachabilityManager> HCNetworkReachabilityManager::managerForAddress(const sockaddr* address) {
    auto target = SCNetworkReachabilityCreateWithAddress(address);
    return target ? make<HCNetworkReachabilityManager>(target) : nullptr;
}

void HCNetworkReachabilityManager::setNetworkReachabilityStatus(HCNetworkReachabilityStatus status) {
    for (const char* key : {"networkReachabilityStatus", "reachable", "reachableViaWWAN", "reachableViaWiFi"}) {
        willChangeValueForKey(NSString::from(key));
    }
    status_.store(status);
    for (const char* key : {"reachableViaWiFi", "reachableViaWWAN", "reachable", "networkReachabilityStatus"}) {
        didChangeValueForKey(NSString::from(key));
    }
}

void HCNetworkReachabilityManager::setReachabilityStatusChangeBlock(
    std::function<void(HCNetworkReachabilityStatus)> block) {
    std::lock_guard lock(mutex_);
    statusBlock_ = std::move(block);
}

std::function<void(HCNetworkReachabilityStatus)> HCNetworkReachabilityManager::statusBlock() const {
    std::lock_guard lock(mutex_);
    return statusBlock_;
}

void HCNetworkReachabilityManager::startMonitoring() {
    stopMonitoring();
    if (!reachability_) {
        return;
    }
    Weak<HCNetworkReachabilityManager> weakSelf(this);
    std::function<void(HCNetworkReachabilityStatus)> callback = [weakSelf](HCNetworkReachabilityStatus status) {
        if (auto self = weakSelf.lock()) {
            self->setNetworkReachabilityStatus(status);
            if (auto block = self->statusBlock()) {
                block(status);
            }
        }
    };
    SCNetworkReachabilitySetCallback(
        reachability_,
        [callback](SCNetworkReachability*, SCNetworkReachabilityFlags flags) { reportStatus(flags, callback); });
    SCNetworkReachabilityScheduleWithRunLoop(reachability_, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes());
    Ref<SCNetworkReachability> target = reachability_;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0), [target, callback] {
        SCNetworkReachabilityFlags flags = 0;
        if (SCNetworkReachabilityGetFlags(target, &flags)) {
            reportStatus(flags, callback);
        }
    });
}

void HCNetworkReachabilityManager::stopMonitoring() {
    if (reachability_) {
        SCNetworkReachabilityUnscheduleFromRunLoop(reachability_, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes());
    }
}

Ref<NSString> HCNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const {
    const char* text = "Unknown";
    switch (networkReachabilityStatus()) {
    case HCNetworkReachabilityStatusNotReachable:
        text = "Not Reachable";
        break;
    case HCNetworkReachabilityStatusReachableViaWWAN:
        text = "Reachable via WWAN";
        break;
    case HCNetworkReachabilityStatusReachableViaWiFi:
        text = "Reachable via WiFi";
        break;
    default:
        break;
    }
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(NSString::from(text), ""_ns, "HCNetworking"_ns);
}
