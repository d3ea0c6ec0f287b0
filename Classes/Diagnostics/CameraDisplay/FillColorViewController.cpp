#include <Diagnostics/CameraDisplay/FillColorViewController.h>

#include "CameraLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Core/DXLayoutResource.h>
#include <Diagnostics/CameraDisplay/GhostScreenViewController.h>
#include <Foundation/NSDictionary.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/UIControl+RXSignalSupport.h>
#include <Reactive/UIGestureRecognizer+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSText.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(DXFillColorScreen, DXBaseViewController) {
    using F = DXFillColorScreen;
    b.property("colors", &F::colors, &F::setColors);
    b.property("count", &F::count, &F::setCount);
    b.property("label", &F::label, &F::setLabel, "weak");
    b.property("hideButtons", &F::hideButtons, &F::setHideButtons, "weak");
    b.property("retryButtonHeightConstaint", &F::retryButtonHeightConstaint, &F::setRetryButtonHeightConstaint, "weak");
}
NS_IMPLEMENT_CLASS(FillColorViewController, DXFillColorScreen) {
    b.property("tapGesture", &FillColorViewController::tapGesture, &FillColorViewController::setTapGesture);
}
NS_IMPLEMENT_CLASS(FillColor4ItouchuViewController, DXFillColorScreen) {}

namespace {

using namespace dx_layout;

// The question in the middle of the screen and the Retry button near the bottom, above the answer
// bar; the button's height constraint is an outlet.
void registerFillLayout(const std::string& name) {
    UINib::registerNibNamed(name, [](const id& owner) -> Ref<NSArray> {
        CGRect screen = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(screen);
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        auto label = make<UILabel>();
        label->setNumberOfLines(0);
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setFont(UIFont::systemFontOfSize(20));
        label->setPreferredMaxLayoutWidth(screen.size.width - 48);
        place(root, label);
        pin(root, label, NSLayoutAttributeCenterY, root, NSLayoutAttributeCenterY, -40);
        pin(root, label, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 24);
        pin(root, label, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -24);
        auto retry = UIButton::buttonWithType(UIButtonTypeSystem);
        place(root, retry);
        pin(root, retry, NSLayoutAttributeCenterX, root, NSLayoutAttributeCenterX, 0);
        pin(root, retry, NSLayoutAttributeBottom, root, NSLayoutAttributeBottom, -(89 + 12));
        size(root, retry, NSLayoutAttributeWidth, 160);
        auto height = size(root, retry, NSLayoutAttributeHeight, 50);
        if (owner) {
            owner->setValueForKey(label, "label"_ns);
            owner->setValueForKey(retry, "hideButtons"_ns);
            owner->setValueForKey(height, "retryButtonHeightConstaint"_ns);
        }
        return NSArray::arrayWithObjects({root});
    });
}

const bool layoutsRegistered = [] {
    registerFillLayout("FillColorViewController");
    registerFillLayout("FillColor4ItouchuViewController");
    return true;
}();

bool tallPhone() {
    CGSize s = UIScreen::mainScreen()->bounds().size;
    return (s.width == 375 && s.height == 812) || (s.width == 414 && s.height == 896);
}

} // namespace

// MARK: - Shared

Ref<UIColor> DXFillColorScreen::colorAt(NSInteger index) const {
    auto list = colors();
    if (!list || index < 0 || static_cast<NSUInteger>(index) >= list->count()) {
        return nullptr;
    }
    auto entry = cast<NSDictionary>(list->objectAtIndex(static_cast<NSUInteger>(index)));
    return entry ? cast<UIColor>(entry->objectForKey("color"_ns)) : nullptr;
}

void DXFillColorScreen::fill(NSInteger index) {
    if (auto c = colorAt(index)) {
        view()->setBackgroundColor(c);
    }
}

