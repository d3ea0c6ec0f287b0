#include <Dispatch/Clock.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIRefreshControl.h>
#include <UIKit/UIRemoteKeyboardWindow.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UIStatusBar.h>
#include <UIKit/UISwitch.h>
#include <UIKit/UITableView.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIViewControllerPreviewing.h>

#include <Device/SimTouchKeys.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <sstream>

namespace {

std::vector<Ref<UITouch>>& activeTouches() {
    static auto* touches = new std::vector<Ref<UITouch>>;
    return *touches;
}

// The active touches that the digitizer has reported to the system.
std::set<const UITouch*>& reportedTouches() {
    static auto* touches = new std::set<const UITouch*>;
    return *touches;
}

// Visits the views of the visible windows, back to front.
void walkVisible(const std::function<void(const Ref<UIView>&)>& visit) {
    std::function<void(const Ref<UIView>&)> walk = [&](const Ref<UIView>& v) {
        if (v->isHidden() || v->alpha() < 0.01) {
            return;
        }
        visit(v);
        for (const auto& sub : std::vector<Ref<UIView>>(v->subviewList())) {
            walk(sub);
        }
    };
    auto windows = UIWindow::allWindows();
    std::stable_sort(windows.begin(), windows.end(), [](const Ref<UIWindow>& a, const Ref<UIWindow>& b) {
        return a->windowLevel() < b->windowLevel();
    });
    for (const auto& w : windows) {
        if (!w->isHidden()) {
            walk(w);
        }
    }
}

std::string str(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

// What a cell shows as text: its own labels and the labels a cell class adds to its content view
// (a name and a value, a key's name), in tree order. Button titles are left to the buttons' lines.
std::vector<std::string> cellTexts(const Ref<UITableViewCell>& cell) {
    std::vector<std::string> texts;
    std::function<void(const Ref<UIView>&)> walk = [&](const Ref<UIView>& v) {
        if (v->isHidden() || v->alpha() < 0.01 || cast<UIButton>(v)) {
            return;
        }
        if (auto label = cast<UILabel>(v); label && label->text() && label->text()->length() > 0) {
            texts.push_back(label->text()->str());
        }
        for (const auto& sub : std::vector<Ref<UIView>>(v->subviewList())) {
            walk(sub);
        }
    };
    walk(cell);
    return texts;
}

void describeController(std::ostringstream& out, const Ref<UIViewController>& vc, int depth) {
    if (!vc) {
        return;
    }
    out << std::string(static_cast<size_t>(depth) * 2, ' ') << "Controller: " << vc->getClass()->name();
    if (vc->title()) {
        out << " \"" << vc->title()->str() << "\"";
    }
    if (!vc->isVisible()) {
        out << " (not visible)";
    }
    out << "\n";
    if (auto nav = cast<UINavigationController>(vc)) {
        for (const auto& child : nav->viewControllerList()) {
            describeController(out, child, depth + 1);
        }
    } else {
        for (const auto& child : vc->childViewControllerList()) {
            describeController(out, child, depth + 1);
        }
    }
    if (auto presented = vc->presentedViewController()) {
        out << std::string(static_cast<size_t>(depth) * 2, ' ') << "Presents:\n";
        describeController(out, presented, depth + 1);
    }
}

} // namespace

Ref<UIWindow> UITestDriver::showRootViewController(const Ref<UIViewController>& controller) {
    // The driver keeps its windows, as an application delegate keeps its window. When the test ends it
    // hides them, and their screens disappear as they do when they leave: they stop their timers,
    // sensor updates and listeners. So when the tests of a binary share a process, no screen of an
    // ended test keeps running (a redraw timer, a manager it shares with the next test's screen), and
    // a window already hidden is left alone by later tests (hiding every window, reading the
    // screen). The windows are kept, not freed: deallocation runs code too, and what a test made for
    // its screens' callbacks may be gone by then.
    static auto* windows = [] {
        auto* kept = new std::vector<Ref<UIWindow>>;
        auto* current = new size_t(0); // the windows before this index belong to ended tests
        DispatchClock::addTestEndHandler([kept, current] {
            std::vector<Ref<UIWindow>> ending(kept->begin() + static_cast<std::ptrdiff_t>(*current), kept->end());
            *current = kept->size();
            for (const auto& window : ending) {
                uikit_detail::retireWindow(window.get());
            }
        });
        return kept;
    }();
    auto window = make<UIWindow>();
    windows->push_back(window);
    window->setRootViewController(controller);
    window->makeKeyAndVisible();
    layout();
    return window;
}

void UITestDriver::layout() {
    UIWindow::layoutAllWindows();
}

void UITestDriver::settle() {
    DispatchClock::runUntilIdle();
    layout();
}

// The digitizer decides what the system sees of a finger: a touch is reported from its first
// sensed sample on, its samples in dead areas (or off the glass) are not reported, and fingers
// beyond what the digitizer tracks are never reported.
void UITestDriver::send(UITouchPhase phase, const Ref<UITouch>& touch) {
    sendPhases({{touch, phase}});
}

void UITestDriver::sendPhases(const std::vector<std::pair<Ref<UITouch>, UITouchPhase>>& changes) {
    if (std::any_of(changes.begin(), changes.end(), [](const auto& c) { return c.second == UITouchPhaseBegan; })) {
        uikit_detail::screenshotBeforeInput();
    }
    auto& active = activeTouches();
    auto& shown = reportedTouches();
    double now = DispatchClock::uptime();
    std::vector<Ref<UITouch>> all;
    for (const auto& t : active) {
        if (shown.count(t.get())) {
            t->setPhase(UITouchPhaseStationary);
            all.push_back(t);
        }
    }
    for (const auto& [touch, phase] : changes) {
        touch->setPhase(phase);
        touch->setTimestamp(now);
        if (std::find(all.begin(), all.end(), touch) == all.end()) {
            all.push_back(touch);
        }
    }
    auto window = UIWindow::keyWindow();
    for (const auto& [touch, phase] : changes) {
        if (touch->window()) {
            window = touch->window();
        }
    }
    if (!window) {
        NSException::raise(NSInternalInconsistencyException, "no key window to touch");
    }
    auto event = make<UIEvent>(UIEventTypeTouches, UIEventSubtypeNone, now);
    for (const auto& t : all) {
        t->setWindow(window);
    }
    event->setTouches(all);
    window->sendEvent(event);
    for (const auto& [touch, phase] : changes) {
        if (phase == UITouchPhaseEnded || phase == UITouchPhaseCancelled) {
            std::erase(active, touch);
            shown.erase(touch.get());
        }
    }
}

namespace {

// Whether the digitizer senses a finger at a window point, and can track one more finger.
bool sensed(CGPoint p) {
    return SimTouchKeys::current().senses(p.x, p.y);
}

size_t reportedCount() {
    return UITestDriver::reportedTouchCount();
}

} // namespace

Ref<UITouch> UITestDriver::touchDown(CGPoint windowPoint, CGFloat force) {
    layout();
    auto touch = make<UITouch>();
    auto& keys = SimTouchKeys::current();
    touch->setMaximumPossibleForce(keys.maximumPossibleForce());
    touch->setWindow(UIWindow::keyWindow());
    activeTouches().push_back(touch);
    if (sensed(windowPoint) && reportedCount() < keys.maximumTouches()) {
        touch->setWindowLocation(windowPoint);
        touch->setForce(keys.sensedForce(force));
        reportedTouches().insert(touch.get());
        send(UITouchPhaseBegan, touch);
    }
    return touch;
}

void UITestDriver::touchMove(const Ref<UITouch>& touch, CGPoint windowPoint, CGFloat force) {
    if (!touch || std::find(activeTouches().begin(), activeTouches().end(), touch) == activeTouches().end()) {
        return; // lifted or never down
    }
    auto& keys = SimTouchKeys::current();
    if (!sensed(windowPoint)) {
        return;
    }
    touch->setWindowLocation(windowPoint);
    touch->setForce(keys.sensedForce(force));
    if (!reportedTouches().count(touch.get())) {
        if (reportedCount() >= keys.maximumTouches()) {
            return;
        }
        reportedTouches().insert(touch.get());
        send(UITouchPhaseBegan, touch);
        return;
    }
    send(UITouchPhaseMoved, touch);
}

void UITestDriver::touchUp(const Ref<UITouch>& touch) {
    if (!touch || std::find(activeTouches().begin(), activeTouches().end(), touch) == activeTouches().end()) {
        return;
    }
    if (!reportedTouches().count(touch.get())) {
        std::erase(activeTouches(), touch);
        return;
    }
    touch->setWindowLocation(touch->windowLocation());
    touch->setForce(0);
    send(UITouchPhaseEnded, touch);
    settle();
}

void UITestDriver::touchCancel(const Ref<UITouch>& touch) {
    if (!touch || std::find(activeTouches().begin(), activeTouches().end(), touch) == activeTouches().end()) {
        return;
    }
    if (!reportedTouches().count(touch.get())) {
        std::erase(activeTouches(), touch);
        return;
    }
    send(UITouchPhaseCancelled, touch);
    settle();
}

void UITestDriver::drag(CGPoint from, CGPoint to, int steps) {
    auto touch = touchDown(from);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        double f = static_cast<double>(i) / steps;
        touchMove(touch, CGPointMake(from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f));
    }
    touchUp(touch);
}

