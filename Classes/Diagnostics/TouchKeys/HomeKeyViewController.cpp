// HomeKeyViewController: ten seconds to press Home.
#include <Diagnostics/TouchKeys/HomeKeyViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSError.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSubscriber.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIImage.h>
#include <UIKit/UILabel.h>
#include <UIKit/UILocalNotification.h>
#include <UIKit/UIScreen.h>

#include <atomic>

NS_IMPLEMENT_CLASS(HomeKeyViewController, DXBaseViewController) {
    using H = HomeKeyViewController;
    b.property("itemTitle", &H::itemTitle, &H::setItemTitle);
    b.property("countDownLabel", &H::countDownLabel, &H::setCountDownLabel);
    b.property("flagImage", &H::flagImage, &H::setFlagImage);
}

namespace {

constexpr long kSeconds = 10;

Ref<NSString> countDownText(long seconds) {
    return DXLocalizedStringWithArguments("HOMEKEY_CONTROLLER_COUNTDOWN"_ns, {seconds});
}

Ref<NSError> notPressed(NSInteger code) {
    return NSError::errorWithDomainCodeUserInfo("Not press home button"_ns, code, nullptr);
}

bool inBackground() {
    return UIApplication::sharedApplication()->applicationState() == UIApplicationStateBackground;
}

} // namespace

KeyEventSources& HomeKeyViewController::sources() {
    if (!sources_) {
        sources_ = std::make_unique<KeyEventSources>(disappear());
    }
    return *sources_;
}

void HomeKeyViewController::addORremoveLockObserver(bool add) {
    sources().addORremoveLockObserver(add);
}

Ref<RXSignal> HomeKeyViewController::enterToBackgound2() {
    return sources().enterToBackgound2();
}

Ref<RXSignal> HomeKeyViewController::enterToForeground2() {
    return sources().enterToForeground2();
}

void HomeKeyViewController::showFlag(const char* name) {
    flagName_ = name;
    flagImage()->setImage(UIImage::imageNamed(NSString::from(name)));
}

Ref<RXSignal> HomeKeyViewController::countDown() {
    Weak<HomeKeyViewController> weak(this);
    return RXSignal::createSignal([weak](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto all = RXCompoundDisposable::compoundDisposable();
        auto self = weak.lock();
        if (!self) {
            return all;
        }
        auto left = std::make_shared<long>(kSeconds);
        // A background entry waiting out the grace for a late lock notification; and whether the
        // ten seconds ran out meanwhile, so that the press decides the end when the grace is over.
        auto pending = std::make_shared<std::atomic<bool>>(false);
        auto expired = std::make_shared<bool>(false);
        all->addDisposable(RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
                               ->take(static_cast<NSUInteger>(kSeconds))
                               ->takeUntil(self->disappear())
                               ->subscribeNextCompleted(
                                   [subscriber, left](const id&) {
                                       long before = (*left)--;
                                       subscriber->sendNext(NSNumber::numberWithLong(before));
                                   },
                                   [subscriber, left, pending, expired] {
                                       if (*left == 0 && pending->load()) {
                                           *expired = true; // a press made in time is still being told
                                           return;
                                       }
                                       subscriber->sendError(notPressed(*left == 0 ? 0 : -1));
                                   }));
        // A background entry is Home when no lock notification has set the flag, not even a late one.
        all->addDisposable(self->enterToBackgound2()->subscribeNext([subscriber, pending, expired](const id&) {
            if (!inBackground()) {
                return;
            }
            if (KeyEventSources::displayStatusLocked()) {
                NSLog("kDisplayStatusLocked is YES, Sent to background by locking screen, not to do "
                      "[subscriber sendCompleted]");
                return;
            }
            if (pending->exchange(true)) {
                return;
            }
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW,
                                         static_cast<int64_t>(HomeKeyViewController::kLateLockGrace * NSEC_PER_SEC)),
                           dispatch_get_main_queue(), [subscriber, pending, expired] {
                               if (!pending->exchange(false)) {
                                   return; // the count-down has ended meanwhile
                               }
                               if (KeyEventSources::displayStatusLocked()) {
                                   NSLog("kDisplayStatusLocked is YES, Sent to background by locking screen, "
                                         "not to do [subscriber sendCompleted]");
                                   if (*expired) {
                                       subscriber->sendError(notPressed(0)); // a lock, and the time is up
                                   }
                                   return;
                               }
                               NSLog("kDisplayStatusLocked is NO, Sent to background by home button/switching "
                                     "to other app, do [subscriber sendCompleted]");
                               subscriber->sendCompleted();
                           });
        }));
        all->addDisposable(RXDisposable::disposableWithBlock([pending] { pending->store(false); }));
        return all;
    });
}

void HomeKeyViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    CGSize s = UIScreen::mainScreen()->bounds().size;
    setItemTitle(make<UILabel>(CGRectMake(20, 100, s.width - 40, 40)));
    setCountDownLabel(make<UILabel>(CGRectMake(20, 160, s.width - 40, 40)));
    setFlagImage(make<UIImageView>(CGRectMake(s.width / 2 - 32, 230, 64, 64)));
    for (const Ref<UIView>& v : {Ref<UIView>(itemTitle()), Ref<UIView>(countDownLabel()), Ref<UIView>(flagImage())}) {
        view()->addSubview(v);
    }
    itemTitle()->setTextAlignment(NSTextAlignmentCenter);
    countDownLabel()->setTextAlignment(NSTextAlignmentCenter);
    itemTitle()->setText(DXLocalizedString("ROOTLIST_TITLE_HOME_KEYS_TEST"));

    Weak<HomeKeyViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(value)) {
            self->hidenButtons(true);
            self->addORremoveLockObserver(true);
        } else {
            self->addORremoveLockObserver(false);
        }
    });

    countDownLabel()->setText(countDownText(kSeconds));
    auto left = std::make_shared<long>(kSeconds);
    countDown()->subscribeNextErrorCompleted(
        [weak, left](const id& value) {
            auto self = weak.lock();
            *left = unbox<long>(value) - 1;
            if (self) {
                self->countDownLabel()->setText(countDownText(*left));
            }
        },
        [weak](const Ref<NSError>& error) {
            auto self = weak.lock();
            if (!self || self->isCompleted() || !self->info()) {
                return;
            }
            if (error->code() == 0 || !self->isRetryItem()) {
                self->info()->setResult(DXTestResultFail);
            }
            self->showFlag("icon_fail_n");
            if (error->code() == 0) {
                self->gotoResultView();
            }
        },
        [weak] {
            auto self = weak.lock();
            if (!self || self->isCompleted() || !self->info()) {
                return;
            }
            self->showFlag("icon_right_n");
            self->countDownLabel()->setHidden(true);
            self->info()->setResult(DXTestResultPass);
            auto notification = make<UILocalNotification>();
            notification->setFireDate(NSDate::dateWithTimeIntervalSinceNow(1.0));
            notification->setAlertBody(
                DXLocalizedStringWithArguments("HOMEKEY_CONTROLLER_NOTIFICATION"_ns, {NSString::from("Celvix")}));
            UIApplication::sharedApplication()->scheduleLocalNotification(notification);
            self->enterToForeground()->take(1)->subscribeNext([weak](const id&) {
                if (auto again = weak.lock(); again && !again->isCompleted()) {
                    again->gotoResultView();
                }
            });
        });

    enterToForeground2()->subscribeNext([weak](const id&) {
        NSLog("enterToForeground2 for Home key");
        KeyEventSources::setDisplayStatusLocked(false);
        if (auto self = weak.lock()) {
            self->addORremoveLockObserver(true);
        }
    });
    enterToBackgound2()->subscribeNext([weak](const id&) {
        NSLog("enterToBackgound2 for Home key");
        auto state = UIApplication::sharedApplication()->applicationState();
        if (state == UIApplicationStateBackground) {
            if (KeyEventSources::displayStatusLocked()) {
                NSLog("kDisplayStatusLocked is YES, Sent to background by locking screen");
                if (auto self = weak.lock()) {
                    self->addORremoveLockObserver(false);
                }
                KeyEventSources::setDisplayStatusLocked(false);
            } else {
                NSLog("kDisplayStatusLocked is NO, Sent to background by home button/switching to other app");
            }
        } else if (state == UIApplicationStateInactive) {
            NSLog("Sent to background by locking screen");
        }
    });
}
