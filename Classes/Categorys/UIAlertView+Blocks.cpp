#include <Categorys/DXBlockBox.h>
#include <Categorys/UIAlertView+Blocks.h>

#include <Runtime/ClassBuilder.h>

namespace {

const char kTapBlockKey = 0;
const char kWillDismissBlockKey = 0;
const char kDidDismissBlockKey = 0;
const char kWillPresentBlockKey = 0;
const char kDidPresentBlockKey = 0;
const char kCancelBlockKey = 0;
const char kShouldEnableBlockKey = 0;
const char kOriginalDelegateKey = 0;

using IndexBox = DXBlockBox<void(const Ref<UIAlertView>&, NSInteger)>;
using AlertBox = DXBlockBox<void(const Ref<UIAlertView>&)>;
using EnableBox = DXBlockBox<bool(const Ref<UIAlertView>&)>;

id originalDelegate(UIAlertView* alert) {
    return alert->associatedObject(&kOriginalDelegateKey);
}

// Runs the block stored under `key`, then hands the event to the earlier delegate.
void forwardEvent(UIAlertView* self, const void* key, const char* selector) {
    Ref<UIAlertView> alert(self);
    if (auto block = AlertBox::blockOf(self, key)) {
        block(alert);
    }
    if (id delegate = originalDelegate(self); delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithArguments(selector, {alert});
    }
}

void forwardIndexEvent(UIAlertView* self, const void* key, const char* selector, NSInteger index) {
    Ref<UIAlertView> alert(self);
    if (auto block = IndexBox::blockOf(self, key)) {
        block(alert, index);
    }
    if (id delegate = originalDelegate(self); delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithArguments(selector, {alert, box(index)});
    }
}

// The alert's own delegate operations, added to the alert class once per process.
const bool installed = [] {
    ClassBuilder<UIAlertView> b(UIAlertView::class_());
    b.methodBlock("willPresentAlertView:", [](UIAlertView* self, Ref<UIAlertView>) {
        forwardEvent(self, &kWillPresentBlockKey, "willPresentAlertView:");
    });
    b.methodBlock("didPresentAlertView:", [](UIAlertView* self, Ref<UIAlertView>) {
        forwardEvent(self, &kDidPresentBlockKey, "didPresentAlertView:");
    });
    b.methodBlock("alertViewCancel:", [](UIAlertView* self, Ref<UIAlertView>) {
        forwardEvent(self, &kCancelBlockKey, "alertViewCancel:");
    });
    b.methodBlock("alertView:clickedButtonAtIndex:", [](UIAlertView* self, Ref<UIAlertView>, NSInteger index) {
        forwardIndexEvent(self, &kTapBlockKey, "alertView:clickedButtonAtIndex:", index);
    });
    b.methodBlock("alertView:willDismissWithButtonIndex:", [](UIAlertView* self, Ref<UIAlertView>, NSInteger index) {
        forwardIndexEvent(self, &kWillDismissBlockKey, "alertView:willDismissWithButtonIndex:", index);
    });
    b.methodBlock("alertView:didDismissWithButtonIndex:", [](UIAlertView* self, Ref<UIAlertView>, NSInteger index) {
        forwardIndexEvent(self, &kDidDismissBlockKey, "alertView:didDismissWithButtonIndex:", index);
    });
    b.methodBlock("alertViewShouldEnableFirstOtherButton:", [](UIAlertView* self, Ref<UIAlertView>) -> bool {
        Ref<UIAlertView> alert(self);
        if (auto block = EnableBox::blockOf(self, &kShouldEnableBlockKey)) {
            return block(alert);
        }
        if (id delegate = originalDelegate(self);
            delegate && delegate->respondsToSelector("alertViewShouldEnableFirstOtherButton:")) {
            id answer = delegate->performSelectorWithArguments("alertViewShouldEnableFirstOtherButton:", {alert});
            auto number = cast<NSNumber>(answer);
            return number ? number->boolValue() : false;
        }
        return true;
    });
    return true;
}();

} // namespace

