// MultiTouchViewController: three circles held at once.
#include <Diagnostics/TouchKeys/MultiTouchViewController.h>
#include <Diagnostics/TouchKeys/TouchKeysSupport.h>

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSError.h>
#include <Reactive/NSObject+RXPropertySubscribing.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSubscriber.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIImage.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITouch.h>

#include <memory>

NS_IMPLEMENT_CLASS(MultiTouchViewController, DXBaseViewController) {
    using M = MultiTouchViewController;
    b.property("circle1Touched", &M::circle1Touched, &M::setCircle1Touched);
    b.property("circle2Touched", &M::circle2Touched, &M::setCircle2Touched);
    b.property("circle3Touched", &M::circle3Touched, &M::setCircle3Touched);
}

void MultiTouchViewController::buildCircles() {
    CGSize s = UIScreen::mainScreen()->bounds().size;
    // Under the header bar; the instruction wraps onto a second line where the screen is too narrow
    // for it.
    CGFloat top = std::floor(DXHeaderHeight()) + 8;
    auto title = make<UILabel>(CGRectMake(20, top, s.width - 40, 44));
    title->setNumberOfLines(0);
    title->setTextAlignment(NSTextAlignmentCenter);
    view()->addSubview(title);
    setLabelTitle(title);
    setCountdownLabel(make<UILabel>(CGRectMake(20, top + 46, s.width - 40, 40)));
    countdownLabel()->setTextAlignment(NSTextAlignmentCenter);
    view()->addSubview(countdownLabel());
    const CGPoint centres[3] = {CGPointMake(s.width / 4, s.height * 0.4), CGPointMake(s.width * 3 / 4, s.height * 0.4),
                                CGPointMake(s.width / 2, s.height * 0.65)};
    for (int i = 0; i < 3; ++i) {
        auto circle = make<UIImageView>(CGRectMake(centres[i].x - 50, centres[i].y - 50, 100, 100));
        circle->setUserInteractionEnabled(true);
        circle->setImage(UIImage::imageNamed("icon_multitouch_circle_normal"_ns));
        circle->setTag(i + 1);
        view()->addSubview(circle);
        (i == 0 ? setCircle1(circle) : i == 1 ? setCircle2(circle) : setCircle3(circle));
    }
}

void MultiTouchViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    buildCircles();
    labelTitle()->setText(DXLocalizedString("MULTI_TOUCH_CONTROLLER_TITLE"));
    long limit = static_cast<long>(dx_touchkeys::timeLimit(info() ? info()->timeout() : 0));
    countdownLabel()->setText(NSString::stringWithFormat("%d", static_cast<int>(limit)));
    hidenButtons(true);

    Weak<MultiTouchViewController> weak(this);
    auto countdown = RXSignal::createSignal([weak, limit](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto self = weak.lock();
        auto all = RXCompoundDisposable::compoundDisposable();
        if (!self) {
            return all;
        }
        auto left = std::make_shared<long>(limit);
        all->addDisposable(RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
                               ->take(static_cast<NSUInteger>(limit))
                               ->subscribeNextCompleted(
                                   [subscriber, left](const id&) {
                                       --*left;
                                       subscriber->sendNext(NSNumber::numberWithLong(*left));
                                   },
                                   [subscriber] {
                                       subscriber->sendError(NSError::errorWithDomainCodeUserInfo(
                                           RXSignalErrorDomain(), RXSignalErrorTimedOut, nullptr));
                                   }));
        id me = self;
        all->addDisposable(RXSignal::combineLatest({rx_valuesForKeyPathObserver(me, "circle1Touched"_ns, me),
                                                    rx_valuesForKeyPathObserver(me, "circle2Touched"_ns, me),
                                                    rx_valuesForKeyPathObserver(me, "circle3Touched"_ns, me)})
                               ->and_()
                               ->filter([](const id& v) { return unbox<bool>(v); })
                               ->take(1)
                               ->subscribeNext([subscriber](const id&) { subscriber->sendCompleted(); }));
        return all;
    });
    auto running = countdown->subscribeNextErrorCompleted(
        [weak](const id& value) {
            if (auto self = weak.lock()) {
                self->countdownLabel()->setText(NSDescription(value));
            }
        },
        [weak](const Ref<NSError>&) {
            auto self = weak.lock();
            if (!self || self->isCompleted() || !self->info()) {
                return;
            }
            self->info()->setResult(DXTestResultTimeout);
            self->gotoResultView();
        },
        [weak] {
            auto self = weak.lock();
            if (!self || self->isCompleted() || !self->info()) {
                return;
            }
            self->info()->setResult(DXTestResultPass);
            self->gotoResultView();
        });
    // The count-down ends with the screen (cut, so that nothing is reported after it has gone).
    disappear()->take(1)->subscribeNext([running](const id&) { running->dispose(); });
}

void MultiTouchViewController::showCircle(int index) {
    bool held = !fingers_[index].empty();
    Ref<UIImageView> circle = index == 0 ? circle1() : index == 1 ? circle2() : circle3();
    if (circle) {
        circle->setImage(
            UIImage::imageNamed(held ? "icon_multitouch_circle_touched"_ns : "icon_multitouch_circle_normal"_ns));
    }
    bool was = index == 0 ? circle1Touched() : index == 1 ? circle2Touched() : circle3Touched();
    if (was == held) {
        return;
    }
    (index == 0 ? setCircle1Touched(held) : index == 1 ? setCircle2Touched(held) : setCircle3Touched(held));
}

void MultiTouchViewController::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    if (!touches) {
        return;
    }
    auto all = touches->allObjects();
    for (const id& item : *all) {
        auto touch = cast<UITouch>(item);
        auto v = touch ? touch->view() : nullptr;
        for (int i = 0; i < 3; ++i) {
            Ref<UIImageView> circle = i == 0 ? circle1() : i == 1 ? circle2() : circle3();
            if (v && v == circle) {
                fingers_[i].insert(touch.get());
                showCircle(i);
            }
        }
    }
}

void MultiTouchViewController::release(const Ref<NSSet>& touches) {
    if (!touches) {
        return;
    }
    auto all = touches->allObjects();
    for (const id& item : *all) {
        for (int i = 0; i < 3; ++i) {
            if (fingers_[i].erase(static_cast<const UITouch*>(cast<UITouch>(item).get()))) {
                showCircle(i);
            }
        }
    }
}

void MultiTouchViewController::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    release(touches);
}

void MultiTouchViewController::touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    release(touches);
}
