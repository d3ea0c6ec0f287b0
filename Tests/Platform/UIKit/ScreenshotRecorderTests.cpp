// The screenshot recorder: a screen is pictured once it has settled (or before the test driver
// acts on it, or before it goes), and again for each material change of it, within a bound; the
// system's camera screen is named for its picker.
#include <Dispatch/Dispatch.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIActionSheet.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImagePickerController.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UIScrollView.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIWindow.h>

#include <array>
#include <filesystem>
#include <fstream>

namespace {

using RGBA = std::array<uint8_t, 4>;
using Names = std::vector<std::string>;
const RGBA red{255, 0, 0, 255}, green{0, 255, 0, 255};

template <class V = UIView>
Ref<V> add(const Ref<UIView>& parent, CGRect frame, const Ref<UIColor>& colour = nullptr) {
    Ref<V> view = make<V>(frame);
    view->setBackgroundColor(colour);
    parent->addSubview(view);
    return view;
}

// A screen that, as it appears, queues more of itself: a block on the main queue and one due now.
class QueuingScreen : public UIViewController {
    NS_OBJECT(QueuingScreen, UIViewController)
public:
    void viewDidAppear(bool) override {
        Ref<UIView> root = view();
        dispatch_async(dispatch_get_main_queue(),
                       [root] { add(root, CGRectMake(0, 100, 99, 99), UIColor::redColor()); });
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 0), dispatch_get_main_queue(),
                       [root] { add(root, CGRectMake(0, 250, 99, 99), UIColor::greenColor()); });
    }
};

} // namespace

NS_IMPLEMENT_CLASS(QueuingScreen, UIViewController) {}

class ScreenshotRecorderTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("celvix-recorder-" + std::to_string(getpid()));
        UIScreenshotRecordToDirectory(dir_.string());
    }
    void TearDown() override {
        UIScreenshotRecordToDirectory("");
        std::filesystem::remove_all(dir_);
        PlatformTestCase::TearDown();
    }
    Names names() const {
        Names out;
        for (const auto& record : UIScreenshotRecords()) {
            if (record.path.starts_with(dir_.string())) {
                out.push_back(std::filesystem::path(record.path).filename().string());
            }
        }
        return out;
    }
    // The colour of a point (in points) of a written picture.
    RGBA pixel(const std::string& name, CGFloat x, CGFloat y) const {
        auto image = UIImage::imageWithData(NSData::dataWithContentsOfFile(NSString::from((dir_ / name).string())));
        RGBA p{};
        CGFloat scale = UIScreen::mainScreen()->scale();
        EXPECT_TRUE(image && CGImageGetPixel(image->CGImage(), static_cast<size_t>(x * scale),
                                             static_cast<size_t>(y * scale), p.data()));
        return p;
    }
    static Ref<UIViewController> screenIn(const Ref<UIColor>& colour) {
        auto screen = make<UIViewController>();
        screen->view()->setBackgroundColor(colour);
        return screen;
    }
    std::filesystem::path dir_;
};

TEST_F(ScreenshotRecorderTests, AScreenIsPicturedOnceWhatItsAppearanceQueuedHasRun) {
    auto screen = make<QueuingScreen>();
    UITestDriver::showRootViewController(screen);
    EXPECT_TRUE(names().empty()) << "not while its appearance is still under way";
    runUntilIdle();
    ASSERT_EQ(names(), (Names{"001-QueuingScreen.png"}));
    EXPECT_EQ(pixel(names()[0], 50, 150), red);
    EXPECT_EQ(pixel(names()[0], 50, 300), green);
    advance(5);
    // A screen with nothing on it comes over it and goes: the screen shows again, unchanged.
    screen->presentViewControllerAnimatedCompletion(make<UIViewController>(), false, nullptr);
    runUntilIdle();
    screen->dismissViewControllerAnimatedCompletion(false, nullptr);
    runUntilIdle();
    EXPECT_EQ(names().size(), 1u) << "a screen that stays as it is is pictured once";
    EXPECT_EQ(elapsed(), 5) << "pictures take no time";
}

