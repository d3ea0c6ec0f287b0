// MFMessageComposeViewController: the system's text-message composer. The application fills the
// body and recipients and presents it; the person then taps Send or Cancel, and the composer tells
// its delegate by selector (`messageComposeViewController:didFinishWithResult:`, the composer and
// the result as a number); the application dismisses it. Nothing finishes it but the person.
//
// Its screen: a top bar with Cancel and the title "New Message", the "To:" line, and at the bottom
// the message in its entry box with Send beside it (enabled with a recipient and a text). Send hands
// the message to the device (SimRadios::sendMessage): when it goes out the result is sent; when the
// device cannot send it the message shows "Not Delivered" under its bubble and the notice "Message
// Failed" comes up, and the composer finishes as failed once the person taps its OK. Cancel gives
// cancelled and sends nothing.
#pragma once

#include <Foundation/NSArray.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIViewController.h>

enum MessageComposeResult : NSInteger {
    MessageComposeResultCancelled = 0,
    MessageComposeResultSent = 1,
    MessageComposeResultFailed = 2,
};

NS_DECLARE_PROTOCOL(MFMessageComposeViewControllerDelegate);

class MFMessageComposeViewController : public UIViewController {
    NS_OBJECT(MFMessageComposeViewController, UIViewController)
public:
    MFMessageComposeViewController() = default;

    // Whether the device can send text messages now (a SIM).
    static bool canSendText();

    NS_PROPERTY(Ref<NSString>, body, setBody)
    NS_PROPERTY(Ref<NSArray>, recipients, setRecipients)
    id messageComposeDelegate() const { return delegate_.lock(); }
    void setMessageComposeDelegate(const id& delegate) { delegate_ = delegate; }

    void viewDidLoad() override;
    // Shows the body and recipients as they are when the composer comes up.
    void viewWillAppear(bool animated) override;

    // The screen's buttons' actions (what a tap on them does).
    void cancel();
    void send();
    void acknowledgeFailure();

private:
    void refresh();
    void finish(MessageComposeResult result);
    Weak<NSObject> delegate_;
    bool sending_ = false;
    bool finished_ = false;
    Ref<UIButton> cancelButton_;
    Ref<UIButton> sendButton_;
    Ref<UILabel> toLabel_;
    Ref<UILabel> entryLabel_;
    Ref<UILabel> bubble_;
    Ref<UILabel> undelivered_;
    Ref<UIView> notice_;
};