void UITestDriver::drawPath(const std::vector<CGPoint>& polyline, double speed) {
    if (polyline.empty()) {
        return;
    }
    if (!(speed > 0) || !std::isfinite(speed)) {
        speed = 1000;
    }
    // One sample per frame (60 a second) of the finger's travel; on virtual time the clock moves
    // with the finger.
    const double frame = 1.0 / 60;
    const double step = speed * frame;
    auto touch = touchDown(polyline.front());
    for (size_t i = 1; i < polyline.size(); ++i) {
        CGPoint a = polyline[i - 1], b = polyline[i];
        double length = std::hypot(b.x - a.x, b.y - a.y);
        int samples = std::isfinite(length) ? std::max(1, static_cast<int>(std::ceil(length / step))) : 1;
        samples = std::min(samples, 100000);
        for (int k = 1; k <= samples; ++k) {
            double f = static_cast<double>(k) / samples;
            if (DispatchClock::isVirtual()) {
                DispatchClock::advance(frame);
            }
            touchMove(touch, CGPointMake(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f));
        }
    }
    touchUp(touch);
}

std::vector<Ref<UITouch>> UITestDriver::fingersDown(const std::vector<CGPoint>& windowPoints) {
    layout();
    auto& keys = SimTouchKeys::current();
    std::vector<Ref<UITouch>> touches;
    std::vector<std::pair<Ref<UITouch>, UITouchPhase>> began;
    for (CGPoint p : windowPoints) {
        auto touch = make<UITouch>();
        touch->setMaximumPossibleForce(keys.maximumPossibleForce());
        touch->setWindow(UIWindow::keyWindow());
        activeTouches().push_back(touch);
        if (sensed(p) && reportedCount() < keys.maximumTouches()) {
            touch->setWindowLocation(p);
            reportedTouches().insert(touch.get());
            began.emplace_back(touch, UITouchPhaseBegan);
        }
        touches.push_back(touch);
    }
    if (!began.empty()) {
        sendPhases(began);
    }
    return touches;
}