void checkAlertViewDelegate(const Ref<UIAlertView>& alertView) {
    (void)installed;
    if (!alertView) {
        return;
    }
    id delegate = alertView->delegate();
    if (delegate.get() != static_cast<NSObject*>(alertView.get())) {
        alertView->setAssociatedObject(&kOriginalDelegateKey, delegate, OBJC_ASSOCIATION_ASSIGN);
        alertView->setDelegate(alertView);
    }
}

#define DX_ALERT_BLOCK(Getter, Setter, Box, Key)                                                                       \
    decltype(Box::blockOf(nullptr, nullptr)) Getter(const Ref<UIAlertView>& alertView) {                               \
        return Box::blockOf(alertView.get(), &Key);                                                                    \
    }                                                                                                                  \
    void Setter(const Ref<UIAlertView>& alertView, decltype(Box::blockOf(nullptr, nullptr)) block) {                   \
        if (!alertView) {                                                                                              \
            return;                                                                                                    \
        }                                                                                                              \
        checkAlertViewDelegate(alertView);                                                                             \
        Box::store(alertView.get(), &Key, std::move(block), OBJC_ASSOCIATION_RETAIN);                                  \
    }

DX_ALERT_BLOCK(tapBlock, setTapBlock, IndexBox, kTapBlockKey)
DX_ALERT_BLOCK(willDismissBlock, setWillDismissBlock, IndexBox, kWillDismissBlockKey)
DX_ALERT_BLOCK(didDismissBlock, setDidDismissBlock, IndexBox, kDidDismissBlockKey)
DX_ALERT_BLOCK(willPresentBlock, setWillPresentBlock, AlertBox, kWillPresentBlockKey)
DX_ALERT_BLOCK(didPresentBlock, setDidPresentBlock, AlertBox, kDidPresentBlockKey)
DX_ALERT_BLOCK(cancelBlock, setCancelBlock, AlertBox, kCancelBlockKey)
DX_ALERT_BLOCK(shouldEnableFirstOtherButtonBlock, setShouldEnableFirstOtherButtonBlock, EnableBox,
               kShouldEnableBlockKey)

#undef DX_ALERT_BLOCK

Ref<UIAlertView> showWithTitleMessageStyleCancelButtonTitleOtherButtonTitlesTapBlock(
    const Ref<NSString>& title, const Ref<NSString>& message, UIAlertViewStyle style,
    const Ref<NSString>& cancelButtonTitle, const Ref<NSArray>& otherButtonTitles,
    UIAlertViewCompletionBlock tapBlock) {
    std::vector<Ref<NSString>> first;
    if (otherButtonTitles && otherButtonTitles->count() > 0) {
        first.push_back(cast<NSString>(otherButtonTitles->objectAtIndex(0)));
    }
    auto alert = make<UIAlertView>(title, message, nullptr, cancelButtonTitle, first);
    alert->setAlertViewStyle(style);
    if (otherButtonTitles && otherButtonTitles->count() >= 2) {
        for (NSUInteger i = 1; i < otherButtonTitles->count(); ++i) {
            alert->addButtonWithTitle(cast<NSString>(otherButtonTitles->objectAtIndex(i)));
        }
    }
    if (tapBlock) {
        setTapBlock(alert, std::move(tapBlock));
    }
    alert->show();
    return alert;
}

Ref<UIAlertView> showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(const Ref<NSString>& title,
                                                                                const Ref<NSString>& message,
                                                                                const Ref<NSString>& cancelButtonTitle,
                                                                                const Ref<NSArray>& otherButtonTitles,
                                                                                UIAlertViewCompletionBlock tapBlock) {
    return showWithTitleMessageStyleCancelButtonTitleOtherButtonTitlesTapBlock(
        title, message, UIAlertViewStyleDefault, cancelButtonTitle, otherButtonTitles, std::move(tapBlock));
}
