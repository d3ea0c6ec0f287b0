#include <MessageUI/MFMessageComposeViewController.h>

#include <Device/SimRadios.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UILabel.h>

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

void MFMessageComposeViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    auto root = view();
    auto shown = root->subviews();
    for (const id& old : *shown) {
        cast<UIView>(old)->removeFromSuperview();
    }
    root->setBackgroundColor(UIColor::whiteColor());
    CGFloat width = root->bounds().size.width;
    auto line = [&](const Ref<NSString>& text, CGFloat y, CGFloat height, const Ref<UIFont>& font) {
        auto label = make<UILabel>(CGRectMake(16, y, width - 32, height));
        label->setFont(font);
        label->setNumberOfLines(0);
        label->setText(text);
        root->addSubview(label);
        return label;
    };
    auto title = line("New Message"_ns, 28, 36, UIFont::boldSystemFontOfSize(17));
    title->setTextAlignment(NSTextAlignmentCenter);
    std::string to = "To: ";
    if (auto list = recipients()) {
        for (NSUInteger i = 0; i < list->count(); ++i) {
            if (auto text = cast<NSString>(list->objectAtIndex(i))) {
                to += (i ? ", " : "") + text->str();
            }
        }
    }
    line(NSString::from(to), 72, 30, UIFont::systemFontOfSize(17));
    auto rule = make<UIView>(CGRectMake(0, 106, width, 0.5));
    rule->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.78, 1));
    root->addSubview(rule);
    // The message, in a grey bubble.
    auto bubble = line(body(), 124, 40, UIFont::systemFontOfSize(17));
    bubble->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.9, 1));
    bubble->layer()->setCornerRadius(12);
    bubble->layer()->setMasksToBounds(true);
    bubble->setTextAlignment(NSTextAlignmentCenter);
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
