#include <Diagnostics/CameraDisplay/WhiteBalanceViewController.h>

#include "CameraLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIDevice.h>

#include <cmath>

NS_IMPLEMENT_CLASS(WhiteBalanceViewController, CameraPictureViewController) {
    using W = WhiteBalanceViewController;
    b.property("manualHUDWhiteBalanceView", &W::manualHUDWhiteBalanceView, &W::setManualHUDWhiteBalanceView, "weak");
    b.property("whiteBalanceModeControl", &W::whiteBalanceModeControl, &W::setWhiteBalanceModeControl, "weak");
    b.property("temperatureSlider", &W::temperatureSlider, &W::setTemperatureSlider, "weak");
    b.property("tintSlider", &W::tintSlider, &W::setTintSlider, "weak");
    b.property("temperatureNameLabel", &W::temperatureNameLabel, &W::setTemperatureNameLabel, "weak");
    b.property("temperatureValueLabel", &W::temperatureValueLabel, &W::setTemperatureValueLabel, "weak");
    b.property("tintNameLabel", &W::tintNameLabel, &W::setTintNameLabel, "weak");
    b.property("tintValueLabel", &W::tintValueLabel, &W::setTintValueLabel, "weak");
    b.property("modeLabel", &W::modeLabel, &W::setModeLabel, "weak");
    b.property("whiteBalanceModes", &W::whiteBalanceModes, &W::setWhiteBalanceModes);
    b.method("changeWhiteBalanceMode:", &W::changeWhiteBalanceMode);
    b.method("changeTemperature:", &W::changeTemperature);
    b.method("changeTint:", &W::changeTint);
    b.method("sliderTouchBegan:", &W::sliderTouchBegan);
    b.method("sliderTouchEnded:", &W::sliderTouchEnded);
    b.classMethod("isSupport", [] { return WhiteBalanceViewController::isSupport(); });
}

namespace {

// The two observation contexts: unique addresses.
char modeContext;
char gainsContext;

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("WhiteBalanceViewController",
                   {{"testTitle", Kind::Label},
                    {"previewImageView", Kind::Picture},
                    {"waitProgress", Kind::Activity, true},
                    {"manualHUDWhiteBalanceView", Kind::Panel},
                    {"modeLabel", Kind::Label, false, "manualHUDWhiteBalanceView"},
                    {"whiteBalanceModeControl", Kind::Segmented, false, "manualHUDWhiteBalanceView"},
                    {"temperatureNameLabel", Kind::Label, false, "manualHUDWhiteBalanceView"},
                    {"temperatureSlider", Kind::Slider, false, "manualHUDWhiteBalanceView"},
                    {"temperatureValueLabel", Kind::Label, false, "manualHUDWhiteBalanceView"},
                    {"tintNameLabel", Kind::Label, false, "manualHUDWhiteBalanceView"},
                    {"tintSlider", Kind::Slider, false, "manualHUDWhiteBalanceView"},
                    {"tintValueLabel", Kind::Label, false, "manualHUDWhiteBalanceView"},
                    // Retake shows while the panel is hidden: in its place, right under the picture.
                    {"retakeButton", Kind::Button, true, {}, Slot::InPlaceOfPrevious},
                    {"captureButton", Kind::Button}});
    return true;
}();

Ref<NSString> intText(double value) {
    return NSString::stringWithFormat("%i", static_cast<int>(std::trunc(value)));
}

} // namespace

Ref<NSNumber> WhiteBalanceViewController::isSupport() {
    auto version = UIDevice::currentDevice()->systemVersion();
    return NSNumber::numberWithBool(version && version->floatValue() >= 8.0f);
}

Ref<NSString> WhiteBalanceViewController::instruction() const {
    return DXLocalizedString("WHITE_BALANCE_ACTION");
}

Ref<NSString> WhiteBalanceViewController::question() const {
    return DXLocalizedString("WHITE_BALANCE_QUESTION");
}