void DXFillColorScreen::setUpFill(const std::vector<std::tuple<Ref<UIColor>, Ref<UIColor>, const char*>>& entries,
                                  bool hidesStatusBar) {
    (void)layoutsRegistered;
    auto list = NSMutableArray::array();
    auto items = NSMutableArray::array();
    for (const auto& [color, labelColor, key] : entries) {
        auto entry = NSMutableDictionary::dictionary();
        entry->setObjectForKey(color, "color"_ns);
        entry->setObjectForKey(labelColor, "labelColor"_ns);
        entry->setObjectForKey(DXLocalizedString(key), "name"_ns);
        list->addObject(entry);
        auto item = NSMutableDictionary::dictionary();
        item->setObjectForKey(
            DXLocalizedStringWithArguments("FILLCOLOR_CONTROLLER_ANSWER"_ns, {DXLocalizedString(key)}), "title"_ns);
        items->addObject(item);
    }
    setColors(list);
    setSubItemlist(items);
    if (auto retry = hideButtons()) {
        if (tallPhone()) {
            if (auto height = retryButtonHeightConstaint()) {
                height->setConstant(height->constant() + 22.0);
            }
            view()->setNeedsLayout();
            retry->setTitleEdgeInsets(UIEdgeInsetsMake(30.0, 0, 0, 0));
        } else {
            retry->setTitleEdgeInsets(UIEdgeInsetsMake(20.0, 0, 0, 0));
        }
        retry->setTitleForState(DXLocalizedString("LCD_FILL_CONTROLLER_RETRY"), UIControlStateNormal);
    }
    Weak<DXFillColorScreen> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak, hidesStatusBar](const id& v) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        bool shown = unbox<bool>(v);
        if (auto header = self->headerView()) {
            header->setHidden(shown);
        }
        if (shown) {
            if (auto retry = self->hideButtons()) {
                retry->setHidden(true);
            }
            self->hidenButtons(true);
        }
        if (hidesStatusBar) {
            UIApplication::sharedApplication()->setStatusBarHidden(shown);
        }
    });
}

// MARK: - Five colours, tapped through

void FillColorViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    setUpFill({{UIColor::whiteColor(), UIColor::blackColor(), "FILLCOLOR_CONTROLLER_WHITE"},
               {UIColor::redColor(), UIColor::whiteColor(), "FILLCOLOR_CONTROLLER_RED"},
               {UIColor::greenColor(), UIColor::blackColor(), "FILLCOLOR_CONTROLLER_GREEN"},
               {UIColor::blueColor(), UIColor::whiteColor(), "FILLCOLOR_CONTROLLER_BLUE"},
               {UIColor::blackColor(), UIColor::whiteColor(), "FILLCOLOR_CONTROLLER_BLACK"}},
              false);
    fill(0);
    setCount(0);
    setTapGesture(make<UITapGestureRecognizer>());
    view()->addGestureRecognizer(tapGesture());
    if (auto l = label()) {
        l->setHidden(true);
    }
    Weak<FillColorViewController> weak(this);
    rx_gestureSignal(tapGesture())->subscribeNext([weak](const id&) {
        if (auto self = weak.lock()) {
            self->tapped();
        }
    });
    if (auto retry = hideButtons()) {
        rx_signalForControlEvents(retry, UIControlEventTouchUpInside)->subscribeNext([weak](const id&) {
            if (auto self = weak.lock()) {
                self->retry();
            }
        });
    }
    DXAnswerQuestionFromChoose(Ref<DXBaseViewController>(this));
}

void FillColorViewController::tapped() {
    NSInteger last = static_cast<NSInteger>(colors()->count()) - 1;
    if (count() < last) {
        setCount(count() + 1);
        fill(count());
        return;
    }
    if (auto retry = hideButtons()) {
        retry->setHidden(false);
    }
    if (auto l = label()) {
        // One question for all the colours just shown: the question names each of them, never
        // showing its placeholder.
        auto names = NSMutableArray::array();
        if (auto list = colors()) {
            for (const id& item : *list) {
                if (auto entry = cast<NSDictionary>(item)) {
                    names->addObject(entry->objectForKey("name"_ns));
                }
            }
        }
        l->setText(DXLocalizedStringWithArguments("FILLCOLOR_CONTROLLER_ANSWER"_ns,
                                                  {names->componentsJoinedByString(", "_ns)}));
        l->setTextColor(UIColor::whiteColor());
        l->setHidden(false);
    }
    hidenButtons(false);
    view()->removeGestureRecognizer(tapGesture());
}

