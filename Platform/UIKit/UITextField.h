// UITextField: a one-line text input. Becoming first responder starts editing (and brings the
// keyboard); typing goes through insertText: and deleteBackward, which ask the delegate
// (UITextFieldDelegate, held weakly, by selector) and send editing-changed. Setting `text` in code
// sends no control event, as on the platform.
#pragma once

#include <UIKit/NSText.h>
#include <UIKit/UIControl.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>

enum UITextBorderStyle : NSInteger {
    UITextBorderStyleNone = 0,
    UITextBorderStyleLine = 1,
    UITextBorderStyleBezel = 2,
    UITextBorderStyleRoundedRect = 3,
};

enum UITextFieldViewMode : NSInteger {
    UITextFieldViewModeNever = 0,
    UITextFieldViewModeWhileEditing = 1,
    UITextFieldViewModeUnlessEditing = 2,
    UITextFieldViewModeAlways = 3,
};

enum UIKeyboardType : NSInteger {
    UIKeyboardTypeDefault = 0,
    UIKeyboardTypeASCIICapable = 1,
    UIKeyboardTypeNumbersAndPunctuation = 2,
    UIKeyboardTypeURL = 3,
    UIKeyboardTypeNumberPad = 4,
    UIKeyboardTypePhonePad = 5,
    UIKeyboardTypeNamePhonePad = 6,
    UIKeyboardTypeEmailAddress = 7,
    UIKeyboardTypeDecimalPad = 8,
};

enum UIReturnKeyType : NSInteger {
    UIReturnKeyDefault = 0,
    UIReturnKeyGo = 1,
    UIReturnKeyNext = 4,
    UIReturnKeySearch = 6,
    UIReturnKeySend = 7,
    UIReturnKeyDone = 9,
};

const Ref<NSString>& UITextFieldTextDidBeginEditingNotification();
const Ref<NSString>& UITextFieldTextDidChangeNotification();
const Ref<NSString>& UITextFieldTextDidEndEditingNotification();

class UITextField : public UIControl {
    NS_OBJECT(UITextField, UIControl)
public:
    UITextField() : UITextField(CGRectZero) {}
    explicit UITextField(CGRect frame);

    Ref<NSString> text() const;
    void setText(const Ref<NSString>& text);
    Ref<NSString> placeholder() const { return placeholder_; }
    void setPlaceholder(const Ref<NSString>& placeholder) { placeholder_ = placeholder; }
    Ref<UIFont> font() const { return font_; }
    void setFont(const Ref<UIFont>& font) { font_ = font; }
    Ref<UIColor> textColor() const { return textColor_; }
    void setTextColor(const Ref<UIColor>& color) { textColor_ = color; }
    NSTextAlignment textAlignment() const noexcept { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment) { alignment_ = alignment; }
    UITextBorderStyle borderStyle() const noexcept { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle style) { borderStyle_ = style; }
    UITextFieldViewMode clearButtonMode() const noexcept { return clearButtonMode_; }
    void setClearButtonMode(UITextFieldViewMode mode) { clearButtonMode_ = mode; }
    bool isSecureTextEntry() const noexcept { return secure_; }
    void setSecureTextEntry(bool secure) { secure_ = secure; }
    UIKeyboardType keyboardType() const noexcept { return keyboardType_; }
    void setKeyboardType(UIKeyboardType type) { keyboardType_ = type; }
    UIReturnKeyType returnKeyType() const noexcept { return returnKeyType_; }
    void setReturnKeyType(UIReturnKeyType type) { returnKeyType_ = type; }
    bool clearsOnBeginEditing() const noexcept { return clearsOnBeginEditing_; }
    void setClearsOnBeginEditing(bool clears) { clearsOnBeginEditing_ = clears; }
    Ref<UIView> leftView() const { return leftView_; }
    void setLeftView(const Ref<UIView>& view) { leftView_ = view; }
    Ref<UIView> rightView() const { return rightView_; }
    void setRightView(const Ref<UIView>& view) { rightView_ = view; }
    Ref<UIView> inputView() const { return inputView_; }
    void setInputView(const Ref<UIView>& view) { inputView_ = view; }
    Ref<UIView> inputAccessoryView() const { return inputAccessoryView_; }
    void setInputAccessoryView(const Ref<UIView>& view) { inputAccessoryView_ = view; }
    bool isEditing() const noexcept { return editing_; }

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }

    // Typing. insertText: replaces nothing and appends at the end (the caret stays at the end);
    // answers whether the delegate let the change happen.
    bool insertText(const Ref<NSString>& text);
    bool deleteBackward();
    // The return key: asks textFieldShouldReturn:, sends editing-did-end-on-exit, and resigns when
    // something handles that event.
    void pressReturnKey();
    // The clear button.
    void clearText();

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    CGSize intrinsicContentSize() const override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    Ref<NSString> description() const override;

private:
    bool replace(NSRange range, const Ref<NSString>& replacement);
    Ref<NSString> text_;
    Ref<NSString> placeholder_;
    Ref<UIFont> font_;
    Ref<UIColor> textColor_;
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    UITextBorderStyle borderStyle_ = UITextBorderStyleNone;
    UITextFieldViewMode clearButtonMode_ = UITextFieldViewModeNever;
    bool secure_ = false;
    UIKeyboardType keyboardType_ = UIKeyboardTypeDefault;
    UIReturnKeyType returnKeyType_ = UIReturnKeyDefault;
    bool clearsOnBeginEditing_ = false;
    bool editing_ = false;
    Ref<UIView> leftView_;
    Ref<UIView> rightView_;
    Ref<UIView> inputView_;
    Ref<UIView> inputAccessoryView_;
    Weak<NSObject> delegate_;
};
