#include <Diagnostics/PowerRadio/RFTestViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Core/DXNavigationHeaderView.h>
#include <CoreTelephony/CTTelephonyNetworkInfo.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIDevice.h>
#include <UISupport/STProgressHUD.h>

NS_IMPLEMENT_CLASS(RFTestViewController, DXBaseViewController) {
    using R = RFTestViewController;
    b.property("carrier", &R::carrier, &R::setCarrier, "weak");
    b.property("newtworkType", &R::newtworkType, &R::setNewtworkType, "weak");
    b.property("signalStrength", &R::signalStrength, &R::setSignalStrength, "weak");
    b.property("question", &R::question, &R::setQuestion, "weak");
    b.classMethod("isSupport", [] { return R::isSupport(); });
    b.classMethod("extraMessage", [] { return R::extraMessage(); });
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("RFTestViewController", {{"labelTitle", Kind::Label},
                                            {"carrier", Kind::Label},
                                            {"newtworkType", Kind::Label},
                                            {"signalStrength", Kind::Label, true},
                                            {"question", Kind::Label, true}});
    return true;
}();

float systemVersion() {
    auto version = UIDevice::currentDevice()->systemVersion();
    return version ? version->floatValue() : 0;
}

Ref<NSString> technologyText(const Ref<CTTelephonyNetworkInfo>& info) {
    auto technology = info->currentRadioAccessTechnology();
    return technology ? technology->stringByReplacingOccurrencesOfStringWithString("CTRadioAccessTechnology"_ns,
                                                                                   NSString::string())
                      : NSString::string();
}

// The strength line's text filled with `value`; "dbm" reads "bars" when asked.
Ref<NSString> strengthLine(const Ref<NSString>& value, bool bars) {
    auto format = DXLocalizedString("RFTEST_CONTROLLER_NETWORK_STRENGTH");
    if (bars) {
        format = format->stringByReplacingOccurrencesOfStringWithString("dbm"_ns, "bars"_ns);
    }
    return NSString::from(NSFormat(format->str(), {value}));
}

void setLine(const Ref<UILabel>& label, const char* key, const Ref<NSString>& value) {
    if (label) {
        label->setText(DXLocalizedStringWithArguments(NSString::from(key), {value ? value : NSString::string()}));
    }
}

} // namespace

Ref<NSNumber> RFTestViewController::isSupport() {
    auto provider = make<CTTelephonyNetworkInfo>()->subscriberCellularProvider();
    bool named = provider && provider->carrierName() && provider->carrierName()->length() > 0;
    return NSNumber::numberWithBool(named);
}

id RFTestViewController::extraMessage() {
    return make<CTTelephonyNetworkInfo>()->subscriberCellularProvider()
               ? nullptr
               : id(DXLocalizedString("RFTEST_CONTROLLER_WARRING"));
}

Ref<RXSignal> RFTestViewController::disappear() {
    return rx_signalForSelector(Ref<NSObject>(this), "viewWillDisappear:")->mapReplace(NSNumber::numberWithBool(true));
}

bool RFTestViewController::hasSimCard() {
    return make<CTTelephonyNetworkInfo>()->currentRadioAccessTechnology() != nullptr;
}

NSInteger RFTestViewController::getSignalStrength() {
    NSLog("Get Signal Strength");
    NSInteger reading = 0;
    try {
        auto statusBar = UIApplication::sharedApplication()->valueForKeyPath("statusBar"_ns);
        auto foreground = statusBar ? cast<UIView>(statusBar->valueForKeyPath("foregroundView"_ns)) : nullptr;
        auto subviews = foreground ? foreground->subviews() : nullptr;
        Class itemClass = NSClassFromString("UIStatusBarSignalStrengthItemView"_ns);
        if (subviews && itemClass) {
            for (const id& view : *subviews) {
                if (view->isKindOfClass(itemClass)) {
                    auto key = systemVersion() >= 11.0f ? "signalStrengthBars"_ns : "signalStrengthRaw"_ns;
                    auto value = cast<NSNumber>(view->valueForKey(key));
                    reading = value ? value->integerValue() : 0;
                    break;
                }
            }
        }
    } catch (const std::exception&) {
        return 0;
    }
    auto text = NSString::stringWithFormat("%ld", static_cast<long>(reading));
    if (reading < 0) {
        NSLog("dbm: %@", text);
    }
    if (auto line = signalStrength()) {
        line->setText(strengthLine(text, reading >= 0 && systemVersion() >= 11.0f));
    }
    refreshInfoWithSignal(text);
    return reading;
}

NSInteger RFTestViewController::fetchSignalBarsForiPhoneX() {
    NSInteger reading = 0;
    try {
        // The newer status bar's items; a system without them raises, which reads as 0.
        auto items = UIApplication::sharedApplication()->valueForKeyPath("statusBar.statusBar.items"_ns);
        (void)items;
    } catch (const std::exception&) {
        return 0;
    }
    Ref<NSString> text;
    if (reading < 0 || hasSimCard()) {
        text = NSString::stringWithFormat("%ld", static_cast<long>(reading));
        if (auto line = signalStrength()) {
            line->setText(strengthLine(text, reading >= 0 && systemVersion() >= 11.0f));
        }
    } else {
        text = NSString::string();
        if (auto line = signalStrength()) {
            line->setText(strengthLine("0"_ns, systemVersion() >= 11.0f));
        }
    }
    refreshInfoWithSignal(text);
    return reading;
}