TEST_F(ScreenshotRecorderTests, MaterialChangesArePicturedAndLiveValuesAreNot) {
    auto screen = screenIn(UIColor::whiteColor());
    auto bar = add(screen->view(), CGRectMake(0, 560, 320, 89));
    add<UIButton>(bar, CGRectMake(0, 0, 160, 89));
    bar->setHidden(true);
    auto list = add<UIScrollView>(screen->view(), CGRectMake(0, 200, 320, 300));
    UITestDriver::showRootViewController(screen);
    runUntilIdle();
    // A mark, a row that comes into a list, a small button: nothing to picture.
    add(screen->view(), CGRectMake(250, 80, 20, 20), UIColor::greenColor());
    add<UIButton>(list, CGRectMake(0, 0, 320, 100));
    add<UIButton>(screen->view(), CGRectMake(4, 20, 44, 44));
    advance(1);
    bar->setHidden(false);
    runUntilIdle();
    add(screen->view(), CGRectMake(0, 0, 320, 480), UIColor::blackColor());
    bar->setHidden(true);
    runUntilIdle();
    bar->setHidden(false);
    runUntilIdle();
    EXPECT_EQ(names(), (Names{"001-UIViewController.png", "002-UIViewController-question.png",
                              "003-UIViewController-overlay.png"}))
        << "what showed before is no change when it shows again";
    EXPECT_EQ(UIScreenshotRecords().back().change, "overlay");
}

TEST_F(ScreenshotRecorderTests, AlertsSheetsAndPromptsArePicturedOverTheScreenWithinTheBound) {
    auto screen = screenIn(UIColor::blueColor());
    UITestDriver::showRootViewController(screen);
    runUntilIdle();
    make<UIAlertView>("Failed"_ns, "Again?"_ns, nullptr, "Exit"_ns, std::vector<Ref<NSString>>{"Retry"_ns})->show();
    runUntilIdle();
    ASSERT_EQ(names().back(), "002-UIViewController-alert.png");
    CGRect bounds = UIScreen::mainScreen()->bounds();
    EXPECT_GT(pixel(names().back(), CGRectGetMidX(bounds) - 100, CGRectGetMidY(bounds))[0], 200) << "its box";
    EXPECT_EQ(pixel(names().back(), 2, 2), (RGBA{0, 0, 153, 255})) << "the screen dimmed around it";
    UITestDriver::tapAlertButtonAtIndex(0);
    make<UIActionSheet>("Menu"_ns, nullptr, "Cancel"_ns, nullptr, std::vector<Ref<NSString>>{"Skip"_ns})
        ->showInView(screen->view());
    runUntilIdle();
    ASSERT_TRUE(names().back().ends_with("-UIViewController-sheet.png")) << names().back();
    EXPECT_GT(pixel(names().back(), 20, CGRectGetMaxY(bounds) - 36)[0], 200) << "its Cancel box";
    EXPECT_GT(pixel(names().back(), 20, CGRectGetMaxY(bounds) - 100)[0], 200) << "its choices box";
    EXPECT_EQ(pixel(names().back(), 2, 2), (RGBA{0, 0, 153, 255})) << "the screen dimmed above it";
    UITestDriver::tapSheetButtonAtIndex(0);
    auto prompt = make<UIWindow>();
    prompt->setWindowLevel(UIWindowLevelAlert);
    prompt->setRootViewController(screenIn(UIColor::grayColor()));
    prompt->makeKeyAndVisible();
    runUntilIdle();
    prompt->setHidden(true);
    for (int i = 0; i < 2; ++i) {
        add(screen->view(), bounds, UIColor::grayColor());
        runUntilIdle();
    }
    EXPECT_EQ(names(),
              (Names{"001-UIViewController.png", "002-UIViewController-alert.png", "003-UIViewController-sheet.png",
                     "004-UIViewController-prompt.png", "005-UIViewController-overlay.png"}))
        << "at most four pictures of a screen's changes";
}

