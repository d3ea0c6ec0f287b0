#include <Diagnostics/PowerRadio/BiometricViewControllers.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSURL.h>
#include <LocalAuthentication/LAContext.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(FaceIDViewController, DXBaseViewController) {
    b.property("label", &FaceIDViewController::label, &FaceIDViewController::setLabel, "weak");
}

NS_IMPLEMENT_CLASS(FPSViewController, FaceIDViewController) {}

namespace {

const bool layoutsRegistered = [] {
    using namespace dx_sensors;
    for (const char* name : {"FaceIDViewController", "FPSViewController"}) {
        registerLayout(name, {{"labelTitle", Kind::Label}, {"label", Kind::Label}});
    }
    return true;
}();

} // namespace

bool FaceIDViewController::isFaceIDSizedScreen() {
    CGSize size = UIScreen::mainScreen()->bounds().size;
    return (size.width == 375 && size.height == 812) || (size.width == 414 && size.height == 896);
}

void FaceIDViewController::viewDidLoad() {
    (void)layoutsRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString(alertTitleKey()));
    }
    if (auto l = label()) {
        l->setText(DXLocalizedString(isFaceIDSizedScreen() ? "FACEID_CONTROLLER_QUESTION" : "FPS_CONTROLLER_QUESTION"));
        // The question shows with the answer bar, after the check.
        l->setHidden(true);
    }
    setSubItemlist(dx_sensors::subItems({"Finger Printer Scanner Test"}));
    hidenButtons(true);

    Weak<FaceIDViewController> weak(this);
    enterToForeground()->delay(1.0)->subscribeNext([weak](const id&) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        self->setHasEnterForeground(true);
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto again = weak.lock()) {
                again->checkFingPrinter();
                again->showQuestion();
            }
        });
    });
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self || !self->info() || self->isCompleted()) {
            return;
        }
        self->info()->setResult(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });
}

void FaceIDViewController::viewWillAppear(bool animated) {
    DXBaseViewController::viewWillAppear(animated);
    checkFingPrinter();
}

void FaceIDViewController::showQuestion() {
    hidenButtons(false);
    if (auto l = label()) {
        l->setHidden(false);
    }
}

void FaceIDViewController::checkFingPrinter() {
    auto context = make<LAContext>();
    auto reason = DXLocalizedString(isFaceIDSizedScreen() ? "FPS_CONTROLLER_REASON2" : "FPS_CONTROLLER_REASON");
    Ref<NSError> error;
    Weak<FaceIDViewController> weak(this);
    if (context->canEvaluatePolicyError(LAPolicyDeviceOwnerAuthentication, &error)) {
        context->evaluatePolicyLocalizedReasonReply(LAPolicyDeviceOwnerAuthentication, reason,
                                                    [weak](bool, const Ref<NSError>&) {
                                                        dispatch_async(dispatch_get_main_queue(), [weak] {
                                                            if (auto self = weak.lock()) {
                                                                self->showQuestion();
                                                            }
                                                        });
                                                    });
        return;
    }
    NSInteger code = error ? error->code() : 0;
    if ((code == LAErrorBiometryNotEnrolled || code == LAErrorPasscodeNotSet) && !hasEnterForeground()) {
        auto page = NSURL::URLWithString(NSString::from(settingsPage()));
        showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
            DXLocalizedString(alertTitleKey()), nullptr, DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL"),
            NSArray::arrayWithObjects({DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SETTINGS")}),
            [weak, page](const Ref<UIAlertView>&, NSInteger index) {
                auto self = weak.lock();
                if (!self) {
                    return;
                }
                auto app = UIApplication::sharedApplication();
                if (index == 1 && page && app->canOpenURL(page)) {
                    (void)app->openURL(page);
                    self->setHasEnterForeground(false);
                    return;
                }
                // Cancelled, or no settings page to go to: ask at once.
                self->showQuestion();
            });
        return;
    }
    showQuestion();
}
