#include <MessageUI/MFMessageComposeViewController.h>

#include <Device/SimRadios.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>
#include <Runtime/ProtocolBuilder.h>

NS_IMPLEMENT_CLASS(MFMessageComposeViewController, UIViewController) {
    using M = MFMessageComposeViewController;
    b.property("body", &M::body, &M::setBody);
    b.property("recipients", &M::recipients, &M::setRecipients);
}

NS_IMPLEMENT_PROTOCOL(MFMessageComposeViewControllerDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("messageComposeViewController:didFinishWithResult:", "v@:@q");
}

bool MFMessageComposeViewController::canSendText() {
    return SimRadios::current().canSendText();
}

void MFMessageComposeViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    if (finished_) {
        return;
    }
    Weak<MFMessageComposeViewController> weak(this);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kComposeTime * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), [weak] {
                       if (auto self = weak.lock()) {
                           self->finish();
                       }
                   });
}

void MFMessageComposeViewController::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    auto& radios = SimRadios::current();
    auto result = radios.composeResult();
    // Without a SIM, or with a SIM whose carrier gives no network, the message does not go out.
    if (result == SimRadios::ComposeResult::Sent && !radios.carriesText()) {
        result = SimRadios::ComposeResult::Failed;
    }
    SimRadios::Message message;
    if (auto list = recipients()) {
        for (const id& r : *list) {
            if (auto text = cast<NSString>(r)) {
                message.recipients.push_back(text->str());
            }
        }
    }
    message.body = body() ? body()->str() : std::string();
    message.sent = result == SimRadios::ComposeResult::Sent;
    radios.recordMessage(message);
    auto delegate = messageComposeDelegate();
    SEL selector = "messageComposeViewController:didFinishWithResult:";
    if (delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithObjectWithObject(selector, Ref<MFMessageComposeViewController>(this),
                                                      NSNumber::numberWithInteger(static_cast<NSInteger>(result)));
    }
}
