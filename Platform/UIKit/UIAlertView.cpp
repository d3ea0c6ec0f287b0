#include <Runtime/ClassBuilder.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UIKitInternal.h>

#include <algorithm>

using uikit_detail::sendIfResponds;

namespace {
std::vector<Ref<UIAlertView>>& shown() {
    static auto* list = new std::vector<Ref<UIAlertView>>;
    return *list;
}
} // namespace

NS_IMPLEMENT_CLASS(UIAlertView, UIView) {
    b.property("title", &UIAlertView::title, &UIAlertView::setTitle);
    b.property("message", &UIAlertView::message, &UIAlertView::setMessage);
    b.property("alertViewStyle", &UIAlertView::alertViewStyle, &UIAlertView::setAlertViewStyle);
    b.property("cancelButtonIndex", &UIAlertView::cancelButtonIndex, &UIAlertView::setCancelButtonIndex);
    b.readonlyProperty("numberOfButtons", &UIAlertView::numberOfButtons);
    b.readonlyProperty("firstOtherButtonIndex", &UIAlertView::firstOtherButtonIndex);
    b.readonlyProperty("visible", &UIAlertView::isVisible);
    b.method("show", &UIAlertView::show);
    b.method("addButtonWithTitle:", &UIAlertView::addButtonWithTitle);
    b.method("buttonTitleAtIndex:", &UIAlertView::buttonTitleAtIndex);
    b.method("dismissWithClickedButtonIndex:animated:", &UIAlertView::dismissWithClickedButtonIndexAnimated);
    b.method("textFieldAtIndex:", &UIAlertView::textFieldAtIndex);
}

UIAlertView::UIAlertView() : UIView(CGRectMake(0, 0, 270, 120)) {}

UIAlertView::UIAlertView(const Ref<NSString>& title, const Ref<NSString>& message, const id& delegate,
                         const Ref<NSString>& cancelButtonTitle, const std::vector<Ref<NSString>>& otherButtonTitles)
    : UIAlertView() {
    title_ = title;
    message_ = message;
    delegate_ = delegate;
    if (cancelButtonTitle) {
        cancelButtonIndex_ = addButtonWithTitle(cancelButtonTitle);
    }
    for (const auto& t : otherButtonTitles) {
        if (t) {
            addButtonWithTitle(t);
        }
    }
}

void UIAlertView::setAlertViewStyle(UIAlertViewStyle style) {
    style_ = style;
    fields_.clear();
    int count = style == UIAlertViewStyleDefault ? 0 : style == UIAlertViewStyleLoginAndPasswordInput ? 2 : 1;
    for (int i = 0; i < count; ++i) {
        auto field = make<UITextField>(CGRectMake(0, 0, 240, 24));
        field->setSecureTextEntry(style == UIAlertViewStyleSecureTextInput || (i == 1));
        fields_.push_back(field);
    }
}

NSInteger UIAlertView::addButtonWithTitle(const Ref<NSString>& title) {
    buttons_.push_back(title ? title : NSString::string());
    return static_cast<NSInteger>(buttons_.size()) - 1;
}

Ref<NSString> UIAlertView::buttonTitleAtIndex(NSInteger index) const {
    if (index < 0 || index >= numberOfButtons()) {
        return nullptr;
    }
    return buttons_[static_cast<size_t>(index)];
}

NSInteger UIAlertView::firstOtherButtonIndex() const noexcept {
    for (NSInteger i = 0; i < numberOfButtons(); ++i) {
        if (i != cancelButtonIndex_) {
            return i;
        }
    }
    return -1;
}

Ref<UITextField> UIAlertView::textFieldAtIndex(NSInteger index) const {
    if (index < 0 || index >= static_cast<NSInteger>(fields_.size())) {
        NSException::raise(NSInvalidArgumentException, "textFieldIndex (" + std::to_string(index) +
                                                           ") is outside of the bounds of the array of text fields");
    }
    return fields_[static_cast<size_t>(index)];
}

std::vector<Ref<UIAlertView>> UIAlertView::visibleAlerts() {
    return shown();
}

void UIAlertView::show() {
    uikit_detail::assertMainThread("UIAlertView show");
    if (visible_) {
        return;
    }
    Ref<UIAlertView> self(this);
    sendIfResponds(delegate(), "willPresentAlertView:", {self});
    uikit_detail::viewsOnShowChanged();
    visible_ = true;
    shown().push_back(self);
    sendIfResponds(delegate(), "didPresentAlertView:", {self});
}

bool UIAlertView::isButtonEnabledAtIndex(NSInteger buttonIndex) {
    if (buttonIndex != firstOtherButtonIndex() || style_ == UIAlertViewStyleDefault) {
        return true;
    }
    id answer;
    if (sendIfResponds(delegate(), "alertViewShouldEnableFirstOtherButton:", {Ref<UIAlertView>(this)}, &answer)) {
        return unbox<bool>(answer);
    }
    return true;
}

bool UIAlertView::tapButtonAtIndex(NSInteger buttonIndex) {
    uikit_detail::assertMainThread("UIAlertView tap");
    if (buttonIndex < 0 || buttonIndex >= numberOfButtons()) {
        NSException::raise(NSRangeException, "alert button index " + std::to_string(buttonIndex) + " beyond the " +
                                                 std::to_string(buttons_.size()) + " buttons");
    }
    if (!visible_ || !isButtonEnabledAtIndex(buttonIndex)) {
        return false;
    }
    Ref<UIAlertView> self(this);
    sendIfResponds(delegate(), "alertView:clickedButtonAtIndex:", {self, box(buttonIndex)});
    dismissWithClickedButtonIndexAnimated(buttonIndex, true);
    return true;
}

void UIAlertView::dismissWithClickedButtonIndexAnimated(NSInteger buttonIndex, bool) {
    uikit_detail::assertMainThread("UIAlertView dismiss");
    if (!visible_) {
        return;
    }
    Ref<UIAlertView> self(this);
    sendIfResponds(delegate(), "alertView:willDismissWithButtonIndex:", {self, box(buttonIndex)});
    uikit_detail::viewsOnShowChanged();
    visible_ = false;
    for (const auto& field : fields_) {
        field->resignFirstResponder();
    }
    auto& list = shown();
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    sendIfResponds(delegate(), "alertView:didDismissWithButtonIndex:", {self, box(buttonIndex)});
}

Ref<NSString> UIAlertView::description() const {
    return NSString::stringWithFormat("<UIAlertView: %p; title = '%@'; message = '%@'; buttons = %lu>",
                                      static_cast<const void*>(this), title_, message_,
                                      static_cast<unsigned long>(buttons_.size()));
}
