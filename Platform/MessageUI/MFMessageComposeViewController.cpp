#include <MessageUI/MFMessageComposeViewController.h>

#include <Device/SimRadios.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIScreen.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(MFMessageComposeViewController, UIViewController) {
    using M = MFMessageComposeViewController;
    b.property("body", &M::body, &M::setBody);
    b.property("recipients", &M::recipients, &M::setRecipients);
    b.method("cancel", &M::cancel);
    b.method("send", &M::send);
    b.method("acknowledgeFailure", &M::acknowledgeFailure);
}

NS_IMPLEMENT_PROTOCOL(MFMessageComposeViewControllerDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("messageComposeViewController:didFinishWithResult:", "v@:@q");
}

namespace {

constexpr CGFloat kBarHeight = 44;
constexpr CGFloat kEntryHeight = 36;
constexpr CGFloat kSendWidth = 64;

Ref<UIColor> hairlineColour() {
    return UIColor::colorWithWhiteAlpha(0.78, 1);
}

Ref<UIView> hairline(CGFloat y, CGFloat width) {
    auto line = make<UIView>(CGRectMake(0, y, width, 0.5));
    line->setBackgroundColor(hairlineColour());
    line->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    return line;
}

Ref<UILabel> label(CGRect frame, const Ref<UIFont>& font, NSTextAlignment alignment = NSTextAlignmentLeft) {
    auto l = make<UILabel>(frame);
    l->setFont(font);
    l->setTextAlignment(alignment);
    return l;
}

Ref<UIButton> button(const char* title, CGRect frame, const Ref<UIFont>& font) {
    auto b = UIButton::buttonWithType(UIButtonTypeSystem);
    b->setFrame(frame);
    b->setTitleForState(NSString::from(title), UIControlStateNormal);
    b->setTitleColorForState(UIColor::systemBlueColor(), UIControlStateNormal);
    b->setTitleColorForState(UIColor::colorWithWhiteAlpha(0.7, 1), UIControlStateDisabled);
    b->titleLabel()->setFont(font);
    return b;
}

std::vector<std::string> texts(const Ref<NSArray>& list) {
    std::vector<std::string> out;
    if (list) {
        for (const id& item : *list) {
            if (auto text = cast<NSString>(item); text && text->length() > 0) {
                out.push_back(text->str());
            }
        }
    }
    return out;
}

} // namespace

bool MFMessageComposeViewController::canSendText() {
    return SimRadios::current().canSendText();
}

void MFMessageComposeViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());
    CGRect b = root->bounds();
    CGFloat width = b.size.width;
    UIEdgeInsets safe = UIScreen::mainScreen()->safeAreaInsets();
    Ref<MFMessageComposeViewController> self(this);

    // The top bar: Cancel and the title.
    auto bar = make<UIView>(CGRectMake(0, 0, width, safe.top + kBarHeight));
    bar->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.97, 1));
    bar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    root->addSubview(bar);
    auto title = label(CGRectMake(90, safe.top, width - 180, kBarHeight), UIFont::boldSystemFontOfSize(17),
                       NSTextAlignmentCenter);
    title->setText("New Message"_ns);
    title->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    bar->addSubview(title);
    cancelButton_ = button("Cancel", CGRectMake(8, safe.top, 76, kBarHeight), UIFont::systemFontOfSize(17));
    cancelButton_->addTargetActionForControlEvents(self, "cancel", UIControlEventTouchUpInside);
    bar->addSubview(cancelButton_);
    root->addSubview(hairline(safe.top + kBarHeight, width));

    // The recipients.
    CGFloat y = safe.top + kBarHeight;
    toLabel_ = label(CGRectMake(16, y, width - 32, kBarHeight), UIFont::systemFontOfSize(17));
    toLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    root->addSubview(toLabel_);
    root->addSubview(hairline(y + kBarHeight, width));

    // The conversation: the message once sent, and what became of it.
    bubble_ = label(CGRectZero, UIFont::systemFontOfSize(17), NSTextAlignmentCenter);
    bubble_->setNumberOfLines(0);
    bubble_->setTextColor(UIColor::whiteColor());
    bubble_->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.2, 0.78, 0.35, 1));
    bubble_->layer()->setCornerRadius(17);
    bubble_->layer()->setMasksToBounds(true);
    bubble_->setHidden(true);
    root->addSubview(bubble_);
    undelivered_ = label(CGRectZero, UIFont::systemFontOfSize(12), NSTextAlignmentRight);
    undelivered_->setText("Not Delivered"_ns);
    undelivered_->setTextColor(UIColor::colorWithRedGreenBlueAlpha(1, 0.23, 0.19, 1));
    undelivered_->setHidden(true);
    root->addSubview(undelivered_);

    // The entry at the bottom: the message in its box, Send beside it.
    CGFloat entryY = b.size.height - safe.bottom - 8 - kEntryHeight;
    UIViewAutoresizing bottom = UIViewAutoresizingFlexibleTopMargin;
    auto entryBar = make<UIView>(CGRectMake(0, entryY - 8, width, b.size.height - entryY + 8));
    entryBar->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.97, 1));
    entryBar->setAutoresizingMask(bottom | UIViewAutoresizingFlexibleWidth);
    root->addSubview(entryBar);
    root->addSubview(hairline(entryY - 8, width));
    auto box = make<UIView>(CGRectMake(8, entryY, width - 16 - kSendWidth, kEntryHeight));
    box->setBackgroundColor(UIColor::whiteColor());
    box->layer()->setCornerRadius(kEntryHeight / 2);
    box->layer()->setBorderWidth(1);
    box->layer()->setBorderColor(hairlineColour()->CGColor());
    box->setAutoresizingMask(bottom | UIViewAutoresizingFlexibleWidth);
    root->addSubview(box);
    entryLabel_ = label(CGRectMake(14, 0, box->bounds().size.width - 28, kEntryHeight), UIFont::systemFontOfSize(17));
    entryLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    box->addSubview(entryLabel_);
    sendButton_ = button("Send", CGRectMake(width - 8 - kSendWidth, entryY, kSendWidth, kEntryHeight),
                         UIFont::boldSystemFontOfSize(17));
    sendButton_->setAutoresizingMask(bottom | UIViewAutoresizingFlexibleLeftMargin);
    sendButton_->addTargetActionForControlEvents(self, "send", UIControlEventTouchUpInside);
    root->addSubview(sendButton_);

    // The failure notice: a card over a dimmed composer, closed by its OK.
    notice_ = make<UIView>(b);
    notice_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.3));
    notice_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    notice_->setHidden(true);
    auto card = make<UIView>(CGRectMake((width - 270) / 2, (b.size.height - 132) / 2, 270, 132));
    card->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.97, 1));
    card->layer()->setCornerRadius(14);
    card->layer()->setMasksToBounds(true);
    card->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                              UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    auto heading = label(CGRectMake(16, 18, 238, 22), UIFont::boldSystemFontOfSize(17), NSTextAlignmentCenter);
    heading->setText("Message Failed"_ns);
    card->addSubview(heading);
    auto detail = label(CGRectMake(16, 42, 238, 40), UIFont::systemFontOfSize(13), NSTextAlignmentCenter);
    detail->setNumberOfLines(0);
    detail->setText("Your message could not be sent."_ns);
    card->addSubview(detail);
    card->addSubview(hairline(88, 270));
    auto ok = button("OK", CGRectMake(0, 88, 270, 44), UIFont::boldSystemFontOfSize(17));
    ok->addTargetActionForControlEvents(self, "acknowledgeFailure", UIControlEventTouchUpInside);
    card->addSubview(ok);
    notice_->addSubview(card);
    root->addSubview(notice_);
    refresh();
}

void MFMessageComposeViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    refresh();
}

void MFMessageComposeViewController::refresh() {
    if (!isViewLoaded()) {
        return;
    }
    std::string to = "To: ";
    auto list = texts(recipients());
    for (size_t i = 0; i < list.size(); ++i) {
        to += (i ? ", " : "") + list[i];
    }
    toLabel_->setText(NSString::from(to));
    if (!sending_) {
        entryLabel_->setText(body());
    }
    bool hasText = body() && body()->length() > 0;
    sendButton_->setEnabled(!sending_ && !finished_ && hasText && !list.empty());
    cancelButton_->setEnabled(!sending_ && !finished_);
}

void MFMessageComposeViewController::send() {
    if (sending_ || finished_ || !sendButton_->isEnabled()) {
        return;
    }
    sending_ = true;
    SimRadios::Message message;
    message.recipients = texts(recipients());
    message.body = body() ? body()->str() : std::string();
    bool wentOut = SimRadios::current().sendMessage(message);
    // The message leaves the entry box for the conversation, under the recipients.
    entryLabel_->setText(nullptr);
    CGFloat width = view()->bounds().size.width;
    CGFloat top = UIScreen::mainScreen()->safeAreaInsets().top + 2 * kBarHeight + 16;
    bubble_->setText(body());
    CGSize fits = bubble_->sizeThatFits(CGSizeMake(width * 0.7 - 24, 1000));
    CGFloat bubbleWidth = std::min(width * 0.7, std::ceil(fits.width) + 24);
    bubble_->setFrame(
        CGRectMake(width - 12 - bubbleWidth, top, bubbleWidth, std::max<CGFloat>(34, std::ceil(fits.height) + 14)));
    bubble_->setHidden(false);
    refresh();
    if (wentOut) {
        finish(MessageComposeResultSent);
        return;
    }
    CGRect below = bubble_->frame();
    undelivered_->setFrame(CGRectMake(12, CGRectGetMaxY(below) + 4, width - 24, 16));
    undelivered_->setHidden(false);
    notice_->setHidden(false);
    view()->bringSubviewToFront(notice_);
}

void MFMessageComposeViewController::acknowledgeFailure() {
    if (finished_ || notice_->isHidden()) {
        return;
    }
    notice_->setHidden(true);
    finish(MessageComposeResultFailed);
}

void MFMessageComposeViewController::cancel() {
    if (sending_ || finished_) {
        return;
    }
    finish(MessageComposeResultCancelled);
}

void MFMessageComposeViewController::finish(MessageComposeResult result) {
    finished_ = true;
    refresh();
    auto delegate = messageComposeDelegate();
    SEL selector = "messageComposeViewController:didFinishWithResult:";
    if (delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithObjectWithObject(selector, Ref<MFMessageComposeViewController>(this),
                                                      NSNumber::numberWithInteger(result));
    }
}
