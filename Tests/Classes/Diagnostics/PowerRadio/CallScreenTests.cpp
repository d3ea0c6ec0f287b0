// The call and text-message screens against the simulated telephony: a call that sends the app to
// the background and back, the service number dialled when the profile gives none, numbers that
// must not be dialled, the old count-down; the composer sent, cancelled, unavailable, and Send used
// twice.
#include "PowerRadioTestCase.h"

#include <Device/SimRadios.h>
#include <Diagnostics/PowerRadio/MakeCallViewController.h>
#include <Diagnostics/PowerRadio/SMSViewController.h>
#include <MessageUI/MFMessageComposeViewController.h>
#include <UIKit/UIApplication.h>

class TelephonyScreenTests : public PowerRadioTestCase {
protected:
    void SetUp() override {
        PowerRadioTestCase::SetUp();
        auto app = UIApplication::sharedApplication();
        if (app->applicationState() != UIApplicationStateActive) {
            app->launchWithOptions(nullptr);
        }
    }
    SimRadios& radios = SimRadios::current();
    Ref<MakeCallViewController> call(const char* number, NSInteger waitingTime = -1) {
        return callWithExtra(number ? NSDictionary::dictionaryWithEntries({{"liveCallNum"_ns, NSString::from(number)}})
                                    : nullptr,
                             waitingTime);
    }
    Ref<MakeCallViewController> callWithExtra(const id& extra, NSInteger waitingTime = -1) {
        auto r = record("LIVECALL", "MakeCallViewController");
        auto params = NSMutableDictionary::dictionary();
        if (extra) {
            params->setObjectForKey(extra, "extra"_ns);
        }
        r->setParams(params);
        r->setWaitingTime(waitingTime);
        startRun({r}, DXRunTypeProfile);
        return cast<MakeCallViewController>(testScreen());
    }
    UIApplicationState appState() { return UIApplication::sharedApplication()->applicationState(); }
};

