#include <Networking/HCHTTPRequestOperation.h>
#include <Networking/HCURLSessionManager.h>
#include <Networking/UIAlertView+HCNetworking.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSOperationQueue.h>

#include <memory>
#include <utility>

namespace {

// The library's own string table for the alert texts.
Ref<NSString> localized(const char* key) {
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(NSString::from(key), ""_ns, "HCNetworking"_ns);
}

void showAlert(const Ref<NSError>& error, const id& delegate, const Ref<NSString>& cancelButtonTitle,
               const std::vector<Ref<NSString>>& otherButtonTitles) {
    Ref<NSString> title;
    Ref<NSString> message;
    Ref<NSString> description = error->localizedDescription();
    Ref<NSString> suggestion = error->localizedRecoverySuggestion();
    Ref<NSString> reason = error->localizedFailureReason();
    if (description && (suggestion || reason)) {
        title = description;
        message = suggestion ? suggestion : reason;
    } else {
        title = localized("Error");
        message = description
                      ? description
                      : NSString::from(NSFormat(localized("%@ Error: %ld")->str(), {error->domain(), error->code()}));
    }
    auto alert = make<UIAlertView>(nullptr, nullptr, delegate, cancelButtonTitle);
    for (const auto& other : otherButtonTitles) {
        alert->addButtonWithTitle(other);
    }
    alert->setTitle(title);
    alert->setMessage(message);
    alert->show();
}

// A one-shot observer on the main queue: the error (or none) decides, then it removes itself.
void observeOnce(const Ref<NSString>& name, const id& object,
                 std::function<Ref<NSError>(const Ref<NSNotification>&)> errorOf, const id& delegate,
                 const Ref<NSString>& cancelButtonTitle, const std::vector<Ref<NSString>>& otherButtonTitles) {
    // The center knows a registration by its token's identity only; the block keeps the token until it
    // has removed it.
    auto token = std::make_shared<id>();
    Weak<NSObject> weakDelegate(delegate);
    id registration = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        name, object, NSOperationQueue::mainQueue(),
        [token, errorOf, weakDelegate, cancelButtonTitle, otherButtonTitles](const Ref<NSNotification>& note) {
            if (auto error = errorOf(note)) {
                showAlert(error, weakDelegate.lock(), cancelButtonTitle, otherButtonTitles);
            }
            if (id t = std::exchange(*token, nullptr)) {
                NSNotificationCenter::defaultCenter()->removeObserver(t);
            }
        });
    *token = registration;
}

} // namespace

void showAlertViewForTaskWithErrorOnCompletionDelegate(const Ref<NSURLSessionTask>& task, const id& delegate) {
    showAlertViewForTaskWithErrorOnCompletionDelegateCancelButtonTitleOtherButtonTitles(task, delegate,
                                                                                        localized("Dismiss"), {});
}

void showAlertViewForTaskWithErrorOnCompletionDelegateCancelButtonTitleOtherButtonTitles(
    const Ref<NSURLSessionTask>& task, const id& delegate, const Ref<NSString>& cancelButtonTitle,
    const std::vector<Ref<NSString>>& otherButtonTitles) {
    observeOnce(
        HCNetworkingTaskDidCompleteNotification(), task,
        [](const Ref<NSNotification>& note) -> Ref<NSError> {
            return note->userInfo()
                       ? cast<NSError>(note->userInfo()->objectForKey(HCNetworkingTaskDidCompleteErrorKey()))
                       : nullptr;
        },
        delegate, cancelButtonTitle, otherButtonTitles);
}

void showAlertViewForRequestOperationWithErrorOnCompletionDelegate(const Ref<HCURLConnectionOperation>& operation,
                                                                   const id& delegate) {
    showAlertViewForRequestOperationWithErrorOnCompletionDelegateCancelButtonTitleOtherButtonTitles(
        operation, delegate, localized("Dismiss"), {});
}

void showAlertViewForRequestOperationWithErrorOnCompletionDelegateCancelButtonTitleOtherButtonTitles(
    const Ref<HCURLConnectionOperation>& operation, const id& delegate, const Ref<NSString>& cancelButtonTitle,
    const std::vector<Ref<NSString>>& otherButtonTitles) {
    observeOnce(
        HCNetworkingOperationDidFinishNotification(), operation,
        [](const Ref<NSNotification>& note) -> Ref<NSError> {
            auto finished = cast<HCURLConnectionOperation>(note->object());
            if (auto http = cast<HCHTTPRequestOperation>(finished)) {
                // The finish is announced before the reply is validated; validate it now, so a refused
                // status or content type counts as the failure it is.
                if (!http->error()) {
                    http->responseObject();
                }
            }
            return finished ? finished->error() : nullptr;
        },
        delegate, cancelButtonTitle, otherButtonTitles);
}
