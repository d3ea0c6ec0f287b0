// MFMessageComposeViewController: the system's text-message composer. The application fills the
// body and recipients and presents it; the person then sends or cancels (or sending fails) and the
// composer tells its delegate by selector (`messageComposeViewController:didFinishWithResult:`,
// the composer and the result as a number); the application dismisses it. What the person does is
// the device's script (SimRadios: by default they send, two seconds after the composer shows); a
// sent message is in the device's record.
#pragma once

#include <Foundation/NSArray.h>
#include <Runtime/ProtocolBuilder.h>
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

    // The composer's screen: its title, the recipients and the message, as the person sees them.
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    // Seconds the person takes before finishing.
    static constexpr double kComposeTime = 2.0;

private:
    void finish();
    Weak<NSObject> delegate_;
    bool finished_ = false;
};
