#include <Core/DXBaseViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Core/DXProfileManager.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXSubscriber.h>
#include <Reactive/RXTuple.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIScreen.h>

#include <cmath>

NS_IMPLEMENT_PROTOCOL(DXBaseViewControllerDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("testViewController:withResult:endTest:", "v@:@qB");
    p.required("testViewController:withRetryModel:", "v@:@@");
}

NS_IMPLEMENT_PROTOCOL(DXNavigationBackProtocol) {
    p.inherits(NS_PROTOCOL(NSObject));
}

NS_IMPLEMENT_CLASS(DXBaseViewController, DXViewController) {
    b.method("choose:", static_cast<void (DXBaseViewController::*)(const id&)>(&DXBaseViewController::choose));
    b.method("fail:", &DXBaseViewController::fail);
    b.method("success:", &DXBaseViewController::success);
    b.method("gotoResultView", &DXBaseViewController::gotoResultView);
    b.method("hidenButtons:", &DXBaseViewController::hidenButtons);
    b.classMethod("isSupport", [] { return Ref<NSNumber>(NSNumber::numberWithBool(false)); });
    b.classMethod("extraMessage", [] { return NSString::string(); });
    b.property("info", &DXBaseViewController::info, &DXBaseViewController::setInfo);
    b.property("triggerViewController", &DXBaseViewController::triggerViewController,
               &DXBaseViewController::setTriggerViewController);
    b.property("answerView", &DXBaseViewController::answerView, &DXBaseViewController::setAnswerView);
    b.property("subItemlist", &DXBaseViewController::subItemlist, &DXBaseViewController::setSubItemlist);
    b.property("labelTitle", &DXBaseViewController::labelTitle, &DXBaseViewController::setLabelTitle, "weak");
    b.property("resultButton", &DXBaseViewController::resultButton, &DXBaseViewController::setResultButton, "weak");
    b.property("failButton", &DXBaseViewController::failButton, &DXBaseViewController::setFailButton, "weak");
    b.property("successButton", &DXBaseViewController::successButton, &DXBaseViewController::setSuccessButton, "weak");
    b.property("isFailedBySkip", &DXBaseViewController::isFailedBySkip, &DXBaseViewController::setIsFailedBySkip);
    b.property("isSingle", &DXBaseViewController::isSingle, &DXBaseViewController::setIsSingle);
    b.property("isRetryItem", &DXBaseViewController::isRetryItem, &DXBaseViewController::setIsRetryItem);
}

const Ref<NSString>& DXTestFailedMarkerFileName() {
    static const Ref<NSString> name = NSString::from("test_failed_doResult.flg");
    return name;
}

namespace {

const SEL kResultSelector("testViewController:withResult:endTest:");
const SEL kRetrySelector("testViewController:withRetryModel:");

bool anySubResultFailed(const Ref<DXTestModel>& model) {
    auto results = model ? model->subTestItemsResult() : nullptr;
    if (!results) {
        return false;
    }
    for (const auto& [key, value] : *results) {
        if (NSObjectsEqual(value, DXSubTestFail())) {
            return true;
        }
    }
    return false;
}

} // namespace

DXBaseViewController::DXBaseViewController(const Ref<DXTestModel>& info, const id& headerDelegate) {
    info_ = info;
    headerDelegate_ = headerDelegate;
}

Ref<DXBaseViewController> DXBaseViewController::screenWithClassName(const Ref<NSString>& className,
                                                                    const Ref<DXTestModel>& info,
                                                                    const id& headerDelegate) {
    Class cls = className ? NSClassFromString(className) : nullptr;
    if (!cls || !cls->isSubclassOfClass(DXBaseViewController::class_()) || !cls->canCreateInstances()) {
        return nullptr;
    }
    auto screen = cast<DXBaseViewController>(cls->createInstance());
    if (screen) {
        screen->setInfo(info);
        screen->setHeaderDelegate(headerDelegate);
    }
    return screen;
}

void DXBaseViewController::willDealloc() {
    NSLog("dealloc");
    DXViewController::willDealloc();
}

