// SMSViewController: the text-message test. The operator types a recipient (Send is enabled from
// the 8th character), taps Send and sends the fixed message "Tessaly Test SMS" in the system's
// composer; when the composer finishes (sent, cancelled or failed) it is dismissed and the operator
// answers whether the message went out. Each Send replaces the screen's one watch on the composer's
// end, so a second Send never dismisses twice. A device that cannot send text shows no composer and
// asks at once (the operator answers NO).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Reactive/RXSerialDisposable.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITapGestureRecognizer.h>
#include <UIKit/UITextField.h>

class SMSViewController : public DXBaseViewController {
    NS_OBJECT(SMSViewController, DXBaseViewController)
public:
    SMSViewController() = default;
    NS_WEAK_PROPERTY(UITextField, number, setNumber)
    NS_WEAK_PROPERTY(UIButton, sendButton, setSendButton)
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)

    void viewDidLoad() override;
    void setKeyBoardAutoHidden();
    void backgroundTapDismissKeyboard(const id& sender);
    bool navigationShouldPopOnBackButton();
    // The composer's delegate method; the screen watches its calls.
    void messageComposeViewControllerDidFinishWithResult(const id& controller, NSInteger result);

    static constexpr const char* kMessageBody = "Tessaly Test SMS";

private:
    void send();
    void askNow();
    Ref<RXSerialDisposable> finishWatch_;
    Ref<UITapGestureRecognizer> tap_;
    std::vector<id> keyboardObservers_;
};