TEST_F(ScreenshotRecorderTests, AScreenIsPicturedBeforeTheDriverActsOnItAndBeforeItGoes) {
    // The operator answers an alert before the run loop has turned: the picture shows it still up.
    UITestDriver::showRootViewController(screenIn(UIColor::whiteColor()));
    make<UIAlertView>("Done"_ns, nullptr, nullptr, "OK"_ns)->show();
    UITestDriver::tapAlertButtonAtIndex(0);
    ASSERT_EQ(names(), (Names{"001-UIViewController.png"}));
    EXPECT_EQ(pixel(names()[0], 2, 2), (RGBA{153, 153, 153, 255}));

    // A change shown as the screen goes is pictured before it goes; a screen covered in the instant
    // it came up was seen by nobody.
    auto next = screenIn(UIColor::whiteColor());
    auto retry = add<UIButton>(next->view(), CGRectMake(20, 300, 200, 60));
    retry->setHidden(true);
    UITestDriver::showRootViewController(next);
    runUntilIdle();
    retry->setHidden(false);
    auto unseen = screenIn(UIColor::whiteColor());
    next->presentViewControllerAnimatedCompletion(unseen, false, nullptr);
    auto covering = screenIn(UIColor::whiteColor());
    add(covering->view(), CGRectMake(0, 0, 50, 50), UIColor::greenColor());
    unseen->presentViewControllerAnimatedCompletion(covering, false, nullptr);
    runUntilIdle();
    EXPECT_EQ(names(), (Names{"001-UIViewController.png", "002-UIViewController.png",
                              "003-UIViewController-question.png", "004-UIViewController.png"}));
    EXPECT_EQ(pixel(names()[3], 10, 10), green);
}

TEST_F(ScreenshotRecorderTests, APictureThatCannotBeWrittenIsKeptWithItsReason) {
    size_t before = UIScreenshotFailedWrites().size();
    size_t written = UIScreenshotWrittenFiles().size();
    // The folder is taken away during the recording, and a file stands where it was.
    std::filesystem::remove_all(dir_);
    { std::ofstream(dir_) << "not a folder"; }
    UITestDriver::showRootViewController(screenIn(UIColor::whiteColor()));
    runUntilIdle();
    auto failed = UIScreenshotFailedWrites();
    ASSERT_EQ(failed.size(), before + 1);
    EXPECT_TRUE(failed.back().starts_with(dir_.string() + "/")) << failed.back();
    EXPECT_TRUE(failed.back().ends_with("-UIViewController.png: Not a directory")) << failed.back();
    EXPECT_EQ(UIScreenshotWrittenFiles().size(), written) << "nothing is recorded as written";
}

TEST_F(ScreenshotRecorderTests, TheSystemsCameraScreenIsNamedForItsPicker) {
    // The picker shows its camera in a plain screen of its own: its picture is named for the
    // picker, so that a person going through the pictures knows it for the camera.
    auto screen = screenIn(UIColor::whiteColor());
    UITestDriver::showRootViewController(screen);
    runUntilIdle();
    size_t before = names().size();
    auto picker = make<UIImagePickerController>();
    picker->setSourceType(UIImagePickerControllerSourceTypeCamera);
    screen->presentViewControllerAnimatedCompletion(picker, false, nullptr);
    runUntilIdle();
    ASSERT_EQ(names().size(), before + 1);
    EXPECT_TRUE(names().back().ends_with("-UIImagePickerController.png")) << names().back();
}

TEST_F(ScreenshotRecorderTests, ARecordingStartedAgainNumbersFromOneAndListsOnlyItsOwnPictures) {
    UITestDriver::showRootViewController(screenIn(UIColor::whiteColor()));
    runUntilIdle();
    UITestDriver::showRootViewController(screenIn(UIColor::blueColor()));
    runUntilIdle();
    UIScreenshotRecordToDirectory("");
    ASSERT_EQ(UIScreenshotWrittenFiles().size(), 2u) << "the list outlasts the recording for the one who stopped it";

    auto again = dir_ / "again";
    UIScreenshotRecordToDirectory(again.string());
    EXPECT_TRUE(UIScreenshotWrittenFiles().empty());
    EXPECT_TRUE(UIScreenshotRecords().empty());
    UITestDriver::showRootViewController(screenIn(UIColor::greenColor()));
    runUntilIdle();
    EXPECT_EQ(UIScreenshotWrittenFiles(), (Names{(again / "001-UIViewController.png").string()}));
    ASSERT_EQ(UIScreenshotRecords().size(), 1u);
    EXPECT_EQ(UIScreenshotRecords()[0].path, (again / "001-UIViewController.png").string());
}