void WhiteBalanceViewController::viewDidLoad() {
    (void)layoutRegistered;
    CameraPictureViewController::viewDidLoad();
    auto control = whiteBalanceModeControl();
    if (control) {
        control->setTintColor(UIColor::yellowColor());
        control->setTitleForSegmentAtIndex(DXLocalizedString("WHITE_BALANCE_MODE_AUTO"), 0);
        control->setTitleForSegmentAtIndex(DXLocalizedString("WHITE_BALANCE_MODE_LOCKED"), 1);
        control->addTargetActionForControlEvents(Ref<NSObject>(this),
                                                 "changeWhiteBalanceMode:", UIControlEventValueChanged);
    }
    if (auto title = testTitle()) {
        title->setFont(UIFont::systemFontOfSize(15));
        setOrignalFont(title->font());
    }
    if (auto l = temperatureNameLabel()) {
        l->setText(DXLocalizedString("WHITE_BALANCE_TEMPERATURE"));
    }
    if (auto l = tintNameLabel()) {
        l->setText(DXLocalizedString("WHITE_BALANCE_TINT"));
    }
    if (auto l = modeLabel()) {
        l->setText(DXLocalizedString("WHITE_BALANCE_MODE"));
    }
    if (auto panel = manualHUDWhiteBalanceView()) {
        panel->setHidden(true);
    }
    setWhiteBalanceModes(NSArray::arrayWithObjects({NSNumber::numberWithInteger(2), NSNumber::numberWithInteger(0)}));
    if (auto capture = captureButton()) {
        capture->setEnabled(false);
    }
    for (auto [slider, action] :
         {std::pair{temperatureSlider(), "changeTemperature:"}, {tintSlider(), "changeTint:"}}) {
        if (slider) {
            slider->addTargetActionForControlEvents(Ref<NSObject>(this), action, UIControlEventValueChanged);
            slider->addTargetActionForControlEvents(Ref<NSObject>(this), "sliderTouchBegan:", UIControlEventTouchDown);
            slider->addTargetActionForControlEvents(
                Ref<NSObject>(this), "sliderTouchEnded:", UIControlEventTouchUpInside | UIControlEventTouchUpOutside);
        }
    }
    Weak<WhiteBalanceViewController> weak(this);
    rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(), AVCaptureSessionDidStartRunningNotification(),
                                nullptr)
        ->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))
        ->subscribeNext([weak](const id&) {
            dispatch_async(dispatch_get_main_queue(), [weak] {
                auto self = weak.lock();
                if (!self) {
                    return;
                }
                if (auto capture = self->captureButton()) {
                    capture->setEnabled(true);
                }
                if (auto spinner = self->waitProgress()) {
                    spinner->setHidden(true);
                }
                self->hidenButtons(true);
            });
        });
}

void WhiteBalanceViewController::willMakeInputForDevice(const Ref<AVCaptureDevice>& camera) {
    // The panel made ready for the camera between its look-up and its input.
    setDevice(camera);
    if (auto panel = manualHUDWhiteBalanceView()) {
        panel->setHidden(false);
    }
    auto control = whiteBalanceModeControl();
    auto modes = whiteBalanceModes();
    if (control) {
        control->setSelectedSegmentIndex(0);
        for (NSUInteger i = 0; modes && i < modes->count() && i < control->numberOfSegments(); ++i) {
            auto mode = static_cast<AVCaptureWhiteBalanceMode>(unbox<NSInteger>(modes->objectAtIndex(i)));
            control->setEnabledForSegmentAtIndex(camera && camera->isWhiteBalanceModeSupported(mode), i);
        }
    }
    if (auto s = temperatureSlider()) {
        s->setMinimumValue(3000);
        s->setMaximumValue(8000);
    }
    if (auto s = tintSlider()) {
        s->setMinimumValue(-150);
        s->setMaximumValue(150);
    }
    bool locked = camera && camera->whiteBalanceMode() == AVCaptureWhiteBalanceModeLocked;
    if (camera) {
        showGains(camera->deviceWhiteBalanceGains());
    }
    if (auto s = temperatureSlider()) {
        s->setEnabled(locked);
    }
    if (auto s = tintSlider()) {
        s->setEnabled(locked);
    }
    if (control) {
        changeWhiteBalanceMode(control);
    }
    addObservers();
}

NSInteger WhiteBalanceViewController::segmentOfMode(NSInteger mode) const {
    auto modes = whiteBalanceModes();
    for (NSUInteger i = 0; modes && i < modes->count(); ++i) {
        if (unbox<NSInteger>(modes->objectAtIndex(i)) == mode) {
            return static_cast<NSInteger>(i);
        }
    }
    return NSNotFound;
}

