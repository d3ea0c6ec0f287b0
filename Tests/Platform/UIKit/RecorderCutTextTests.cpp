// The screenshot recorder's report of text shown cut short: a label whose text needs more room than
// it has (lines below its height, a line beyond its width) is named; a label its text fits is not.
#include <Support/PlatformTestCase.h>
#include <UIKit/UIColor.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIViewController.h>

#include <chrono>
#include <filesystem>

namespace {

class RecorderCutTextTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        dir_ = std::filesystem::temp_directory_path() /
               ("celvix-cut-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        UIScreenshotRecordToDirectory(dir_.string());
        screen_ = make<UIViewController>();
        screen_->view()->setBackgroundColor(UIColor::whiteColor());
    }
    void TearDown() override {
        UIScreenshotRecordToDirectory("");
        std::filesystem::remove_all(dir_);
        PlatformTestCase::TearDown();
    }

    void addLabel(CGRect frame, long lines, const char* text) {
        auto label = make<UILabel>(frame);
        label->setNumberOfLines(lines);
        label->setText(NSString::from(text));
        screen_->view()->addSubview(label);
    }

    // Shows the screen until it has settled, and answers what the recorder found cut short on it.
    std::vector<std::string> cutTextsShown() {
        UITestDriver::showRootViewController(screen_);
        runUntilIdle();
        advance(2);
        UIScreenshotRecordToDirectory("");
        for (const auto& record : UIScreenshotRecords()) {
            if (record.path.starts_with(dir_.string())) {
                return record.cutTexts;
            }
        }
        ADD_FAILURE() << "the screen was not pictured";
        return {};
    }

    std::filesystem::path dir_;
    Ref<UIViewController> screen_;
};

constexpr const char* kLong = "Hold a finger on each circle at the same time.";

} // namespace

TEST_F(RecorderCutTextTests, AWrappingLabelTooShortForItsLinesIsReported) {
    addLabel(CGRectMake(20, 100, 120, 20), 0, kLong); // wraps to several lines, has room for one
    EXPECT_EQ(cutTextsShown(),
              std::vector<std::string>{"UILabel at (20, 100; 120 x 20) \"" + std::string(kLong) + "\""});
}

TEST_F(RecorderCutTextTests, LabelsTheirTextFitsAreNotReported) {
    addLabel(CGRectMake(20, 100, 120, 200), 0, kLong);      // every wrapped line within its height
    addLabel(CGRectMake(20, 320, 300, 24), 1, "Volume up"); // one short line
    addLabel(CGRectMake(20, 360, 300, 80), 3, kLong);       // within its lines and its height
    EXPECT_EQ(cutTextsShown(), std::vector<std::string>{});
}

TEST_F(RecorderCutTextTests, AOneLineLabelTooNarrowIsReported) {
    addLabel(CGRectMake(20, 100, 60, 40), 1, "Volume up + power (screenshot)"); // tall enough, too narrow
    EXPECT_EQ(cutTextsShown(),
              std::vector<std::string>{"UILabel at (20, 100; 60 x 40) \"Volume up + power (screenshot)\""});
}
