// UIAlertView: a modal alert with a title, a message and buttons. Button indexes are the
// platform's: the cancel button (when given at creation) is 0 and the other titles follow in
// order; addButtonWithTitle: appends. The delegate (UIAlertViewDelegate, held weakly) is told, by
// selector and only for what it responds to: willPresentAlertView:, didPresentAlertView: on show;
// alertView:clickedButtonAtIndex:, alertView:willDismissWithButtonIndex:,
// alertView:didDismissWithButtonIndex: on a tap; the two dismiss calls only (no click) on
// dismissWithClickedButtonIndex:animated:. Shown alerts are kept (and retained) by the platform
// until dismissed; the last shown is on top.
#pragma once

#include <UIKit/UITextField.h>
#include <UIKit/UIView.h>

#include <vector>

enum UIAlertViewStyle : NSInteger {
    UIAlertViewStyleDefault = 0,
    UIAlertViewStyleSecureTextInput = 1,
    UIAlertViewStylePlainTextInput = 2,
    UIAlertViewStyleLoginAndPasswordInput = 3,
};

class UIAlertView : public UIView {
    NS_OBJECT(UIAlertView, UIView)
public:
    UIAlertView();
    // `initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:`.
    UIAlertView(const Ref<NSString>& title, const Ref<NSString>& message, const id& delegate,
                const Ref<NSString>& cancelButtonTitle, const std::vector<Ref<NSString>>& otherButtonTitles = {});

    NS_PROPERTY(Ref<NSString>, title, setTitle)
    NS_PROPERTY(Ref<NSString>, message, setMessage)
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    UIAlertViewStyle alertViewStyle() const noexcept { return style_; }
    void setAlertViewStyle(UIAlertViewStyle style);

    NSInteger addButtonWithTitle(const Ref<NSString>& title);
    Ref<NSString> buttonTitleAtIndex(NSInteger index) const;
    NSInteger numberOfButtons() const noexcept { return static_cast<NSInteger>(buttons_.size()); }
    NSInteger cancelButtonIndex() const noexcept { return cancelButtonIndex_; }
    void setCancelButtonIndex(NSInteger index) { cancelButtonIndex_ = index; }
    // -1 when there are no other buttons.
    NSInteger firstOtherButtonIndex() const noexcept;
    // Raises NSInvalidArgumentException for an index beyond the text fields of the style.
    Ref<UITextField> textFieldAtIndex(NSInteger index) const;
    bool isVisible() const noexcept { return visible_; }

    void show();
    // Dismisses in code: willDismiss and didDismiss with the index, no click.
    void dismissWithClickedButtonIndexAnimated(NSInteger buttonIndex, bool animated);
    // What a tap on a button does: click, then dismiss. Raises NSRangeException for an index
    // beyond the buttons; answers false (nothing happens) when the alert is not visible or the
    // button is disabled (the first other button, when alertViewShouldEnableFirstOtherButton:
    // says NO).
    bool tapButtonAtIndex(NSInteger buttonIndex);
    bool isButtonEnabledAtIndex(NSInteger buttonIndex);

    // The alerts on screen, oldest first.
    static std::vector<Ref<UIAlertView>> visibleAlerts();
    Ref<NSString> description() const override;

private:
    Weak<NSObject> delegate_;
    std::vector<Ref<NSString>> buttons_;
    NSInteger cancelButtonIndex_ = -1;
    UIAlertViewStyle style_ = UIAlertViewStyleDefault;
    std::vector<Ref<UITextField>> fields_;
    bool visible_ = false;
};
