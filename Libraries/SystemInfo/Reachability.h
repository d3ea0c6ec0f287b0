// Reachability: whether one target (a host name, an IPv4 address, the internet at large or the
// local Wi-Fi link) can be reached now, and over which kind of path; it can also watch its target
// and post kNetworkReachabilityChangedNotification at each change the platform reports.
//
// One object is used from one thread: the notifier is scheduled on the run loop of the thread that
// starts it, and stopped (also on destruction) on that same thread.
#pragma once

#include <SystemConfiguration/SCNetworkReachability.h>

#include <cstdint>

struct sockaddr_in;

using NetworkStatus = int32_t;
inline constexpr NetworkStatus NotReachable = 0;
inline constexpr NetworkStatus ReachableViaWiFi = 1;
inline constexpr NetworkStatus ReachableViaWWAN = 2;

// "kNetworkReachabilityChangedNotification"; the object is the Reachability, no user information.
const Ref<NSString>& kNetworkReachabilityChangedNotification();

class Reachability : public NSObject {
    NS_OBJECT(Reachability, NSObject)
public:
    // Internal: the factories make objects.
    explicit Reachability(Ref<SCNetworkReachability> target);
    ~Reachability() override;

    // nil when no target can be made (a nil or empty host name, a null address).
    static Ref<Reachability> reachabilityWithHostName(const Ref<NSString>& hostName);
    static Ref<Reachability> reachabilityWithAddress(const sockaddr_in* hostAddress);
    // The all-zero IPv4 address.
    static Ref<Reachability> reachabilityForInternetConnection();
    // The link-local network 169.254.0.0, marked as a local Wi-Fi object.
    static Ref<Reachability> reachabilityForLocalWiFi();

    // Watches the target on the calling thread's run loop (default mode); YES when watching started.
    bool startNotifier();
    void stopNotifier();

    // 1 when Reachable and IsDirect are both set, else 0.
    NetworkStatus localWiFiStatusForFlags(SCNetworkReachabilityFlags flags) const;
    // 0, 1 (not cellular) or 2 (cellular) by the flags.
    NetworkStatus networkStatusForFlags(SCNetworkReachabilityFlags flags) const;
    // YES when the current flags could be read and require a connection.
    bool connectionRequired() const;
    // The status now, by the rule of this kind of object; 0 when the flags cannot be read.
    NetworkStatus currentReachabilityStatus() const;

    bool localWiFiRef() const noexcept { return localWiFiRef_; }
    const Ref<SCNetworkReachability>& reachabilityRef() const noexcept { return reachabilityRef_; }

private:
    bool localWiFiRef_ = false;
    Ref<SCNetworkReachability> reachabilityRef_;
};