void DXBaseViewController::viewDidLoad() {
    DXViewController::viewDidLoad();
    NSLog("%@ viewDidLoad.", NSStringFromClass(getClass()));
    if (auto header = headerView()) {
        header->setHideBackButton(false);
        header->setHideSaveButton(true);
        header->setDelegate(headerDelegate());
    }
    createAnswerView();

    // Layouts from a layout resource make room for the header and the answer bar.
    Ref<UIView> root = view();
    CGFloat headerHeight = DXHeaderHeight();
    for (const auto& constraint : root->constraintList()) {
        if (constraint->secondItem().get() == static_cast<NSObject*>(root.get()) &&
            constraint->secondAttribute() == NSLayoutAttributeTop) {
            if (constraint->constant() > 0) {
                constraint->setConstant(constraint->constant() + headerHeight);
            }
            continue;
        }
        if (constraint->firstItem().get() == static_cast<NSObject*>(root.get()) &&
            constraint->firstAttribute() == NSLayoutAttributeBottom && constraint->constant() > 0) {
            constraint->setConstant(constraint->constant() + DXAnswerBarHeight);
        }
    }
    root->setNeedsLayout();

    if (auto results = info() ? info()->subTestItemsResult() : nullptr) {
        auto keys = results->allKeys();
        for (const id& key : *keys) {
            results->setObjectForKey(DXSubTestNotTest(), key);
        }
    }
}

void DXBaseViewController::viewWillDisappear(bool animated) {
    DXViewController::viewWillDisappear(animated);
    // A screen that leaves (Skip or Back from the header) takes its failed-test alert with it, so
    // that no late Retry or Exit comes from it.
    if (auto alert = failedTestAlert(); alert && alert->isVisible()) {
        alert->dismissWithClickedButtonIndexAnimated(alert->cancelButtonIndex(), false);
    }
}

void DXBaseViewController::choose(const id&) {}
void DXBaseViewController::fail(const id&) {}
void DXBaseViewController::success(const id&) {}

void DXBaseViewController::createAnswerView() {
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    auto bar = make<UIView>(
        CGRectMake(0, std::floor(screen.height - DXAnswerBarHeight), std::floor(screen.width), DXAnswerBarHeight));
    auto font = UIFont::fontWithNameSize(NSString::from("HelveticaNeue-Thin"), 50);
    auto makeButton = [&](CGRect frame, const char* key, CGFloat r, CGFloat g, CGFloat b, NSInteger tag) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setFrame(frame);
        button->setTitleForState(DXLocalizedString(key), UIControlStateNormal);
        button->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(r, g, b, 1));
        button->titleLabel()->setFont(font);
        button->setTitleColorForState(UIColor::blackColor(), UIControlStateNormal);
        button->setTag(tag);
        button->setExclusiveTouch(true);
        button->addTargetActionForControlEvents(Ref<DXBaseViewController>(this),
                                                "choose:", UIControlEventTouchUpInside);
        bar->addSubview(button);
    };
    makeButton(CGRectMake(0, 0, std::floor(screen.width * 0.5), DXAnswerBarHeight), "BASETEST_CONTROLLER_NO", 0.95,
               0.26, 0.23, DXAnswerTagNo);
    makeButton(CGRectMake(std::floor(screen.width * 0.5), 0, std::floor(screen.width * 0.5 + 1), DXAnswerBarHeight),
               "BASETEST_CONTROLLER_YES", 0.54, 0.69, 0.2, DXAnswerTagYes);
    setAnswerView(bar);
    view()->addSubview(bar);
}

void DXBaseViewController::reportToDelegate(NSInteger result, bool endTest) {
    if (id delegate = this->delegate(); delegate && delegate->respondsToSelector(kResultSelector)) {
        delegate->performSelectorWithArguments(
            kResultSelector, {Ref<DXBaseViewController>(this), box(result), NSNumber::numberWithBool(endTest)});
    }
}

void DXBaseViewController::completeTestWithResult(NSInteger state) {
    auto model = info();
    NSLog("%@ state == %d", model ? model->title() : nullptr, state);
    id delegate = this->delegate();
    if (!delegate || !delegate->respondsToSelector(kResultSelector)) {
        return;
    }
    auto results = model ? model->subTestItemsResult() : nullptr;
    NSInteger reported;
    if (!results || results->count() == 0) {
        reported = state;
    } else if (state == DXTestResultTimeout) {
        reported = DXTestResultTimeout;
    } else if (anySubResultFailed(model)) {
        reported = DXTestResultFail;
    } else {
        reported = model->result();
    }
    reportToDelegate(reported, false);
}

