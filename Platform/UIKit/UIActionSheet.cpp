#include <Runtime/ClassBuilder.h>
#include <UIKit/UIActionSheet.h>
#include <UIKit/UIKitInternal.h>

#include <algorithm>

using uikit_detail::sendIfResponds;

namespace {
std::vector<Ref<UIActionSheet>>& shown() {
    static auto* list = new std::vector<Ref<UIActionSheet>>;
    return *list;
}
} // namespace

NS_IMPLEMENT_CLASS(UIActionSheet, UIView) {
    b.property("title", &UIActionSheet::title, &UIActionSheet::setTitle);
    b.property("cancelButtonIndex", &UIActionSheet::cancelButtonIndex, &UIActionSheet::setCancelButtonIndex);
    b.property("destructiveButtonIndex", &UIActionSheet::destructiveButtonIndex,
               &UIActionSheet::setDestructiveButtonIndex);
    b.readonlyProperty("numberOfButtons", &UIActionSheet::numberOfButtons);
    b.readonlyProperty("firstOtherButtonIndex", &UIActionSheet::firstOtherButtonIndex);
    b.readonlyProperty("visible", &UIActionSheet::isVisible);
    b.method("showInView:", &UIActionSheet::showInView);
    b.method("addButtonWithTitle:", &UIActionSheet::addButtonWithTitle);
    b.method("buttonTitleAtIndex:", &UIActionSheet::buttonTitleAtIndex);
    b.method("dismissWithClickedButtonIndex:animated:", &UIActionSheet::dismissWithClickedButtonIndexAnimated);
}

UIActionSheet::UIActionSheet() : UIView(CGRectMake(0, 0, 320, 200)) {}

UIActionSheet::UIActionSheet(const Ref<NSString>& title, const id& delegate, const Ref<NSString>& cancelButtonTitle,
                             const Ref<NSString>& destructiveButtonTitle,
                             const std::vector<Ref<NSString>>& otherButtonTitles)
    : UIActionSheet() {
    title_ = title;
    delegate_ = delegate;
    if (destructiveButtonTitle) {
        destructiveButtonIndex_ = addButtonWithTitle(destructiveButtonTitle);
    }
    for (const auto& t : otherButtonTitles) {
        if (t) {
            addButtonWithTitle(t);
        }
    }
    if (cancelButtonTitle) {
        cancelButtonIndex_ = addButtonWithTitle(cancelButtonTitle);
    }
}

NSInteger UIActionSheet::addButtonWithTitle(const Ref<NSString>& title) {
    buttons_.push_back(title ? title : NSString::string());
    return static_cast<NSInteger>(buttons_.size()) - 1;
}

Ref<NSString> UIActionSheet::buttonTitleAtIndex(NSInteger index) const {
    if (index < 0 || index >= numberOfButtons()) {
        return nullptr;
    }
    return buttons_[static_cast<size_t>(index)];
}

NSInteger UIActionSheet::firstOtherButtonIndex() const noexcept {
    for (NSInteger i = 0; i < numberOfButtons(); ++i) {
        if (i != cancelButtonIndex_ && i != destructiveButtonIndex_) {
            return i;
        }
    }
    return -1;
}

Ref<UIView> UIActionSheet::hostView() const {
    return host_.lock();
}

std::vector<Ref<UIActionSheet>> UIActionSheet::visibleSheets() {
    return shown();
}

void UIActionSheet::present(const Ref<UIView>& host) {
    uikit_detail::assertMainThread("UIActionSheet show");
    if (visible_) {
        return;
    }
    Ref<UIActionSheet> self(this);
    host_ = host;
    sendIfResponds(delegate(), "willPresentActionSheet:", {self});
    uikit_detail::viewsOnShowChanged();
    visible_ = true;
    shown().push_back(self);
    sendIfResponds(delegate(), "didPresentActionSheet:", {self});
}

void UIActionSheet::showInView(const Ref<UIView>& view) {
    present(view);
}

void UIActionSheet::showFromBarButtonItemAnimated(const Ref<UIBarButtonItem>&, bool) {
    present(nullptr);
}

void UIActionSheet::showFromRectInViewAnimated(CGRect, const Ref<UIView>& view, bool) {
    present(view);
}

bool UIActionSheet::tapButtonAtIndex(NSInteger buttonIndex) {
    if (buttonIndex < 0 || buttonIndex >= numberOfButtons()) {
        NSException::raise(NSRangeException, "action sheet button index " + std::to_string(buttonIndex) +
                                                 " beyond the " + std::to_string(buttons_.size()) + " buttons");
    }
    if (!visible_) {
        return false;
    }
    Ref<UIActionSheet> self(this);
    sendIfResponds(delegate(), "actionSheet:clickedButtonAtIndex:", {self, box(buttonIndex)});
    dismissWithClickedButtonIndexAnimated(buttonIndex, true);
    return true;
}

void UIActionSheet::dismissWithClickedButtonIndexAnimated(NSInteger buttonIndex, bool) {
    if (!visible_) {
        return;
    }
    Ref<UIActionSheet> self(this);
    sendIfResponds(delegate(), "actionSheet:willDismissWithButtonIndex:", {self, box(buttonIndex)});
    uikit_detail::viewsOnShowChanged();
    visible_ = false;
    auto& list = shown();
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    sendIfResponds(delegate(), "actionSheet:didDismissWithButtonIndex:", {self, box(buttonIndex)});
}

Ref<NSString> UIActionSheet::description() const {
    return NSString::stringWithFormat("<UIActionSheet: %p; title = '%@'; buttons = %lu>",
                                      static_cast<const void*>(this), title_,
                                      static_cast<unsigned long>(buttons_.size()));
}