void UITestDriver::fingersUp(const std::vector<Ref<UITouch>>& touches) {
    std::vector<std::pair<Ref<UITouch>, UITouchPhase>> ended;
    for (const auto& touch : touches) {
        if (!touch || std::find(activeTouches().begin(), activeTouches().end(), touch) == activeTouches().end()) {
            continue;
        }
        if (reportedTouches().count(touch.get())) {
            ended.emplace_back(touch, UITouchPhaseEnded);
        } else {
            std::erase(activeTouches(), touch);
        }
    }
    if (!ended.empty()) {
        sendPhases(ended);
    }
    settle();
}

void UITestDriver::tapFingers(const std::vector<CGPoint>& windowPoints, double hold) {
    auto touches = fingersDown(windowPoints);
    if (hold > 0 && DispatchClock::isVirtual()) {
        DispatchClock::advance(hold);
    }
    fingersUp(touches);
}

void UITestDriver::pressWithForceCurve(CGPoint windowPoint, const std::vector<double>& forces, double interval) {
    auto touch = touchDown(windowPoint, forces.empty() ? 0 : forces.front());
    for (size_t i = 1; i < forces.size(); ++i) {
        if (interval > 0 && DispatchClock::isVirtual()) {
            DispatchClock::advance(interval);
        }
        touchMove(touch, windowPoint, forces[i]);
    }
    touchUp(touch);
}

size_t UITestDriver::activeTouchCount() {
    return activeTouches().size();
}

size_t UITestDriver::reportedTouchCount() {
    return reportedTouches().size();
}