void FillColorViewController::retry() {
    if (auto retry = hideButtons()) {
        retry->setHidden(true);
    }
    if (auto l = label()) {
        l->setHidden(true);
    }
    hidenButtons(true);
    setCount(0);
    fill(0);
    view()->addGestureRecognizer(tapGesture());
}

// MARK: - White and black, one question each

void FillColor4ItouchuViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    setUpFill({{UIColor::whiteColor(), UIColor::blackColor(), "FILLCOLOR_CONTROLLER_WHITE"},
               {UIColor::blackColor(), UIColor::whiteColor(), "FILLCOLOR_CONTROLLER_BLACK"}},
              true);
    setCount(0);
    fill(0);
    auto entry = cast<NSDictionary>(colors()->objectAtIndex(0));
    if (auto l = label()) {
        l->setText(DXLocalizedStringWithArguments("FILLCOLOR_CONTROLLER_ANSWER"_ns, {entry->objectForKey("name"_ns)}));
        l->setTextColor(cast<UIColor>(entry->objectForKey("labelColor"_ns)));
        l->setHidden(true);
    }
    Weak<FillColor4ItouchuViewController> weak(this);
    choose()->repeat()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& v) {
        if (auto self = weak.lock()) {
            self->answer(unbox<bool>(v));
        }
    });
    showAfterPause();
    if (auto retry = hideButtons()) {
        rx_signalForControlEvents(retry, UIControlEventTouchUpInside)->subscribeNext([weak](const id&) {
            if (auto self = weak.lock()) {
                self->showControls(false);
                self->showAfterPause();
            }
        });
    }
}

void FillColor4ItouchuViewController::showControls(bool show) {
    hidenButtons(!show);
    if (auto retry = hideButtons()) {
        retry->setHidden(!show);
    }
    if (auto l = label()) {
        l->setHidden(!show);
    }
}

void FillColor4ItouchuViewController::showAfterPause() {
    Weak<FillColor4ItouchuViewController> weak(this);
    RXSignal::intervalOnScheduler(1.5, RXScheduler::mainThreadScheduler())->take(1)->subscribeNext([weak](const id&) {
        if (auto self = weak.lock(); self && !self->isCompleted()) {
            self->showControls(true);
        }
    });
}

void FillColor4ItouchuViewController::answer(bool yes) {
    if (isCompleted()) {
        return;
    }
    NSInteger i = count();
    NSInteger last = static_cast<NSInteger>(colors()->count()) - 1;
    if (!yes) {
        if (info()) {
            info()->setResult(DXTestResultFail);
        }
        dx_camera::markSubItem(subItemlist(), static_cast<NSUInteger>(i), 2);
        auto shown = NSMutableArray::array();
        for (NSInteger k = 0; k <= i && static_cast<NSUInteger>(k) < subItemlist()->count(); ++k) {
            shown->addObject(subItemlist()->objectAtIndex(static_cast<NSUInteger>(k)));
        }
        setSubItemlist(shown);
        gotoResultView();
        return;
    }
    dx_camera::markSubItem(subItemlist(), static_cast<NSUInteger>(i), 1);
    if (i >= last) {
        if (info()) {
            info()->setResult(DXTestResultPass);
        }
        gotoResultView();
        return;
    }
    setCount(i + 1);
    fill(count());
    auto entry = cast<NSDictionary>(colors()->objectAtIndex(static_cast<NSUInteger>(count())));
    if (auto l = label()) {
        l->setText(DXLocalizedStringWithArguments("FILLCOLOR_CONTROLLER_ANSWER"_ns, {entry->objectForKey("name"_ns)}));
        l->setTextColor(cast<UIColor>(entry->objectForKey("labelColor"_ns)));
    }
    showControls(false);
    showAfterPause();
}
