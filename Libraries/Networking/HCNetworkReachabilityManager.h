// HCNetworkReachabilityManager: watches whether a host, an address or the network in general can
// be reached, turns the platform's flags into a status, and reports each status on the main queue
// (a block and a notification).
#pragma once

#include <SystemConfiguration/SCNetworkReachability.h>

#include <functional>

enum HCNetworkReachabilityStatus : NSInteger {
    HCNetworkReachabilityStatusUnknown = -1,
    HCNetworkReachabilityStatusNotReachable = 0,
    HCNetworkReachabilityStatusReachableViaWWAN = 1,
    HCNetworkReachabilityStatusReachableViaWiFi = 2,
};

// Posted on the main queue at each report; the status is in the user info.
const Ref<NSString>& HCNetworkingReachabilityDidChangeNotification();
const Ref<NSString>& HCNetworkingReachabilityNotificationStatusItem();

// The status that the platform's flags stand for.
HCNetworkReachabilityStatus HCNetworkReachabilityStatusForFlags(SCNetworkReachabilityFlags flags);

class HCNetworkReachabilityManager : public NSObject {
    NS_OBJECT(HCNetworkReachabilityManager, NSObject)
public:
    // Not available: raises, as a manager always watches a target.
    HCNetworkReachabilityManager();
    // `initWithReachability:`.
    explicit HCNetworkReachabilityManager(const Ref<SCNetworkReachability>& reachability);
    ~HCNetworkReachabilityManager() override;

    // The general internet (0.0.0.0), made once.
    static Ref<HCNetworkReachabilityManager> sharedManager();
    // nil when no target can be made for the name or address.
    static Ref<HCNetworkReachabilityManager> managerForDomain(const Ref<NSString>& domain);
    static Ref<HCNetworkReachabilityManager> managerForAddress(const sockaddr* address);

    HCNetworkReachabilityStatus networkReachabilityStatus() const noexcept { return status_.load(); }
    void setNetworkReachabilityStatus(HCNetworkReachabilityStatus status);
    const Ref<SCNetworkReachability>& networkReachability() const noexcept { return reachability_; }
    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const {
        return networkReachabilityStatus() == HCNetworkReachabilityStatusReachableViaWWAN;
    }
    bool isReachableViaWiFi() const {
        return networkReachabilityStatus() == HCNetworkReachabilityStatusReachableViaWiFi;
    }

    void startMonitoring();
    void stopMonitoring();
    void setReachabilityStatusChangeBlock(std::function<void(HCNetworkReachabilityStatus)> block);
    Ref<NSString> localizedNetworkReachabilityStatusString() const;

private:
    std::function<void(HCNetworkReachabilityStatus)> statusBlock() const;

    std::atomic<HCNetworkReachabilityStatus> status_{HCNetworkReachabilityStatusUnknown};
    Ref<SCNetworkReachability> reachability_;
    mutable std::mutex mutex_;
    std::function<void(HCNetworkReachabilityStatus)> statusBlock_;
};
