// The system's biometric prompt as a person meets it: a card above the application, a moment after
// the evaluation was asked for, with the sensor's name, the reason and Cancel; Cancel, a face the
// sensor recognises and a finger it does not, each replied off the main thread once the card has
// closed, the card showing the outcome in green or red first; a second evaluation; an empty reason;
// and the recorder's picture of the card.
#include <CoreGraphics/CGImage.h>
#include <Device/SimDevice.h>
#include <Device/SimRadios.h>
#include <Foundation/NSThread.h>
#include <LocalAuthentication/LAContext.h>
#include <LocalAuthentication/LAPromptViewController.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITestDriver.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <vector>

class BiometricPromptTests : public PlatformTestCase {
protected:
    struct Reply {
        bool success = false;
        NSInteger code = 0;
        bool onMain = true;
    };
    void SetUp() override {
        PlatformTestCase::SetUp();
        appWindow = UITestDriver::showRootViewController(make<UIViewController>());
    }
    void evaluate(const char* reason = "Authenticate to test Face ID.", double wait = LAContext::kPromptDelay) {
        make<LAContext>()->evaluatePolicyLocalizedReasonReply(
            LAPolicyDeviceOwnerAuthentication, NSString::from(reason), [this](bool success, const Ref<NSError>& error) {
                std::lock_guard lock(mutex);
                replies.push_back({success, error ? error->code() : 0, NSThread::isMainThread()});
            });
        advance(wait);
    }
    std::vector<Reply> received() {
        std::lock_guard lock(mutex);
        return replies;
    }
    // The prompt on screen: the root of a visible window at alert level.
    static Ref<LAPromptViewController> prompt() {
        for (const auto& window : UIWindow::windowsFromBackToFront()) {
            auto card = cast<LAPromptViewController>(window->rootViewController());
            if (card && !window->isHidden() && window->windowLevel() == UIWindowLevelAlert) {
                return card;
            }
        }
        return nullptr;
    }
    static bool shows(const char* text) { return UITestDriver::isTextVisible(text); }
    // The pixels of the card on show, the one that says `text`, that are plainly green and plainly
    // red: how a person tells at a glance what the sensor made of them.
    struct Hues {
        int green = 0;
        int red = 0;
    };
    static Hues huesOfTheCardSaying(const char* text) {
        Hues hues;
        auto label = UITestDriver::findLabel(text);
        if (!label || !label->superview()) {
            ADD_FAILURE() << "no card says " << text << "\n" << UITestDriver::describeScreen();
            return hues;
        }
        auto card = label->superview();
        auto image = UIScreenshotImageInRect(card->convertRectToView(card->bounds(), nullptr));
        for (size_t y = 0; image && y < CGImageGetHeight(image->CGImage()); ++y) {
            for (size_t x = 0; x < CGImageGetWidth(image->CGImage()); ++x) {
                uint8_t p[4] = {};
                CGImageGetPixel(image->CGImage(), x, y, p);
                hues.green += p[1] > p[0] + 80 && p[1] > p[2] + 60;
                hues.red += p[0] > p[1] + 100 && p[0] > p[2] + 80;
            }
        }
        return hues;
    }

    Ref<UIWindow> appWindow;
    std::mutex mutex;
    std::vector<Reply> replies;
};

TEST_F(BiometricPromptTests, TheCardShowsWhileTheSensorLooks) {
    evaluate("Authenticate to test Face ID.", LAContext::kPromptDelay - 0.1);
    EXPECT_FALSE(prompt());
    advance(0.1);
    ASSERT_TRUE(prompt()) << UITestDriver::describeScreen();
    EXPECT_FALSE(appWindow->isKeyWindow()) << "the application behind takes no touches";
    EXPECT_TRUE(shows("Face ID"));
    EXPECT_TRUE(shows("Authenticate to test Face ID."));
    EXPECT_TRUE(UITestDriver::findButton("Cancel"));
    advance(600);
    EXPECT_TRUE(prompt()) << "nobody answers for the person";
    EXPECT_TRUE(received().empty());
}