bool UITestDriver::tapAtPoint(CGPoint windowPoint) {
    auto window = UIWindow::keyWindow();
    if (!window) {
        return false;
    }
    layout();
    auto hit = window->hitTestWithEvent(windowPoint, nullptr);
    if (!hit || !sensed(windowPoint)) {
        return false;
    }
    auto touch = touchDown(windowPoint);
    touchUp(touch);
    return true;
}

bool UITestDriver::tapView(const Ref<UIView>& view) {
    if (!view || !view->window()) {
        return false;
    }
    layout();
    CGRect b = view->bounds();
    CGPoint p = view->convertPointToView(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)), nullptr);
    auto window = view->window();
    if (!window->isKeyWindow()) {
        window->makeKeyWindow();
    }
    return tapAtPoint(p);
}

bool UITestDriver::tapButtonTitled(const std::string& title) {
    layout();
    auto button = findButton(title);
    return button && button->isEnabled() && tapView(button);
}

bool UITestDriver::tapBarButtonItem(const Ref<UIBarButtonItem>& item) {
    if (!item) {
        return false;
    }
    uikit_detail::screenshotBeforeInput();
    bool sent = item->tap();
    settle();
    return sent;
}

Ref<UIAlertView> UITestDriver::topAlert() {
    auto alerts = UIAlertView::visibleAlerts();
    return alerts.empty() ? nullptr : alerts.back();
}

Ref<UIActionSheet> UITestDriver::topSheet() {
    auto sheets = UIActionSheet::visibleSheets();
    return sheets.empty() ? nullptr : sheets.back();
}

bool UITestDriver::tapAlertButtonTitled(const std::string& title) {
    auto alert = topAlert();
    if (!alert) {
        return false;
    }
    for (NSInteger i = 0; i < alert->numberOfButtons(); ++i) {
        if (str(alert->buttonTitleAtIndex(i)) == title) {
            return tapAlertButtonAtIndex(i);
        }
    }
    return false;
}

bool UITestDriver::tapAlertButtonAtIndex(NSInteger index) {
    auto alert = topAlert();
    if (!alert || index < 0 || index >= alert->numberOfButtons()) {
        return false;
    }
    uikit_detail::screenshotBeforeInput();
    bool tapped = alert->tapButtonAtIndex(index);
    settle();
    return tapped;
}

bool UITestDriver::tapSheetButtonTitled(const std::string& title) {
    auto sheet = topSheet();
    if (!sheet) {
        return false;
    }
    for (NSInteger i = 0; i < sheet->numberOfButtons(); ++i) {
        if (str(sheet->buttonTitleAtIndex(i)) == title) {
            return tapSheetButtonAtIndex(i);
        }
    }
    return false;
}

bool UITestDriver::tapSheetButtonAtIndex(NSInteger index) {
    auto sheet = topSheet();
    if (!sheet || index < 0 || index >= sheet->numberOfButtons()) {
        return false;
    }
    uikit_detail::screenshotBeforeInput();
    bool tapped = sheet->tapButtonAtIndex(index);
    settle();
    return tapped;
}

namespace {
// The text split into composed character sequences, as a keyboard types them.
std::vector<Ref<NSString>> characters(const std::string& text) {
    std::vector<Ref<NSString>> out;
    auto s = NSString::from(text);
    NSUInteger i = 0;
    while (i < s->length()) {
        // From i (a boundary) to the end of the sequence there: the range's start is not relied on,
        // as the look-up can place it before i when i starts a surrogate pair.
        NSUInteger end = NSMaxRange(s->rangeOfComposedCharacterSequenceAtIndex(i));
        out.push_back(s->substringWithRange(NSMakeRange(i, end - i)));
        i = end;
    }
    return out;
}
} // namespace

bool UITestDriver::typeIntoField(const Ref<UITextField>& field, const std::string& text) {
    if (!field) {
        return false;
    }
    if (!field->isFirstResponder()) {
        if (field->window()) {
            tapView(field);
        }
        if (!field->isFirstResponder() && !field->becomeFirstResponder()) {
            return false;
        }
    }
    uikit_detail::screenshotBeforeInput();
    for (const auto& c : characters(text)) {
        field->insertText(c);
    }
    settle();
    return true;
}

