#include <Shell/EnterSessionIdViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSOperationQueue.h>
#include <Reactive/UIButton+RXCommandSupport.h>
#include <Reactive/UITextField+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <Shell/DXModalPresentation.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIWindow.h>

NS_IMPLEMENT_CLASS(EnterSessionIdViewController, UIViewController) {
    b.conformsTo(UITextFieldDelegateProtocol());
    b.method("sendReport:", &EnterSessionIdViewController::sendReport);
    b.method("textFieldShouldReturn:", &EnterSessionIdViewController::textFieldShouldReturn);
    b.method("backgroundTapDismissKeyboard:", &EnterSessionIdViewController::backgroundTapDismissKeyboard);
    b.property("serverTextField", &EnterSessionIdViewController::serverTextField,
               &EnterSessionIdViewController::setServerTextField, "weak");
    b.property("sessionidTextField", &EnterSessionIdViewController::sessionidTextField,
               &EnterSessionIdViewController::setSessionidTextField, "weak");
    b.property("sendBtn", &EnterSessionIdViewController::sendBtn, &EnterSessionIdViewController::setSendBtn, "weak");
    b.property("titleLabel", &EnterSessionIdViewController::titleLabel, &EnterSessionIdViewController::setTitleLabel,
               "weak");
}

namespace {

constexpr NSInteger kServerFieldTag = 1;
constexpr NSInteger kSessionFieldTag = 2;

Ref<UITextField> makeField(const Ref<UIView>& view, CGFloat y, CGFloat width, NSInteger tag) {
    auto field = make<UITextField>(CGRectMake(30, y, width - 60, 40));
    field->setBackgroundColor(UIColor::whiteColor());
    field->setTag(tag);
    view->addSubview(field);
    return field;
}

// The form's layout resource: title, the server field (tag 1), the session-id field (tag 2) and
// Send, connected to the owner's outlets; both fields have the owner as delegate.
const bool nibRegistered = [] {
    UINib::registerNibNamed("EnterSessionIdViewController", [](const id& owner) -> Ref<NSArray> {
        CGRect bounds = UIScreen::mainScreen()->bounds();
        CGFloat width = bounds.size.width;
        auto view = make<UIView>(bounds);
        view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        view->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.08, 0.2, 0.35, 1));
        auto title = make<UILabel>(CGRectMake(20, 80, width - 40, 44));
        title->setTextAlignment(NSTextAlignmentCenter);
        title->setTextColor(UIColor::whiteColor());
        title->setFont(UIFont::boldSystemFontOfSize(30));
        view->addSubview(title);
        auto server = makeField(view, 170, width, kServerFieldTag);
        auto session = makeField(view, 230, width, kSessionFieldTag);
        auto send = UIButton::buttonWithType(UIButtonTypeCustom);
        send->setFrame(CGRectMake(width / 2 - 80, 300, 160, 48));
        send->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
        view->addSubview(send);
        if (auto form = cast<EnterSessionIdViewController>(owner)) {
            form->setView(view);
            form->setTitleLabel(title);
            form->setServerTextField(server);
            form->setSessionidTextField(session);
            form->setSendBtn(send);
            server->setDelegate(form);
            session->setDelegate(form);
        }
        return NSArray::arrayWithObjects({view});
    });
    return true;
}();

NSUInteger lengthOf(const id& value) {
    auto text = cast<NSString>(value);
    return text ? text->length() : 0;
}

} // namespace

Ref<EnterSessionIdViewController>
EnterSessionIdViewController::showEnterSessionIdViewControllerOnEnter(const Ref<UIViewController>& presenting,
                                                                      EnterBlock onEnter) {
    (void)nibRegistered;
    auto form = make<EnterSessionIdViewController>();
    form->setOnEnter(std::move(onEnter));
    DXPresentOverContext(presenting, form);
    return form;
}

void EnterSessionIdViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (auto title = titleLabel()) {
        title->setText("Celvix"_ns);
    }
    auto server = serverTextField();
    auto session = sessionidTextField();
    if (server) {
        server->setPlaceholder(DXLocalizedString("ENTERSESSIONID_URL_PLACEHOLD"));
    }
    if (session) {
        session->setPlaceholder(DXLocalizedString("ENTERSESSIONID_ID_PLACEHOLD"));
    }
    auto send = sendBtn();
    if (!send || !server || !session) {
        return;
    }
    send->setTitleForState(DXLocalizedString("MT_QRCODE_CONTROLLER_SUBMIT_BUTTON_TITLE"), UIControlStateNormal);
    DXStyleShellButton(send);

    auto enabled = RXSignal::combineLatestReduce(
        {rx_textSignal(server), rx_textSignal(session)}, [](const id& serverText, const id& sessionText) -> id {
            return box(lengthOf(serverText) >= 4 && lengthOf(sessionText) >= 1);
        });
    Weak<EnterSessionIdViewController> weakSelf(Ref<EnterSessionIdViewController>(this));
    sendCommand_ = make<RXCommand>(enabled, [weakSelf](const id&) -> Ref<RXSignal> {
        if (auto window = UIApplication::sharedApplication()->keyWindow()) {
            window->endEditing(true);
        }
        if (auto self = weakSelf.lock()) {
            self->sendReport(nullptr);
        }
        return RXSignal::empty();
    });
    setRx_command(send, sendCommand_);
}

void EnterSessionIdViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    setKeyBoardAutoHidden();
    if (auto server = serverTextField()) {
        server->becomeFirstResponder();
    }
}

void EnterSessionIdViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    removeKeyboardObservers();
    if (backgroundTap_ && isViewLoaded()) {
        view()->removeGestureRecognizer(backgroundTap_);
    }
}

void EnterSessionIdViewController::sendReport(const id&) {
    if (!onEnter_) {
        return;
    }
    auto block = onEnter_;
    auto server = serverTextField();
    auto session = sessionidTextField();
    block(Ref<EnterSessionIdViewController>(this), server ? server->text() : ""_ns, session ? session->text() : ""_ns);
}

void EnterSessionIdViewController::dismiss(std::function<void()> completion) {
    dismissViewControllerAnimatedCompletion(true, std::move(completion));
}

bool EnterSessionIdViewController::textFieldShouldReturn(const Ref<UITextField>& textField) {
    if (!textField) {
        return false;
    }
    auto parent = textField->superview();
    auto next = parent ? cast<UITextField>(parent->viewWithTag(textField->tag() + 1)) : nullptr;
    if (next) {
        next->becomeFirstResponder();
    } else {
        textField->resignFirstResponder();
    }
    return false;
}

void EnterSessionIdViewController::backgroundTapDismissKeyboard(const id&) {
    if (isViewLoaded()) {
        view()->endEditing(true);
    }
}

void EnterSessionIdViewController::setKeyBoardAutoHidden() {
    if (!keyboardObservers_.empty()) {
        return; // once per appearance: a second call would add every observer again
    }
    if (!backgroundTap_) {
        backgroundTap_ =
            make<UITapGestureRecognizer>(Ref<EnterSessionIdViewController>(this), SEL("backgroundTapDismissKeyboard:"));
    }
    Weak<EnterSessionIdViewController> weakSelf(Ref<EnterSessionIdViewController>(this));
    auto center = NSNotificationCenter::defaultCenter();
    auto mainQueue = NSOperationQueue::mainQueue();
    for (const auto& name : {UIKeyboardWillShowNotification(), UIKeyboardWillHideNotification()}) {
        keyboardObservers_.push_back(center->addObserverForNameObjectQueueUsingBlock(
            name, nullptr, mainQueue, [weakSelf](const Ref<NSNotification>&) {
                if (auto self = weakSelf.lock()) {
                    self->addBackgroundTap();
                }
            }));
    }
    // Observers must not outlive the form, even if it goes without disappearing first.
    if (!deallocHookInstalled_) {
        deallocHookInstalled_ = true;
        addDeallocHook(
            [](NSObject* object) { static_cast<EnterSessionIdViewController*>(object)->removeKeyboardObservers(); });
    }
}

void EnterSessionIdViewController::addBackgroundTap() {
    if (!isViewLoaded() || !backgroundTap_) {
        return;
    }
    auto recognizers = view()->gestureRecognizers();
    if (recognizers && recognizers->containsObject(backgroundTap_)) {
        return;
    }
    view()->addGestureRecognizer(backgroundTap_);
}

void EnterSessionIdViewController::removeKeyboardObservers() {
    auto center = NSNotificationCenter::defaultCenter();
    for (const auto& observer : keyboardObservers_) {
        center->removeObserver(observer);
    }
    keyboardObservers_.clear();
}
