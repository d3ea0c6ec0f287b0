#include "SystemInfoTestCase.h"

#include <Foundation/NSNotificationCenter.h>
#include <SystemInfo/Reachability.h>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

constexpr auto kReachable = kSCNetworkReachabilityFlagsReachable;
constexpr auto kRequired = kSCNetworkReachabilityFlagsConnectionRequired;
constexpr auto kOnTraffic = kSCNetworkReachabilityFlagsConnectionOnTraffic;
constexpr auto kOnDemand = kSCNetworkReachabilityFlagsConnectionOnDemand;
constexpr auto kIntervention = kSCNetworkReachabilityFlagsInterventionRequired;
constexpr auto kDirect = kSCNetworkReachabilityFlagsIsDirect;
constexpr auto kWWAN = kSCNetworkReachabilityFlagsIsWWAN;

} // namespace

class ReachabilityTests : public SystemInfoTestCase {};

TEST_F(ReachabilityTests, FlagRules) {
    auto internet = Reachability::reachabilityForInternetConnection();
    auto local = Reachability::reachabilityForLocalWiFi();
    ASSERT_TRUE(internet && local);
    EXPECT_EQ(internet->networkStatusForFlags(0), NotReachable);
    EXPECT_EQ(local->localWiFiStatusForFlags(0), NotReachable);

    EXPECT_EQ(local->localWiFiStatusForFlags(kReachable), NotReachable);
    EXPECT_EQ(local->localWiFiStatusForFlags(kReachable | kDirect), ReachableViaWiFi);
    EXPECT_EQ(local->localWiFiStatusForFlags(kReachable | kDirect | kWWAN | kRequired), ReachableViaWiFi);
    EXPECT_EQ(local->localWiFiStatusForFlags(kDirect | kWWAN), NotReachable);

    EXPECT_EQ(internet->networkStatusForFlags(kReachable), ReachableViaWiFi);
    EXPECT_EQ(internet->networkStatusForFlags(kReachable | kRequired), NotReachable);
    EXPECT_EQ(internet->networkStatusForFlags(kReachable | kRequired | kOnTraffic), ReachableViaWiFi);
    EXPECT_EQ(internet->networkStatusForFlags(kReachable | kRequired | kOnDemand), ReachableViaWiFi);
    EXPECT_EQ(internet->networkStatusForFlags(kReachable | kRequired | kOnTraffic | kIntervention), NotReachable);
    EXPECT_EQ(internet->networkStatusForFlags(kReachable | kWWAN), ReachableViaWWAN);
    EXPECT_EQ(internet->networkStatusForFlags(kReachable | kRequired | kWWAN), ReachableViaWWAN);
    EXPECT_EQ(internet->networkStatusForFlags(kWWAN), NotReachable);
}

TEST_F(ReachabilityTests, FactoriesAndRefusedTargets) {
    auto local = Reachability::reachabilityForLocalWiFi();
    auto internet = Reachability::reachabilityForInternetConnection();
    EXPECT_TRUE(local->localWiFiRef());
    EXPECT_FALSE(internet->localWiFiRef());
    EXPECT_NE(local->reachabilityRef()->description()->str().find("169.254.0.0"), std::string::npos);
    EXPECT_NE(internet->reachabilityRef()->description()->str().find("0.0.0.0"), std::string::npos);

    // A nil or empty host name and a null address make no object instead of crashing.
    EXPECT_FALSE(Reachability::reachabilityWithHostName(nullptr));
    EXPECT_FALSE(Reachability::reachabilityWithHostName(""_ns));
    EXPECT_FALSE(Reachability::reachabilityWithAddress(nullptr));
    auto host = Reachability::reachabilityWithHostName("localhost"_ns);
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->localWiFiRef());
    EXPECT_EQ(host->currentReachabilityStatus(), ReachableViaWiFi);
}

TEST_F(ReachabilityTests, StatusFollowsTheDeviceNetwork) {
    auto internet = Reachability::reachabilityForInternetConnection();
    auto local = Reachability::reachabilityForLocalWiFi();
    // Wi-Fi with a router, and a cellular link.
    EXPECT_EQ(internet->currentReachabilityStatus(), ReachableViaWiFi);
    EXPECT_EQ(local->currentReachabilityStatus(), ReachableViaWiFi);
    EXPECT_FALSE(internet->connectionRequired());

    ASSERT_TRUE(device().setInterfaceUp("en0", false));
    EXPECT_EQ(internet->currentReachabilityStatus(), ReachableViaWWAN);
    EXPECT_EQ(local->currentReachabilityStatus(), NotReachable);

    ASSERT_TRUE(device().setInterfaceUp("pdp_ip0", false));
    EXPECT_EQ(internet->currentReachabilityStatus(), NotReachable);

    // A Wi-Fi-only tablet.
    load("iPad7,5");
    EXPECT_EQ(internet->currentReachabilityStatus(), ReachableViaWiFi);
    device().setInterfaceUp("en0", false);
    EXPECT_EQ(internet->currentReachabilityStatus(), NotReachable);
    EXPECT_EQ(local->currentReachabilityStatus(), NotReachable);

    // An address on the Wi-Fi link is direct; one beyond it goes through the router.
    device().setInterfaceUp("en0", true);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, "192.168.0.77", &address.sin_addr);
    auto neighbour = Reachability::reachabilityWithAddress(&address);
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(neighbour->reachabilityRef(), &flags));
    EXPECT_EQ(flags, kReachable | kDirect);
    inet_pton(AF_INET, "203.0.113.9", &address.sin_addr);
    auto far = Reachability::reachabilityWithAddress(&address);
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(far->reachabilityRef(), &flags));
    EXPECT_EQ(flags, kReachable);
}

TEST_F(ReachabilityTests, NotifierPostsOncePerChange) {
    auto internet = Reachability::reachabilityForInternetConnection();
    std::vector<Ref<NSObject>> objects;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        kNetworkReachabilityChangedNotification(), nullptr, nullptr,
        [&](const Ref<NSNotification>& note) { objects.push_back(note->object()); });
    ASSERT_TRUE(internet->startNotifier());
    runUntilIdle();
    EXPECT_TRUE(objects.empty()); // watching alone reports nothing

    device().setInterfaceUp("en0", false); // Wi-Fi to cellular
    runUntilIdle();
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].get(), internet.get());
    EXPECT_EQ(internet->currentReachabilityStatus(), ReachableViaWWAN);

    device().setInterfaceUp("pdp_ip0", false); // and then nothing
    runUntilIdle();
    EXPECT_EQ(objects.size(), 2u);

    device().setWiFiNetwork({"Other", "00:11:22:33:44:55"}); // the flags stay the same
    runUntilIdle();
    EXPECT_EQ(objects.size(), 2u);

    internet->stopNotifier();
    device().setInterfaceUp("en0", true);
    runUntilIdle();
    EXPECT_EQ(objects.size(), 2u);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(ReachabilityTests, ADestroyedWatcherPostsNothing) {
    int posts = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        kNetworkReachabilityChangedNotification(), nullptr, nullptr, [&](const Ref<NSNotification>&) { ++posts; });
    {
        auto internet = Reachability::reachabilityForInternetConnection();
        ASSERT_TRUE(internet->startNotifier());
        Ref<SCNetworkReachability> target = internet->reachabilityRef(); // outlives the object
        device().setInterfaceUp("en0", false);                           // a report on its way...
        internet = nullptr;                                              // ...when the object goes away
        runUntilIdle();
        device().setInterfaceUp("en0", true);
        runUntilIdle();
    }
    EXPECT_EQ(posts, 0);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}
