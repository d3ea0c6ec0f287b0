#include <Diagnostics/PowerRadio/MakeCallViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSURL.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UILocalNotification.h>

#include <regex>

NS_IMPLEMENT_CLASS(MakeCallViewController, DXBaseViewController) {
    using M = MakeCallViewController;
    b.property("tipLabel", &M::tipLabel, &M::setTipLabel, "weak");
    b.property("callprogressLabel", &M::callprogressLabel, &M::setCallprogressLabel, "weak");
    b.property("number", &M::number, &M::setNumber, "weak");
    b.property("callButton", &M::callButton, &M::setCallButton, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("MakeCallViewController",
                   {{"labelTitle", Kind::Label}, {"tipLabel", Kind::Label, true}, {"callprogressLabel", Kind::Label}});
    return true;
}();

void afterOnMain(double seconds, std::function<void()> work) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), std::move(work));
}

} // namespace

Ref<NSString> MakeCallViewController::dialableNumber(const Ref<DXTestModel>& record) {
    auto params = record ? record->params() : nullptr;
    id extra = params ? params->objectForKey("extra"_ns) : nullptr;
    auto extras = cast<NSDictionary>(extra);
    if (extra && !extras) {
        return nullptr; // a profile that gives anything but a dictionary there is broken
    }
    id given = extras ? extras->objectForKey("liveCallNum"_ns) : nullptr;
    auto text = cast<NSString>(given);
    if (!given || (text && text->length() == 0)) {
        return NSString::from(kDefaultNumber);
    }
    static const std::regex dialable(R"(\+?[0-9*#]{3,20})");
    if (!text || !std::regex_match(text->str(), dialable)) {
        return nullptr;
    }
    return text;
}

void MakeCallViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    hidenButtons(true);
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("ROOTLIST_TITLE_LIVECALL"));
    }
    if (auto tip = tipLabel()) {
        tip->setText(DXLocalizedString("LIVECALL_CONTROLLER_QUESTION"));
    }
    if (auto progress = callprogressLabel()) {
        progress->setText(NSString::string());
    }
    Weak<MakeCallViewController> weak(this);
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self || !self->info() || self->isCompleted()) {
            return;
        }
        self->info()->setResult(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });

    auto number = dialableNumber(info());
    if (!number) {
        NSLog("The test profile's number cannot be dialled: the call test fails.");
        // Ends once the screen is in place, as the plug tests do.
        afterOnMain(0.5, [weak] {
            auto self = weak.lock();
            if (self && self->info() && !self->isCompleted()) {
                self->info()->setResult(DXTestResultFail);
                self->gotoResultView();
            }
        });
        return;
    }
    auto version = UIDevice::currentDevice()->systemVersion();
    if (version && version->floatValue() >= 8.0f) {
        if (auto progress = callprogressLabel()) {
            progress->setHidden(true);
        }
        afterOnMain(0.1, [weak, number] {
            if (auto self = weak.lock()) {
                self->makeCallWithNumber(number);
            }
        });
        return;
    }
    // Older systems: a count-down, then a notification to come back with, then the call.
    NSInteger length = info() ? info()->waitingTime() : -1;
    length = length == -1 ? 3 : std::max<NSInteger>(length, 1);
    if (auto progress = callprogressLabel()) {
        progress->setHidden(false);
    }
    auto count = std::make_shared<NSInteger>(length);
    RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
        ->take(static_cast<NSUInteger>(length + 1))
        ->takeUntil(disappear())
        ->subscribeNextErrorCompleted(
            [weak, count, number](const id&) {
                auto self = weak.lock();
                if (!self || *count <= 0) {
                    return;
                }
                if (auto progress = self->callprogressLabel()) {
                    progress->setText(DXLocalizedStringWithArguments("LIVECALL_CONTROLLER_CALLPROGRESS"_ns,
                                                                     {number, static_cast<long>(*count)}));
                }
                --*count;
            },
            [](const Ref<NSError>&) {},
            [weak, count, number] {
                auto self = weak.lock();
                if (!self || self->isCompleted()) {
                    return;
                }
                if (*count > 0) {
                    NSLog("has exit.");
                    if (self->info()) {
                        self->info()->setResult(DXTestResultFail);
                    }
                    self->gotoResultView();
                    return;
                }
                auto notification = make<UILocalNotification>();
                notification->setFireDate(NSDate::dateWithTimeIntervalSinceNow(1.0));
                notification->setAlertBody(
                    DXLocalizedStringWithArguments("HOMEKEY_CONTROLLER_NOTIFICATION"_ns, {"Celvix"_ns}));
                UIApplication::sharedApplication()->scheduleLocalNotification(notification);
                afterOnMain(0.1, [weak, number] {
                    if (auto again = weak.lock()) {
                        again->makeCallWithNumber(number);
                    }
                });
            });
}

void MakeCallViewController::makeCallWithNumber(const Ref<NSString>& number) {
    if (auto tip = tipLabel()) {
        tip->setHidden(false);
    }
    if (auto progress = callprogressLabel()) {
        progress->setHidden(true);
    }
    hidenButtons(false);
    auto url = NSURL::URLWithString(NSString::stringWithFormat("tel://%@", number));
    auto app = UIApplication::sharedApplication();
    if (url && app->canOpenURL(url)) {
        (void)app->openURL(url);
    }
}
