#include <Runtime/ClassBuilder.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UITextField.h>
#include <UIKit/UIWindow.h>

using uikit_detail::sendIfResponds;

UIKIT_STRING_CONSTANT(UITextFieldTextDidBeginEditingNotification)
UIKIT_STRING_CONSTANT(UITextFieldTextDidChangeNotification)
UIKIT_STRING_CONSTANT(UITextFieldTextDidEndEditingNotification)

NS_IMPLEMENT_CLASS(UITextField, UIControl) {
    b.property("text", &UITextField::text, &UITextField::setText);
    b.property("placeholder", &UITextField::placeholder, &UITextField::setPlaceholder);
    b.property("secureTextEntry", &UITextField::isSecureTextEntry, &UITextField::setSecureTextEntry);
    b.readonlyProperty("editing", &UITextField::isEditing);
    b.method("insertText:", &UITextField::insertText);
    b.method("deleteBackward", &UITextField::deleteBackward);
}

UITextField::UITextField(CGRect frame)
    : UIControl(frame), font_(UIFont::systemFontOfSize(17)), textColor_(UIColor::blackColor()) {}

Ref<NSString> UITextField::text() const {
    return text_ ? text_ : NSString::string();
}

void UITextField::setText(const Ref<NSString>& text) {
    changeValueForKey("text", [&] { text_ = text ? cast<NSString>(text->copy()) : nullptr; });
    setNeedsDisplay();
}

bool UITextField::canBecomeFirstResponder() const {
    return isEnabled();
}

bool UITextField::becomeFirstResponder() {
    if (isFirstResponder()) {
        return true;
    }
    Ref<UITextField> self(this);
    id answer;
    if (sendIfResponds(delegate(), "textFieldShouldBeginEditing:", {self}, &answer) && !unbox<bool>(answer)) {
        return false;
    }
    if (!UIControl::becomeFirstResponder()) {
        return false;
    }
    editing_ = true;
    if (clearsOnBeginEditing_) {
        setText(nullptr);
    }
    UIWindow::textInputDidBecomeFirstResponder();
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    sendIfResponds(delegate(), "textFieldDidBeginEditing:", {self});
    uikit_detail::post(UITextFieldTextDidBeginEditingNotification(), self);
    return true;
}

bool UITextField::resignFirstResponder() {
    if (!isFirstResponder()) {
        return true;
    }
    Ref<UITextField> self(this);
    id answer;
    if (sendIfResponds(delegate(), "textFieldShouldEndEditing:", {self}, &answer) && !unbox<bool>(answer)) {
        return false;
    }
    if (!UIControl::resignFirstResponder()) {
        return false;
    }
    editing_ = false;
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    sendIfResponds(delegate(), "textFieldDidEndEditing:", {self});
    uikit_detail::post(UITextFieldTextDidEndEditingNotification(), self);
    UIWindow::textInputDidResignFirstResponder();
    return true;
}

bool UITextField::replace(NSRange range, const Ref<NSString>& replacement) {
    Ref<UITextField> self(this);
    id answer;
    if (sendIfResponds(delegate(), "textField:shouldChangeCharactersInRange:replacementString:",
                       {self, NSValue::valueWithRange(range), replacement}, &answer) &&
        !unbox<bool>(answer)) {
        return false;
    }
    auto current = NSMutableString::stringWithString(text());
    current->replaceCharactersInRangeWithString(range, replacement);
    setText(current);
    sendActionsForControlEvents(UIControlEventEditingChanged);
    uikit_detail::post(UITextFieldTextDidChangeNotification(), self);
    return true;
}

bool UITextField::insertText(const Ref<NSString>& text) {
    if (!text || !isEnabled()) {
        return false;
    }
    return replace(NSMakeRange(this->text()->length(), 0), text);
}

bool UITextField::deleteBackward() {
    auto current = text();
    NSUInteger length = current->length();
    if (length == 0 || !isEnabled()) {
        return false;
    }
    NSRange last = current->rangeOfComposedCharacterSequenceAtIndex(length - 1);
    return replace(last, NSString::string());
}

void UITextField::pressReturnKey() {
    Ref<UITextField> self(this);
    sendIfResponds(delegate(), "textFieldShouldReturn:", {self});
    bool handled = (allControlEvents() & UIControlEventEditingDidEndOnExit) != 0;
    sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
    if (handled) {
        resignFirstResponder();
    }
}

void UITextField::clearText() {
    Ref<UITextField> self(this);
    id answer;
    if (sendIfResponds(delegate(), "textFieldShouldClear:", {self}, &answer) && !unbox<bool>(answer)) {
        return;
    }
    setText(nullptr);
    sendActionsForControlEvents(UIControlEventEditingChanged);
    uikit_detail::post(UITextFieldTextDidChangeNotification(), self);
}

void UITextField::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIControl::touchesEndedWithEvent(touches, event);
    if (isTouchInside() && isEnabled()) {
        becomeFirstResponder();
    }
}

CGSize UITextField::intrinsicContentSize() const {
    CGSize t = font_->sizeOfText(text_ && text_->length() ? text_ : placeholder_);
    return CGSizeMake(t.width + (borderStyle_ == UITextBorderStyleRoundedRect ? 14 : 0),
                      std::max(t.height, font_->lineHeight()) +
                          (borderStyle_ == UITextBorderStyleRoundedRect ? 10 : 0));
}

Ref<NSString> UITextField::description() const {
    CGRect f = frame();
    return NSString::stringWithFormat("<%s: %p; frame = (%g %g; %g %g); text = '%@'>", getClass()->name(),
                                      static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                                      f.size.height, text());
}