void RFTestViewController::getSignal() {
    if (getSignalStrength() < 1) {
        fetchSignalBarsForiPhoneX();
    }
}

void RFTestViewController::refreshInfoWithSignal(const Ref<NSString>& signal) {
    auto info = make<CTTelephonyNetworkInfo>();
    if (info->currentRadioAccessTechnology()) {
        setLine(newtworkType(), "RFTEST_CONTROLLER_NETWORK_TYPE", technologyText(info));
        auto provider = info->subscriberCellularProvider();
        bool zero = signal && signal->str() == "0";
        setLine(carrier(), "RFTEST_CONTROLLER_CARRIER",
                zero || !provider ? NSString::string() : provider->carrierName());
        if (auto line = signalStrength()) {
            line->setHidden(false);
        }
    } else {
        setLine(newtworkType(), "RFTEST_CONTROLLER_NETWORK_TYPE", NSString::string());
        setLine(carrier(), "RFTEST_CONTROLLER_CARRIER", NSString::string());
        if (auto line = signalStrength()) {
            line->setHidden(true);
        }
    }
}

void RFTestViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_sensors::subItems({"RF test"}));
    Weak<RFTestViewController> weak(this);
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self || !self->info() || self->isCompleted()) {
            return;
        }
        self->info()->setResult(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([](const id& value) {
        if (!unbox<bool>(value)) {
            STProgressHUD::dismiss();
        }
    });
    setLine(carrier(), "RFTEST_CONTROLLER_CARRIER", NSString::string());
    setLine(newtworkType(), "RFTEST_CONTROLLER_NETWORK_TYPE", NSString::string());
    if (auto line = signalStrength()) {
        auto format = DXLocalizedString("RFTEST_CONTROLLER_NETWORK_STRENGTH")
                          ->stringByReplacingOccurrencesOfStringWithString("dbm"_ns, NSString::string());
        line->setText(NSString::from(NSFormat(format->str(), {NSString::string()})));
    }
    if (auto q = question()) {
        q->setText(DXLocalizedString("RFTEST_CONTROLLER_ANSWER"));
        q->setHidden(true);
    }
    hidenButtons(true);

    auto info = make<CTTelephonyNetworkInfo>();
    auto provider = info->subscriberCellularProvider();
    auto technology = technologyText(info);
    NSInteger reading = getSignalStrength();
    if (reading <= 0) {
        reading = fetchSignalBarsForiPhoneX();
    }
    if (reading > 0 && signalStrength()) {
        signalStrength()->setHidden(false);
    }
    auto code = provider ? provider->mobileNetworkCode() : nullptr;
    if (provider && code && code->length() > 0 && technology->length() > 0) {
        hidenButtons(false);
        if (auto q = question()) {
            q->setHidden(false);
        }
        setIsDone(true);
        setLine(carrier(), "RFTEST_CONTROLLER_CARRIER", provider->carrierName());
        setLine(newtworkType(), "RFTEST_CONTROLLER_NETWORK_TYPE", technology);
        setUpdateSignalStrengthTimer(
            NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(3.0, true, [weak](const Ref<NSTimer>&) {
                if (auto self = weak.lock()) {
                    self->getSignal();
                }
            }));
        dx_sensors::markSubItem(subItemlist(), 0, DXTestResultPass);
    } else {
        setIsDone(false);
        dx_sensors::markSubItem(subItemlist(), 0, DXTestResultFail);
    }
}

void RFTestViewController::viewWillAppear(bool animated) {
    DXBaseViewController::viewWillAppear(animated);
    Weak<RFTestViewController> weak(this);
    disappear()->take(1)->subscribeNext([weak](const id&) {
        if (auto self = weak.lock()) {
            self->setEnterBackgound(true);
            if (auto timer = self->updateSignalStrengthTimer()) {
                timer->invalidate();
            }
        }
    });
    STProgressHUD::showWithStatus(DXLocalizedString("PROGRESSHUD_MONITORING"));
    RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
        ->take(1)
        ->takeUntil(disappear())
        ->subscribeNext([weak](const id&) {
            auto self = weak.lock();
            if (!self || self->isCompleted()) {
                return;
            }
            if (auto header = self->headerView(); header && header->backButton()) {
                header->backButton()->setHidden(false);
            }
            if (self->enterBackgound()) {
                return; // back after leaving: the operator's answer decides, whatever came before
            }
            if (self->isDone()) {
                STProgressHUD::dismiss();
                return; // the operator's answer writes the result
            }
            STProgressHUD::showErrorWithStatus(DXLocalizedString("PROGRESSHUD_FAIL"));
            if (self->info()) {
                self->info()->setResult(DXTestResultFail);
            }
            self->gotoResultView();
        });
}
