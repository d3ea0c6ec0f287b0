#include <Diagnostics/PowerRadio/DeviceInfoViewController.h>

#include "StationFile.h"

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Foundation/NSFileManager.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>
#include <Shell/BrindleHttpClient.h>

#include <cmath>

NS_IMPLEMENT_CLASS(DeviceInfoViewController, DXBaseViewController) {
    using D = DeviceInfoViewController;
    b.property("modelLabel", &D::modelLabel, &D::setModelLabel, "weak");
    b.property("modelValue", &D::modelValue, &D::setModelValue, "weak");
    b.property("capacitylLabel", &D::capacitylLabel, &D::setCapacitylLabel, "weak");
    b.property("capacitylValue", &D::capacitylValue, &D::setCapacitylValue, "weak");
    b.property("imei", &D::imei, &D::setImei, "weak");
    b.property("question", &D::question, &D::setQuestion, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("DeviceInfoViewController", {{"labelTitle", Kind::Label},
                                                {"modelLabel", Kind::Label},
                                                {"modelValue", Kind::Label},
                                                {"capacitylLabel", Kind::Label},
                                                {"capacitylValue", Kind::Label},
                                                {"imei", Kind::Label},
                                                {"question", Kind::Label}});
    return true;
}();

} // namespace

Ref<NSString> DeviceInfoViewController::getIMEI() {
    auto imei = dx_station::stationText("VT_IMEI", true);
    return imei ? imei : NSString::string();
}

Ref<NSString> DeviceInfoViewController::capacityText(double gibibytes) {
    auto band = BrindleHttpClient::storageBandForSize(gibibytes);
    if (band->str() != "0GB" || !std::isfinite(gibibytes)) {
        return band;
    }
    return NSString::stringWithFormat("%lldGB", static_cast<long long>(std::llround(gibibytes)));
}

void DeviceInfoViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    hidenButtons(false);
    auto set = [](const Ref<UILabel>& label, const Ref<NSString>& text) {
        if (label) {
            label->setText(text);
        }
    };
    set(labelTitle(), DXLocalizedString("DEVICE_INFO_TITLE"));
    set(question(), DXLocalizedString("DEVICE_INFO_QUESTION"));
    set(modelLabel(), DXLocalizedString("DEVICE_INFO_MODEL"));
    set(capacitylLabel(), DXLocalizedString("DEVICE_INFO_CAPACITY"));
    set(modelValue(), DXUtility::deviceVersion());
    auto attributes = NSFileManager::defaultManager()->attributesOfFileSystemForPathError(NSHomeDirectory(), nullptr);
    auto size = attributes ? cast<NSNumber>(attributes->objectForKey(NSFileSystemSize())) : nullptr;
    set(capacitylValue(), capacityText(size ? std::ldexp(size->doubleValue(), -30) : 0));
    set(imei(), NSString::stringWithFormat("%@", getIMEI()));

    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([](const id&) {});
    Weak<DeviceInfoViewController> weak(this);
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self || !self->info() || self->isCompleted()) {
            return;
        }
        self->info()->setResult(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });
}
