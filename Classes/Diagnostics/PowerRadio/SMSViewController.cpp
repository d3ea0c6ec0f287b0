#include <Diagnostics/PowerRadio/SMSViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Core/DXLayoutResource.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSOperationQueue.h>
#include <MessageUI/MFMessageComposeViewController.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXCommand.h>
#include <Reactive/UIButton+RXCommandSupport.h>
#include <Reactive/UITextField+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIWindow.h>

NS_IMPLEMENT_CLASS(SMSViewController, DXBaseViewController) {
    using S = SMSViewController;
    b.conformsTo(NS_PROTOCOL(MFMessageComposeViewControllerDelegate));
    b.property("number", &S::number, &S::setNumber, "weak");
    b.property("sendButton", &S::sendButton, &S::setSendButton, "weak");
    b.property("tipLabel", &S::tipLabel, &S::setTipLabel, "weak");
    b.method("backgroundTapDismissKeyboard:", &S::backgroundTapDismissKeyboard);
    b.method("messageComposeViewController:didFinishWithResult:", &S::messageComposeViewControllerDidFinishWithResult);
}

namespace {

using namespace dx_layout;

// The title, the number field, the Send button and the question, in a column.
const bool layoutRegistered = [] {
    UINib::registerNibNamed("SMSViewController", [](const id& owner) -> Ref<NSArray> {
        CGRect screen = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(screen);
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        auto title = make<UILabel>();
        title->setTextAlignment(NSTextAlignmentCenter);
        auto field = make<UITextField>();
        field->setKeyboardType(UIKeyboardTypePhonePad);
        // A bordered field that says what goes into it: a person sees where to type.
        field->setBorderStyle(UITextBorderStyleRoundedRect);
        field->setPlaceholder("Phone number"_ns);
        auto send = UIButton::buttonWithType(UIButtonTypeSystem);
        send->setTitleForState("Send"_ns, UIControlStateNormal);
        auto tip = make<UILabel>();
        tip->setNumberOfLines(0);
        tip->setHidden(true);
        Ref<UIView> above;
        for (const Ref<UIView>& v : std::vector<Ref<UIView>>{title, field, send, tip}) {
            place(root, v);
            pin(root, v, NSLayoutAttributeTop, above ? above : root,
                above ? NSLayoutAttributeBottom : NSLayoutAttributeTop, above ? 16 : 24);
            pin(root, v, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 24);
            pin(root, v, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -24);
            above = v;
        }
        size(root, field, NSLayoutAttributeHeight, 36);
        if (auto s = cast<SMSViewController>(owner)) {
            s->setLabelTitle(title);
            s->setNumber(field);
            s->setSendButton(send);
            s->setTipLabel(tip);
        }
        return NSArray::arrayWithObjects({root});
    });
    return true;
}();

} // namespace

void SMSViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("ROOTLIST_TITLE_SMS_TEST"));
    }
    if (auto tip = tipLabel()) {
        tip->setText(DXLocalizedString("SMS_CONTROLLER_QUESTION"));
    }
    Weak<SMSViewController> weak(this);
    if (auto field = number(); field && sendButton()) {
        auto enabled = rx_textSignal(field)->map([](const id& text) -> id {
            auto s = cast<NSString>(text);
            return NSNumber::numberWithBool(s && s->length() > 7);
        });
        auto command = make<RXCommand>(enabled, [weak](const id&) -> Ref<RXSignal> {
            if (auto self = weak.lock()) {
                self->send();
            }
            return RXSignal::empty();
        });
        setRx_command(sendButton(), command);
    }
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (self && unbox<bool>(value)) {
            self->hidenButtons(true);
            if (auto tip = self->tipLabel()) {
                tip->setHidden(true);
            }
        }
    });
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self || !self->info() || self->isCompleted()) {
            return;
        }
        self->info()->setResult(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });
    setKeyBoardAutoHidden();
}

void SMSViewController::askNow() {
    hidenButtons(false);
    if (auto tip = tipLabel()) {
        tip->setHidden(false);
    }
}

void SMSViewController::send() {
    Weak<SMSViewController> weak(this);
    if (!MFMessageComposeViewController::canSendText()) {
        askNow();
        return;
    }
    auto composer = make<MFMessageComposeViewController>();
    composer->setBody(NSString::from(kMessageBody));
    auto recipient = number() && number()->text() ? number()->text() : NSString::string();
    composer->setRecipients(NSArray::arrayWithObjects({recipient}));
    composer->setMessageComposeDelegate(Ref<SMSViewController>(this));
    if (!finishWatch_) {
        finishWatch_ = make<RXSerialDisposable>();
    }
    // One watch at a time: a new Send replaces the one before.
    finishWatch_->setDisposable(
        rx_signalForSelector(Ref<NSObject>(this), "messageComposeViewController:didFinishWithResult:")
            ->take(1)
            ->subscribeNext([weak](const id&) {
                auto self = weak.lock();
                if (!self) {
                    return;
                }
                self->dismissViewControllerAnimatedCompletion(true, [weak] {
                    if (auto again = weak.lock()) {
                        again->askNow();
                    }
                });
            }));
    presentViewControllerAnimatedCompletion(composer, true, [weak] {
        auto self = weak.lock();
        if (self && self->number()) {
            self->number()->resignFirstResponder();
        }
    });
}

void SMSViewController::messageComposeViewControllerDidFinishWithResult(const id&, NSInteger) {}

void SMSViewController::setKeyBoardAutoHidden() {
    tap_ = make<UITapGestureRecognizer>(Ref<SMSViewController>(this), "backgroundTapDismissKeyboard:");
    Weak<SMSViewController> weak(this);
    auto attach = [weak](const Ref<NSNotification>&) {
        auto self = weak.lock();
        if (self && self->tap_) {
            self->view()->addGestureRecognizer(self->tap_);
        }
    };
    auto center = NSNotificationCenter::defaultCenter();
    for (const auto& name : {UIKeyboardWillShowNotification(), UIKeyboardWillHideNotification()}) {
        keyboardObservers_.push_back(
            center->addObserverForNameObjectQueueUsingBlock(name, nullptr, NSOperationQueue::mainQueue(), attach));
    }
    rx_willDeallocSignal(Ref<NSObject>(this))->subscribeCompleted([observers = keyboardObservers_] {
        for (const auto& o : observers) {
            NSNotificationCenter::defaultCenter()->removeObserver(o);
        }
    });
}

void SMSViewController::backgroundTapDismissKeyboard(const id&) {
    view()->endEditing(true);
}

bool SMSViewController::navigationShouldPopOnBackButton() {
    if (auto field = number()) {
        field->resignFirstResponder();
    }
    return DXBaseViewController::navigationShouldPopOnBackButton();
}
