// Starting the application and its local notifications.
#include <Dispatch/Dispatch.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UILocalNotification.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string>& launchLog() {
    static std::vector<std::string> log;
    return log;
}

class LaunchTestApplication : public UIApplication {
    NS_OBJECT(LaunchTestApplication, UIApplication)
public:
    LaunchTestApplication() = default;
};

class LaunchTestDelegate : public NSObject {
    NS_OBJECT(LaunchTestDelegate, NSObject)
public:
    LaunchTestDelegate() = default;
    bool willFinish(const Ref<UIApplication>& app, const Ref<NSDictionary>&) {
        launchLog().push_back(std::string("willFinishLaunching ") +
                              (app->applicationState() == UIApplicationStateInactive ? "inactive" : "?"));
        return true;
    }
    bool didFinish(const Ref<UIApplication>&, const Ref<NSDictionary>& options) {
        launchLog().push_back(options ? "didFinishLaunching with options" : "didFinishLaunching");
        return true;
    }
    void didBecomeActive(const Ref<UIApplication>& app) {
        launchLog().push_back(std::string("didBecomeActive ") +
                              (app->applicationState() == UIApplicationStateActive ? "active" : "?"));
    }
    void received(const Ref<UIApplication>&, const Ref<UILocalNotification>& n) { notifications.push_back(n); }
    std::vector<Ref<UILocalNotification>> notifications;
};

// The delegate of the program started with UIApplicationMain: leaves the process from the main
// loop, two seconds after launching.
class MainTestDelegate : public NSObject {
    NS_OBJECT(MainTestDelegate, NSObject)
public:
    MainTestDelegate() = default;
    bool didFinish(const Ref<UIApplication>&, const Ref<NSDictionary>&) {
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 2 * static_cast<int64_t>(NSEC_PER_SEC)),
                       dispatch_get_main_queue(), [] {
                           std::fprintf(stderr, "the main loop ran the application\n");
                           std::fflush(stderr);
                           std::_Exit(7);
                       });
        return true;
    }
};

} // namespace

NS_IMPLEMENT_CLASS(LaunchTestApplication, UIApplication) {}
NS_IMPLEMENT_CLASS(LaunchTestDelegate, NSObject) {
    b.method("application:willFinishLaunchingWithOptions:", &LaunchTestDelegate::willFinish);
    b.method("application:didFinishLaunchingWithOptions:", &LaunchTestDelegate::didFinish);
    b.method("applicationDidBecomeActive:", &LaunchTestDelegate::didBecomeActive);
    b.method("application:didReceiveLocalNotification:", &LaunchTestDelegate::received);
}
NS_IMPLEMENT_CLASS(MainTestDelegate, NSObject) {
    b.method("application:didFinishLaunchingWithOptions:", &MainTestDelegate::didFinish);
}

class ApplicationTests : public PlatformTestCase {};

TEST_F(ApplicationTests, LaunchMakesTheApplicationAndItsDelegateByName) {
    launchLog().clear();
    EXPECT_THROW(UIApplicationLaunch("LaunchTestApplication"_ns, "NoSuchDelegate"_ns), NSException);
    auto app = UIApplicationLaunch("LaunchTestApplication"_ns, "LaunchTestDelegate"_ns);
    if (!app->isKindOfClass(LaunchTestApplication::class_())) {
        GTEST_SKIP() << "the application of this process was made by an earlier test; run each test alone";
    }
    EXPECT_EQ(UIApplication::sharedApplication(), app);
    EXPECT_EQ(launchLog(), (std::vector<std::string>{"willFinishLaunching inactive", "didFinishLaunching",
                                                     "didBecomeActive active"}));
    Weak<NSObject> delegate(app->delegate());
    ASSERT_TRUE(delegate.lock());
    EXPECT_TRUE(delegate.lock()->isKindOfClass(LaunchTestDelegate::class_()));
    runUntilIdle();
    EXPECT_TRUE(delegate.lock()) << "the application keeps the delegate it made";
    EXPECT_THROW(UIApplicationLaunch(nullptr, "AlsoMissing"_ns), NSException);
    EXPECT_EQ(app->delegate(), delegate.lock()) << "a failed launch changes nothing";
}

TEST_F(ApplicationTests, MainRunsTheMainLoopAfterLaunching) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto start = [] {
        char name[] = "app";
        char* argv[] = {name, nullptr};
        UIApplicationMain(1, argv, nullptr, "MainTestDelegate"_ns);
    };
    EXPECT_EXIT(start(), ::testing::ExitedWithCode(7), "the main loop ran the application");
}

TEST_F(ApplicationTests, LocalNotificationsArriveOnTheClock) {
    auto app = UIApplication::sharedApplication();
    auto delegate = make<LaunchTestDelegate>();
    app->setDelegate(delegate);
    app->launchWithOptions(nullptr);

    auto soon = make<UILocalNotification>();
    soon->setFireDate(NSDate::dateWithTimeIntervalSinceNow(10));
    soon->setAlertBody("Time is up"_ns);
    auto cancelled = make<UILocalNotification>();
    cancelled->setFireDate(NSDate::dateWithTimeIntervalSinceNow(5));
    app->scheduleLocalNotification(soon);
    app->scheduleLocalNotification(cancelled);
    EXPECT_EQ(app->scheduledLocalNotifications()->count(), 2u);
    app->cancelLocalNotification(cancelled);
    EXPECT_EQ(app->scheduledLocalNotifications()->count(), 1u);

    advance(9.9);
    EXPECT_TRUE(delegate->notifications.empty());
    advance(0.1);
    ASSERT_EQ(delegate->notifications.size(), 1u) << "at the fire date, and the cancelled one never";
    EXPECT_EQ(delegate->notifications.front(), soon);
    EXPECT_EQ(app->scheduledLocalNotifications()->count(), 0u);

    // In the background a notification is kept as delivered instead of reaching the delegate.
    auto later = make<UILocalNotification>();
    later->setFireDate(NSDate::dateWithTimeIntervalSinceNow(60));
    app->scheduleLocalNotification(later);
    app->enterBackground();
    advance(60);
    EXPECT_EQ(delegate->notifications.size(), 1u);
    ASSERT_EQ(app->deliveredLocalNotifications()->count(), 1u);
    EXPECT_EQ(app->deliveredLocalNotifications()->objectAtIndex(0), later);

    app->enterForeground();
    auto past = make<UILocalNotification>();
    past->setFireDate(NSDate::dateWithTimeIntervalSinceNow(-30));
    app->scheduleLocalNotification(past);
    runUntilIdle();
    EXPECT_EQ(delegate->notifications.size(), 2u) << "a date already past fires at once";
    app->presentLocalNotificationNow(soon);
    EXPECT_EQ(delegate->notifications.size(), 3u);
}
