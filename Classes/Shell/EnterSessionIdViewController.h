// EnterSessionIdViewController: the form where the operator types the transaction server and the
// session id when the QR scan is cancelled. Send is enabled while the server holds at least 4
// characters and the session id at least 1; it puts the keyboard away and hands both texts, as
// typed, to the enter block. The screen that presented the form dismisses it.
#pragma once

#include <Reactive/RXCommand.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITapGestureRecognizer.h>
#include <UIKit/UITextField.h>
#include <UIKit/UIViewController.h>

#include <functional>

class EnterSessionIdViewController : public UIViewController {
    NS_OBJECT(EnterSessionIdViewController, UIViewController)
public:
    EnterSessionIdViewController() = default;

    using EnterBlock = std::function<void(const Ref<EnterSessionIdViewController>& form, const Ref<NSString>& server,
                                          const Ref<NSString>& sessionid)>;

    // Makes the form, keeps the block and presents the form over `presenting`.
    static Ref<EnterSessionIdViewController>
    showEnterSessionIdViewControllerOnEnter(const Ref<UIViewController>& presenting, EnterBlock onEnter);

    const EnterBlock& onEnter() const noexcept { return onEnter_; }
    void setOnEnter(EnterBlock block) { onEnter_ = std::move(block); }

    NS_WEAK_PROPERTY(UITextField, serverTextField, setServerTextField)
    NS_WEAK_PROPERTY(UITextField, sessionidTextField, setSessionidTextField)
    NS_WEAK_PROPERTY(UIButton, sendBtn, setSendBtn)
    NS_WEAK_PROPERTY(UILabel, titleLabel, setTitleLabel)

    void viewDidLoad() override;
    // The page is dark: the status bar over it draws light.
    NSInteger preferredStatusBarStyle() override { return UIStatusBarStyleLightContent; }
    // The server field takes the focus, and the keyboard observers are installed (once).
    void viewDidAppear(bool animated) override;
    // The keyboard observers and the tap recogniser go with the form.
    void viewDidDisappear(bool animated) override;

    // Hands the two texts to the enter block.
    void sendReport(const id& sender);
    // Dismisses the form (animated), then runs the block.
    void dismiss(std::function<void()> completion);
    // Return moves the focus to the field tagged one higher, or puts the keyboard away; never inserts.
    bool textFieldShouldReturn(const Ref<UITextField>& textField);
    void backgroundTapDismissKeyboard(const id& recognizer);
    // Installs the keyboard observers: while the keyboard is up a tap on the background puts it away.
    void setKeyBoardAutoHidden();

    // Whether the keyboard observers are installed, for tests.
    bool observesKeyboard() const { return !keyboardObservers_.empty(); }
    const Ref<UITapGestureRecognizer>& backgroundTap() const noexcept { return backgroundTap_; }

private:
    void removeKeyboardObservers();
    void addBackgroundTap();

    EnterBlock onEnter_;
    Ref<RXCommand> sendCommand_;
    Ref<UITapGestureRecognizer> backgroundTap_;
    std::vector<id> keyboardObservers_;
    bool deallocHookInstalled_ = false;
};
