#include "OperatorPatience.h"

#include <Categorys/DXLocalizedString.h>
#include <Core/DXBaseViewController.h>
#include <Core/DXNavigationHeaderView.h>
#include <Core/DXTestViewController.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSLog.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UITestDriver.h>

namespace {

std::string localized(const char* key) {
    auto text = DXLocalizedString(key);
    return text ? text->str() : std::string();
}

Ref<DXTestViewController> runContainer() {
    auto top = UITestDriver::topViewController();
    if (auto container = cast<DXTestViewController>(top)) {
        return container;
    }
    if (auto navigation = cast<UINavigationController>(top)) {
        return cast<DXTestViewController>(navigation->topViewController());
    }
    return nullptr;
}

bool hasButton(const Ref<UIActionSheet>& sheet, const std::string& title) {
    for (NSInteger i = 0; i < sheet->numberOfButtons(); ++i) {
        auto shown = sheet->buttonTitleAtIndex(i);
        if (shown && shown->str() == title) {
            return true;
        }
    }
    return false;
}

// How long the screen may take by itself: the record's time limit (when it has a real one) and
// its preparation count-down.
double ownTime(const Ref<DXTestModel>& record) {
    constexpr NSInteger kNoLimit = 21600; // what a limit of 0 stands for
    double own = 0;
    if (record->timeout() > 0 && record->timeout() < kNoLimit) {
        own += static_cast<double>(record->timeout());
    }
    if (record->waitingTime() > 0) {
        own += static_cast<double>(record->waitingTime());
    }
    return own;
}

} // namespace

bool OperatorPatience::act(bool leaveAlone) {
    auto container = runContainer();
    if (!container) {
        step_ = Step::Watching;
        return false;
    }
    switch (step_) {
    case Step::MenuOpen: {
        step_ = Step::Watching;
        auto sheet = UITestDriver::topSheet();
        if (!sheet || !sheet->isVisible()) {
            return false;
        }
        if (hasButton(sheet, localized("BASETEST_CONTROLLER_ACTIONSHEET_SKIP"))) {
            if (UITestDriver::tapSheetButtonTitled(localized("BASETEST_CONTROLLER_ACTIONSHEET_SKIP"))) {
                step_ = Step::Confirming;
                return true;
            }
            return false;
        }
        // A run of one test offers no Skip: close the menu and wait on.
        gaveUp_ = true;
        return UITestDriver::tapSheetButtonTitled(localized("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL"));
    }
    case Step::Confirming: {
        step_ = Step::Watching;
        auto alert = UITestDriver::topAlert();
        if (!alert || !alert->message() ||
            alert->message()->str() != localized("READYSTART_CONTROLLER_ALERTVIEW_MESSAGE_SKIP")) {
            return false;
        }
        if (!UITestDriver::tapAlertButtonTitled(localized("BASETEST_CONTROLLER_YES"))) {
            return false;
        }
        skipped_.push_back(screenKey_);
        NSLog("operator: skipped %s, which did not end", screenKey_.c_str());
        return true;
    }
    case Step::Watching:
        break;
    }

    auto screen = cast<DXBaseViewController>(container->oldViewController());
    if (!screen || screen->isCompleted() || !screen->info()) {
        return false;
    }
    double now = DispatchClock::uptime();
    if (screen_.lock() != Ref<UIViewController>(screen)) {
        screen_ = Weak<UIViewController>(Ref<UIViewController>(screen));
        auto key = screen->info()->profilekey();
        screenKey_ = key ? key->str() : std::string();
        since_ = now;
        gaveUp_ = false;
    }
    if (gaveUp_ || UITestDriver::topAlert() || UITestDriver::topSheet()) {
        return false; // something else is up to be answered
    }
    auto bar = screen->answerView();
    if (!leaveAlone && bar && !bar->isHidden() && bar->window()) {
        return false;
    }
    if (now - since_ < patience_ + ownTime(screen->info())) {
        return false;
    }
    auto header = screen->headerView();
    auto back = header ? header->backButton() : nullptr;
    if (!back || !UITestDriver::tapView(back)) {
        gaveUp_ = true; // no way out through the header
        return false;
    }
    step_ = Step::MenuOpen;
    return true;
}
