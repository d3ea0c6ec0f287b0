#include "MainLoop.h"

#include <SystemConfiguration/SCNetworkReachability.h>

#include <Device/SimDevice.h>

#include <Foundation/NSDate.h>
#include <Foundation/NSThread.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

namespace {

sockaddr_in ipv4(const char* text) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, text, &address.sin_addr);
    return address;
}

} // namespace

TEST(Reachability, LoopbackAndOwnAddressesAreLocalAndDirect) {
    auto address = ipv4("127.0.0.1");
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&address));
    ASSERT_TRUE(target);
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsReachable);
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsIsLocalAddress);
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsIsDirect);
    EXPECT_FALSE(flags & kSCNetworkReachabilityFlagsIsWWAN);

    sockaddr_in6 loopback6{};
    loopback6.sin6_family = AF_INET6;
    loopback6.sin6_addr = in6addr_loopback;
    auto target6 = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&loopback6));
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target6, &flags));
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsIsLocalAddress);
}

TEST(Reachability, HostNamesAreResolved) {
    auto local = SCNetworkReachabilityCreateWithName("localhost");
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(local, &flags));
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsReachable);
    auto nowhere = SCNetworkReachabilityCreateWithName("name.that.does.not.resolve.invalid");
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(nowhere, &flags));
    EXPECT_EQ(flags, 0u);
    EXPECT_FALSE(SCNetworkReachabilityCreateWithName(""));
    EXPECT_FALSE(SCNetworkReachabilityCreateWithAddress(nullptr));
}

TEST(Reachability, TheGeneralInternetFollowsTheDefaultRoute) {
    auto any = ipv4("0.0.0.0");
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&any));
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    // Whatever the machine's routes say, the general address is never a local one.
    EXPECT_FALSE(flags & kSCNetworkReachabilityFlagsIsLocalAddress);
    EXPECT_NE(target->description()->str().find("0.0.0.0"), std::string::npos);
}

TEST(Reachability, SchedulingIsPerRunLoop) {
    auto address = ipv4("127.0.0.1");
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&address));
    EXPECT_TRUE(SCNetworkReachabilitySetCallback(target, [](SCNetworkReachability*, SCNetworkReachabilityFlags) {}));
    EXPECT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes()));
    EXPECT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode()));
    EXPECT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes()));
    EXPECT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode()));
    EXPECT_FALSE(SCNetworkReachabilityUnscheduleFromRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode()));
}

// Change callbacks, driven through the simulated device's network.
TEST(Reachability, ChangesAreReportedOnTheScheduledRunLoop) {
    auto& device = SimDevice::current();
    ASSERT_TRUE(device.loadProfile("iPhone7,2"));
    auto address = ipv4("10.20.30.40");
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&address));
    std::vector<SCNetworkReachabilityFlags> reports;
    std::vector<bool> onMainThread;
    SCNetworkReachabilitySetCallback(target, [&](SCNetworkReachability*, SCNetworkReachabilityFlags flags) {
        reports.push_back(flags);
        onMainThread.push_back(NSThread::isMainThread());
    });
    device.setInterfaceUp("en0", false);
    device.setInterfaceUp("pdp_ip0", false);
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags, 0u); // nothing but the loopback
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode()));

    // The address becomes one of the device's own.
    device.setNetworkInterfaces({{"lo0", true, "", {{"127.0.0.1", "255.0.0.0"}}, ""},
                                 {"en0", true, "", {{"10.20.30.40", "255.255.255.0"}}, ""}});
    drainMainLoop(0.1);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                              kSCNetworkReachabilityFlagsIsDirect);
    EXPECT_TRUE(onMainThread[0]);

    // The interface goes down: the address is out of reach again.
    device.setInterfaceUp("en0", false);
    drainMainLoop(0.1);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1], 0u);

    // A cellular link carries the rest of the world.
    device.setNetworkInterfaces(
        {{"lo0", true, "", {{"127.0.0.1", "255.0.0.0"}}, ""}, {"pdp_ip0", true, "", {{"100.64.1.2", ""}}, ""}});
    drainMainLoop(0.1);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2], kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);

    // Once unscheduled, further changes are not reported.
    ASSERT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode()));
    device.setInterfaceUp("pdp_ip0", false);
    drainMainLoop(0.1);
    EXPECT_EQ(reports.size(), 3u);
}

TEST(Reachability, TheInternetFollowsTheDeviceNotTheHost) {
    auto& device = SimDevice::current();
    ASSERT_TRUE(device.loadProfile("iPhone7,2"));
    auto any = ipv4("0.0.0.0");
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&any));
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags, kSCNetworkReachabilityFlagsReachable); // Wi-Fi with a router
    device.setInterfaceUp("en0", false);
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags, kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);
    device.setInterfaceUp("pdp_ip0", false);
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags, 0u);
    // The loopback is always there.
    auto loopback = ipv4("127.0.0.1");
    auto local = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&loopback));
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(local, &flags));
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsReachable);
}