TEST_F(BiometricPromptTests, CancelClosesTheCardAndRepliesUserCancel) {
    evaluate();
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Cancel"));
    EXPECT_FALSE(prompt());
    EXPECT_TRUE(appWindow->isKeyWindow());
    SimRadios::current().presentToSensor(); // too late
    advance(2);
    auto r = received();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_FALSE(r[0].success);
    EXPECT_EQ(r[0].code, LAErrorUserCancel);
    EXPECT_FALSE(r[0].onMain);
}

TEST_F(BiometricPromptTests, ARecognisedFaceShowsOnTheCardThenReplies) {
    evaluate();
    SimRadios::current().presentToSensor();
    advance(0.1);
    EXPECT_TRUE(shows("Face Recognized"));
    auto hues = huesOfTheCardSaying("Face Recognized");
    EXPECT_GT(hues.green, 100) << "the check mark and the outcome in green";
    EXPECT_EQ(hues.red, 0);
    EXPECT_FALSE(UITestDriver::findButton("Cancel")->isEnabled());
    EXPECT_TRUE(received().empty()) << "the card shows the outcome first";
    advance(LAContext::kOutcomeTime);
    EXPECT_FALSE(prompt());
    auto r = received();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(r[0].success);
    EXPECT_FALSE(r[0].onMain);
}

TEST_F(BiometricPromptTests, ADeadTouchIDSensorShowsNotRecognisedAndFails) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
    SimRadios::current().setState(SimRadios::Part::Biometrics, SimRadios::State::Dead);
    evaluate("Authenticate to test the sensor.");
    EXPECT_TRUE(shows("Touch ID"));
    SimRadios::current().presentToSensor();
    advance(0.1);
    EXPECT_TRUE(shows("Fingerprint Not Recognized"));
    auto hues = huesOfTheCardSaying("Fingerprint Not Recognized");
    EXPECT_GT(hues.red, 100) << "the fingerprint and the outcome in red";
    EXPECT_EQ(hues.green, 0);
    advance(LAContext::kOutcomeTime);
    EXPECT_FALSE(prompt());
    auto r = received();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_FALSE(r[0].success);
    EXPECT_EQ(r[0].code, LAErrorAuthenticationFailed);
    EXPECT_FALSE(r[0].onMain);
}

TEST_F(BiometricPromptTests, ASecondEvaluationEndsTheFirst) {
    evaluate();
    auto first = prompt();
    evaluate("Again.");
    ASSERT_EQ(received().size(), 1u);
    EXPECT_EQ(received()[0].code, LAErrorSystemCancel);
    EXPECT_NE(prompt(), first);
    EXPECT_TRUE(shows("Again."));
}

TEST_F(BiometricPromptTests, AnEmptyReasonRaisesAndShowsNothing) {
    EXPECT_THROW(evaluate(""), NSException);
    EXPECT_FALSE(prompt());
    EXPECT_TRUE(SimRadios::current().prompts().empty());
}

TEST_F(BiometricPromptTests, TheRecorderPicturesTheCard) {
    auto dir = std::filesystem::temp_directory_path() /
               ("la-prompt-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    // The card is a system prompt over the application's screen: pictured as a change of that screen.
    UIScreenshotRecordToDirectory(dir.string());
    auto screen = make<UIViewController>();
    screen->view()->setBackgroundColor(UIColor::whiteColor());
    appWindow = UITestDriver::showRootViewController(screen);
    advance(0);
    evaluate();
    UIScreenshotRecordToDirectory("");
    ASSERT_EQ(UIScreenshotRecords().size(), 2u);
    EXPECT_EQ(UIScreenshotRecords().back().change, "prompt");
    EXPECT_TRUE(UIScreenshotRecords().back().cutTexts.empty());
    std::filesystem::remove_all(dir);
}
