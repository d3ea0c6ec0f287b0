#include <Device/SimCamera.h>
#include <Foundation/NSRunLoop.h>
#include <UIKit/UIActionSheet.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIControl.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIKitText.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UIScrollView.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSLog.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <unordered_map>

namespace {

// What is on show, by identity: views, prompt windows, alerts and sheets. Entries whose object has
// gone are never taken for a new object at the same address.
class Seen {
public:
    bool contains(NSObject* object) const {
        auto it = objects_.find(object);
        return it != objects_.end() && it->second.lock().get() == object;
    }
    void add(NSObject* object) {
        if (!contains(object)) {
            objects_[object] = Weak<NSObject>(object);
        }
    }
    void clear() { objects_.clear(); }

private:
    std::unordered_map<const NSObject*, Weak<NSObject>> objects_;
};

struct Recorder {
    std::mutex mutex;
    std::string directory;
    std::atomic<bool> recording{false};
    int sequence = 0;
    std::vector<std::string> written;
    std::vector<UIScreenshotRecord> records;
    std::vector<std::string> failed; // "<path>: <reason>"
    // Main thread only.
    Weak<UIViewController> lastPictured; // the screen of the last first picture
    Weak<UIViewController> watched;      // the screen the operator had before them at the last look
    bool watchedPictured = false;        // it has its first picture (now, or before a cover came and went)
    // The screens (controllers without children: containers appear with the screen they hold) that
    // have appeared and not disappeared since.
    std::vector<Weak<UIViewController>> appearedScreens;
    Seen seen;                          // what it has shown since then
    int changes = 0;                    // the pictures of its changes
    bool appeared = false;              // a screen appeared since the last look
    uint64_t generation = ~uint64_t{0}; // what was on show at the last look (viewsOnShowGeneration)
    bool looking = false;
};

Recorder& recorder() {
    static Recorder* r = new Recorder;
    return *r;
}

} // namespace

