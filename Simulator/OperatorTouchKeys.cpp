// The scripted operator on the touch and key screens: it draws over the grid and the canvas, puts
// three fingers on the circles, taps the arrow in each corner, presses the image firmly, presses
// and releases the keys, takes the screenshot chord, flips the switch, locks and presses Home,
// presses the power key when asked whether it works, all through the test driver and the device's
// keys. It sees only the screen and what the keys did: when a screen does not pass after it did what
// was asked, it uses the screen's own way out (Skip, NO, FAILED and NEXT) or the run's menu (Skip).
#include "OperatorHands.h"
#include "ScriptedOperator.h"

#include <Categorys/DXLocalizedString.h>
#include <Core/DXNavigationHeaderView.h>
#include <Diagnostics/TouchKeys/CombineKeyViewController.h>
#include <Diagnostics/TouchKeys/HomeKeyViewController.h>
#include <Diagnostics/TouchKeys/MultiTouchViewController.h>
#include <Diagnostics/TouchKeys/PhysicalKeyViewController.h>
#include <Diagnostics/TouchKeys/PrecisionViewController.h>
#include <Diagnostics/TouchKeys/StylusViewController.h>
#include <Diagnostics/TouchKeys/TouchScreenViewController.h>
#include <Dispatch/Clock.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UITestDriver.h>

#include <set>

namespace {

using Key = hands::Key;

CGPoint centre(const Ref<UIView>& view) {
    CGRect b = view->bounds();
    return view->convertPointToView(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)), nullptr);
}

bool shown(const Ref<UIView>& view) {
    return view && !view->isHidden() && view->window();
}

template <class V>
void strokeThrough(const std::vector<Ref<V>>& views) {
    std::vector<CGPoint> points;
    for (const auto& v : views) {
        points.push_back(centre(v));
    }
    UITestDriver::drawPath(points, 1000);
}

// Along each row of the grid.
void drawGrid(const Ref<SJTouchView>& grid) {
    auto cells = grid->cells();
    for (size_t row = 0; row * 5 < cells.size(); ++row) {
        auto end = std::min(cells.size(), row * 5 + 5);
        strokeThrough(std::vector<Ref<SJTouchButton>>(cells.begin() + static_cast<long>(row * 5),
                                                      cells.begin() + static_cast<long>(end)));
    }
}

// Along the top, right, bottom and left edges, then both diagonals.
void drawCanvas(const Ref<XCanvas>& canvas) {
    auto items = canvas->items();
    if (items.size() < 26) {
        return;
    }
    long n = (static_cast<long>(items.size()) - 16) / 4;
    long at = 0;
    for (long count : {13L, n - 2, 13L, n - 2, n - 3, n - 3}) {
        if (count <= 0 || at + count > static_cast<long>(items.size())) {
            continue;
        }
        strokeThrough(std::vector<Ref<XItem>>(items.begin() + at, items.begin() + at + count));
        at += count;
    }
}

// Taps a button; where the middle does not answer, its left part.
bool press(const Ref<UIButton>& button) {
    if (!shown(button)) {
        return false;
    }
    if (UITestDriver::tapView(button)) {
        return true;
    }
    CGRect b = button->bounds();
    return UITestDriver::tapAtPoint(
        button->convertPointToView(CGPointMake(b.size.width * 0.2, b.size.height / 2), nullptr));
}

// The FAILED button of the first row of the combined keys screen that never ticked, nil when every
// row ticked or is marked.
Ref<UIButton> untickedRowButton(const Ref<CombineKeyViewController>& combine) {
    auto table = combine ? combine->tableView() : nullptr;
    if (!table) {
        return nullptr;
    }
    auto failed = DXLocalizedString("COMBINE_KEY_TESTS_BUTTON_FAILED")->str();
    NSInteger rows = combine->tableViewNumberOfRowsInSection(table, 0);
    for (NSInteger i = 0; i < rows; ++i) {
        auto cell =
            cast<CombineKeyTableViewCell>(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(i, 0)));
        auto button = cell ? cell->passbtn() : nullptr;
        auto title = button ? button->titleForState(UIControlStateNormal) : nullptr;
        if (shown(button) && title && title->str() == failed) {
            return button;
        }
    }
    return nullptr;
}

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

// Skip from the run's header menu, confirmed.
bool skipFromMenu(const Ref<DXBaseViewController>& page) {
    auto header = page->headerView();
    if (!header || !header->backButton() || !UITestDriver::tapView(header->backButton())) {
        return false;
    }
    if (!UITestDriver::tapSheetButtonTitled(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SKIP")->str())) {
        return false;
    }
    return UITestDriver::tapAlertButtonTitled(DXLocalizedString("BASETEST_CONTROLLER_YES")->str());
}

} // namespace

bool ScriptedOperator::isTouchKeyScreen(const std::string& screenClass) {
    static const std::set<std::string> screens = {
        "TouchScreenViewController", "XTouchViewController",      "TPViewController",
        "MultiTouchViewController",  "StylusViewController",      "PrecisionViewController",
        "CombineKeyViewController",  "PhysicalKeyViewController", "HomeKeyViewController",
    };
    return screens.count(screenClass) != 0;
}

