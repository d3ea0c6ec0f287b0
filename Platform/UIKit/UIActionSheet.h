// UIActionSheet: a modal list of choices. Button indexes are the platform's: the destructive
// button (when given) is 0, the other titles of the initialiser follow, then the cancel button;
// addButtonWithTitle: appends after them. The delegate (UIActionSheetDelegate, held weakly) hears,
// by selector: willPresentActionSheet:, didPresentActionSheet: on show;
// actionSheet:clickedButtonAtIndex:, actionSheet:willDismissWithButtonIndex:,
// actionSheet:didDismissWithButtonIndex: on a tap; the two dismiss calls only on
// dismissWithClickedButtonIndex:animated:.
#pragma once

#include <UIKit/UIView.h>

#include <vector>

class UIBarButtonItem;

enum UIActionSheetStyle : NSInteger {
    UIActionSheetStyleAutomatic = -1,
    UIActionSheetStyleDefault = 0,
    UIActionSheetStyleBlackTranslucent = 2,
    UIActionSheetStyleBlackOpaque = 1,
};

class UIActionSheet : public UIView {
    NS_OBJECT(UIActionSheet, UIView)
public:
    UIActionSheet();
    // `initWithTitle:delegate:cancelButtonTitle:destructiveButtonTitle:otherButtonTitles:`.
    UIActionSheet(const Ref<NSString>& title, const id& delegate, const Ref<NSString>& cancelButtonTitle,
                  const Ref<NSString>& destructiveButtonTitle,
                  const std::vector<Ref<NSString>>& otherButtonTitles = {});

    NS_PROPERTY(Ref<NSString>, title, setTitle)
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    UIActionSheetStyle actionSheetStyle() const noexcept { return style_; }
    void setActionSheetStyle(UIActionSheetStyle style) { style_ = style; }

    NSInteger addButtonWithTitle(const Ref<NSString>& title);
    Ref<NSString> buttonTitleAtIndex(NSInteger index) const;
    NSInteger numberOfButtons() const noexcept { return static_cast<NSInteger>(buttons_.size()); }
    NSInteger cancelButtonIndex() const noexcept { return cancelButtonIndex_; }
    void setCancelButtonIndex(NSInteger index) { cancelButtonIndex_ = index; }
    NSInteger destructiveButtonIndex() const noexcept { return destructiveButtonIndex_; }
    void setDestructiveButtonIndex(NSInteger index) { destructiveButtonIndex_ = index; }
    NSInteger firstOtherButtonIndex() const noexcept;
    bool isVisible() const noexcept { return visible_; }
    // The view the sheet was shown in.
    Ref<UIView> hostView() const;

    void showInView(const Ref<UIView>& view);
    void showFromBarButtonItemAnimated(const Ref<UIBarButtonItem>& item, bool animated);
    void showFromRectInViewAnimated(CGRect rect, const Ref<UIView>& view, bool animated);
    void dismissWithClickedButtonIndexAnimated(NSInteger buttonIndex, bool animated);
    // What a tap does: click, then dismiss. Raises NSRangeException for a bad index; false when the
    // sheet is not visible.
    bool tapButtonAtIndex(NSInteger buttonIndex);

    // The sheets on screen, oldest first.
    static std::vector<Ref<UIActionSheet>> visibleSheets();
    Ref<NSString> description() const override;

private:
    void present(const Ref<UIView>& host);
    Weak<NSObject> delegate_;
    Weak<UIView> host_;
    std::vector<Ref<NSString>> buttons_;
    NSInteger cancelButtonIndex_ = -1;
    NSInteger destructiveButtonIndex_ = -1;
    UIActionSheetStyle style_ = UIActionSheetStyleAutomatic;
    bool visible_ = false;
};
