#include <Device/SimCamera.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIKitText.h>
#include <UIKit/UILabel.h>
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
    std::vector<UIScreenshotRecord> records;
    Weak<UIViewController> lastScreen; // main thread only: the screen of the last picture
};

Recorder& recorder() {
    static Recorder* r = new Recorder;
    return *r;
}

} // namespace

namespace {

// Renders `rect` of the screen (points, already cut to it) as the whole screen would show it, now or
// (`settled`) once the animations under way have run their course.
Ref<UIImage> renderScreen(CGRect screen, CGRect rect, bool settled = false) {
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
        if (settled) {
            window->layer()->renderSettledInContext(c);
        } else {
            window->layer()->renderInContext(c);
        }
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

Ref<UIImage> UIScreenshotSettledImage() {
    CGRect screen = UIScreen::mainScreen()->bounds();
    return renderScreen(screen, screen, true);
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

std::vector<UIScreenshotRecord> UIScreenshotRecords() {
    auto& r = recorder();
    std::lock_guard lock(r.mutex);
    return r.records;
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
        // A screen on its way out (its dismissal ending) no longer covers the one it leaves.
        if (auto presented = screen->presentedViewController(); presented && !presented->isBeingDismissed()) {
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

// A screen shows something when its view has a colour or one of its subviews is visible.
bool showsSomething(const Ref<UIViewController>& screen) {
    if (!screen || !screen->isViewLoaded()) {
        return false;
    }
    CGFloat r = 0, g = 0, b = 0, a = 0;
    if (auto colour = screen->view()->backgroundColor();
        colour && colour->getRedGreenBlueAlpha(&r, &g, &b, &a) && a > 0) {
        return true;
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

// A view's name for a report: the screen's property that holds it, else its class and frame.
std::string nameOf(const Ref<UIView>& view, const Ref<UIViewController>& screen) {
    // The screen's own classes only: the platform controller's properties (its view among them)
    // are not read.
    for (Class cls = screen->getClass(); cls && cls != UIViewController::class_(); cls = cls->superclass()) {
        for (const ObjCProperty* p : cls->ownProperties()) {
            if (p->type == "@" && p->getter && p->getter(screen.get()) == id(view)) {
                return p->name;
            }
        }
    }
    CGRect f = view->convertRectToView(view->bounds(), nullptr);
    char text[160];
    std::snprintf(text, sizeof text, "%s at (%g, %g; %g x %g)", view->getClass()->name().c_str(), f.origin.x,
                  f.origin.y, f.size.width, f.size.height);
    return text;
}

bool hasColour(const Ref<UIView>& view) {
    CGFloat r = 0, g = 0, b = 0, a = 0;
    auto colour = view->backgroundColor();
    return colour && colour->getRedGreenBlueAlpha(&r, &g, &b, &a) && a > 0;
}

// Whether the label's text does not fit it, so that its drawing cuts it short (an ellipsis, or lines
// cut off below its height).
bool isCut(UILabel* label) {
    auto text = label->text();
    CGSize box = label->bounds().size;
    if (!text || text->length() == 0 || label->adjustsFontSizeToFitWidth()) {
        return false;
    }
    auto font = label->font() ? label->font() : UIFont::systemFontOfSize(17);
    uikit_text::Paragraph one;
    if (label->numberOfLines() == 1) {
        return uikit_text::measure(text, font, one).size.width > box.width + 0.5;
    }
    uikit_text::Paragraph wrapped;
    wrapped.width = box.width;
    auto all = uikit_text::measure(text, font, wrapped);
    bool tooManyLines = label->numberOfLines() > 0 && all.lines > label->numberOfLines();
    return tooManyLines || all.size.height > box.height + 1;
}

// The image views and image-only buttons on show in `view`'s tree that have no image to show
// (nothing is drawn where a picture was meant to be), and the labels whose text is cut short.
void findEmptyImages(const Ref<UIView>& view, CGRect screen, const Ref<UIViewController>& owner,
                     std::vector<std::string>& found, std::vector<std::string>& cut) {
    if (view->isHidden() || view->alpha() < 0.01) {
        return;
    }
    CGRect onScreen = view->convertRectToView(view->bounds(), nullptr);
    bool visible =
        onScreen.size.width > 0 && onScreen.size.height > 0 && !CGRectIsEmpty(CGRectIntersection(onScreen, screen));
    // A view that draws its own picture (drawRect:) is not empty.
    bool drawn = static_cast<bool>(view->layer()->backingStore());
    if (visible && !drawn) {
        auto sublayers = view->layer()->sublayerList();
        if (auto imageView = cast<UIImageView>(view)) {
            // A view that hosts another layer (a camera preview) or shows a colour is not empty.
            if (!imageView->image() && sublayers.empty() && view->subviews()->count() == 0 && !hasColour(view)) {
                found.push_back(nameOf(view, owner));
            }
        }
    }
    auto label = dynamic_cast<UILabel*>(view.get());
    if (auto button = cast<UIButton>(view); button && button->currentTitle()) {
        label = button->titleLabel().get();
    }
    if (visible && label && isCut(label)) {
        cut.push_back(nameOf(view, owner) + " \"" + label->text()->str() + "\"");
    }
    if (auto button = cast<UIButton>(view)) {
        // A button's own image view is the button's business: a custom button with no image, title
        // or colour shows nothing.
        auto title = button->currentTitle();
        if (visible && !drawn && button->buttonType() == UIButtonTypeCustom && !button->currentImage() &&
            !button->currentBackgroundImage() && (!title || title->length() == 0) && !hasColour(view)) {
            found.push_back(nameOf(view, owner));
        }
        return;
    }
    auto subviews = view->subviews();
    for (const id& item : *subviews) {
        if (auto sub = cast<UIView>(item)) {
            findEmptyImages(sub, screen, owner, found, cut);
        }
    }
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
    // over), never of one with nothing on it, and each screen once, named for it. It shows the
    // screen as it settles: a fade or a slide that is still under way (an overlay going away) is
    // drawn at its end.
    {
        auto screen = visibleScreen();
        if (!screen || screen.get() != controller || !showsSomething(screen)) {
            return;
        }
        auto& r = recorder();
        std::string name = screen->getClass()->name();
        // A plain screen inside a system container (the camera screen of the image picker) is named
        // for the container.
        for (auto parent = screen->parentViewController(); parent && name == "UIViewController";
             parent = parent->parentViewController()) {
            if (std::string outer = parent->getClass()->name(); outer != "UINavigationController") {
                name = outer;
            }
        }
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
        auto data = UIImagePNGRepresentation(UIScreenshotSettledImage());
        if (!data || !data->writeToFileAtomically(NSString::from(path), true)) {
            NSLog("screenshot: cannot write %s", path);
            return;
        }
        UIScreenshotRecord record{path, name, {}, {}};
        CGRect bounds = UIScreen::mainScreen()->bounds();
        for (const auto& window : UIWindow::windowsFromBackToFront()) {
            if (!window->isHidden()) {
                findEmptyImages(window, bounds, screen, record.emptyImages, record.cutTexts);
            }
        }
        std::lock_guard lock(r.mutex);
        r.written.push_back(path);
        r.records.push_back(std::move(record));
    }
}
