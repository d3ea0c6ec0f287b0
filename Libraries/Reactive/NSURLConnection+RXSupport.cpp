#include <Reactive/NSURLConnection+RXSupport.h>

#include <Foundation/NSData.h>
#include <Foundation/NSError.h>
#include <Reactive/RXTuple.h>
#include <Runtime/ClassBuilder.h>

const Ref<NSString>& RXURLConnectionResponseErrorKey() {
    static const Ref<NSString> key = NSString::from("RXURLConnectionResponseErrorKey");
    return key;
}

const Ref<NSString>& RXURLConnectionDataErrorKey() {
    static const Ref<NSString> key = NSString::from("RXURLConnectionDataErrorKey");
    return key;
}

namespace {

// Collects one load's response and body and reports them to the subscriber. Its callbacks come on
// the main run loop, one at a time.
class RXURLConnectionLoad : public NSObject, public NSURLConnectionDataDelegate {
    NS_OBJECT(RXURLConnectionLoad, NSObject)
public:
    explicit RXURLConnectionLoad(Ref<RXSubscriber> subscriber) : subscriber_(std::move(subscriber)) {}

    void connectionDidReceiveResponse(NSURLConnection*, const Ref<NSURLResponse>& response) override {
        response_ = response;
        data_ = NSMutableData::data(); // a new response (after a redirect) starts a new body
    }

    void connectionDidReceiveData(NSURLConnection*, const Ref<NSData>& data) override {
        if (!data_) {
            data_ = NSMutableData::data();
        }
        data_->appendData(data);
    }

    void connectionDidFinishLoading(NSURLConnection* connection) override {
        Ref<RXSubscriber> subscriber = std::exchange(subscriber_, nullptr);
        if (!subscriber) {
            return;
        }
        Ref<NSData> body = data_ ? Ref<NSData>(data_) : NSData::data();
        if (auto http = cast<NSHTTPURLResponse>(response_); http && http->statusCode() >= 400) {
            subscriber->sendError(statusError(connection, http, body));
            return;
        }
        if (!response_) {
            subscriber->sendError(
                NSError::errorWithDomainCodeUserInfo(NSURLErrorDomain(), NSURLErrorBadServerResponse, nullptr));
            return;
        }
        subscriber->sendNext(RXTuple::tupleWithObjects({response_, body}));
        subscriber->sendCompleted();
    }

    void connectionDidFailWithError(NSURLConnection*, const Ref<NSError>& error) override {
        if (Ref<RXSubscriber> subscriber = std::exchange(subscriber_, nullptr)) {
            subscriber->sendError(error);
        }
    }

private:
    static Ref<NSError> statusError(NSURLConnection* connection, const Ref<NSHTTPURLResponse>& response,
                                    const Ref<NSData>& body) {
        Ref<NSString> text = NSString::stringWithFormat(
            "The server answered with HTTP status %ld (%@)", static_cast<long>(response->statusCode()),
            NSHTTPURLResponse::localizedStringForStatusCode(response->statusCode()));
        std::vector<NSDictionary::Entry> entries{
            {NSLocalizedDescriptionKey(), text},
            {RXURLConnectionResponseErrorKey(), response},
            {RXURLConnectionDataErrorKey(), body},
        };
        Ref<NSURLRequest> request = connection ? connection->currentRequest() : nullptr;
        if (request && request->URL()) {
            entries.emplace_back(NSURLErrorFailingURLErrorKey(), request->URL());
        }
        return NSError::errorWithDomainCodeUserInfo(NSURLErrorDomain(), NSURLErrorBadServerResponse,
                                                    make<NSDictionary>(entries));
    }

    Ref<RXSubscriber> subscriber_;
    Ref<NSURLResponse> response_;
    Ref<NSMutableData> data_;
};

NS_IMPLEMENT_CLASS(RXURLConnectionLoad, NSObject) {}

} // namespace

Ref<RXSignal> rx_sendAsynchronousRequest(const Ref<NSURLRequest>& request) {
    Ref<NSURLRequest> copy = request ? cast<NSURLRequest>(request->copy()) : nullptr;
    return RXSignal::createSignal([copy](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               if (!copy) {
                   subscriber->sendError(
                       NSError::errorWithDomainCodeUserInfo(NSURLErrorDomain(), NSURLErrorBadURL, nullptr));
                   return nullptr;
               }
               auto load = make<RXURLConnectionLoad>(subscriber);
               auto connection = make<NSURLConnection>(copy, load.get(), false);
               connection->scheduleInRunLoopForMode(NSRunLoop::mainRunLoop(), NSRunLoopCommonModes());
               connection->start();
               return RXDisposable::disposableWithBlock([connection] { connection->cancel(); });
           })
        ->named("+rx_sendAsynchronousRequest: %@", copy);
}
