// A picture of the result screen after a run with a pass, a failure and a time-out, written as a
// PNG file to "screenshots" in the test's working folder, with a few pixels checked.
#include "ShellTestCase.h"

#include <CoreGraphics/CGImage.h>
#include <Shell/DXResultViewController.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>

#include <array>
#include <filesystem>

namespace {

class ResultScreenshotTest : public ShellTestCase {};

std::array<uint8_t, 4> pixel(const Ref<UIImage>& image, CGFloat x, CGFloat y) {
    std::array<uint8_t, 4> rgba{};
    CGFloat scale = image->scale();
    EXPECT_TRUE(
        CGImageGetPixel(image->CGImage(), static_cast<size_t>(x * scale), static_cast<size_t>(y * scale), rgba.data()));
    return rgba;
}

} // namespace

TEST_F(ResultScreenshotTest, ResultScreen) {
    auto list = NSMutableArray::array();
    const char* keys[] = {"WATER_DAMAGE_TEST", "CRASH_SCREEN_TEST", "DECORATION_TEST", "ENGRAVING_TEST"};
    NSInteger results[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i) {
        auto r = record(keys[i], results[i]);
        r->setTitle(NSString::from(std::string("ROOTLIST_TITLE_") + keys[i]));
        list->addObject(r);
    }
    auto screen = make<DXResultViewController>();
    screen->setTestModels(list);
    showInNavigation(screen);
    advance(0.5);
    UITestDriver::layout();

    auto image = UIScreenshotImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), UIScreen::mainScreen()->bounds().size);
    auto png = UIImagePNGRepresentation(image);
    ASSERT_TRUE(png);
    auto dir = std::filesystem::current_path() / "screenshots";
    std::filesystem::create_directories(dir);
    auto path = (dir / "ResultScreen.png").string();
    ASSERT_TRUE(png->writeToFileAtomically(NSString::from(path), true)) << path;
    ASSERT_TRUE(UIImage::imageWithData(NSData::dataWithContentsOfFile(NSString::from(path))));

    // The pass mark of the first row is green, the fail mark of the second red, the third row has no
    // mark; the trade-in button is blue.
    auto table = screen->tableView();
    auto markAt = [&](NSInteger row) {
        CGRect rect = table->rectForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(row, 0));
        // Inside the circle, above the white tick or cross.
        CGPoint p = table->convertPointToView(CGPointMake(rect.size.width - 30, CGRectGetMidY(rect) - 11), nullptr);
        return pixel(image, p.x, p.y);
    };
    auto pass = markAt(0);
    EXPECT_GT(pass[1], pass[0] + 60) << "green";
    auto fail = markAt(1);
    EXPECT_GT(fail[0], fail[1] + 60) << "red";
    auto none = markAt(2);
    EXPECT_GT(none[0], 200);
    EXPECT_GT(none[1], 200);
    auto button = screen->bottomButton();
    CGPoint b = button->convertPointToView(CGPointMake(5, 5), nullptr);
    auto blue = pixel(image, b.x, b.y);
    EXPECT_GT(blue[2], blue[0] + 60) << "blue";
}
