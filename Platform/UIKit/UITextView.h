// UITextView: a scrollable, multi-line text input. Editing follows the text field: becoming first
// responder begins it, insertText: and deleteBackward ask the delegate (UITextViewDelegate, held
// weakly, by selector) and then tell it textViewDidChange:.
#pragma once

#include <UIKit/NSText.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIScrollView.h>

const Ref<NSString>& UITextViewTextDidBeginEditingNotification();
const Ref<NSString>& UITextViewTextDidChangeNotification();
const Ref<NSString>& UITextViewTextDidEndEditingNotification();

class UITextView : public UIScrollView {
    NS_OBJECT(UITextView, UIScrollView)
public:
    UITextView() : UITextView(CGRectZero) {}
    explicit UITextView(CGRect frame);

    Ref<NSString> text() const;
    void setText(const Ref<NSString>& text);
    Ref<UIFont> font() const { return font_; }
    void setFont(const Ref<UIFont>& font) { font_ = font; }
    Ref<UIColor> textColor() const { return textColor_; }
    void setTextColor(const Ref<UIColor>& color) { textColor_ = color; }
    NSTextAlignment textAlignment() const noexcept { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment) { alignment_ = alignment; }
    bool isEditable() const noexcept { return editable_; }
    void setEditable(bool editable);
    bool isSelectable() const noexcept { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    NSRange selectedRange() const noexcept { return selectedRange_; }
    void setSelectedRange(NSRange range);
    UIEdgeInsets textContainerInset() const noexcept { return textContainerInset_; }
    void setTextContainerInset(UIEdgeInsets inset) { textContainerInset_ = inset; }
    // Scrolls so that the end of the range shows.
    void scrollRangeToVisible(NSRange range);
    // Internal: where the text is laid out and drawn, in content coordinates: inside the container
    // inset, less the platform's 5-point line padding at each side.
    CGRect textLayoutRect() const;

    id delegate() const { return textDelegate_.lock(); }
    void setDelegate(const id& delegate);

    // Typing at the selection; answers whether the delegate let the change happen.
    bool insertText(const Ref<NSString>& text);
    bool deleteBackward();

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

private:
    bool replace(NSRange range, const Ref<NSString>& replacement);
    void updateContentSize();
    Ref<NSString> text_;
    Ref<UIFont> font_;
    Ref<UIColor> textColor_;
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    bool editable_ = true;
    bool selectable_ = true;
    NSRange selectedRange_{};
    UIEdgeInsets textContainerInset_{8, 0, 8, 0};
    Weak<NSObject> textDelegate_;
};
