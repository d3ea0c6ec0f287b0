// DXNavigationHeaderView: the header bar across the top of every screen, with up to four buttons
// (back, run, menu, save). A tap reports to the delegate through
// `navigationHeaderView:didClickButton:type:` (sent by selector) with the button's tag as the type:
// run 1, menu 2, save 3, back 0.
//
// The header comes from the layout resource "DXNavigationHeaderView" (registered in code), which
// builds the bar with its buttons and connects the outlets. Main thread only.
#pragma once

#include <Runtime/ProtocolBuilder.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIView.h>

// Required: `navigationHeaderView:didClickButton:type:` (header, button, NSUInteger type).
NS_DECLARE_PROTOCOL(DXNavigationHeaderViewDelegate);

// Tags of the header's buttons, as receivers read them.
enum DXNavigationHeaderButtonType : NSUInteger {
    DXNavigationHeaderButtonBack = 0,
    DXNavigationHeaderButtonRun = 1,
    DXNavigationHeaderButtonMenu = 2,
    DXNavigationHeaderButtonSave = 3,
};

class DXNavigationHeaderView : public UIView {
    NS_OBJECT(DXNavigationHeaderView, UIView)
public:
    DXNavigationHeaderView() = default;
    explicit DXNavigationHeaderView(CGRect frame) : UIView(frame) {}

    // `init`: the last top-level object of the layout resource "DXNavigationHeaderView" of the main
    // bundle, with autoresizing off, user interaction on and every button exclusive-touch; nil when
    // the resource holds no object.
    static Ref<DXNavigationHeaderView> header();

    NS_WEAK_PROPERTY(UIButton, backButton, setBackButton)
    NS_WEAK_PROPERTY(UIButton, runButton, setRunButton)
    NS_WEAK_PROPERTY(UIButton, menuButton, setMenuButton)
    NS_WEAK_PROPERTY(UIButton, saveButton, setSaveButton)

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }

    // The buttons' touch action: tells the delegate, when it answers the operation.
    void clickButton(const Ref<UIButton>& button);
    // The cache-removal alert (nothing opens it: the header prepares no gesture that reaches it).
    void headerTap(const id& sender);

    void setHideBackButton(bool hide);
    void setHideRunButton(bool hide);
    void setHideMenuButton(bool hide);
    void setHideSaveButton(bool hide);
    // Whether that button is hidden now.
    bool isHideBackButton() const;
    bool isHideRunButton() const;
    bool isHideMenuButton() const;
    // The stored flag.
    bool isHideSaveButton() const noexcept { return hideSaveButton_; }

    // The last cache-removal alert shown (for tests).
    Ref<UIAlertView> cacheAlert() const { return cacheAlert_.lock(); }

private:
    Weak<NSObject> delegate_;
    bool hideBackButton_ = false;
    bool hideRunButton_ = false;
    bool hideMenuButton_ = false;
    bool hideSaveButton_ = false;
    Weak<UIAlertView> cacheAlert_;
};
