#include "MainLoop.h"

#include <Networking/HCNetworkReachabilityManager.h>

#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSThread.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

TEST(ReachabilityManager, FlagsBecomeStatuses) {
    const auto reachable = kSCNetworkReachabilityFlagsReachable;
    const auto required = kSCNetworkReachabilityFlagsConnectionRequired;
    EXPECT_EQ(HCNetworkReachabilityStatusForFlags(reachable), HCNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(HCNetworkReachabilityStatusForFlags(reachable | kSCNetworkReachabilityFlagsIsWWAN),
              HCNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(HCNetworkReachabilityStatusForFlags(reachable | required), HCNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(HCNetworkReachabilityStatusForFlags(reachable | required | kSCNetworkReachabilityFlagsConnectionOnDemand),
              HCNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(
        HCNetworkReachabilityStatusForFlags(reachable | required | kSCNetworkReachabilityFlagsConnectionOnTraffic),
        HCNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(HCNetworkReachabilityStatusForFlags(reachable | required | kSCNetworkReachabilityFlagsConnectionOnDemand |
                                                  kSCNetworkReachabilityFlagsInterventionRequired),
              HCNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(HCNetworkReachabilityStatusForFlags(0), HCNetworkReachabilityStatusNotReachable);
}

TEST(ReachabilityManager, AFreshManagerKnowsNothing) {
    auto manager = HCNetworkReachabilityManager::managerForDomain("localhost"_ns);
    ASSERT_TRUE(manager);
    EXPECT_EQ(manager->networkReachabilityStatus(), HCNetworkReachabilityStatusUnknown);
    EXPECT_FALSE(manager->isReachable());
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString()->str(), "Unknown");
    EXPECT_THROW(make<HCNetworkReachabilityManager>(), NSException);
    EXPECT_FALSE(HCNetworkReachabilityManager::managerForDomain(""_ns));
    EXPECT_EQ(HCNetworkReachabilityManager::sharedManager().get(), HCNetworkReachabilityManager::sharedManager().get());
}

TEST(ReachabilityManager, MonitoringReportsOnTheMainQueue) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    auto manager = HCNetworkReachabilityManager::managerForAddress(reinterpret_cast<const sockaddr*>(&address));
    std::vector<HCNetworkReachabilityStatus> reported;
    Ref<NSNumber> notified;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        HCNetworkingReachabilityDidChangeNotification(), nullptr, nullptr, [&](const Ref<NSNotification>& note) {
            notified = cast<NSNumber>(note->userInfo()->objectForKey(HCNetworkingReachabilityNotificationStatusItem()));
        });
    manager->setReachabilityStatusChangeBlock([&](HCNetworkReachabilityStatus status) {
        EXPECT_TRUE(NSThread::isMainThread());
        reported.push_back(status);
    });
    manager->startMonitoring();
    manager->startMonitoring(); // still one scheduling and one callback
    ASSERT_TRUE(runMainLoopUntil([&] { return static_cast<bool>(notified); }));
    drainMainLoop(0.2);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), HCNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(manager->networkReachabilityStatus(), HCNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_TRUE(manager->isReachable());
    EXPECT_TRUE(manager->isReachableViaWiFi());
    EXPECT_EQ(notified->integerValue(), HCNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString()->str(), "Reachable via WiFi");
    manager->stopMonitoring();
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}
