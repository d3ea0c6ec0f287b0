#include "MainLoop.h"

#include <SystemConfiguration/SCNetworkReachability.h>

#include <Foundation/NSDate.h>
#include <Foundation/NSThread.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
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

// Change callbacks, against real interface changes: the test moves into a network namespace of its
// own (each test runs in its own process), where only a loopback interface exists, and changes it.
namespace {

bool setLoopbackUp(bool up) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(up ? (request.ifr_flags | IFF_UP) : (request.ifr_flags & ~IFF_UP));
    ok = ok && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return ok;
}

bool setLoopbackAddress(const char* text) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    auto address = ipv4(text);
    std::memcpy(&request.ifr_addr, &address, sizeof address);
    bool ok = ioctl(fd, SIOCSIFADDR, &request) == 0;
    ::close(fd);
    return ok;
}

} // namespace

TEST(Reachability, ChangesAreReportedOnTheScheduledRunLoop) {
    if (::testing::UnitTest::GetInstance()->test_to_run_count() > 1) {
        // The routing watcher is made once per process, in the namespace of the moment.
        GTEST_SKIP() << "run this test in a process of its own (as ctest does)";
    }
    if (unshare(CLONE_NEWNET) != 0) {
        GTEST_SKIP() << "no network namespace of our own here: " << std::strerror(errno);
    }
    auto address = ipv4("10.20.30.40");
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&address));
    std::mutex mutex;
    std::vector<SCNetworkReachabilityFlags> reports;
    std::vector<bool> onMainThread;
    SCNetworkReachabilitySetCallback(target, [&](SCNetworkReachability*, SCNetworkReachabilityFlags flags) {
        std::lock_guard lock(mutex);
        reports.push_back(flags);
        onMainThread.push_back(NSThread::isMainThread());
    });
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags, 0u); // nothing but a loopback interface that is down
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode()));
    auto count = [&] {
        std::lock_guard lock(mutex);
        return reports.size();
    };

    // The address becomes one of this machine's own.
    ASSERT_TRUE(setLoopbackUp(true));
    ASSERT_TRUE(setLoopbackAddress("10.20.30.40"));
    ASSERT_TRUE(runMainLoopUntil([&] { return count() >= 1; }));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(reports[0], kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                                  kSCNetworkReachabilityFlagsIsDirect);
        EXPECT_TRUE(onMainThread[0]);
    }

    // The interface goes down: the address is out of reach again.
    ASSERT_TRUE(setLoopbackUp(false));
    ASSERT_TRUE(runMainLoopUntil([&] {
        std::lock_guard lock(mutex);
        return !reports.empty() && reports.back() == 0;
    }));

    // Once unscheduled, further changes are not reported.
    ASSERT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode()));
    size_t before = count();
    ASSERT_TRUE(setLoopbackUp(true));
    drainMainLoop(0.2);
    EXPECT_EQ(count(), before);
}
