// The Face ID and Touch ID screens against the simulated sensor and the system's prompt: enrolled (a
// face recognised, not recognised, the prompt cancelled), not enrolled (cancel, settings and back), a
// settings page that cannot open, an error code the platform does not list, and the texts by screen
// size.
#include "PowerRadioTestCase.h"

#include <Device/SimRadios.h>
#include <Diagnostics/PowerRadio/BiometricViewControllers.h>
#include <LocalAuthentication/LAContext.h>
#include <UIKit/UIApplication.h>

class BiometricScreenTests : public PowerRadioTestCase {
protected:
    void SetUp() override {
        PowerRadioTestCase::SetUp();
        auto app = UIApplication::sharedApplication();
        if (app->applicationState() != UIApplicationStateActive) {
            app->launchWithOptions(nullptr);
        }
    }
    SimRadios& radios = SimRadios::current();
    Ref<FaceIDViewController> screen(const char* controller = "FaceIDViewController") {
        auto s = cast<FaceIDViewController>(run(controller));
        EXPECT_TRUE(s);
        advance(LAContext::kPromptDelay); // the system's prompt, when there is one, comes up
        return s;
    }
    bool questionShown() {
        auto s = cast<FaceIDViewController>(testScreen());
        return s && !s->answerView()->isHidden() && shown(s->label());
    }
    // The person looks at the phone (or lays a finger on the sensor); the card shows the outcome.
    void present() {
        radios.presentToSensor();
        advance(0.1);
    }
    static bool promptShown() { return UITestDriver::findButton("Cancel") && UITestDriver::isTextVisible(kReason); }
    static constexpr const char* kReason = "Authenticate to test Face ID.";
};

TEST_F(BiometricScreenTests, EnrolledSensorPromptsAtOnceThenAsks) {
    auto s = screen();
    EXPECT_EQ(labelText(s->labelTitle()), "Face ID");
    EXPECT_EQ(labelText(s->label()), "Did Face ID work?");
    ASSERT_EQ(radios.prompts().size(), 1u);
    EXPECT_EQ(radios.prompts()[0].reason, kReason);
    EXPECT_TRUE(promptShown()) << UITestDriver::describeScreen();
    EXPECT_FALSE(questionShown());
    EXPECT_FALSE(shown(s->label())) << "the question waits for the check, with the answer bar";
    present();
    EXPECT_TRUE(UITestDriver::isTextVisible("Face Recognized"));
    EXPECT_FALSE(questionShown());
    advance(LAContext::kOutcomeTime);
    EXPECT_FALSE(promptShown());
    EXPECT_TRUE(radios.prompts()[0].matched);
    EXPECT_TRUE(questionShown());
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(BiometricScreenTests, ADeadSensorStillLeadsToTheQuestion) {
    radios.setState(SimRadios::Part::Biometrics, SimRadios::State::Dead);
    screen();
    present();
    EXPECT_TRUE(UITestDriver::isTextVisible("Face Not Recognized"));
    advance(LAContext::kOutcomeTime);
    EXPECT_FALSE(radios.prompts()[0].matched);
    EXPECT_TRUE(questionShown());
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(BiometricScreenTests, CancellingThePromptStillAsks) {
    screen();
    advance(60);
    EXPECT_FALSE(questionShown()) << "the prompt waits for the person";
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Cancel"));
    advance(0.1);
    EXPECT_FALSE(promptShown());
    EXPECT_TRUE(questionShown());
}

TEST_F(BiometricScreenTests, NotEnrolledCancelAsksWithoutAPrompt) {
    radios.setState(SimRadios::Part::Biometrics, SimRadios::State::NotEnrolled);
    screen();
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title()->str(), "Face ID");
    tapAlert("Cancel");
    EXPECT_TRUE(questionShown());
    EXPECT_TRUE(radios.prompts().empty());
}

TEST_F(BiometricScreenTests, NotEnrolledSettingsAndBackChecksAgainWithoutASecondAlert) {
    radios.setState(SimRadios::Part::Biometrics, SimRadios::State::NotEnrolled);
    radios.setSettingsDuration(3, true); // the person enrols in the settings
    screen();
    tapAlert("Settings");
    EXPECT_EQ(radios.openedSystemPages(), std::vector<std::string>{"App-Prefs:root=FaceID"});
    EXPECT_EQ(UIApplication::sharedApplication()->applicationState(), UIApplicationStateBackground);
    EXPECT_FALSE(questionShown());
    advance(3.0); // back from the settings
    EXPECT_EQ(UIApplication::sharedApplication()->applicationState(), UIApplicationStateActive);
    EXPECT_TRUE(radios.prompts().empty());
    advance(1.1); // checked again a second later: now the prompt
    EXPECT_FALSE(UITestDriver::topAlert());
    advance(LAContext::kPromptDelay);
    ASSERT_EQ(radios.prompts().size(), 1u);
    EXPECT_TRUE(promptShown());
    present();
    advance(LAContext::kOutcomeTime);
    EXPECT_TRUE(questionShown());
}

TEST_F(BiometricScreenTests, BackFromTheSettingsStillNotEnrolledRaisesNoSecondAlert) {
    radios.setState(SimRadios::Part::Biometrics, SimRadios::State::NotEnrolled);
    radios.setSettingsDuration(2, false);
    screen();
    tapAlert("Settings");
    advance(3.5);
    EXPECT_FALSE(UITestDriver::topAlert());
    EXPECT_TRUE(questionShown());
}

TEST_F(BiometricScreenTests, ASettingsPageThatCannotOpenStillAsks) {
    radios.setState(SimRadios::Part::Biometrics, SimRadios::State::NoPasscode);
    UIApplication::sharedApplication()->removeOpenableScheme("App-Prefs");
    screen();
    tapAlert("Settings");
    EXPECT_TRUE(questionShown());
    EXPECT_TRUE(radios.openedSystemPages().empty());
    UIApplication::sharedApplication()->addOpenableScheme("App-Prefs");
}

TEST_F(BiometricScreenTests, AnUnknownErrorCodeAsksAtOnce) {
    for (int code : {-999, -6, 42}) {
        radios.forceCanEvaluateError(code);
        screen();
        EXPECT_FALSE(UITestDriver::topAlert()) << code;
        EXPECT_TRUE(questionShown()) << code;
        answer(false);
        EXPECT_EQ(result(), DXTestResultFail);
        TearDown();
        SetUp();
    }
    radios.forceCanEvaluateError(std::nullopt);
}

TEST_F(BiometricScreenTests, TouchIDScreenTextsFollowTheScreenSize) {
    useScreen(375, 667);
    auto s = screen("FPSViewController");
    EXPECT_EQ(labelText(s->labelTitle()), "Touch ID");
    EXPECT_EQ(labelText(s->label()), "Did Touch ID work?");
    EXPECT_EQ(radios.prompts().back().reason, "Authenticate to test the sensor.");
    TearDown();
    SetUp();
    useScreen(414, 896);
    s = screen("FPSViewController");
    EXPECT_EQ(labelText(s->label()), "Did Face ID work?");
    TearDown();
    SetUp();
    radios.setState(SimRadios::Part::Biometrics, SimRadios::State::NotEnrolled);
    screen("FPSViewController");
    ASSERT_TRUE(UITestDriver::topAlert());
    EXPECT_EQ(UITestDriver::topAlert()->title()->str(), "Touch ID");
}
