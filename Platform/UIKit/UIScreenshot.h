// Screenshots: what the screen shows, as an image at the main screen's scale, and a recorder that
// writes one PNG each time a new screen appears (the simulator's --screenshots).
#pragma once

#include <UIKit/UIImage.h>

#include <string>
#include <vector>

class UIViewController;

// The visible windows rendered back to front over black, the size of the main screen; nil when
// the screen has no size.
Ref<UIImage> UIScreenshotImage();
// The part of the screen inside `rect` (points, made integral and cut to the screen), exactly as
// it shows in UIScreenshotImage but only that part rendered (a blurred shadow crossing its edge
// blurs only what lies inside); nil when the rectangle misses the screen. Its pixel (0, 0) is the
// rectangle's top-left corner.
Ref<UIImage> UIScreenshotImageInRect(CGRect rect);
// The screen as it will show once the animations under way have run their course (a fade, a slide):
// what a person sees when the screen has settled.
Ref<UIImage> UIScreenshotSettledImage();

// What the recorder wrote for one screen.
struct UIScreenshotRecord {
    std::string path;   // the PNG
    std::string screen; // the view controller's class
    // The image views (and buttons that show only an image) on show with no image: each named by
    // the screen's outlet that holds it, else by its class and place on the screen.
    std::vector<std::string> emptyImages;
    // The labels (and button titles) on show whose text does not fit them, so that it shows cut
    // short: each named as above, with its text.
    std::vector<std::string> cutTexts;
};

// Starts (a non-empty folder) or stops (empty) recording. While recording, each time a view
// controller without child controllers finishes appearing in a visible window as the screen the
// operator sees, and shows something (a colour or a visible subview), the screen is laid out,
// rendered as it settles (UIScreenshotSettledImage) and written as "<sequence>-<ControllerClass>.png"
// (sequence from 1, three digits). Answers the files written so far, and what was found on each.
void UIScreenshotRecordToDirectory(const std::string& directory);
std::vector<std::string> UIScreenshotWrittenFiles();
std::vector<UIScreenshotRecord> UIScreenshotRecords();

namespace uikit_detail {
// Told by view controllers when they have appeared.
void screenshotControllerDidAppear(UIViewController* controller);
} // namespace uikit_detail
