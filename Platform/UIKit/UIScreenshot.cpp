#include <Device/SimCamera.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSLog.h>

#include <cstdio>
#include <filesystem>
#include <mutex>

namespace {

struct Recorder {
    std::mutex mutex;
    std::string directory;
    int sequence = 0;
    std::vector<std::string> written;
    Weak<UIViewController> lastScreen; // main thread only: the screen of the last picture
};

Recorder& recorder() {
    static Recorder* r = new Recorder;
    return *r;
}

} // namespace

namespace {

// Renders `rect` of the screen (points, already cut to it) as the whole screen would show it.
Ref<UIImage> renderScreen(CGRect screen, CGRect rect) {
    UIWindow::layoutAllWindows();
    UIGraphicsBeginImageContextWithOptions(rect.size, true, UIScreen::mainScreen()->scale());
    auto c = UIGraphicsGetCurrentContext();
    if (!c) {
        UIGraphicsEndImageContext();
        return nullptr;
    }
    CGContextTranslateCTM(c, -rect.origin.x, -rect.origin.y);
    CGContextClipToRect(c, rect);
    CGContextSetRGBFillColor(c, 0, 0, 0, 1);
    CGContextFillRect(c, screen);
    for (const auto& window : UIWindow::windowsFromBackToFront()) {
        if (window->isHidden()) {
            continue;
        }
        CGRect f = window->frame();
        CGRect b = window->bounds();
        CGContextSaveGState(c);
        CGContextTranslateCTM(c, f.origin.x, f.origin.y);
        CGContextTranslateCTM(c, -b.origin.x, -b.origin.y);
        window->layer()->renderInContext(c);
        CGContextRestoreGState(c);
    }
    // The panel itself: a dead area, a ghost image or a crack shows over whatever is drawn.
    CGContextSaveGState(c);
    SimCamera::current().paintDisplayFaults(c->cairo(), screen.size.width, screen.size.height);
    CGContextRestoreGState(c);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace

Ref<UIImage> UIScreenshotImage() {
    CGRect screen = UIScreen::mainScreen()->bounds();
    return renderScreen(screen, screen);
}

Ref<UIImage> UIScreenshotImageInRect(CGRect rect) {
    CGRect screen = UIScreen::mainScreen()->bounds();
    CGRect cut = CGRectIntegral(CGRectIntersection(rect, screen));
    if (CGRectIsNull(cut) || CGRectIsEmpty(cut)) {
        return nullptr;
    }
    return renderScreen(screen, cut);
}

void UIScreenshotRecordToDirectory(const std::string& directory) {
    auto& r = recorder();
    std::lock_guard lock(r.mutex);
    r.directory = directory;
    if (!directory.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(directory, ec);
    }
}

std::vector<std::string> UIScreenshotWrittenFiles() {
    auto& r = recorder();
    std::lock_guard lock(r.mutex);
    return r.written;
}

namespace {

// The screen the operator sees: the front window's root, down through what it presents, a
// navigation controller's top, and a container's front-most visible child.
Ref<UIViewController> visibleScreen() {
    Ref<UIViewController> screen;
    for (const auto& window : UIWindow::windowsFromBackToFront()) {
        if (!window->isHidden() && window->rootViewController()) {
            screen = window->rootViewController();
        }
    }
    while (screen) {
        if (auto presented = screen->presentedViewController()) {
            screen = presented;
            continue;
        }
        Ref<UIViewController> next;
        for (const auto& child : screen->childViewControllerList()) {
            if (child->isViewLoaded() && child->view()->window() && !child->view()->isHidden()) {
                next = child; // children added later lie in front
            }
        }
        if (!next) {
            break;
        }
        screen = next;
    }
    return screen;
}

// A screen shows something when one of its view's subviews is visible and not empty.
bool showsSomething(const Ref<UIViewController>& screen) {
    if (!screen || !screen->isViewLoaded()) {
        return false;
    }
    auto subviews = screen->view()->subviews();
    for (const id& item : *subviews) {
        auto view = cast<UIView>(item);
        CGRect frame = view ? view->frame() : CGRect{};
        if (view && !view->isHidden() && view->alpha() > 0 && frame.size.width > 0 && frame.size.height > 0) {
            return true;
        }
    }
    return false;
}

} // namespace

void uikit_detail::screenshotControllerDidAppear(UIViewController* controller) {
    auto& r = recorder();
    {
        std::lock_guard lock(r.mutex);
        if (r.directory.empty()) {
            return;
        }
    }
    // Containers (navigation controllers and the like) appear with the screen they hold.
    if (!controller || !controller->childViewControllerList().empty()) {
        return;
    }
    // The picture is taken as the screen appears (before anybody can act on it), when it is the
    // screen the operator sees: not of a screen that another covers (or that one still slides
    // over), never a blank one, and each screen once, named for it.
    {
        auto screen = visibleScreen();
        if (!screen || screen.get() != controller || !showsSomething(screen)) {
            return;
        }
        auto& r = recorder();
        std::string name = screen->getClass()->name();
        std::string path;
        {
            std::lock_guard lock(r.mutex);
            if (r.directory.empty() || r.lastScreen.lock() == screen) {
                return;
            }
            r.lastScreen = screen;
            char file[512];
            std::snprintf(file, sizeof file, "%03d-%s.png", ++r.sequence, name.c_str());
            path = (std::filesystem::path(r.directory) / file).string();
        }
        auto data = UIImagePNGRepresentation(UIScreenshotImage());
        if (!data || !data->writeToFileAtomically(NSString::from(path), true)) {
            NSLog("screenshot: cannot write %s", path);
            return;
        }
        std::lock_guard lock(r.mutex);
        r.written.push_back(path);
    }
}