void WhiteBalanceViewController::showGains(AVCaptureWhiteBalanceGains gains) {
    auto camera = device();
    if (!camera) {
        return;
    }
    auto values = camera->temperatureAndTintValuesForDeviceWhiteBalanceGains(gains);
    if (auto s = temperatureSlider()) {
        s->setValue(values.temperature);
    }
    if (auto s = tintSlider()) {
        s->setValue(values.tint);
    }
    if (auto l = temperatureValueLabel()) {
        l->setText(intText(values.temperature));
    }
    if (auto l = tintValueLabel()) {
        l->setText(intText(values.tint));
    }
}

void WhiteBalanceViewController::changeWhiteBalanceMode(const id& sender) {
    auto control = cast<UISegmentedControl>(sender);
    auto camera = device();
    auto modes = whiteBalanceModes();
    if (!control || !camera || !modes) {
        return;
    }
    NSInteger index = control->selectedSegmentIndex();
    if (index < 0 || static_cast<NSUInteger>(index) >= modes->count()) {
        NSLog("no white balance mode at segment %ld", static_cast<long>(index));
        return;
    }
    auto mode =
        static_cast<AVCaptureWhiteBalanceMode>(unbox<NSInteger>(modes->objectAtIndex(static_cast<NSUInteger>(index))));
    Ref<NSError> error;
    if (!camera->lockForConfiguration(&error)) {
        NSLog("Could not lock device for configuration: %@", error);
        return;
    }
    if (camera->isWhiteBalanceModeSupported(mode)) {
        camera->setWhiteBalanceMode(mode);
    } else {
        NSInteger current = segmentOfMode(camera->whiteBalanceMode());
        if (current != NSNotFound) {
            control->setSelectedSegmentIndex(current);
        }
    }
    camera->unlockForConfiguration();
}

void WhiteBalanceViewController::changeTemperature(const id&) {
    auto t = temperatureSlider();
    auto n = tintSlider();
    if (!t || !n || !device()) {
        return;
    }
    if (auto l = temperatureValueLabel()) {
        l->setText(intText(t->value()));
    }
    setWhiteBalanceGains(device()->deviceWhiteBalanceGainsForTemperatureAndTintValues({t->value(), n->value()}));
}

void WhiteBalanceViewController::changeTint(const id&) {
    auto t = temperatureSlider();
    auto n = tintSlider();
    if (!t || !n || !device()) {
        return;
    }
    if (auto l = tintValueLabel()) {
        l->setText(intText(n->value()));
    }
    setWhiteBalanceGains(device()->deviceWhiteBalanceGainsForTemperatureAndTintValues({t->value(), n->value()}));
}

void WhiteBalanceViewController::sliderTouchBegan(const id& slider) {
    setSliderHighlightColor(cast<UISlider>(slider), UIColor::colorWithRedGreenBlueAlpha(0, 122.0 / 255.0, 1.0, 1.0));
}

void WhiteBalanceViewController::sliderTouchEnded(const id& slider) {
    setSliderHighlightColor(cast<UISlider>(slider), UIColor::yellowColor());
}

void WhiteBalanceViewController::setSliderHighlightColor(const Ref<UISlider>& slider, const Ref<UIColor>& color) {
    if (!slider) {
        return;
    }
    slider->setTintColor(color);
    if (slider == temperatureSlider()) {
        if (auto l = temperatureValueLabel()) {
            l->setTextColor(slider->tintColor());
        }
        if (auto l = temperatureNameLabel()) {
            l->setTextColor(slider->tintColor());
        }
    } else if (slider == tintSlider()) {
        if (auto l = tintValueLabel()) {
            l->setTextColor(slider->tintColor());
        }
        if (auto l = tintNameLabel()) {
            l->setTextColor(slider->tintColor());
        }
    }
}

AVCaptureWhiteBalanceGains WhiteBalanceViewController::normalizedGains(AVCaptureWhiteBalanceGains gains) const {
    float max = device() ? device()->maxWhiteBalanceGain() : 1.0f;
    auto clamp = [max](float g) { return std::min(std::max(g, 1.0f), max); };
    // NaN falls to 1.0: the setter would refuse it.
    auto safe = [&](float g) { return std::isfinite(g) ? clamp(g) : 1.0f; };
    return {safe(gains.redGain), safe(gains.greenGain), safe(gains.blueGain)};
}

