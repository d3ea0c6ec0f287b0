// Screenshots: what the screen shows, as an image at the main screen's scale, and a recorder that
// writes one PNG each time a new screen appears (the simulator's --screenshots).
#pragma once

#include <UIKit/UIImage.h>

#include <string>

class UIViewController;

// The visible windows rendered back to front over black, the size of the main screen; nil when
// the screen has no size.
Ref<UIImage> UIScreenshotImage();
// The part of the screen inside `rect` (points, made integral and cut to the screen), exactly as
// it shows in UIScreenshotImage but only that part rendered (a blurred shadow crossing its edge
// blurs only what lies inside); nil when the rectangle misses the screen. Its pixel (0, 0) is the
// rectangle's top-left corner.
Ref<UIImage> UIScreenshotImageInRect(CGRect rect);

// Starts (a non-empty folder) or stops (empty) recording. While recording, each time a view
// controller without child controllers finishes appearing in a visible window, the screen is
// rendered after the next layout pass and written as "<sequence>-<ControllerClass>.png" (sequence
// from 1, three digits). Answers the files written so far.
void UIScreenshotRecordToDirectory(const std::string& directory);
std::vector<std::string> UIScreenshotWrittenFiles();

namespace uikit_detail {
// Told by view controllers when they have appeared.
void screenshotControllerDidAppear(UIViewController* controller);
} // namespace uikit_detail
