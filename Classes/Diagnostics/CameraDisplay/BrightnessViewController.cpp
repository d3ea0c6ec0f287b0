#include <Diagnostics/CameraDisplay/BrightnessViewController.h>

#include "CameraLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(BrightnessViewController, DXBaseViewController) {
    using B = BrightnessViewController;
    b.property("brightnessValue", &B::brightnessValue, &B::setBrightnessValue);
    b.property("orgin_value", &B::orgin_value, &B::setOrgin_value);
    b.property("direction", &B::direction, &B::setDirection);
    b.property("labelTips", &B::labelTips, &B::setLabelTips, "weak");
    b.property("progressLabel", &B::progressLabel, &B::setProgressLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("BrightnessViewController",
                   {{"labelTitle", Kind::Label}, {"labelTips", Kind::Label}, {"progressLabel", Kind::Label}});
    return true;
}();

} // namespace

void BrightnessViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto tips = labelTips()) {
        tips->setText(DXLocalizedString("LCD_BACKLIGHT_CONTROLLER_ANSWER"));
    }
    setSubItemlist(dx_camera::subItems({"LCD Backlight"}));
    setDirection(true);
    setOrgin_value(UIScreen::mainScreen()->brightness());
    bool decoy = info() && info()->fakeTest();

    Weak<BrightnessViewController> weak(this);
    choose()->subscribeNext([weak, decoy](const id& value) {
        auto self = weak.lock();
        if (!self || self->isCompleted()) {
            return;
        }
        bool yes = unbox<bool>(value);
        NSInteger result = (yes != decoy) ? DXTestResultPass : DXTestResultFail;
        if (self->info()) {
            self->info()->setResult(result);
        }
        // The sub-item keeps the answer itself; only the record's result is inverted on a decoy.
        dx_camera::markSubItem(self->subItemlist(), 0, yes ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });
    if (decoy) {
        return;
    }
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (self && !unbox<bool>(value)) {
            UIScreen::mainScreen()->setBrightness(self->orgin_value());
        }
    });
    setBrightnessValue(0);
    Ref<NSObject> me(this);
    auto stop = RXSignal::merge(std::vector<Ref<RXSignal>>{rx_signalForSelector(me, "fail:"),
                                                           rx_signalForSelector(me, "success:"),
                                                           rx_willDeallocSignal(me), disappear()});
    RXSignal::intervalOnScheduler(0.1, RXScheduler::mainThreadScheduler())
        ->takeUntil(stop)
        ->subscribeNextCompleted(
            [weak](const id&) {
                if (auto self = weak.lock()) {
                    self->sweepTick();
                }
            },
            [] { NSLog("finish."); });
}

void BrightnessViewController::sweepTick() {
    double value = brightnessValue();
    if (direction()) {
        if (value < 100) {
            value += 10;
        } else {
            setDirection(false);
        }
    } else {
        if (value > 0) {
            value -= 10;
        } else {
            setDirection(true);
        }
    }
    setBrightnessValue(value);
    NSLog("brightness value = %f", value);
    UIScreen::mainScreen()->setBrightness(value / 100.0);
    if (auto label = progressLabel()) {
        label->setText(DXLocalizedStringWithArguments("BRIGHTNESS_CONTROLLER_LEVEL"_ns,
                                                      {static_cast<long>(static_cast<int>(value))}));
    }
}
