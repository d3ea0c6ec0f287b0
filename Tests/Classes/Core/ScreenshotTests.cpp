// Pictures of the header bar, a question screen in a run and a start screen, written as PNG files
// to "screenshots" in the test's working folder, with a few pixels checked.
#include "RunTestCase.h"

#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>

#include <array>
#include <filesystem>

namespace {

using RGBA = std::array<uint8_t, 4>;

class ScreenshotTest : public RunTestCase {
protected:
    static RGBA pixel(const Ref<UIImage>& image, CGFloat x, CGFloat y) {
        RGBA rgba{};
        CGFloat scale = image->scale();
        EXPECT_TRUE(CGImageGetPixel(image->CGImage(), static_cast<size_t>(x * scale), static_cast<size_t>(y * scale),
                                    rgba.data()));
        return rgba;
    }
    static void expectNear(RGBA got, double r, double g, double b) {
        EXPECT_NEAR(got[0], r * 255, 3);
        EXPECT_NEAR(got[1], g * 255, 3);
        EXPECT_NEAR(got[2], b * 255, 3);
    }
    static void writePNG(const Ref<UIImage>& image, const std::string& name) {
        ASSERT_TRUE(image);
        auto png = UIImagePNGRepresentation(image);
        ASSERT_TRUE(png);
        auto dir = std::filesystem::current_path() / "screenshots";
        std::filesystem::create_directories(dir);
        auto path = (dir / name).string();
        ASSERT_TRUE(png->writeToFileAtomically(NSString::from(path), true)) << path;
        // The file reads back as the same picture.
        auto back = UIImage::imageWithDataScale(NSData::dataWithContentsOfFile(NSString::from(path)), image->scale());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->size(), image->size());
    }
};

} // namespace

TEST_F(ScreenshotTest, HeaderBar) {
    auto screen = make<DXViewController>();
    showInNavigation(screen);
    auto header = screen->headerView();
    header->setHideSaveButton(false);
    UITestDriver::layout();
    CGSize size = header->bounds().size;
    UIGraphicsBeginImageContextWithOptions(size, true, UIScreen::mainScreen()->scale());
    header->layer()->renderInContext(UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    writePNG(image, "header-bar.png");
    EXPECT_EQ(image->size(), CGSizeMake(375, 88));
    // The bar's colour between the back button and the right-hand buttons.
    expectNear(pixel(image, 150, 70), 0.13, 0.45, 0.75);
}

TEST_F(ScreenshotTest, QuestionScreenInARun) {
    startRun({record("WATER", "WaterDamgeViewController"), record("CRASH", "CrashScreenViewController")},
             DXRunTypeProfile);
    auto image = UIScreenshotImage();
    writePNG(image, "question-screen.png");
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    // NO on the left half of the answer bar, YES on the right, the header at the top.
    expectNear(pixel(image, 20, screen.height - 10), 0.95, 0.26, 0.23);
    expectNear(pixel(image, screen.width - 20, screen.height - 10), 0.54, 0.69, 0.2);
    expectNear(pixel(image, screen.width / 2, 70), 0.13, 0.45, 0.75);
}

TEST_F(ScreenshotTest, StartScreenInARun) {
    auto first = record("TOUCH", "CrashScreenViewController", true);
    first->setTitle("Screen damage"_ns);
    first->setInstruction("Look at the screen under a bright light, then answer the question."_ns);
    startRun({first, record("B")}, DXRunTypeProfile);
    ASSERT_TRUE(startScreen());
    auto image = UIScreenshotImage();
    writePNG(image, "start-screen.png");
    CGRect button = startScreen()->startButton()->frame();
    expectNear(pixel(image, button.origin.x + 10, button.origin.y + 10), 0.13, 0.45, 0.75);
}