namespace {

// The alerts and action sheets (kept by the platform, not drawn in a window), drawn over the screen
// as the system shows them: the screen dimmed, then boxes of white rows.
const CGFloat kBoxRadius = 13;
const CGFloat kHairline = 0.5;

// Draws `text` centred in `box`, wrapped to its width; answers the height it took.
CGFloat drawCentred(const CGContextRef& c, const Ref<NSString>& text, const Ref<UIFont>& font,
                    const Ref<UIColor>& colour, CGRect box) {
    if (!text || text->length() == 0) {
        return 0;
    }
    uikit_text::Paragraph paragraph;
    paragraph.alignment = NSTextAlignmentCenter;
    paragraph.width = box.size.width;
    auto size = uikit_text::measure(text, font, paragraph).size;
    CGRect line = CGRectMake(box.origin.x, box.origin.y + std::max<CGFloat>(0, (box.size.height - size.height) / 2),
                             box.size.width, size.height);
    uikit_text::draw(c, text, font, colour->CGColor(), line, paragraph);
    return size.height;
}

void fillRounded(CGRect box, const Ref<UIColor>& colour) {
    colour->setFill();
    UIBezierPath::bezierPathWithRoundedRectCornerRadius(box, kBoxRadius)->fill();
}

void drawHairline(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
    CGContextSetRGBFillColor(c, 0.8, 0.8, 0.8, 1);
    CGContextFillRect(c, CGRectMake(x, y, width, height));
}

// An alert: the title and message over the buttons, two side by side, more stacked.
void drawAlert(const CGContextRef& c, CGRect screen, const Ref<UIAlertView>& alert) {
    const CGFloat width = 270, button = 44, inset = 16;
    auto titleFont = UIFont::boldSystemFontOfSize(17);
    auto messageFont = UIFont::systemFontOfSize(13);
    uikit_text::Paragraph wrap;
    wrap.alignment = NSTextAlignmentCenter;
    wrap.width = width - 2 * inset;
    CGFloat title = alert->title() ? uikit_text::measure(alert->title(), titleFont, wrap).size.height : 0;
    CGFloat message = alert->message() ? uikit_text::measure(alert->message(), messageFont, wrap).size.height : 0;
    NSInteger count = alert->numberOfButtons();
    bool sideBySide = count == 2;
    CGFloat buttons = count == 0 ? 0 : button * static_cast<CGFloat>(sideBySide ? 1 : count);
    CGFloat text = 20 + title + (message > 0 ? 4 + message : 0) + 20;
    CGRect box = CGRectMake(CGRectGetMidX(screen) - width / 2, CGRectGetMidY(screen) - (text + buttons) / 2, width,
                            text + buttons);
    fillRounded(box, UIColor::colorWithWhiteAlpha(0.97, 1));
    CGFloat y = box.origin.y + 20;
    y += drawCentred(c, alert->title(), titleFont, UIColor::blackColor(),
                     CGRectMake(box.origin.x + inset, y, wrap.width, title));
    if (message > 0) {
        drawCentred(c, alert->message(), messageFont, UIColor::blackColor(),
                    CGRectMake(box.origin.x + inset, y + 4, wrap.width, message));
    }
    for (NSInteger i = 0; i < count; ++i) {
        auto font = i == alert->cancelButtonIndex() ? UIFont::boldSystemFontOfSize(17) : UIFont::systemFontOfSize(17);
        CGFloat w = sideBySide ? width / 2 : width;
        CGFloat x = box.origin.x + (sideBySide ? w * static_cast<CGFloat>(i) : 0);
        CGFloat top = box.origin.y + text + (sideBySide ? 0 : button * static_cast<CGFloat>(i));
        drawHairline(c, x, top, w, kHairline);
        if (sideBySide && i == 1) {
            drawHairline(c, x, top, kHairline, button);
        }
        drawCentred(c, alert->buttonTitleAtIndex(i), font, UIColor::systemBlueColor(),
                    CGRectMake(x + 8, top, w - 16, button));
    }
}

// An action sheet at the foot of the screen: the title and the choices in one box, Cancel in its own.
void drawSheet(const CGContextRef& c, CGRect screen, const Ref<UIActionSheet>& sheet) {
    const CGFloat margin = 8, row = 57;
    CGFloat width = std::min<CGFloat>(screen.size.width - 2 * margin, 400);
    CGFloat x = CGRectGetMidX(screen) - width / 2;
    auto titleFont = UIFont::systemFontOfSize(13);
    uikit_text::Paragraph wrap;
    wrap.alignment = NSTextAlignmentCenter;
    wrap.width = width - 32;
    CGFloat title = sheet->title() ? uikit_text::measure(sheet->title(), titleFont, wrap).size.height + 28 : 0;
    std::vector<NSInteger> choices;
    for (NSInteger i = 0; i < sheet->numberOfButtons(); ++i) {
        if (i != sheet->cancelButtonIndex()) {
            choices.push_back(i);
        }
    }
    bool cancel = sheet->cancelButtonIndex() >= 0 && sheet->cancelButtonIndex() < sheet->numberOfButtons();
    CGFloat bottom = CGRectGetMaxY(screen) - margin;
    if (cancel) {
        CGRect box = CGRectMake(x, bottom - row, width, row);
        fillRounded(box, UIColor::whiteColor());
        drawCentred(c, sheet->buttonTitleAtIndex(sheet->cancelButtonIndex()), UIFont::boldSystemFontOfSize(20),
                    UIColor::systemBlueColor(), box);
        bottom -= row + margin;
    }
    CGFloat height = title + row * static_cast<CGFloat>(choices.size());
    if (height <= 0) {
        return;
    }
    CGRect box = CGRectMake(x, bottom - height, width, height);
    fillRounded(box, UIColor::colorWithWhiteAlpha(0.97, 1));
    drawCentred(c, sheet->title(), titleFont, UIColor::grayColor(),
                CGRectMake(x + 16, box.origin.y, width - 32, title));
    CGFloat y = box.origin.y + title;
    for (NSInteger i : choices) {
        if (y > box.origin.y) {
            drawHairline(c, x, y, width, kHairline);
        }
        auto colour = i == sheet->destructiveButtonIndex() ? UIColor::redColor() : UIColor::systemBlueColor();
        drawCentred(c, sheet->buttonTitleAtIndex(i), UIFont::systemFontOfSize(20), colour,
                    CGRectMake(x + 16, y, width - 32, row));
        y += row;
    }
}

void drawAlertsAndSheets(const CGContextRef& c, CGRect screen) {
    auto alerts = UIAlertView::visibleAlerts();
    auto sheets = UIActionSheet::visibleSheets();
    if (alerts.empty() && sheets.empty()) {
        return;
    }
    CGContextSaveGState(c);
    CGContextSetRGBFillColor(c, 0, 0, 0, 0.4);
    CGContextFillRect(c, screen);
    for (const auto& sheet : sheets) {
        drawSheet(c, screen, sheet);
    }
    if (!alerts.empty()) {
        drawAlert(c, screen, alerts.back()); // the last shown is on top, and the only one seen
    }
    CGContextRestoreGState(c);
}

// Renders `rect` of the screen (points, already cut to it) as the whole screen would show it, now or
// (`settled`) once the animations under way have run their course, with the system's panels on top.
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
    if (settled) {
        drawAlertsAndSheets(c, screen);
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

namespace {
// Looks at the screen; answers whether it took a picture (laying the screen out for it).
bool lookAtScreen(UIViewController* leaving = nullptr);
bool lookAtSettledScreen() {
    return lookAtScreen();
}
} // namespace

void UIScreenshotRecordToDirectory(const std::string& directory) {
    auto& r = recorder();
    std::lock_guard lock(r.mutex);
    r.directory = directory;
    if (!directory.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(directory, ec);
    }
    // A new recording starts afresh: its first screen is pictured whatever the last one was, and its
    // pictures are numbered from 1 and listed alone. Stopping keeps the list for the one who stopped.
    if (!directory.empty()) {
        r.sequence = 0;
        r.written.clear();
        r.records.clear();
        r.failed.clear();
    }
    r.lastPictured = nullptr;
    r.watched = nullptr;
    r.watchedPictured = false;
    r.seen.clear();
    r.appearedScreens.clear();
    r.appeared = false;
    r.generation = ~uint64_t{0};
    r.recording.store(!directory.empty());
    // Pictures are taken when the main run loop has nothing left to run: the screen has settled.
    foundation_detail::setMainRunLoopBeforeWaitingObserver(directory.empty() ? nullptr : &lookAtSettledScreen);
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

std::vector<std::string> UIScreenshotFailedWrites() {
    auto& r = recorder();
    std::lock_guard lock(r.mutex);
    return r.failed;
}

namespace {

// A window with a controller at the level of alerts or above is a prompt of the system's over the
// screen (a biometric prompt).
bool isPromptWindow(const Ref<UIWindow>& window) {
    return !window->isHidden() && window->rootViewController() && window->windowLevel() >= UIWindowLevelAlert;
}

// The screen the operator sees.
Ref<UIViewController> visibleScreen() {
    auto chain = uikit_detail::screensInFront();
    return chain.empty() ? nullptr : chain.back();
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

namespace {

// How many pictures of its changes a screen gets at most, so that a screen that keeps changing
// cannot flood the folder.
constexpr int kMaxChangePictures = 4;
// The share of the screen that new controls must cover to ask the operator something (an answer bar,
// a Retry button); a small button coming and going (a header's back button) does not.
constexpr CGFloat kQuestionShare = 0.02;

// The name a screen's pictures go by: its class; a plain screen inside a system container (the
// camera screen of the image picker) is named for the container.
std::string screenName(const Ref<UIViewController>& screen) {
    std::string name = screen->getClass()->name();
    for (auto parent = screen->parentViewController(); parent && name == "UIViewController";
         parent = parent->parentViewController()) {
        if (std::string outer = parent->getClass()->name(); outer != "UINavigationController") {
            name = outer;
        }
    }
    return name;
}

// Writes the screen as it shows once settled, as "<sequence>-<name>[-<change>].png", and records it.
void takePicture(const Ref<UIViewController>& screen, const std::string& change) {
    auto& r = recorder();
    std::string name = screenName(screen);
    std::string path;
    {
        std::lock_guard lock(r.mutex);
        if (r.directory.empty()) {
            return;
        }
        char file[512];
        std::snprintf(file, sizeof file, "%03d-%s%s%s.png", ++r.sequence, name.c_str(), change.empty() ? "" : "-",
                      change.c_str());
        path = (std::filesystem::path(r.directory) / file).string();
    }
    auto data = UIImagePNGRepresentation(UIScreenshotSettledImage());
    Ref<NSError> error;
    if (!data || !data->writeToFileOptionsError(NSString::from(path), NSDataWritingAtomic, &error)) {
        auto underlying = error ? cast<NSError>(error->userInfo()->objectForKey(NSUnderlyingErrorKey())) : nullptr;
        Ref<NSString> reason = !data        ? NSString::from("the screen could not be encoded as PNG")
                               : underlying ? underlying->localizedDescription()
                                            : error->localizedDescription();
        NSLog("screenshot: cannot write %s: %@", path, reason);
        std::lock_guard lock(r.mutex);
        r.failed.push_back(path + ": " + reason->str());
        return;
    }
    UIScreenshotRecord record{path, name, change, {}, {}};
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

// The area of the screen (points squared) covered by the controls on show in the view's tree: what
// the operator can answer with.
CGFloat controlArea(const Ref<UIView>& view, CGRect screen) {
    if (view->isHidden() || view->alpha() < 0.01) {
        return 0;
    }
    if (auto control = cast<UIControl>(view)) {
        CGRect cover = CGRectIntersection(view->convertRectToView(view->bounds(), nullptr), screen);
        return control->isEnabled() && !CGRectIsNull(cover) ? cover.size.width * cover.size.height : 0;
    }
    CGFloat area = 0;
    for (const auto& sub : view->subviewList()) {
        area += controlArea(sub, screen);
    }
    return area;
}

// What came on show in the screen's window since `seen` (which takes it in): new views, each
// subtree by its top view, and whether such a view lies in a scroll view that was on show before
// (content scrolled into view, rows added to a list: not a change of the screen).
void collectNew(const Ref<UIView>& view, CGRect screen, bool listed, bool inSeenScroller, Seen& seen,
                std::vector<Ref<UIView>>& found) {
    if (view->isHidden() || view->alpha() < 0.01) {
        return;
    }
    CGRect onScreen = view->convertRectToView(view->bounds(), nullptr);
    bool visible =
        onScreen.size.width > 0 && onScreen.size.height > 0 && !CGRectIsEmpty(CGRectIntersection(onScreen, screen));
    bool isNew = false;
    if (visible) {
        isNew = !seen.contains(view.get());
        if (isNew) {
            seen.add(view.get());
            if (!listed && !inSeenScroller) {
                found.push_back(view);
            }
        } else if (cast<UIScrollView>(view)) {
            inSeenScroller = true;
        }
    }
    for (const auto& sub : view->subviewList()) {
        collectNew(sub, screen, listed || (isNew && !inSeenScroller), inSeenScroller, seen, found);
    }
}

// What changed materially on the screen since `seen` (which takes in all that is on show now):
// "alert", "sheet", "prompt" (a system window over the screen), "overlay" (a view laid over at least
// half the screen: a progress or status overlay), "question" (controls to answer with shown: an
// answer bar, a Retry button); empty for nothing material (live values, marks, drawn paths, texts,
// scrolled rows).
std::string materialChange(const Ref<UIViewController>& screen, Seen& seen) {
    std::string change;
    auto note = [&](const char* kind) {
        if (change.empty()) {
            change = kind;
        }
    };
    for (const auto& alert : UIAlertView::visibleAlerts()) {
        if (!seen.contains(alert.get())) {
            seen.add(alert.get());
            note("alert");
        }
    }
    for (const auto& sheet : UIActionSheet::visibleSheets()) {
        if (!seen.contains(sheet.get())) {
            seen.add(sheet.get());
            note("sheet");
        }
    }
    for (const auto& window : UIWindow::windowsFromBackToFront()) {
        if (isPromptWindow(window) && !seen.contains(window.get())) {
            seen.add(window.get());
            note("prompt");
        }
    }
    auto window = screen->isViewLoaded() ? screen->view()->window() : nullptr;
    if (!window) {
        return change;
    }
    CGRect bounds = UIScreen::mainScreen()->bounds();
    std::vector<Ref<UIView>> found;
    collectNew(window, bounds, false, false, seen, found);
    CGFloat half = bounds.size.width * bounds.size.height / 2;
    for (const auto& view : found) {
        CGRect cover = CGRectIntersection(view->convertRectToView(view->bounds(), nullptr), bounds);
        if (cover.size.width * cover.size.height >= half) {
            note("overlay");
        }
    }
    CGFloat answers = 0;
    for (const auto& view : found) {
        answers += controlArea(view, bounds);
    }
    if (answers >= kQuestionShare * bounds.size.width * bounds.size.height) {
        note("question");
    }
    return change;
}

// Looks at the screen the operator has before them: the first picture of a screen that has
// appeared, then a picture of each material change (up to the bound). Cheap when nothing on show
// has changed since the last look; renders only what it writes. Answers whether it wrote one.
// `leaving`: a controller about to disappear; when it is the screen watched, it is looked at as it
// still shows (another may already be on its way in front of it).
bool lookAtScreen(UIViewController* leaving) {
    auto& r = recorder();
    if (!r.recording.load() || r.looking) {
        return false;
    }
    uint64_t generation = uikit_detail::viewsOnShowGeneration();
    if (!r.appeared && generation == r.generation) {
        return false;
    }
    r.looking = true;
    r.generation = generation;
    struct Done {
        Recorder& r;
        ~Done() { r.looking = false; }
    } done{r};
    r.appeared = false;
    std::erase_if(r.appearedScreens, [](const Weak<UIViewController>& s) {
        auto screen = s.lock();
        return !screen || !screen->isVisible();
    });
    auto watched = r.watched.lock();
    auto screen = leaving && watched.get() == leaving ? watched : visibleScreen();
    bool switched = screen != watched;
    if (switched) {
        r.watched = screen;
        r.watchedPictured = screen && r.lastPictured.lock() == screen;
        r.seen.clear();
        r.changes = 0;
    }
    if (!screen) {
        return false;
    }
    // Takes the picture, then takes in what its layout brought on show (it is in the picture).
    auto picture = [&](const std::string& change) {
        takePicture(screen, change);
        materialChange(screen, r.seen);
        r.generation = uikit_detail::viewsOnShowGeneration();
        return true;
    };
    if (!r.watchedPictured) {
        // The first picture, once the screen has appeared as the one the operator sees and shows
        // something; what it shows then is what later changes are measured against.
        bool appeared = std::any_of(r.appearedScreens.begin(), r.appearedScreens.end(),
                                    [&](const Weak<UIViewController>& s) { return s.lock() == screen; });
        r.seen.clear();
        if (appeared && showsSomething(screen)) {
            r.watchedPictured = true;
            r.lastPictured = screen;
            return picture("");
        }
        materialChange(screen, r.seen);
        return false;
    }
    auto change = materialChange(screen, r.seen);
    // A screen pictured before that shows again (what covered it was not pictured) starts afresh
    // from what it shows now.
    if (switched || change.empty() || r.changes >= kMaxChangePictures) {
        return false;
    }
    ++r.changes;
    return picture(change);
}

} // namespace

void uikit_detail::screenshotControllerDidAppear(UIViewController* controller) {
    // Containers (navigation controllers and the like) appear with the screen they hold.
    auto& r = recorder();
    if (r.recording.load() && controller && controller->childViewControllerList().empty()) {
        r.appearedScreens.emplace_back(Ref<UIViewController>(controller));
        r.appeared = true;
    }
}

void uikit_detail::screenshotControllerWillDisappear(UIViewController* controller) {
    // The screen about to go, as it stands: a change it showed since the last look is pictured.
    lookAtScreen(controller);
}

void uikit_detail::screenshotBeforeInput() {
    // What the operator saw before they acted.
    lookAtScreen();
}
