#include <SystemConfiguration/SCNetworkReachability.h>

#include <Foundation/NSDate.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

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