void WhiteBalanceViewController::setWhiteBalanceGains(AVCaptureWhiteBalanceGains gains) {
    auto camera = device();
    if (!camera) {
        return;
    }
    Ref<NSError> error;
    if (!camera->lockForConfiguration(&error)) {
        NSLog("Could not lock device for configuration: %@", error);
        return;
    }
    if (camera->isWhiteBalanceModeSupported(AVCaptureWhiteBalanceModeLocked)) {
        camera->setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler(normalizedGains(gains), nullptr);
    }
    camera->unlockForConfiguration();
}

void WhiteBalanceViewController::addObservers() {
    NSLog("addObservers");
    if (observing_) {
        return;
    }
    addObserverForKeyPathOptionsContext(this, "device.whiteBalanceMode"_ns,
                                        NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, &modeContext);
    addObserverForKeyPathOptionsContext(this, "device.deviceWhiteBalanceGains"_ns, NSKeyValueObservingOptionNew,
                                        &gainsContext);
    observing_ = true;
}

void WhiteBalanceViewController::removeObservers() {
    NSLog("removeObservers");
    NSNotificationCenter::defaultCenter()->removeObserver(Ref<NSObject>(this));
    if (!observing_) {
        return;
    }
    observing_ = false;
    removeObserverForKeyPathContext(this, "device.whiteBalanceMode"_ns, &modeContext);
    removeObserverForKeyPathContext(this, "device.deviceWhiteBalanceGains"_ns, &gainsContext);
}

void WhiteBalanceViewController::observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath,
                                                                             const id& object,
                                                                             const Ref<NSDictionary>& change,
                                                                             void* context) {
    id value = change ? change->objectForKey(NSKeyValueChangeNewKey()) : nullptr;
    bool present = value && !cast<NSNull>(value);
    Weak<WhiteBalanceViewController> weak(this);
    if (context == &modeContext) {
        if (!present) {
            return;
        }
        NSInteger mode = unbox<NSInteger>(value);
        dispatch_async(dispatch_get_main_queue(), [weak, mode] {
            auto self = weak.lock();
            if (!self) {
                return;
            }
            NSInteger segment = self->segmentOfMode(mode);
            if (auto control = self->whiteBalanceModeControl(); control && segment != NSNotFound) {
                control->setSelectedSegmentIndex(segment);
            }
            bool locked = mode == AVCaptureWhiteBalanceModeLocked;
            if (auto s = self->temperatureSlider()) {
                s->setEnabled(locked);
            }
            if (auto s = self->tintSlider()) {
                s->setEnabled(locked);
            }
        });
        return;
    }
    if (context == &gainsContext) {
        auto camera = device();
        auto boxed = cast<NSValue>(value);
        if (!present || !boxed || !camera || camera->whiteBalanceMode() == AVCaptureWhiteBalanceModeLocked) {
            return;
        }
        AVCaptureWhiteBalanceGains gains;
        if (!boxed->getValue(gains)) {
            return;
        }
        dispatch_async(dispatch_get_main_queue(), [weak, gains] {
            auto self = weak.lock();
            if (self && self->device() && self->device()->whiteBalanceMode() != AVCaptureWhiteBalanceModeLocked) {
                self->showGains(gains);
            }
        });
        return;
    }
    CameraPictureViewController::observeValueForKeyPathOfObjectChangeContext(keyPath, object, change, context);
}

void WhiteBalanceViewController::willTakePicture() {
    if (auto panel = manualHUDWhiteBalanceView()) {
        panel->setHidden(true);
    }
}

void WhiteBalanceViewController::didShowPicture() {
    if (auto panel = manualHUDWhiteBalanceView()) {
        panel->setHidden(true);
    }
    try {
        removeObservers();
    } catch (const NSException&) {
        // Already removed.
    }
}

void WhiteBalanceViewController::retake() {
    if (auto panel = manualHUDWhiteBalanceView()) {
        panel->setHidden(false);
    }
    CameraPictureViewController::retake();
}

void WhiteBalanceViewController::willDealloc() {
    try {
        removeObservers();
    } catch (const NSException&) {
    }
    CameraPictureViewController::willDealloc();
}