bool UITestDriver::typeIntoTextView(const Ref<UITextView>& view, const std::string& text) {
    if (!view) {
        return false;
    }
    if (!view->isFirstResponder() && !view->becomeFirstResponder()) {
        return false;
    }
    uikit_detail::screenshotBeforeInput();
    for (const auto& c : characters(text)) {
        view->insertText(c);
    }
    settle();
    return true;
}

void UITestDriver::scrollTo(const Ref<UIScrollView>& scrollView, CGPoint offset) {
    if (scrollView) {
        uikit_detail::screenshotBeforeInput();
        scrollView->setContentOffset(offset);
        settle();
    }
}

bool UITestDriver::pullToRefresh(const Ref<UIScrollView>& scrollView) {
    auto control = scrollView ? scrollView->refreshControl() : nullptr;
    if (!control || control->isRefreshing() || !control->isEnabled()) {
        return false;
    }
    uikit_detail::screenshotBeforeInput();
    control->pull();
    settle();
    return true;
}

Ref<UIImagePickerController> UITestDriver::topImagePicker() {
    auto window = UIWindow::keyWindow();
    Ref<UIViewController> vc = window ? window->rootViewController() : nullptr;
    while (vc && vc->presentedViewController()) {
        vc = vc->presentedViewController();
    }
    return cast<UIImagePickerController>(vc);
}

bool UITestDriver::takePicture(const Ref<UIImage>& image) {
    auto picker = topImagePicker();
    if (!picker) {
        return false;
    }
    uikit_detail::screenshotBeforeInput();
    bool taken = picker->sourceType() == UIImagePickerControllerSourceTypeCamera ? picker->captureFromCamera()
                                                                                 : picker->choosePicture(image);
    settle();
    return taken;
}

bool UITestDriver::cancelImagePicker() {
    auto picker = topImagePicker();
    if (!picker) {
        return false;
    }
    uikit_detail::screenshotBeforeInput();
    picker->cancelPicking();
    settle();
    return true;
}

Ref<UIViewController> UITestDriver::peek(const Ref<UIViewController>& controller, CGPoint location) {
    if (!controller) {
        return nullptr;
    }
    for (const auto& context : controller->previewingContexts()) {
        id answer;
        if (uikit_detail::sendIfResponds(context->delegate(), "previewingContext:viewControllerForLocation:",
                                         {context, NSValue::valueWithValue(location)}, &answer)) {
            return cast<UIViewController>(answer);
        }
    }
    return nullptr;
}

void UITestDriver::pop(const Ref<UIViewController>& controller, const Ref<UIViewController>& preview) {
    if (!controller || !preview) {
        return;
    }
    for (const auto& context : controller->previewingContexts()) {
        if (uikit_detail::sendIfResponds(context->delegate(),
                                         "previewingContext:commitViewController:", {context, preview})) {
            break;
        }
    }
    settle();
}

// MARK: - Reading the screen

std::vector<std::string> UITestDriver::visibleTexts() {
    layout();
    std::vector<std::string> out;
    walkVisible([&](const Ref<UIView>& v) {
        if (auto label = cast<UILabel>(v)) {
            if (label->text() && label->text()->length() > 0) {
                out.push_back(label->text()->str());
            }
        } else if (auto field = cast<UITextField>(v)) {
            out.push_back(field->text()->length() ? field->text()->str() : str(field->placeholder()));
        } else if (auto textView = cast<UITextView>(v)) {
            out.push_back(textView->text()->str());
        }
    });
    for (const auto& alert : UIAlertView::visibleAlerts()) {
        out.push_back(str(alert->title()));
        out.push_back(str(alert->message()));
        for (NSInteger i = 0; i < alert->numberOfButtons(); ++i) {
            out.push_back(str(alert->buttonTitleAtIndex(i)));
        }
    }
    for (const auto& sheet : UIActionSheet::visibleSheets()) {
        out.push_back(str(sheet->title()));
        for (NSInteger i = 0; i < sheet->numberOfButtons(); ++i) {
            out.push_back(str(sheet->buttonTitleAtIndex(i)));
        }
    }
    return out;
}