bool ScriptedOperator::actOnTouchKeyScreen(const std::string& screenClass, const Ref<DXBaseViewController>& page) {
    const void* screen = page->info().get();
    double now = DispatchClock::uptime();
    if (screen != touchKeyScreen_) {
        touchKeyScreen_ = screen;
        touchKeyScreenSince_ = now;
        touchKeyStep_ = 0;
    }
    double onScreen = now - touchKeyScreenSince_;
    int& step = touchKeyStep_;
    // Does step `n` once the screen has been up `after` seconds.
    auto at = [&](int n, double after) { return step == n && onScreen >= after; };

    if (screenClass == "TouchScreenViewController") {
        auto grid = cast<TouchScreenViewController>(page);
        if (at(0, 0.5)) {
            drawGrid(grid->touchView());
            step = 1;
            return true;
        }
        // Some cells stay blue however the finger goes: the operator gives up.
        return at(1, 3) && (step = 2, press(grid->skipButton()));
    }
    if (screenClass == "XTouchViewController") {
        auto draw = cast<XTouchViewController>(page);
        if (at(0, 0.5)) {
            drawCanvas(draw->touchView());
            step = 1;
            return true;
        }
        return at(1, 3) && (step = 2, press(draw->skipButton()));
    }
    if (screenClass == "TPViewController") {
        auto panel = cast<TPViewController>(page);
        if (at(0, 0.5)) {
            drawGrid(panel->touchView());
            step = 1;
            return true;
        }
        if (step == 1 && shown(panel->xView())) {
            drawCanvas(panel->xView());
            step = 2;
            touchKeyScreenSince_ = now;
            return true;
        }
        if (step == 1 && onScreen >= 3) {
            step = 3;
            return press(panel->gridSkipButton());
        }
        return at(2, 3) && (step = 3, press(panel->skipButton()));
    }
    if (screenClass == "MultiTouchViewController") {
        auto multi = cast<MultiTouchViewController>(page);
        if (at(0, 0.5)) {
            UITestDriver::tapFingers({centre(multi->circle1()), centre(multi->circle2()), centre(multi->circle3())},
                                     0.5);
            step = 1;
            return true;
        }
        return at(1, 3) && (step = 2, skipFromMenu(page));
    }
    if (screenClass == "StylusViewController") {
        auto stylus = cast<StylusViewController>(page);
        if (step < 5 && onScreen >= 0.5 + step * 0.7) {
            int64_t before = stylus->count();
            bool tapped = shown(stylus->button()) && UITestDriver::tapView(stylus->button());
            ++step;
            if (tapped && (stylus->count() > before || page->isCompleted())) {
                return true;
            }
            step = 10; // the arrow did not answer: give up at once
            return true;
        }
        return (step >= 5 && onScreen >= 6) && (step = 11, skipFromMenu(page));
    }
    if (screenClass == "PrecisionViewController") {
        auto precision = cast<PrecisionViewController>(page);
        if (at(0, 1.0)) {
            UITestDriver::pressWithForceCurve(centre(precision->imageView()), {0.5, 1.5, 3.0, 4.5, 6.0, 6.5}, 0.05);
            step = 1;
            return true;
        }
        // Nothing popped up under the press: the display does not feel force.
        return at(1, 4) && !precision->popped() && (step = 2, press(precision->onButton()));
    }
    if (screenClass == "CombineKeyViewController") {
        auto combine = cast<CombineKeyViewController>(page);
        if (at(0, 0.5)) {
            hands::pressKey(Key::VolumeUp);
            step = 1;
            return true;
        }
        if (at(1, 1.0)) {
            hands::pressKey(Key::VolumeDown);
            step = 2;
            return true;
        }
        if (at(2, 1.5)) {
            hands::pressScreenshotChord();
            step = 3;
            return true;
        }
        if (at(3, 3.5)) {
            hands::flipRingerSwitch();
            step = 4;
            return true;
        }
        if (at(4, 5.5)) {
            hands::flipRingerSwitch();
            step = 5;
            return true;
        }
        // Rows that never ticked: the operator marks each FAILED, then goes on.
        if (!at(5, 8)) {
            return false;
        }
        if (auto row = untickedRowButton(combine)) {
            return press(row);
        }
        step = 6;
        return press(combine->nextBtn());
    }
    if (screenClass == "PowerOnOffViewController") {
        // "Does the power button work?": the operator presses it; a working key locks the screen (the
        // app leaves the front), and a second press wakes it. Answers from what the first press did.
        auto app = UIApplication::sharedApplication();
        if (at(0, 0.5)) {
            hands::pressKey(Key::Power);
            step = 1;
            return true;
        }
        if (at(1, 1.5)) {
            powerKeyLocked_ = app->applicationState() != UIApplicationStateActive;
            if (powerKeyLocked_) {
                hands::pressKey(Key::Power);
            }
            step = 2;
            return true;
        }
        if (at(2, 2.5) && app->applicationState() == UIApplicationStateActive && shown(page->answerView())) {
            step = 3;
            return tapAnswer(text(page->info()->profilekey()), powerKeyLocked_);
        }
        return false;
    }
    if (screenClass == "PhysicalKeyViewController") {
        if (at(0, 1.0)) {
            hands::pressKey(Key::VolumeUp);
            step = 1;
            return true;
        }
        if (at(1, 1.5)) {
            hands::pressKey(Key::VolumeDown);
            step = 2;
            return true;
        }
        if (at(2, 3.5)) {
            hands::flipRingerSwitch();
            step = 3;
            return true;
        }
        if (at(3, 5.5)) {
            hands::flipRingerSwitch();
            step = 4;
            return true;
        }
        return at(4, 8) && (step = 5, skipFromMenu(page));
    }
    if (screenClass == "HomeKeyViewController") {
        auto app = UIApplication::sharedApplication();
        if (at(0, 1.0)) {
            hands::pressKey(Key::Home);
            step = 1;
            return true;
        }
        // The notification comes; the operator opens it (or the app) again.
        if (at(1, 3.0)) {
            step = 2;
            if (app->applicationState() != UIApplicationStateActive) {
                app->enterForeground();
            }
            return true;
        }
        return false;
    }
    return false;
}