void DXBaseViewController::gotoResultView() {
    if (completed_) {
        return;
    }
    completed_ = true;
    auto model = info();
    if (!model) {
        completeTestWithResult(DXTestResultNotRun);
        return;
    }
    if (model->result() != DXTestResultTimeout && anySubResultFailed(model)) {
        model->setResult(DXTestResultFail);
    }
    if (model->result() != DXTestResultFail) {
        completeTestWithResult(model->result());
        return;
    }
    if (model->showTestFailedScreen() && triggerViewController() != 1 &&
        !NSObjectsEqual(model->profilekey(), DXAuditOperatorKey())) {
        showTestFailedScreen();
        return;
    }
    completeTestWithResult(DXTestResultFail);
}

void DXBaseViewController::showTestFailedScreen() {
    Weak<DXBaseViewController> weakSelf(Ref<DXBaseViewController>(this));
    failedAlert_ = showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
        NSString::from("Celvix"), DXLocalizedString("TEST_FAILED"),
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_EXIT"),
        NSArray::arrayWithObjects({DXLocalizedString("LCD_FILL_CONTROLLER_RETRY")}),
        [weakSelf](const Ref<UIAlertView>& alert, NSInteger index) {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            auto title = alert->buttonTitleAtIndex(index);
            if (NSObjectsEqual(title, DXLocalizedString("LCD_FILL_CONTROLLER_RETRY"))) {
                if (id delegate = self->delegate(); delegate && delegate->respondsToSelector(kRetrySelector)) {
                    delegate->performSelectorWithArguments(kRetrySelector, {self, self->info()});
                }
            } else if (NSObjectsEqual(title, DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_EXIT"))) {
                auto path = NSSandbox::documentsPath()->stringByAppendingPathComponent(DXTestFailedMarkerFileName());
                if (!NSData::dataWithString("TRUE")->writeToFileAtomically(path, true)) {
                    NSLog("test: the failure marker %@ could not be written", path);
                }
                self->reportToDelegate(DXTestResultFail, true);
            }
        });
}

void DXBaseViewController::hideHeaderView(bool) {
    // The request goes to the run container through `testViewController`, which nothing sets.
}

void DXBaseViewController::hidenButtons(bool hide) {
    if (auto bar = answerView()) {
        bar->setHidden(hide);
    }
}

Ref<RXSignal> DXBaseViewController::present() {
    if (!present_) {
        Ref<DXBaseViewController> self(this);
        present_ = RXSignal::merge(std::vector<Ref<RXSignal>>{
            rx_signalForSelector(self, "viewWillAppear:")->mapReplace(NSNumber::numberWithBool(true)),
            rx_signalForSelector(self, "viewWillDisappear:")->mapReplace(NSNumber::numberWithBool(false))});
    }
    return present_;
}

Ref<RXSignal> DXBaseViewController::choose() {
    if (!choose_) {
        Weak<DXBaseViewController> weakSelf(Ref<DXBaseViewController>(this));
        choose_ = RXSignal::createSignal([weakSelf](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
            auto self = weakSelf.lock();
            if (!self) {
                subscriber->sendCompleted();
                return nullptr;
            }
            return rx_signalForSelector(self, "choose:")
                ->map([](const id& arguments) -> id {
                    auto tuple = cast<RXTuple>(arguments);
                    auto button = tuple ? cast<UIView>(tuple->first()) : nullptr;
                    return NSNumber::numberWithBool(button && button->tag() == DXAnswerTagYes);
                })
                ->take(1)
                ->subscribe(subscriber);
        });
    }
    return choose_;
}

Ref<RXSignal> DXBaseViewController::disappear() {
    return rx_signalForSelector(Ref<DXBaseViewController>(this), "viewWillDisappear:")
        ->mapReplace(NSNumber::numberWithBool(true));
}

Ref<RXSignal> DXBaseViewController::enterToBackgound() {
    if (!enterToBackgound_) {
        enterToBackgound_ = rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                                        UIApplicationDidEnterBackgroundNotification(), nullptr)
                                ->takeUntil(disappear());
    }
    return enterToBackgound_;
}

Ref<RXSignal> DXBaseViewController::enterToForeground() {
    if (!enterToForeground_) {
        enterToForeground_ = rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                                         UIApplicationWillEnterForegroundNotification(), nullptr)
                                 ->takeUntil(disappear());
    }
    return enterToForeground_;
}