bool UITestDriver::isTextVisible(const std::string& text) {
    auto texts = visibleTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

Ref<UIButton> UITestDriver::findButton(const std::string& title) {
    Ref<UIButton> found;
    walkVisible([&](const Ref<UIView>& v) {
        auto button = cast<UIButton>(v);
        if (!found && button && str(button->currentTitle()) == title) {
            found = button;
        }
    });
    return found;
}

Ref<UILabel> UITestDriver::findLabel(const std::string& text) {
    Ref<UILabel> found;
    walkVisible([&](const Ref<UIView>& v) {
        auto label = cast<UILabel>(v);
        if (!found && label && str(label->text()) == text) {
            found = label;
        }
    });
    return found;
}

Ref<UIView> UITestDriver::findView(Class cls) {
    Ref<UIView> found;
    walkVisible([&](const Ref<UIView>& v) {
        if (!found && v->isKindOfClass(cls)) {
            found = v;
        }
    });
    return found;
}

Ref<UIViewController> UITestDriver::topViewController() {
    auto window = UIWindow::keyWindow();
    Ref<UIViewController> vc = window ? window->rootViewController() : nullptr;
    while (vc) {
        if (auto presented = vc->presentedViewController()) {
            vc = presented;
        } else if (auto nav = cast<UINavigationController>(vc); nav && nav->topViewController()) {
            vc = nav->topViewController();
        } else {
            break;
        }
    }
    return vc;
}

std::string UITestDriver::describeScreen() {
    layout();
    std::ostringstream out;
    for (const auto& window : UIWindow::allWindows()) {
        if (window->isHidden() || cast<UIRemoteKeyboardWindow>(window)) {
            continue;
        }
        if (auto bar = window->subviewList().empty() ? nullptr : cast<UIStatusBar>(window->subviewList().front())) {
            out << "Status bar: " << str(bar->timeItem()->accessibilityLabel())
                << (bar->signalItem() ? ", " + std::to_string(bar->signalItem()->signalStrengthBars()) + " bars" : "")
                << ", " << str(bar->batteryItem()->accessibilityLabel()) << "\n";
            continue;
        }
        out << "Window" << (window->isKeyWindow() ? " (key)" : "") << "\n";
        describeController(out, window->rootViewController(), 1);
    }
    walkVisible([&](const Ref<UIView>& v) {
        if (cast<UIButton>(v)) {
            auto button = cast<UIButton>(v);
            out << "Button: \"" << str(button->currentTitle()) << "\"" << (button->isEnabled() ? "" : " (disabled)")
                << "\n";
        } else if (auto cell = cast<UITableViewCell>(v)) {
            auto texts = cellTexts(cell);
            out << "Cell:";
            if (texts.empty()) {
                out << " \"\"";
            }
            for (const auto& text : texts) {
                out << " \"" << text << "\"";
            }
            out << (cell->isSelected() ? " (selected)" : "") << "\n";
        } else if (auto label = cast<UILabel>(v)) {
            if (label->text() && label->text()->length() > 0) {
                bool inCell = false;
                bool inButton = false;
                for (auto s = label->superview(); s; s = s->superview()) {
                    inCell = inCell || cast<UITableViewCell>(s);
                    inButton = inButton || cast<UIButton>(s);
                }
                if (!inCell && !inButton) {
                    out << "Label: \"" << label->text()->str() << "\"\n";
                }
            }
        } else if (auto field = cast<UITextField>(v)) {
            out << "TextField: \"" << field->text()->str() << "\"";
            if (field->placeholder()) {
                out << " placeholder \"" << field->placeholder()->str() << "\"";
            }
            out << (field->isEditing() ? " (editing)" : "") << "\n";
        } else if (auto sw = cast<UISwitch>(v)) {
            out << "Switch: " << (sw->isOn() ? "on" : "off") << "\n";
        } else if (auto image = cast<UIImageView>(v)) {
            if (image->image() && image->image()->name()) {
                out << "Image: " << image->image()->name()->str() << "\n";
            }
        }
    });
    for (const auto& alert : UIAlertView::visibleAlerts()) {
        out << "Alert: \"" << str(alert->title()) << "\" \"" << str(alert->message()) << "\" [";
        for (NSInteger i = 0; i < alert->numberOfButtons(); ++i) {
            out << (i ? ", " : "") << i << ": " << str(alert->buttonTitleAtIndex(i));
        }
        out << "]\n";
    }
    for (const auto& sheet : UIActionSheet::visibleSheets()) {
        out << "Sheet: \"" << str(sheet->title()) << "\" [";
        for (NSInteger i = 0; i < sheet->numberOfButtons(); ++i) {
            out << (i ? ", " : "") << i << ": " << str(sheet->buttonTitleAtIndex(i));
        }
        out << "]\n";
    }
    return out.str();
}
