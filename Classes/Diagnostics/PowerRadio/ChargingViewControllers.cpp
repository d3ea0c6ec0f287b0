#include <Diagnostics/PowerRadio/ChargingViewControllers.h>

#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIImage.h>

NS_IMPLEMENT_CLASS(ACUsbPlugViewController, DXBaseViewController) {
    using A = ACUsbPlugViewController;
    b.property("label", &A::label, &A::setLabel, "weak");
    b.property("imageView", &A::imageView, &A::setImageView, "weak");
    b.property("passButton", &A::passButton, &A::setPassButton, "weak");
    b.method("onClick:", &A::onClick);
    b.classMethod("extraMessage", [] { return A::extraMessage(); });
}

NS_IMPLEMENT_CLASS(ComputerUSBPlugViewController, DXBaseViewController) {
    using C = ComputerUSBPlugViewController;
    b.property("label", &C::label, &C::setLabel, "weak");
    b.property("imageView", &C::imageView, &C::setImageView, "weak");
    b.property("tiplabel", &C::tiplabel, &C::setTiplabel, "weak");
    b.classMethod("extraMessage", [] { return C::extraMessage(); });
}

NS_IMPLEMENT_CLASS(WirelessChargingViewController, DXBaseViewController) {
    using W = WirelessChargingViewController;
    b.property("label", &W::label, &W::setLabel, "weak");
    b.property("question", &W::question, &W::setQuestion, "weak");
    b.classMethod("extraMessage", [] { return W::extraMessage(); });
}

namespace {

const bool layoutsRegistered = [] {
    using namespace dx_sensors;
    registerLayout("ACUsbPlugViewController", {{"labelTitle", Kind::Label},
                                               {"label", Kind::Label},
                                               {"imageView", Kind::Image},
                                               {"passButton", Kind::Button, true}});
    registerLayout(
        "ComputerUSBPlugViewController",
        {{"labelTitle", Kind::Label}, {"label", Kind::Label}, {"tiplabel", Kind::Label}, {"imageView", Kind::Image}});
    registerLayout("WirelessChargingViewController",
                   {{"labelTitle", Kind::Label}, {"label", Kind::Label}, {"question", Kind::Label}});
    return true;
}();

// Reads the battery state once: on external power (charging or full) passes. Monitoring goes off
// again whatever the answer.
template <class Screen>
void decideFromBatteryState(Screen* screen) {
    auto device = UIDevice::currentDevice();
    device->setBatteryMonitoringEnabled(true);
    UIDeviceBatteryState state = device->batteryState();
    device->setBatteryMonitoringEnabled(false);
    bool powered = state == UIDeviceBatteryStateCharging || state == UIDeviceBatteryStateFull;
    if (powered && screen->imageView()) {
        screen->imageView()->setImage(UIImage::imageNamed("icon_success_shape"_ns));
    }
    if (screen->info()) {
        screen->info()->setResult(powered ? DXTestResultPass : DXTestResultFail);
    }
    Weak<Screen> weak(screen);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(0.5 * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), [weak] {
                       if (auto self = weak.lock()) {
                           self->gotoResultView();
                       }
                   });
}

} // namespace

void ACUsbPlugViewController::viewDidLoad() {
    (void)layoutsRegistered;
    DXBaseViewController::viewDidLoad();
    hidenButtons(true);
    if (auto l = label()) {
        l->setText(DXLocalizedString("ROOTLIST_TITLE_AC_USB_PLUG_TEST"));
    }
    decideFromBatteryState(this);
}

void ACUsbPlugViewController::onClick(const id&) {
    NSLog("%@", isSingle() && isSingle()->boolValue() ? "unwindToRootView"_ns : "unwindToPreviousView"_ns);
}

void ACUsbPlugViewController::handleBatteryState() {
    bool powered = UIDevice::currentDevice()->batteryState() > UIDeviceBatteryStateUnplugged;
    if (imageView()) {
        imageView()->setImage(UIImage::imageNamed(powered ? "icon_success_shape"_ns : "icon_fail_shape"_ns));
    }
    if (info()) {
        info()->setResult(powered ? DXTestResultPass : DXTestResultFail);
    }
    auto item = NSMutableDictionary::dictionary();
    item->setObjectForKey("USB plug"_ns, "title"_ns);
    item->setObjectForKey(NSNumber::numberWithBool(powered), "result"_ns);
    setSubItemlist(NSArray::arrayWithObjects({item}));
    gotoResultView();
}

void ComputerUSBPlugViewController::viewDidLoad() {
    (void)layoutsRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("ROOTLIST_TITLE_COMPUTER_USB_PLUG_TEST"));
    }
    if (auto tip = tiplabel()) {
        tip->setText(DXLocalizedString("COMPUTER_USB_PLUG_TIPLABEL"));
    }
    hidenButtons(true);
    decideFromBatteryState(this);
}

void WirelessChargingViewController::viewDidLoad() {
    (void)layoutsRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto l = label()) {
        l->setText(DXLocalizedString("WIRELESS_CHARGING_LABEL"));
    }
    if (auto q = question()) {
        q->setText(DXLocalizedString("WIRELESS_CHARGING_QUESTION_LABEL"));
    }
    Weak<WirelessChargingViewController> weak(this);
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self || !self->info() || self->isCompleted()) {
            return;
        }
        self->info()->setResult(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });
}