TEST_F(TelephonyScreenTests, ACallSendsTheAppAwayAndTheQuestionWaitsOnReturn) {
    auto screen = call("5551234");
    ASSERT_TRUE(screen);
    ASSERT_EQ(radios.calls().size(), 1u); // dialled a tenth of a second after the screen came
    EXPECT_EQ(radios.calls()[0].number, "5551234");
    EXPECT_TRUE(radios.calls()[0].connected);
    EXPECT_EQ(appState(), UIApplicationStateBackground);
    advance(5);
    EXPECT_EQ(appState(), UIApplicationStateActive);
    EXPECT_FALSE(screen->answerView()->isHidden());
    EXPECT_EQ(labelText(screen->tipLabel()), "Did the call work?");
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(TelephonyScreenTests, WithoutACarrierTheCallDoesNotConnectAndTheOperatorSaysNo) {
    radios.setState(SimRadios::Part::Carrier, SimRadios::State::Absent);
    call("+445551234");
    ASSERT_EQ(radios.calls().size(), 1u);
    EXPECT_FALSE(radios.calls()[0].connected);
    advance(5);
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(TelephonyScreenTests, WithoutANumberInTheProfileTheServiceNumberIsDialled) {
    const id extras[] = {
        nullptr,                                                          // no "extra"
        NSDictionary::dictionary(),                                       // no number in it
        NSDictionary::dictionaryWithEntries({{"liveCallNum"_ns, ""_ns}}), // an empty one
    };
    int index = 0;
    for (const auto& extra : extras) {
        callWithExtra(extra);
        ASSERT_EQ(radios.calls().size(), 1u) << index;
        EXPECT_EQ(radios.calls()[0].number, "611") << index;
        EXPECT_TRUE(radios.calls()[0].connected) << index;
        advance(5);
        EXPECT_FALSE(ended()) << index; // the operator's answer decides
        answer(true);
        EXPECT_EQ(result(), DXTestResultPass) << index;
        ++index;
        TearDown();
        SetUp();
    }
}

TEST_F(TelephonyScreenTests, ADeadCarrierDoesNotConnectTheServiceNumber) {
    radios.setState(SimRadios::Part::Carrier, SimRadios::State::Dead);
    call(nullptr);
    ASSERT_EQ(radios.calls().size(), 1u);
    EXPECT_EQ(radios.calls()[0].number, "611");
    EXPECT_FALSE(radios.calls()[0].connected);
}

TEST_F(TelephonyScreenTests, NumbersThatCannotBeDialledFailWithoutACall) {
    // A number given as something else than text, or "extra" that is not a dictionary, is broken too.
    auto r = record("LIVECALL", "MakeCallViewController");
    r->setParams(NSMutableDictionary::dictionary());
    r->params()->setObjectForKey(NSDictionary::dictionaryWithEntries({{"liveCallNum"_ns, box(5551234)}}), "extra"_ns);
    EXPECT_FALSE(MakeCallViewController::dialableNumber(r));
    r->params()->setObjectForKey("611"_ns, "extra"_ns);
    EXPECT_FALSE(MakeCallViewController::dialableNumber(r));
    r->params()->setObjectForKey(NSDictionary::dictionary(), "extra"_ns);
    EXPECT_EQ(MakeCallViewController::dialableNumber(r)->str(), "611");
    for (const char* number : {"12", "555 1234; rm", "tel://611", "abcdefg", "123456789012345678901"}) {
        call(number); // the run settles for half a second
        advance(0.1);
        EXPECT_EQ(result(), DXTestResultFail) << (number ? number : "none");
        EXPECT_TRUE(ended());
        EXPECT_TRUE(radios.calls().empty());
        TearDown();
        SetUp();
    }
}

TEST_F(TelephonyScreenTests, OldSystemsCountDownThenLeaveANotificationAndCall) {
    useProfile({{"systemVersion", "7.1"}});
    auto screen = call("5551234"); // the run settled for half a second
    EXPECT_EQ(labelText(screen->callprogressLabel()), "");
    advance(0.6);
    EXPECT_EQ(labelText(screen->callprogressLabel()), "Calling 5551234 in 3");
    advance(1);
    EXPECT_EQ(labelText(screen->callprogressLabel()), "Calling 5551234 in 2");
    advance(1.95);
    EXPECT_TRUE(radios.calls().empty());
    EXPECT_EQ(UIApplication::sharedApplication()->scheduledLocalNotifications()->count(), 1u);
    advance(0.1);
    EXPECT_EQ(radios.calls().size(), 1u);
}

TEST_F(TelephonyScreenTests, OldSystemsCountDownOneSecondWhenTheWaitIsZero) {
    useProfile({{"systemVersion", "7.1"}});
    auto screen = call("5551234", 0); // the run settled for half a second
    advance(0.6);
    EXPECT_EQ(labelText(screen->callprogressLabel()), "Calling 5551234 in 1");
    EXPECT_EQ(UIApplication::sharedApplication()->scheduledLocalNotifications()->count(), 0u);
    advance(0.95); // the second tick ends the count-down
    EXPECT_EQ(UIApplication::sharedApplication()->scheduledLocalNotifications()->count(), 1u);
    EXPECT_TRUE(radios.calls().empty());
    advance(0.1);
    ASSERT_EQ(radios.calls().size(), 1u);
    EXPECT_EQ(radios.calls()[0].number, "5551234");
}

TEST_F(TelephonyScreenTests, LeavingDuringTheCountDownFails) {
    useProfile({{"systemVersion", "7.1"}});
    auto screen = call("5551234");
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    advance(5);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(radios.calls().empty());
}

class SMSScreenTests : public TelephonyScreenTests {
protected:
    Ref<SMSViewController> sms() {
        auto s = cast<SMSViewController>(run("SMSViewController"));
        EXPECT_TRUE(s);
        return s;
    }
    static Ref<MFMessageComposeViewController> composer() {
        return cast<MFMessageComposeViewController>(UITestDriver::topViewController());
    }
    // A tap on the composer's button (the screen under it is covered).
    static bool tapInComposer(const char* title) {
        if (!composer()) {
            return false;
        }
        bool tapped = UITestDriver::tapButtonTitled(title);
        settle();
        return tapped;
    }
    bool asking(const Ref<SMSViewController>& s) { return !s->answerView()->isHidden() && shown(s->tipLabel()); }
};

TEST_F(SMSScreenTests, SendIsEnabledFromTheEighthCharacterAndSendingAsks) {
    auto s = sms();
    EXPECT_TRUE(s->answerView()->isHidden());
    UITestDriver::typeIntoField(s->number(), "5551234");
    advance(0.1);
    EXPECT_FALSE(s->sendButton()->isEnabled());
    UITestDriver::typeIntoField(s->number(), "5");
    advance(0.1);
    EXPECT_TRUE(s->sendButton()->isEnabled());
    tap(s->sendButton());
    advance(1);
    ASSERT_TRUE(composer());
    EXPECT_TRUE(UITestDriver::isTextVisible("To: 55512345"));
    ASSERT_TRUE(tapInComposer("Send")); // the person sends
    advance(1);
    EXPECT_FALSE(composer());
    ASSERT_EQ(radios.messages().size(), 1u);
    EXPECT_TRUE(radios.messages()[0].sent);
    EXPECT_EQ(radios.messages()[0].body, "Tessaly Test SMS");
    EXPECT_EQ(radios.messages()[0].recipients, std::vector<std::string>{"55512345"});
    EXPECT_TRUE(asking(s));
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(SMSScreenTests, CancellingInTheComposerBringsTheQuestionUpJustAsSendingDoes) {
    auto s = sms();
    UITestDriver::typeIntoField(s->number(), "+4455512345");
    advance(0.1);
    tap(s->sendButton());
    advance(1);
    ASSERT_TRUE(tapInComposer("Cancel"));
    advance(1);
    EXPECT_FALSE(composer());
    EXPECT_TRUE(asking(s));
    EXPECT_TRUE(radios.messages().empty()) << "nothing was sent";
    // Send again while asking: one more composer, sent this time, dismissed once.
    tap(s->sendButton());
    advance(1);
    ASSERT_TRUE(tapInComposer("Send"));
    advance(1);
    EXPECT_EQ(radios.messages().size(), 1u);
    EXPECT_FALSE(composer());
    EXPECT_EQ(testScreen(), Ref<DXBaseViewController>(s)); // still the shown screen
    EXPECT_EQ(result(), DXTestResultNotRun);
}

TEST_F(SMSScreenTests, NoSIMShowsNoComposerAndAsksAtOnce) {
    radios.setState(SimRadios::Part::Carrier, SimRadios::State::Absent);
    auto s = sms();
    UITestDriver::typeIntoField(s->number(), "55512345");
    advance(0.1);
    tap(s->sendButton());
    EXPECT_FALSE(composer());
    EXPECT_FALSE(s->answerView()->isHidden());
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(radios.messages().empty());
}
