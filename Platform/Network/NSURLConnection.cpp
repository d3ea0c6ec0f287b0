#include <Network/NSURLConnection.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSThread.h>
#include <Network/NSStream.h>
#include <Network/URLChallengeSender.h>
#include <Network/URLTransfer.h>
#include <Runtime/ClassBuilder.h>

#include <deque>
#include <mutex>

NS_IMPLEMENT_CLASS(NSURLConnection, NSObject) {}

namespace {
// Bodies up to this size are offered to the delegate's cache callback; larger ones are not kept.
constexpr size_t kCacheableBodyLimit = 512 * 1024;
} // namespace

void NSURLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(
    NSURLConnection*, const Ref<NSURLAuthenticationChallenge>& challenge) {
    if (auto* sender = challenge->sender()) {
        sender->performDefaultHandlingForAuthenticationChallenge(challenge);
    }
}

Ref<NSInputStream> NSURLConnectionDataDelegate::connectionNeedNewBodyStream(NSURLConnection*,
                                                                            const Ref<NSURLRequest>& request) {
    auto stream = request ? request->HTTPBodyStream() : nullptr;
    if (stream && stream->conformsToProtocol(NSCopyingProtocol())) {
        return cast<NSInputStream>(stream->copy());
    }
    return nullptr;
}

struct NSURLConnection::Core : ns_net::TransferClient, std::enable_shared_from_this<Core> {
    struct Event {
        enum class Kind { Response, Data, Sent, Redirect, Challenge, NeedBody, Finish, Fail };
        explicit Event(Kind k) : kind(k) {}
        Kind kind;
        Ref<NSURLResponse> response;
        Ref<NSMutableData> data;
        int64_t bytes = 0, total = 0, expected = 0;
        Ref<NSURLRequest> request;
        Ref<NSURLProtectionSpace> space;
        Ref<NSURLCredential> proposed;
        NSInteger failures = 0;
        Ref<NSError> error;
        std::weak_ptr<ns_net::Transfer> transfer;
    };

    mutable std::mutex mutex;
    Ref<NSURLConnection> self; // while loading
    id delegateObject;
    NSURLConnectionDelegate* delegate = nullptr;
    NSURLConnectionDataDelegate* dataDelegate = nullptr;
    Ref<NSURLRequest> original;
    Ref<NSURLRequest> current;
    Ref<NSRunLoop> runLoop;
    Ref<NSMutableArray> modes = NSMutableArray::array();
    std::shared_ptr<ns_net::Transfer> transfer;
    std::atomic<bool> cancelled{false};
    bool started = false;
    bool inlineDelivery = false; // scheduled in the network thread's own run loop
    bool ended = false;
    std::deque<Event> events;
    bool drainScheduled = false;
    // Run-loop thread only.
    Ref<NSURLResponse> response;
    std::vector<Ref<NSData>> bodyChunks;
    size_t bodyLength = 0;

    void post(Event event) {
        Ref<NSRunLoop> loop;
        Ref<NSArray> inModes;
        {
            std::lock_guard lock(mutex);
            if (ended || cancelled) {
                return;
            }
            if (event.kind == Event::Kind::Data && !events.empty() && events.back().kind == Event::Kind::Data) {
                events.back().data->appendData(event.data);
                return;
            }
            events.push_back(std::move(event));
            if (drainScheduled) {
                return;
            }
            drainScheduled = true;
            if (!inlineDelivery) {
                loop = runLoop;
                inModes = NSArray::arrayWithArray(modes);
            }
        }
        auto core = shared_from_this();
        if (!loop) {
            ns_net::deliverOnNetworkThread([core] { core->drain(); });
            return;
        }
        loop->performInModesBlock(inModes, [core] { core->drain(); });
    }

    void drain() {
        std::deque<Event> batch;
        {
            std::lock_guard lock(mutex);
            batch.swap(events);
            drainScheduled = false;
        }
        for (auto& event : batch) {
            if (cancelled) {
                return;
            }
            deliver(event);
        }
    }

