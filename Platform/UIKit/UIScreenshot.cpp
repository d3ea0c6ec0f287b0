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
};

Recorder& recorder() {
    static Recorder* r = new Recorder;
    return *r;
}

} // namespace

Ref<UIImage> UIScreenshotImage() {
    CGRect screen = UIScreen::mainScreen()->bounds();
    UIWindow::layoutAllWindows();
    UIGraphicsBeginImageContextWithOptions(screen.size, true, UIScreen::mainScreen()->scale());
    auto c = UIGraphicsGetCurrentContext();
    if (!c) {
        UIGraphicsEndImageContext();
        return nullptr;
    }
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
    std::string name = controller->getClass()->name();
    dispatch_async(dispatch_get_main_queue(), [name] {
        auto& r = recorder();
        std::string path;
        {
            std::lock_guard lock(r.mutex);
            if (r.directory.empty()) {
                return;
            }
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
    });
}
