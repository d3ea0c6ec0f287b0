#include <LocalAuthentication/LAContext.h>
#include <LocalAuthentication/LAPromptViewController.h>

#include <Device/SimRadios.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIWindow.h>

#include <memory>

NS_IMPLEMENT_CLASS(LAContext, NSObject) {}

const Ref<NSString>& LAErrorDomain() {
    static const Ref<NSString>& domain = *new Ref<NSString>(NSString::from("com.apple.LocalAuthentication"));
    return domain;
}

namespace {

Ref<NSError> laError(int code) {
    return NSError::errorWithDomainCodeUserInfo(LAErrorDomain(), code, nullptr);
}

using Reply = std::function<void(bool, const Ref<NSError>&)>;

// Replies come here, never on the main thread.
dispatch_queue_t replyQueue() {
    static auto* queue = new dispatch_queue_t(dispatch_queue_create("com.apple.LocalAuthentication.reply", nullptr));
    return *queue;
}

void replyOnQueue(const Reply& reply, bool success, int code) {
    if (reply) {
        dispatch_async(replyQueue(), [reply, success, code] { reply(success, success ? nullptr : laError(code)); });
    }
}

// One evaluation with its prompt on screen. Main thread only.
struct Evaluation {
    Reply reply;
    uint64_t prompt = 0;
    bool read = false;    // the sensor has answered (or the prompt was cancelled)
    bool replied = false; // the reply is on its way
    Ref<UIWindow> window;
    Ref<LAPromptViewController> card;
    Weak<UIWindow> previousKey;
};

std::shared_ptr<Evaluation>& showing() {
    static auto* evaluation = new std::shared_ptr<Evaluation>;
    return *evaluation;
}

// The prompt goes; the window that was key before it is key again.
void close(const std::shared_ptr<Evaluation>& e) {
    if (showing() == e) {
        showing().reset();
    }
    if (!e->window) {
        return;
    }
    auto window = std::move(e->window);
    window->setHidden(true);
    if (auto previous = e->previousKey.lock(); previous && !previous->isHidden() && !UIWindow::keyWindow()) {
        previous->makeKeyWindow();
    }
}

void finish(const std::shared_ptr<Evaluation>& e, bool success, int code) {
    close(e);
    if (!e->replied) {
        e->replied = true;
        replyOnQueue(e->reply, success, code);
        e->reply = nullptr;
    }
}

// The sensor's answer, on the main thread: the card shows it for a moment, then the prompt closes
// and the reply goes. A cancelled prompt closes at once.
void sensorAnswered(const std::shared_ptr<Evaluation>& e, bool matched, int code) {
    if (e->read || e->replied) {
        return;
    }
    e->read = true;
    if (code == LAErrorUserCancel) {
        finish(e, false, code);
        return;
    }
    e->card->showOutcome(matched);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(LAContext::kOutcomeTime * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), [e, matched, code] { finish(e, matched, code); });
}

void showPrompt(LABiometryType type, const Ref<NSString>& reason, Reply reply) {
    static const bool cleanedAtTestEnd = [] {
        // A test that ends with a prompt up leaves the next one no prompt (and no reply).
        DispatchClock::addTestEndHandler([] {
            if (auto e = showing()) {
                e->replied = true;
                close(e);
            }
        });
        return true;
    }();
    (void)cleanedAtTestEnd;
    // The system shows one prompt: a new evaluation ends the one on screen.
    if (auto old = showing()) {
        old->read = true;
        SimRadios::current().cancelPrompt(old->prompt);
        finish(old, false, LAErrorSystemCancel);
    }
    auto e = std::make_shared<Evaluation>();
    e->reply = std::move(reply);
    std::weak_ptr<Evaluation> weak = e;
    e->card = make<LAPromptViewController>(type, reason, [weak] {
        auto e = weak.lock();
        if (!e || e->read || e->replied) {
            return;
        }
        e->read = true;
        SimRadios::current().cancelPrompt(e->prompt);
        finish(e, false, LAErrorUserCancel);
    });
    e->previousKey = UIWindow::keyWindow();
    e->window = make<UIWindow>();
    e->window->setWindowLevel(UIWindowLevelAlert);
    e->window->setRootViewController(e->card);
    showing() = e;
    e->window->makeKeyAndVisible();
    e->prompt =
        SimRadios::current().evaluateBiometrics(reason ? reason->str() : std::string(), [weak](bool matched, int code) {
            dispatch_async(dispatch_get_main_queue(), [weak, matched, code] {
                if (auto e = weak.lock()) {
                    sensorAnswered(e, matched, code);
                }
            });
        });
}

} // namespace

bool LAContext::canEvaluatePolicyError(LAPolicy policy, Ref<NSError>* error) {
    auto& radios = SimRadios::current();
    biometryType_ = static_cast<LABiometryType>(radios.biometry());
    int code = radios.canEvaluateError();
    if (policy != LAPolicyDeviceOwnerAuthentication && policy != LAPolicyDeviceOwnerAuthenticationWithBiometrics) {
        code = LAErrorBiometryNotAvailable;
    }
    if (code == 0) {
        return true;
    }
    if (error) {
        *error = laError(code);
    }
    return false;
}

void LAContext::evaluatePolicyLocalizedReasonReply(LAPolicy policy, const Ref<NSString>& localizedReason,
                                                   std::function<void(bool, const Ref<NSError>&)> reply) {
    if (!localizedReason || localizedReason->length() == 0) {
        NSException::raise(NSInvalidArgumentException, "evaluatePolicy: the localized reason must not be empty");
    }
    Ref<NSError> error;
    if (!canEvaluatePolicyError(policy, &error)) {
        // Nothing is shown.
        replyOnQueue(reply, false, static_cast<int>(error->code()));
        return;
    }
    // The prompt is the system's, drawn on the main thread whichever thread asked, a moment later.
    LABiometryType type = biometryType_;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kPromptDelay * NSEC_PER_SEC)),
                   dispatch_get_main_queue(),
                   [type, localizedReason, reply = std::move(reply)] { showPrompt(type, localizedReason, reply); });
}
