#include <Diagnostics/PowerRadio/JailBreakViewController.h>

#include "StationFile.h"

#include <Categorys/DXLocalizedString.h>
#include <Core/DXNavigationHeaderView.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>
#include <SystemInfo/SIJailbreak.h>
#include <UIKit/UIButton.h>

NS_IMPLEMENT_CLASS(JailBreakViewController, DXBaseViewController) {}

namespace {

const bool layoutRegistered = [] {
    dx_sensors::registerLayout("JailBreakViewController", {{"labelTitle", dx_sensors::Kind::Label}});
    return true;
}();

void showBackButton(JailBreakViewController* screen, bool shown) {
    auto header = screen->headerView();
    if (header && header->backButton()) {
        header->backButton()->setHidden(!shown);
    }
}

} // namespace

bool JailBreakViewController::detectJailbreak() {
    return SIJailbreak::isJailbroken();
}

bool JailBreakViewController::alreadyJailbreak() {
    auto override = dx_station::stationText("ROOT_DEVICE_IS_PASS", true);
    bool passBatch = override && override->str() == "True";
    return !detectJailbreak() || passBatch;
}

Ref<RXSignal> JailBreakViewController::disappear() {
    return rx_signalForSelector(Ref<NSObject>(this), "viewWillDisappear:")->mapReplace(NSNumber::numberWithBool(true));
}

void JailBreakViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_sensors::subItems({"Jailbreak test"}));
    hidenButtons(true);
}

void JailBreakViewController::viewWillAppear(bool animated) {
    DXBaseViewController::viewWillAppear(animated);
    showBackButton(this, false);
    if (auto title = labelTitle()) {
        title->setText(
            DXLocalizedString(detectJailbreak() ? "JAILBREAK_CONTROLLER_TITLE_YES" : "JAILBREAK_CONTROLLER_TITLE_NO"));
    }
    Weak<JailBreakViewController> weak(this);
    RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
        ->take(1)
        ->takeUntil(disappear())
        ->subscribeNext([weak](const id&) {
            auto self = weak.lock();
            if (!self || self->isCompleted() || !self->info()) {
                return;
            }
            self->info()->setResult(alreadyJailbreak() ? DXTestResultPass : DXTestResultFail);
            showBackButton(self.get(), true);
            self->gotoResultView();
        });
}
