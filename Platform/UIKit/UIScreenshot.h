// Screenshots: what the screen shows, as an image at the main screen's scale, and a recorder that
// writes a PNG of each screen the operator sees once it has settled, and of each material change
// of it (the simulator's --screenshots).
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
// what a person sees when the screen has settled. The alerts and action sheets on show are drawn
// over it, as the system draws them.
Ref<UIImage> UIScreenshotSettledImage();

// What the recorder wrote for one picture.
struct UIScreenshotRecord {
    std::string path;   // the PNG
    std::string screen; // the view controller's class
    // Empty for a screen's first picture; for a later one, what came on show: "overlay", "question",
    // "alert", "sheet" or "prompt".
    std::string change;
    // The image views (and buttons that show only an image) on show with no image: each named by
    // the screen's outlet that holds it, else by its class and place on the screen.
    std::vector<std::string> emptyImages;
    // The labels (and button titles) on show whose text does not fit them, so that it shows cut
    // short: each named as above, with its text.
    std::vector<std::string> cutTexts;
};

// Starts (a non-empty folder) or stops (empty) recording. While recording, the recorder looks at the
// screen the operator sees each time the main run loop has nothing left to run (the screen has
// settled: what its appearance queued has run), before the test driver acts on the screen, and when
// a screen is about to disappear. It pictures:
//   - each view controller without child controllers that has appeared as the screen the operator
//     sees and shows something (a colour or a visible subview), once, as "<sequence>-<Class>.png"
//     (sequence from 1, three digits); again only when another screen was pictured in between;
//   - then each material change of that screen, as "<sequence>-<Class>-<change>.png": an alert or
//     an action sheet shown, a prompt of the system (a window with a controller at alert level or
//     above), a view laid over at least half the screen ("overlay"), or controls or texts shown
//     ("question"). New views in a scroll view already on show (rows, scrolled content) and views
//     without controls or texts (marks, drawn paths) are not material, nor are changed texts or
//     values; at most four such pictures per screen.
// Each picture is laid out and rendered as the screen settles (UIScreenshotSettledImage). Looking
// costs a walk of the screen's views only when views came, went, or were shown or hidden since the
// last look; nothing is rendered but what is written, and the clock never moves for it.
// A recording started again starts afresh: numbered from 1, with nothing listed of the one before.
// Main thread only. Answers the files the last recording wrote (while it runs, and after it stopped),
// and what was found on each.
void UIScreenshotRecordToDirectory(const std::string& directory);
std::vector<std::string> UIScreenshotWrittenFiles();
std::vector<UIScreenshotRecord> UIScreenshotRecords();
// The pictures the last recording could not write (a full disk, a folder gone or made unwritable, a
// folder standing where the file goes), each "<path>: <reason>", in the order they were taken. A
// person who asked for pictures must learn that some are missing, so the recorder keeps them for
// its host to report; the app's log names them too.
std::vector<std::string> UIScreenshotFailedWrites();

namespace uikit_detail {
// Told by view controllers when they have appeared, and when they are about to disappear.
void screenshotControllerDidAppear(UIViewController* controller);
void screenshotControllerWillDisappear(UIViewController* controller);
// Told by the test driver before it acts on the screen (touches, taps, typing).
void screenshotBeforeInput();
} // namespace uikit_detail
