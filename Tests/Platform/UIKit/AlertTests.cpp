// Alerts as the test screens use them to ask the operator: the full delegate sequence, alerts stacked
// on alerts, text-input styles and the first-other-button veto, and alerts without a cancel button.
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UITestDriver.h>

#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class AlertListener : public NSObject {
    NS_OBJECT(AlertListener, NSObject)
public:
    Log log;
    bool enableFirstOther = true;
    std::string name(const Ref<UIAlertView>& alert) const { return alert->title() ? alert->title()->str() : "?"; }
    void willPresent(const Ref<UIAlertView>& a) { log.push_back("willPresent " + name(a)); }
    void didPresent(const Ref<UIAlertView>& a) { log.push_back("didPresent " + name(a)); }
    void clicked(const Ref<UIAlertView>& a, NSInteger i) {
        log.push_back("clicked " + name(a) + " " + std::to_string(i));
    }
    void willDismiss(const Ref<UIAlertView>& a, NSInteger i) {
        log.push_back("willDismiss " + name(a) + " " + std::to_string(i));
    }
    void didDismiss(const Ref<UIAlertView>& a, NSInteger i) {
        log.push_back("didDismiss " + name(a) + " " + std::to_string(i));
    }
    bool shouldEnableFirstOther(const Ref<UIAlertView>&) { return enableFirstOther; }
};

} // namespace

NS_IMPLEMENT_CLASS(AlertListener, NSObject) {
    b.method("willPresentAlertView:", &AlertListener::willPresent);
    b.method("didPresentAlertView:", &AlertListener::didPresent);
    b.method("alertView:clickedButtonAtIndex:", &AlertListener::clicked);
    b.method("alertView:willDismissWithButtonIndex:", &AlertListener::willDismiss);
    b.method("alertView:didDismissWithButtonIndex:", &AlertListener::didDismiss);
    b.method("alertViewShouldEnableFirstOtherButton:", &AlertListener::shouldEnableFirstOther);
}

class AlertTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        UITestDriver::showRootViewController(make<UIViewController>());
        listener = make<AlertListener>();
    }
    Ref<AlertListener> listener;
};

TEST_F(AlertTests, ATapRunsTheWholeDelegateSequence) {
    auto alert = make<UIAlertView>("Speaker"_ns, "Did you hear the tone?"_ns, listener, "NO"_ns,
                                   std::vector<Ref<NSString>>{"YES"_ns});
    alert->show();
    EXPECT_TRUE(alert->isVisible());
    EXPECT_TRUE(UITestDriver::tapAlertButtonAtIndex(1));
    EXPECT_EQ(listener->log, (Log{"willPresent Speaker", "didPresent Speaker", "clicked Speaker 1",
                                  "willDismiss Speaker 1", "didDismiss Speaker 1"}));
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(alert->tapButtonAtIndex(0)) << "a dismissed alert takes no taps";
    EXPECT_THROW(alert->tapButtonAtIndex(2), NSException) << "beyond the buttons";
}

TEST_F(AlertTests, TheLastShownAlertIsOnTopAndTheOneUnderItComesBack) {
    auto first = make<UIAlertView>("First"_ns, nullptr, listener, "OK"_ns);
    auto second = make<UIAlertView>("Second"_ns, nullptr, listener, "OK"_ns);
    first->show();
    second->show();
    EXPECT_EQ(UITestDriver::topAlert(), second);
    EXPECT_EQ(UIAlertView::visibleAlerts().size(), 2u);
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("OK"));
    EXPECT_EQ(UITestDriver::topAlert(), first);
    EXPECT_FALSE(second->isVisible());
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("OK"));
    EXPECT_FALSE(UITestDriver::topAlert());
    EXPECT_FALSE(UITestDriver::tapAlertButtonTitled("OK")) << "no alert left";
}

TEST_F(AlertTests, TextInputStylesHaveTheirFieldsAndMayHoldBackTheFirstOtherButton) {
    auto alert = make<UIAlertView>("Login"_ns, nullptr, listener, "Cancel"_ns, std::vector<Ref<NSString>>{"Join"_ns});
    alert->setAlertViewStyle(UIAlertViewStyleLoginAndPasswordInput);
    EXPECT_TRUE(alert->textFieldAtIndex(0));
    EXPECT_TRUE(alert->textFieldAtIndex(1)->isSecureTextEntry());
    EXPECT_THROW(alert->textFieldAtIndex(2), NSException);
    alert->setAlertViewStyle(UIAlertViewStylePlainTextInput);
    EXPECT_THROW(alert->textFieldAtIndex(1), NSException) << "one field in the plain style";
    alert->show();
    UITestDriver::typeIntoField(alert->textFieldAtIndex(0), "4711");
    EXPECT_EQ(alert->textFieldAtIndex(0)->text()->str(), "4711");

    listener->enableFirstOther = false;
    EXPECT_FALSE(alert->isButtonEnabledAtIndex(1));
    EXPECT_TRUE(alert->isButtonEnabledAtIndex(0)) << "only the first other button is held back";
    EXPECT_FALSE(UITestDriver::tapAlertButtonTitled("Join"));
    EXPECT_TRUE(alert->isVisible());
    listener->enableFirstOther = true;
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("Join"));
    EXPECT_FALSE(alert->isVisible());
}

TEST_F(AlertTests, TheDefaultStyleNeverAsksAboutTheFirstOtherButton) {
    listener->enableFirstOther = false;
    auto alert = make<UIAlertView>("Plain"_ns, nullptr, listener, nullptr, std::vector<Ref<NSString>>{"A"_ns, "B"_ns});
    EXPECT_EQ(alert->cancelButtonIndex(), -1) << "no cancel button";
    EXPECT_EQ(alert->firstOtherButtonIndex(), 0);
    EXPECT_THROW(alert->textFieldAtIndex(0), NSException);
    alert->show();
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("A"));
    EXPECT_EQ(listener->log.back(), "didDismiss Plain 0");
}