    void deliver(Event& event) {
        Ref<NSURLConnection> connection;
        id keep;
        {
            std::lock_guard lock(mutex);
            connection = self;
            keep = delegateObject;
        }
        if (!connection) {
            return;
        }
        NSURLConnection* c = connection.get();
        switch (event.kind) {
        case Event::Kind::Response:
            response = event.response;
            if (dataDelegate) {
                dataDelegate->connectionDidReceiveResponse(c, event.response);
            }
            break;
        case Event::Kind::Data:
            if (bodyLength + event.data->length() <= kCacheableBodyLimit) {
                bodyChunks.push_back(event.data);
            }
            bodyLength += event.data->length();
            if (dataDelegate) {
                dataDelegate->connectionDidReceiveData(c, event.data);
            }
            break;
        case Event::Kind::Sent:
            if (dataDelegate) {
                dataDelegate->connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
                    c, static_cast<NSInteger>(event.bytes), static_cast<NSInteger>(event.total),
                    static_cast<NSInteger>(event.expected));
            }
            break;
        case Event::Kind::Redirect: {
            Ref<NSURLRequest> next = event.request;
            if (dataDelegate) {
                next = dataDelegate->connectionWillSendRequestRedirectResponse(c, event.request, event.response);
            }
            if (next) {
                std::lock_guard lock(mutex);
                current = next;
            }
            if (auto t = event.transfer.lock()) {
                t->followRedirect(next);
            }
            break;
        }
        case Event::Kind::Challenge: {
            auto sender = make<URLChallengeSender>(event.transfer);
            auto challenge = make<NSURLAuthenticationChallenge>(event.space, event.proposed, event.failures,
                                                                event.response, nullptr, sender);
            if (delegate) {
                delegate->connectionWillSendRequestForAuthenticationChallenge(c, challenge);
            } else {
                sender->performDefaultHandlingForAuthenticationChallenge(challenge);
            }
            break;
        }
        case Event::Kind::NeedBody: {
            Ref<NSInputStream> stream;
            if (dataDelegate) {
                stream = dataDelegate->connectionNeedNewBodyStream(c, currentRequest());
            } else {
                stream = NSURLConnectionDataDelegate().connectionNeedNewBodyStream(c, currentRequest());
            }
            if (auto t = event.transfer.lock()) {
                t->provideBodyStream(stream);
            }
            break;
        }
        case Event::Kind::Finish:
            if (dataDelegate && response && bodyLength <= kCacheableBodyLimit) {
                Ref<NSData> body;
                if (bodyChunks.size() == 1) {
                    body = bodyChunks.front();
                } else {
                    auto joined = NSMutableData::dataWithCapacity(bodyLength);
                    for (const auto& chunk : bodyChunks) {
                        joined->appendData(chunk);
                    }
                    body = joined;
                }
                dataDelegate->connectionWillCacheResponse(c, make<NSCachedURLResponse>(response, body));
            }
            bodyChunks.clear();
            if (!cancelled && dataDelegate) {
                dataDelegate->connectionDidFinishLoading(c);
            }
            end();
            break;
        case Event::Kind::Fail:
            if (delegate) {
                delegate->connectionDidFailWithError(c, event.error);
            }
            end();
            break;
        }
    }

    Ref<NSURLRequest> currentRequest() const {
        std::lock_guard lock(mutex);
        return current;
    }

    // The load is over: the connection lets go of itself, its delegate and its transfer.
    void end() {
        Ref<NSURLConnection> releasedSelf;
        id releasedDelegate;
        std::shared_ptr<ns_net::Transfer> releasedTransfer;
        {
            std::lock_guard lock(mutex);
            ended = true;
            events.clear();
            releasedSelf = std::move(self);
            releasedDelegate = std::move(delegateObject);
            delegate = nullptr;
            dataDelegate = nullptr;
            releasedTransfer = std::move(transfer);
        }
    }

    void cancel() {
        if (cancelled.exchange(true)) {
            return;
        }
        std::shared_ptr<ns_net::Transfer> t;
        {
            std::lock_guard lock(mutex);
            t = transfer;
        }
        if (t) {
            t->cancel();
        }
        end();
    }

    // TransferClient, on the network thread.
    void transferReceivedResponse(ns_net::Transfer&, const Ref<NSHTTPURLResponse>& r) override {
        Event e(Event::Kind::Response);
        e.response = r;
        post(std::move(e));
    }
    void transferReceivedData(ns_net::Transfer&, const uint8_t* bytes, size_t length) override {
        Event e(Event::Kind::Data);
        e.data = NSMutableData::dataWithBytesLength(bytes, length);
        post(std::move(e));
    }
    void transferSentBodyData(ns_net::Transfer&, int64_t bytes, int64_t total, int64_t expected) override {
        Event e(Event::Kind::Sent);
        e.bytes = bytes;
        e.total = total;
        e.expected = expected;
        post(std::move(e));
    }
    void transferCompleted(ns_net::Transfer&, const Ref<NSError>& error) override {
        Event e(error ? Event::Kind::Fail : Event::Kind::Finish);
        e.error = error;
        post(std::move(e));
    }
    void transferWillRedirect(ns_net::Transfer& t, const Ref<NSURLRequest>& request,
                              const Ref<NSHTTPURLResponse>& r) override {
        Event e(Event::Kind::Redirect);
        e.request = request;
        e.response = r;
        e.transfer = t.shared_from_this();
        post(std::move(e));
    }
    bool answersTrustInline() const override { return inlineDelivery; }

    void transferReceivedChallenge(ns_net::Transfer& t, const Ref<NSURLProtectionSpace>& space,
                                   const Ref<NSURLCredential>& proposed, NSInteger failures,
                                   const Ref<NSURLResponse>& failureResponse) override {
        Event e(Event::Kind::Challenge);
        e.space = space;
        e.proposed = proposed;
        e.failures = failures;
        e.response = failureResponse;
        e.transfer = t.shared_from_this();
        if (inlineDelivery && space->authenticationMethod()->isEqualToString(NSURLAuthenticationMethodServerTrust())) {
            // The handshake is waiting on this very thread: the delegate decides now.
            if (!cancelled) {
                deliver(e);
            }
            return;
        }
        post(std::move(e));
    }
    void transferNeedsNewBodyStream(ns_net::Transfer& t) override {
        Event e(Event::Kind::NeedBody);
        e.transfer = t.shared_from_this();
        post(std::move(e));
    }
};

