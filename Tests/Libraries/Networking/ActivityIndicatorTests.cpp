#include <Support/PlatformTestCase.h>

#include <Networking/HCHTTPRequestOperation.h>
#include <Networking/HCNetworkActivityIndicatorManager.h>

#include <Foundation/NSNotificationCenter.h>
#include <UIKit/UIApplication.h>

namespace {

class ActivityIndicator : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        manager = make<HCNetworkActivityIndicatorManager>();
        manager->setEnabled(true);
        UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(false);
        operation = make<HCHTTPRequestOperation>(make<NSURLRequest>(NSURL::URLWithString("http://127.0.0.1/x"_ns)));
    }
    void post(const Ref<NSString>& name, const id& object) {
        NSNotificationCenter::defaultCenter()->postNotificationNameObject(name, object);
        runUntilIdle();
    }
    static bool visible() { return UIApplication::sharedApplication()->isNetworkActivityIndicatorVisible(); }

    Ref<HCNetworkActivityIndicatorManager> manager;
    Ref<HCHTTPRequestOperation> operation;
};

} // namespace

TEST_F(ActivityIndicator, ShowsAtOnceAndHidesAfterADelay) {
    post(HCNetworkingOperationDidStartNotification(), operation);
    EXPECT_TRUE(visible());
    post(HCNetworkingOperationDidFinishNotification(), operation);
    EXPECT_TRUE(visible());
    advance(0.1);
    EXPECT_TRUE(visible());
    advance(0.08);
    EXPECT_FALSE(visible());
}

TEST_F(ActivityIndicator, BackToBackRequestsDoNotFlicker) {
    post(HCNetworkingOperationDidStartNotification(), operation);
    post(HCNetworkingOperationDidFinishNotification(), operation);
    advance(0.1);
    post(HCNetworkingOperationDidStartNotification(), operation);
    advance(0.2);
    EXPECT_TRUE(visible());
    post(HCNetworkingOperationDidFinishNotification(), operation);
    advance(0.2);
    EXPECT_FALSE(visible());
}

TEST_F(ActivityIndicator, CountsNeverGoBelowZeroAndIgnoreStrangers) {
    post(HCNetworkingOperationDidFinishNotification(), operation);
    post(HCNetworkingOperationDidFinishNotification(), operation);
    EXPECT_EQ(manager->activityCount(), 0);
    post(HCNetworkingOperationDidStartNotification(), "not an operation"_ns);
    auto noURL = make<HCHTTPRequestOperation>(make<NSURLRequest>(Ref<NSURL>()));
    post(HCNetworkingOperationDidStartNotification(), noURL);
    EXPECT_EQ(manager->activityCount(), 0);
    post(HCNetworkingOperationDidStartNotification(), operation);
    EXPECT_EQ(manager->activityCount(), 1);
}

TEST_F(ActivityIndicator, DisabledItOnlyCounts) {
    manager->setEnabled(false);
    post(HCNetworkingOperationDidStartNotification(), operation);
    advance(1);
    EXPECT_EQ(manager->activityCount(), 1);
    EXPECT_FALSE(visible());
}
