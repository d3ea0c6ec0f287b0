// SCNetworkReachability: whether an address or a host name can be reached from the device, as
// flags computed from the simulated device's network interfaces (SimDevice): loopback and own
// addresses, the links of the interfaces that are up, and the default route (Wi-Fi before
// cellular). A target scheduled in a run loop calls its callback there whenever its flags change
// (the device tells of every change of its network).
#pragma once

#include <Foundation/NSRunLoop.h>
#include <Foundation/NSString.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct sockaddr;

using SCNetworkReachabilityFlags = uint32_t;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsTransientConnection = 1u << 0;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsReachable = 1u << 1;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionRequired = 1u << 2;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionOnTraffic = 1u << 3;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsInterventionRequired = 1u << 4;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionOnDemand = 1u << 5;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsLocalAddress = 1u << 16;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsDirect = 1u << 17;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsWWAN = 1u << 18;

class SCNetworkReachability;
using SCNetworkReachabilityCallBack =
    std::function<void(SCNetworkReachability* target, SCNetworkReachabilityFlags flags)>;

class SCNetworkReachability : public NSObject {
    NS_OBJECT(SCNetworkReachability, NSObject)
public:
    // An IPv4 or IPv6 address (0.0.0.0 stands for "the internet": any default route).
    explicit SCNetworkReachability(const sockaddr* address);
    // A host name, resolved when the flags are read.
    explicit SCNetworkReachability(std::string hostName);
    ~SCNetworkReachability() override;

    // False when the flags cannot be determined (the name does not resolve is not such a case: it
    // gives 0, not reachable).
    bool getFlags(SCNetworkReachabilityFlags* flags);
    // Replaces the callback (an empty one removes it).
    bool setCallback(SCNetworkReachabilityCallBack callback);
    // One run loop at a time; scheduling again in the same run loop adds a mode.
    bool scheduleWithRunLoop(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);
    bool unscheduleFromRunLoop(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);

    Ref<NSString> description() const override;

    // Internal: reads the flags again and reports a change (the watcher calls it).
    void reevaluate();
    bool isNameTarget() const noexcept { return isName_; }

private:
    SCNetworkReachabilityFlags computeFlags() const;

    mutable std::mutex mutex_;
    bool isName_ = false;
    std::string name_;
    std::vector<uint8_t> address_;
    SCNetworkReachabilityCallBack callback_;
    Ref<NSRunLoop> runLoop_;
    std::vector<Ref<NSString>> modes_;
    bool hasReported_ = false;
    SCNetworkReachabilityFlags lastFlags_ = 0;
};

// The platform's functions. Creation answers nil for a null address or an empty name.
Ref<SCNetworkReachability> SCNetworkReachabilityCreateWithAddress(const sockaddr* address);
Ref<SCNetworkReachability> SCNetworkReachabilityCreateWithName(const char* name);
bool SCNetworkReachabilityGetFlags(const Ref<SCNetworkReachability>& target, SCNetworkReachabilityFlags* flags);
bool SCNetworkReachabilitySetCallback(const Ref<SCNetworkReachability>& target, SCNetworkReachabilityCallBack callback);
bool SCNetworkReachabilityScheduleWithRunLoop(const Ref<SCNetworkReachability>& target, const Ref<NSRunLoop>& runLoop,
                                              const Ref<NSString>& mode);
bool SCNetworkReachabilityUnscheduleFromRunLoop(const Ref<SCNetworkReachability>& target, const Ref<NSRunLoop>& runLoop,
                                                const Ref<NSString>& mode);