NSURLConnection::NSURLConnection(const Ref<NSURLRequest>& request, NSObject* delegate, bool startImmediately)
    : core_(std::make_shared<Core>()) {
    core_->original = request ? cast<NSURLRequest>(request->copy()) : nullptr;
    core_->current = core_->original;
    core_->delegateObject = id(delegate);
    core_->delegate = dynamic_cast<NSURLConnectionDelegate*>(delegate);
    core_->dataDelegate = dynamic_cast<NSURLConnectionDataDelegate*>(delegate);
    if (startImmediately) {
        scheduleInRunLoopForMode(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode());
        start();
    }
}

NSURLConnection::~NSURLConnection() {
    core_->cancel();
}

Ref<NSURLConnection> NSURLConnection::connectionWithRequestDelegate(const Ref<NSURLRequest>& request,
                                                                    NSObject* delegate) {
    return make<NSURLConnection>(request, delegate, true);
}

bool NSURLConnection::canHandleRequest(const Ref<NSURLRequest>& request) {
    auto scheme = request && request->URL() ? request->URL()->scheme() : nullptr;
    if (!scheme) {
        return false;
    }
    scheme = scheme->lowercaseString();
    return scheme->isEqualToString("http"_ns) || scheme->isEqualToString("https"_ns);
}

void NSURLConnection::scheduleInRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {
    if (!runLoop || !mode) {
        return;
    }
    std::lock_guard lock(core_->mutex);
    if (core_->started) {
        return;
    }
    if (!core_->runLoop) {
        core_->runLoop = runLoop;
    }
    if (core_->runLoop == runLoop && !core_->modes->containsObject(mode)) {
        core_->modes->addObject(mode);
    }
}

void NSURLConnection::unscheduleFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {
    std::lock_guard lock(core_->mutex);
    if (core_->started || core_->runLoop != runLoop) {
        return;
    }
    core_->modes->removeObject(mode);
    if (core_->modes->count() == 0) {
        core_->runLoop = nullptr;
    }
}

void NSURLConnection::start() {
    bool useStorage = true;
    NSURLConnectionDelegate* delegate;
    {
        std::lock_guard lock(core_->mutex);
        if (core_->started || core_->cancelled) {
            return;
        }
        delegate = core_->delegate;
    }
    if (delegate) {
        useStorage = delegate->connectionShouldUseCredentialStorage(this);
    }
    std::shared_ptr<ns_net::Transfer> transfer;
    {
        std::lock_guard lock(core_->mutex);
        if (core_->started || core_->cancelled) {
            return;
        }
        core_->started = true;
        if (!core_->runLoop) {
            core_->runLoop = NSRunLoop::currentRunLoop();
            core_->modes->addObject(NSDefaultRunLoopMode());
        }
        core_->inlineDelivery = core_->runLoop == ns_net::networkRunLoop();
        core_->self = Ref<NSURLConnection>(this);
        ns_net::TransferOptions options;
        options.cancelledChallengeCode = NSURLErrorUserCancelledAuthentication;
        options.useCredentialStorage = useStorage;
        transfer = std::make_shared<ns_net::Transfer>(core_->current, core_, std::move(options));
        core_->transfer = transfer;
    }
    transfer->start();
}

void NSURLConnection::cancel() {
    core_->cancel();
}

Ref<NSThread> NSURLConnection::networkThread() {
    return ns_net::networkThread();
}

void NSURLConnection::performOnNetworkThread(std::function<void()> block) {
    ns_net::performOnNetworkThread(std::move(block));
}

bool NSURLConnection::networkThreadIsIdle() {
    return ns_net::networkThreadIsIdle();
}

Ref<NSURLRequest> NSURLConnection::originalRequest() const {
    std::lock_guard lock(core_->mutex);
    return core_->original;
}

Ref<NSURLRequest> NSURLConnection::currentRequest() const {
    return core_->currentRequest();
}
