#include <Runtime/ClassBuilder.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UITextView.h>
#include <UIKit/UIWindow.h>

#include <algorithm>

using uikit_detail::sendIfResponds;

UIKIT_STRING_CONSTANT(UITextViewTextDidBeginEditingNotification)
UIKIT_STRING_CONSTANT(UITextViewTextDidChangeNotification)
UIKIT_STRING_CONSTANT(UITextViewTextDidEndEditingNotification)

NS_IMPLEMENT_CLASS(UITextView, UIScrollView) {
    b.property("text", &UITextView::text, &UITextView::setText);
    b.property("editable", &UITextView::isEditable, &UITextView::setEditable);
    b.property("selectedRange", &UITextView::selectedRange, &UITextView::setSelectedRange);
    b.method("insertText:", &UITextView::insertText);
    b.method("deleteBackward", &UITextView::deleteBackward);
    b.method("scrollRangeToVisible:", &UITextView::scrollRangeToVisible);
}

UITextView::UITextView(CGRect frame)
    : UIScrollView(frame), font_(UIFont::systemFontOfSize(12)), textColor_(UIColor::blackColor()) {}

Ref<NSString> UITextView::text() const {
    return text_ ? text_ : NSString::string();
}

void UITextView::setText(const Ref<NSString>& text) {
    changeValueForKey("text", [&] { text_ = text ? cast<NSString>(text->copy()) : nullptr; });
    selectedRange_ = NSMakeRange(this->text()->length(), 0);
    updateContentSize();
    setNeedsDisplay();
}

void UITextView::setEditable(bool editable) {
    editable_ = editable;
    if (!editable && isFirstResponder()) {
        resignFirstResponder();
    }
}

void UITextView::setSelectedRange(NSRange range) {
    NSUInteger length = text()->length();
    range.location = std::min(range.location, length);
    range.length = std::min(range.length, length - range.location);
    selectedRange_ = range;
    sendIfResponds(delegate(), "textViewDidChangeSelection:", {Ref<UITextView>(this)});
}

void UITextView::setDelegate(const id& delegate) {
    textDelegate_ = delegate;
    UIScrollView::setDelegate(delegate);
}

CGRect UITextView::textLayoutRect() const {
    constexpr CGFloat kLinePadding = 5;
    CGRect b = bounds();
    CGFloat width = b.size.width - textContainerInset_.left - textContainerInset_.right - 2 * kLinePadding;
    CGFloat height = b.size.height - textContainerInset_.top - textContainerInset_.bottom;
    return CGRectMake(textContainerInset_.left + kLinePadding, textContainerInset_.top, std::max(0.0, width),
                      std::max(0.0, height));
}

void UITextView::updateContentSize() {
    CGRect b = bounds();
    CGSize s = font_->sizeOfText(text(), textLayoutRect().size.width);
    setContentSize(CGSizeMake(b.size.width, s.height + textContainerInset_.top + textContainerInset_.bottom));
}

void UITextView::scrollRangeToVisible(NSRange range) {
    updateContentSize();
    auto before = text()->substringToIndex(std::min(NSMaxRange(range), text()->length()));
    CGFloat y = font_->sizeOfText(before, textLayoutRect().size.width).height + textContainerInset_.top;
    scrollRectToVisibleAnimated(CGRectMake(0, std::max(0.0, y - font_->lineHeight()), 1, font_->lineHeight()), false);
}

bool UITextView::canBecomeFirstResponder() const {
    return editable_;
}

bool UITextView::becomeFirstResponder() {
    if (isFirstResponder()) {
        return true;
    }
    Ref<UITextView> self(this);
    id answer;
    if (sendIfResponds(delegate(), "textViewShouldBeginEditing:", {self}, &answer) && !unbox<bool>(answer)) {
        return false;
    }
    if (!UIScrollView::becomeFirstResponder()) {
        return false;
    }
    UIWindow::textInputDidBecomeFirstResponder();
    sendIfResponds(delegate(), "textViewDidBeginEditing:", {self});
    uikit_detail::post(UITextViewTextDidBeginEditingNotification(), self);
    return true;
}

bool UITextView::resignFirstResponder() {
    if (!isFirstResponder()) {
        return true;
    }
    Ref<UITextView> self(this);
    id answer;
    if (sendIfResponds(delegate(), "textViewShouldEndEditing:", {self}, &answer) && !unbox<bool>(answer)) {
        return false;
    }
    if (!UIScrollView::resignFirstResponder()) {
        return false;
    }
    sendIfResponds(delegate(), "textViewDidEndEditing:", {self});
    uikit_detail::post(UITextViewTextDidEndEditingNotification(), self);
    UIWindow::textInputDidResignFirstResponder();
    return true;
}

bool UITextView::replace(NSRange range, const Ref<NSString>& replacement) {
    Ref<UITextView> self(this);
    id answer;
    if (sendIfResponds(delegate(), "textView:shouldChangeTextInRange:replacementText:",
                       {self, NSValue::valueWithRange(range), replacement}, &answer) &&
        !unbox<bool>(answer)) {
        return false;
    }
    auto current = NSMutableString::stringWithString(text());
    current->replaceCharactersInRangeWithString(range, replacement);
    changeValueForKey("text", [&] { text_ = cast<NSString>(current->copy()); });
    selectedRange_ = NSMakeRange(range.location + replacement->length(), 0);
    updateContentSize();
    setNeedsDisplay();
    sendIfResponds(delegate(), "textViewDidChange:", {self});
    uikit_detail::post(UITextViewTextDidChangeNotification(), self);
    return true;
}

bool UITextView::insertText(const Ref<NSString>& text) {
    if (!text || !editable_) {
        return false;
    }
    return replace(selectedRange_, text);
}

bool UITextView::deleteBackward() {
    if (!editable_) {
        return false;
    }
    if (selectedRange_.length > 0) {
        return replace(selectedRange_, NSString::string());
    }
    if (selectedRange_.location == 0) {
        return false;
    }
    NSRange last = text()->rangeOfComposedCharacterSequenceAtIndex(selectedRange_.location - 1);
    return replace(last, NSString::string());
}

void UITextView::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    if (editable_) {
        becomeFirstResponder();
        return;
    }
    UIScrollView::touchesEndedWithEvent(touches, event);
}
