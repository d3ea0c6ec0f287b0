#include <Networking/HCURLConnectionOperation.h>

#include <Networking/HCURLResponseSerialization.h>

#include <Foundation/NSBlockOperation.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPort.h>
#include <Foundation/NSRunLoop.h>
#include <Network/NSHTTPURLResponse.h>
#include <UIKit/UIApplication.h>

NS_IMPLEMENT_CLASS(HCURLConnectionOperation, NSOperation) {
    NSCodingRegister(b);
    b.readonlyProperty("isPaused", &HCURLConnectionOperation::isPaused);
    b.readonlyProperty("state", &HCURLConnectionOperation::state);
    b.manualNotification("isPaused");
    b.manualNotification("isReady");
    b.manualNotification("isExecuting");
    b.manualNotification("isFinished");
    b.manualNotification("state");
    b.classMethod("networkRequestThreadEntryPoint:",
                  [](const id& object) { HCURLConnectionOperation::networkRequestThreadEntryPoint(object); });
    b.classMethod("supportsSecureCoding", [] { return true; });
}

// Shared objects and constants here are never destroyed: the network thread and the dispatch
// workers outlive main() and may still use them while the process exits.
const Ref<NSString>& HCNetworkingOperationDidStartNotification() {
    static const Ref<NSString>& name = *new Ref<NSString>("com.celvix.networking.operation.start"_ns);
    return name;
}

const Ref<NSString>& HCNetworkingOperationDidFinishNotification() {
    static const Ref<NSString>& name = *new Ref<NSString>("com.celvix.networking.operation.finish"_ns);
    return name;
}

namespace {

const char* keyPathForState(HCConnectionOperationState state) {
    switch (state) {
    case HCOperationReadyState:
        return "isReady";
    case HCOperationExecutingState:
        return "isExecuting";
    case HCOperationFinishedState:
        return "isFinished";
    case HCOperationPausedState:
        return "isPaused";
    default:
        return "state";
    }
}

bool stateTransitionAllowed(HCConnectionOperationState from, HCConnectionOperationState to, bool cancelled) {
    switch (from) {
    case HCOperationReadyState:
        switch (to) {
        case HCOperationPausedState:
        case HCOperationExecutingState:
            return true;
        case HCOperationFinishedState:
            return cancelled;
        default:
            return false;
        }
    case HCOperationExecutingState:
        return to == HCOperationPausedState || to == HCOperationFinishedState;
    case HCOperationFinishedState:
        return false;
    case HCOperationPausedState:
        return to == HCOperationReadyState;
    default:
        return to == HCOperationPausedState || to == HCOperationReadyState || to == HCOperationExecutingState ||
               to == HCOperationFinishedState;
    }
}

const dispatch_group_t& defaultCompletionGroup() {
    static const dispatch_group_t& group = *new dispatch_group_t(dispatch_group_create());
    return group;
}

const dispatch_queue_t& completionCleanupQueue() {
    static const dispatch_queue_t& queue = *new dispatch_queue_t(
        dispatch_queue_create("com.celvix.networking.operation.completion-cleanup", DISPATCH_QUEUE_CONCURRENT));
    return queue;
}

// Nothing is handed to the main queue when nobody listens: a request would otherwise wake the main
// thread twice for nothing.
void postOnMainQueue(const Ref<NSString>& name, const id& object) {
    if (!NSNotificationCenter::defaultCenter()->hasObserversForName(name)) {
        return;
    }
    dispatch_async(dispatch_get_main_queue(),
                   [name, object] { NSNotificationCenter::defaultCenter()->postNotificationNameObject(name, object); });
}

bool sameHost(const Ref<NSURL>& url, const Ref<NSURLProtectionSpace>& space) {
    if (!url || !url->host() || !space || !space->host()) {
        return false;
    }
    NSInteger port = url->port()
                         ? url->port()->integerValue()
                         : (url->scheme() && url->scheme()->lowercaseString()->isEqualToString("https"_ns) ? 443 : 80);
    return url->host()->caseInsensitiveCompare(space->host()) == NSOrderedSame && port == space->port();
}

// An error is archived as its domain, code and the texts of its user info.
void encodeError(NSCoder* coder, const Ref<NSError>& error, const Ref<NSString>& key) {
    if (!error) {
        return;
    }
    auto info = NSMutableDictionary::dictionary();
    Ref<NSDictionary> userInfo = error->userInfo();
    for (const auto& [k, v] : *userInfo) {
        if (cast<NSString>(k) && (cast<NSString>(v) || cast<NSNumber>(v))) {
            info->setObjectForKey(v, k);
        } else if (cast<NSString>(k) && cast<NSURL>(v)) {
            info->setObjectForKey(cast<NSURL>(v)->absoluteString(), k);
        }
    }
    coder->encodeObjectForKey(
        NSDictionary::dictionaryWithEntries({{"domain"_ns, error->domain()},
                                             {"code"_ns, NSNumber::numberWithInteger(error->code())},
                                             {"userInfo"_ns, info}}),
        key);
}

Ref<NSError> decodeError(NSCoder* coder, const Ref<NSString>& key) {
    auto stored = cast<NSDictionary>(
        coder->decodeObjectOfClassesForKey({NSDictionary::class_(), NSString::class_(), NSNumber::class_()}, key));
    if (!stored) {
        return nullptr;
    }
    auto domain = cast<NSString>(stored->objectForKey("domain"_ns));
    auto code = cast<NSNumber>(stored->objectForKey("code"_ns));
    return make<NSError>(domain ? domain : ""_ns, code ? code->integerValue() : 0,
                         cast<NSDictionary>(stored->objectForKey("userInfo"_ns)));
}

} // namespace

HCURLConnectionOperation::HCURLConnectionOperation(const Ref<NSURLRequest>& request)
    : lock_(make<NSRecursiveLock>()), runLoopModes_(NSSet::setWithObject(NSRunLoopCommonModes())),
      securityPolicy_(HCSecurityPolicy::defaultPolicy()) {
    lock_->setName("com.celvix.networking.operation.lock"_ns);
    request_ = request;
}

HCURLConnectionOperation::HCURLConnectionOperation(NSCoder* coder)
    : HCURLConnectionOperation(
          cast<NSURLRequest>(coder->decodeObjectOfClassForKey(NSURLRequest::class_(), "request"_ns))) {
    auto state = cast<NSNumber>(coder->decodeObjectOfClassForKey(NSNumber::class_(), "state"_ns));
    if (state) {
        setState(static_cast<HCConnectionOperationState>(state->integerValue()));
    }
    response_ = cast<NSURLResponse>(coder->decodeObjectOfClassForKey(NSHTTPURLResponse::class_(), "response"_ns));
    error_ = decodeError(coder, "error"_ns);
    responseData_ = cast<NSData>(coder->decodeObjectOfClassForKey(NSData::class_(), "responseData"_ns));
    auto total = cast<NSNumber>(coder->decodeObjectOfClassForKey(NSNumber::class_(), "totalBytesRead"_ns));
    totalBytesRead_ = total ? total->longLongValue() : 0;
}

HCURLConnectionOperation::~HCURLConnectionOperation() {
    if (outputStream_) {
        outputStream_->close();
        outputStream_ = nullptr;
    }
    if (backgroundTaskCleanup_) {
        backgroundTaskCleanup_();
    }
}

// MARK: - The network-request thread

void HCURLConnectionOperation::networkRequestThreadEntryPoint(const id&) {
    NSThread::currentThread()->setName("HCNetworking"_ns);
    auto runLoop = NSRunLoop::currentRunLoop();
    // A port keeps the run loop from ever running out of sources, so it runs for ever.
    runLoop->addPortForMode(NSMachPort::port(), NSDefaultRunLoopMode());
    runLoop->run();
}

// The platform loads every request on one network thread with its own event loop; that thread is
// the network-request thread, so that a connection made there reports to its operation without a
// hand-over between threads.
Ref<NSThread> HCURLConnectionOperation::networkRequestThread() {
    static dispatch_once_t once;
    static Ref<NSThread>* thread = nullptr;
    dispatch_once(&once, [] {
        thread = new Ref<NSThread>(NSURLConnection::networkThread());
        NSURLConnection::performOnNetworkThread([] { NSThread::currentThread()->setName("HCNetworking"_ns); });
    });
    return *thread;
}

void HCURLConnectionOperation::performOnNetworkThread(std::function<void()> block) {
    networkRequestThread();
    NSURLConnection::performOnNetworkThread(std::move(block));
}

void HCURLConnectionOperation::submitStart(std::function<void()> start) {
    performOnNetworkThread(std::move(start));
}

// MARK: - Properties

Ref<NSURLRequest> HCURLConnectionOperation::request() const {
    Locked l(*this);
    return request_;
}

void HCURLConnectionOperation::setRequest(const Ref<NSURLRequest>& request) {
    Locked l(*this);
    request_ = request;
}

Ref<NSURLResponse> HCURLConnectionOperation::response() const {
    Locked l(*this);
    return response_;
}

void HCURLConnectionOperation::setResponse(const Ref<NSURLResponse>& response) {
    Locked l(*this);
    response_ = response;
}

Ref<NSError> HCURLConnectionOperation::error() const {
    Locked l(*this);
    return error_;
}

void HCURLConnectionOperation::setError(const Ref<NSError>& error) {
    Locked l(*this);
    error_ = error;
}

Ref<NSData> HCURLConnectionOperation::responseData() const {
    Locked l(*this);
    return responseData_;
}

void HCURLConnectionOperation::setResponseData(const Ref<NSData>& data) {
    Locked l(*this);
    responseData_ = data ? NSData::dataWithData(data) : nullptr;
}

long long HCURLConnectionOperation::totalBytesRead() const {
    Locked l(*this);
    return totalBytesRead_;
}

void HCURLConnectionOperation::setTotalBytesRead(long long total) {
    Locked l(*this);
    totalBytesRead_ = total;
}

NSStringEncoding HCURLConnectionOperation::responseStringEncoding() {
    Locked l(*this);
    if (responseStringEncoding_ == 0 && response_) {
        NSStringEncoding encoding = NSUTF8StringEncoding;
        if (NSStringEncoding named = HCStringEncodingForIANACharSetName(response_->textEncodingName())) {
            encoding = named;
        }
        responseStringEncoding_ = encoding;
    }
    return responseStringEncoding_;
}

Ref<NSString> HCURLConnectionOperation::responseString() {
    Locked l(*this);
    if (!responseString_ && response_ && responseData_) {
        responseString_ = NSString::stringWithDataEncoding(responseData_, responseStringEncoding());
    }
    return responseString_;
}

Ref<NSURLConnection> HCURLConnectionOperation::connection() const {
    Locked l(*this);
    return connection_;
}

Ref<NSSet> HCURLConnectionOperation::runLoopModes() const {
    Locked l(*this);
    return runLoopModes_;
}

void HCURLConnectionOperation::setRunLoopModes(const Ref<NSSet>& modes) {
    Locked l(*this);
    runLoopModes_ = modes;
}

Ref<NSURLCredential> HCURLConnectionOperation::credential() const {
    Locked l(*this);
    return credential_;
}

void HCURLConnectionOperation::setCredential(const Ref<NSURLCredential>& credential) {
    Locked l(*this);
    credential_ = credential;
}

Ref<HCSecurityPolicy> HCURLConnectionOperation::securityPolicy() const {
    Locked l(*this);
    return securityPolicy_;
}

void HCURLConnectionOperation::setSecurityPolicy(const Ref<HCSecurityPolicy>& policy) {
    Locked l(*this);
    securityPolicy_ = policy;
}

Ref<NSInputStream> HCURLConnectionOperation::inputStream() const {
    Locked l(*this);
    return request_ ? request_->HTTPBodyStream() : nullptr;
}

void HCURLConnectionOperation::setInputStream(const Ref<NSInputStream>& stream) {
    Locked l(*this);
    auto mutableRequest = request_ ? cast<NSMutableURLRequest>(request_->mutableCopy()) : make<NSMutableURLRequest>();
    mutableRequest->setHTTPBodyStream(stream);
    request_ = mutableRequest;
}

Ref<NSOutputStream> HCURLConnectionOperation::outputStream() {
    Locked l(*this);
    if (!outputStream_) {
        outputStream_ = NSOutputStream::outputStreamToMemory();
    }
    return outputStream_;
}

void HCURLConnectionOperation::setOutputStream(const Ref<NSOutputStream>& stream) {
    Locked l(*this);
    if (stream != outputStream_) {
        if (outputStream_) {
            outputStream_->close();
        }
        outputStream_ = stream;
    }
}

dispatch_queue_t HCURLConnectionOperation::completionQueue() const {
    Locked l(*this);
    return completionQueue_;
}

void HCURLConnectionOperation::setCompletionQueue(const dispatch_queue_t& queue) {
    Locked l(*this);
    completionQueue_ = queue;
}

dispatch_group_t HCURLConnectionOperation::completionGroup() const {
    Locked l(*this);
    return completionGroup_;
}

void HCURLConnectionOperation::setCompletionGroup(const dispatch_group_t& group) {
    Locked l(*this);
    completionGroup_ = group;
}

Ref<NSDictionary> HCURLConnectionOperation::userInfo() const {
    Locked l(*this);
    return userInfo_;
}

void HCURLConnectionOperation::setUserInfo(const Ref<NSDictionary>& userInfo) {
    Locked l(*this);
    userInfo_ = userInfo;
}

void HCURLConnectionOperation::setUploadProgressBlock(HCProgressBlock block) {
    Locked l(*this);
    uploadProgress_ = std::move(block);
}

void HCURLConnectionOperation::setDownloadProgressBlock(HCProgressBlock block) {
    Locked l(*this);
    downloadProgress_ = std::move(block);
}

void HCURLConnectionOperation::setWillSendRequestForAuthenticationChallengeBlock(HCAuthenticationChallengeBlock block) {
    Locked l(*this);
    authenticationChallenge_ = std::move(block);
}

void HCURLConnectionOperation::setCacheResponseBlock(HCCacheResponseBlock block) {
    Locked l(*this);
    cacheResponse_ = std::move(block);
}

void HCURLConnectionOperation::setRedirectResponseBlock(HCRedirectResponseBlock block) {
    Locked l(*this);
    redirectResponse_ = std::move(block);
}

// MARK: - Completion

void HCURLConnectionOperation::setCompletionBlock(std::function<void()> block) {
    Locked l(*this);
    directCompletion_ = nullptr;
    if (!block) {
        completion_ = nullptr;
        return;
    }
    Weak<HCURLConnectionOperation> weakSelf(this);
    completion_ = [weakSelf, block] {
        auto strongSelf = weakSelf.lock();
        dispatch_group_t group = strongSelf ? strongSelf->completionGroup() : nullptr;
        dispatch_queue_t queue = strongSelf ? strongSelf->completionQueue() : nullptr;
        if (!group) {
            group = defaultCompletionGroup();
        }
        if (!queue) {
            queue = dispatch_get_main_queue();
        }
        dispatch_group_async(group, queue, block);
        // Once the group has run, the block (and whatever it captured) is let go.
        dispatch_group_notify(group, completionCleanupQueue(), [weakSelf] {
            if (auto operation = weakSelf.lock()) {
                operation->setCompletionBlock(nullptr);
            }
        });
    };
}

std::function<void()> HCURLConnectionOperation::completionBlock() const {
    Locked l(*this);
    return directCompletion_ ? directCompletion_ : completion_;
}

void HCURLConnectionOperation::setDirectCompletion(std::function<void()> completion) {
    Locked l(*this);
    completion_ = nullptr;
    directCompletion_ = std::move(completion);
}

void HCURLConnectionOperation::setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler) {
    Locked l(*this);
    if (backgroundTaskCleanup_) {
        return;
    }
    auto application = UIApplication::sharedApplication();
    auto identifier = std::make_shared<std::atomic<UIBackgroundTaskIdentifier>>(UIBackgroundTaskInvalid);
    backgroundTaskCleanup_ = [application, identifier] {
        UIBackgroundTaskIdentifier current = identifier->exchange(UIBackgroundTaskInvalid);
        if (current != UIBackgroundTaskInvalid) {
            application->endBackgroundTask(current);
        }
    };
    Weak<HCURLConnectionOperation> weakSelf(this);
    identifier->store(application->beginBackgroundTaskWithExpirationHandler([weakSelf, handler] {
        if (handler) {
            handler();
        }
        if (auto operation = weakSelf.lock()) {
            operation->cancel();
            std::function<void()> cleanup;
            {
                Locked l(*operation);
                cleanup = operation->backgroundTaskCleanup_;
            }
            if (cleanup) {
                cleanup();
            }
        }
    }));
}

// MARK: - State

void HCURLConnectionOperation::setState(HCConnectionOperationState state) {
    bool cancelled = isCancelled();
    Locked l(*this);
    HCConnectionOperationState current = state_.load();
    if (state != HCOperationPausedState && state != HCOperationReadyState && state != HCOperationExecutingState &&
        state != HCOperationFinishedState) {
        return;
    }
    if (!stateTransitionAllowed(current, state, cancelled)) {
        return;
    }
    auto oldKey = NSString::from(keyPathForState(current));
    auto newKey = NSString::from(keyPathForState(state));
    willChangeValueForKey(newKey);
    willChangeValueForKey(oldKey);
    state_.store(state);
    didChangeValueForKey(oldKey);
    didChangeValueForKey(newKey);
}

bool HCURLConnectionOperation::isReady() const {
    return state_.load() == HCOperationReadyState && NSOperation::isReady();
}

bool HCURLConnectionOperation::isExecuting() const {
    return state_.load() == HCOperationExecutingState;
}

bool HCURLConnectionOperation::isFinished() const {
    return state_.load() == HCOperationFinishedState;
}

bool HCURLConnectionOperation::isPaused() const {
    return state_.load() == HCOperationPausedState;
}

// MARK: - Life cycle

void HCURLConnectionOperation::start() {
    Locked l(*this);
    Ref<HCURLConnectionOperation> self(this);
    if (isCancelled()) {
        performOnNetworkThread([self] { self->cancelConnection(); });
    } else if (isReady()) {
        setState(HCOperationExecutingState);
        performOnNetworkThread([self] { self->operationDidStart(); });
    }
}

void HCURLConnectionOperation::operationDidStart() {
    {
        Locked l(*this);
        if (isPaused()) {
            return; // paused before it got here: resuming starts it again
        }
        if (!isCancelled()) {
            auto connection = make<NSURLConnection>(request_, this, false);
            auto runLoop = NSRunLoop::currentRunLoop();
            auto stream = outputStream();
            for (const auto& mode : *runLoopModes_) {
                connection->scheduleInRunLoopForMode(runLoop, cast<NSString>(mode));
                stream->scheduleInRunLoopForMode(runLoop, cast<NSString>(mode));
            }
            connection_ = connection;
            stream->open();
            connection->start();
        }
    }
    startAnnounced_ = true;
    postOnMainQueue(HCNetworkingOperationDidStartNotification(), id(this));
}

void HCURLConnectionOperation::finish() {
    std::function<void()> completion;
    bool direct = false;
    {
        Locked l(*this);
        setState(HCOperationFinishedState);
        if (state_.load() == HCOperationFinishedState && !completionRun_) {
            completionRun_ = true;
            if (directCompletion_) {
                // Run once; the blocks it hands on hold what they need until they have run.
                completion = std::move(directCompletion_);
                directCompletion_ = nullptr;
                direct = true;
            } else {
                completion = completion_;
            }
        }
    }
    if (completion) {
        completion();
    }
    if (!direct) {
        postDidFinishNotification();
    }
}

void HCURLConnectionOperation::postDidFinishNotification() {
    if (startAnnounced_.exchange(false)) {
        postOnMainQueue(HCNetworkingOperationDidFinishNotification(), id(this));
    }
}

void HCURLConnectionOperation::cancel() {
    Locked l(*this);
    if (isFinished() || isCancelled()) {
        return;
    }
    NSOperation::cancel();
    Ref<HCURLConnectionOperation> self(this);
    if (isExecuting()) {
        performOnNetworkThread([self] { self->cancelConnection(); });
    } else if (isPaused()) {
        // A paused operation has no connection and would otherwise never end: it goes back to
        // ready and finishes with the cancellation error.
        setState(HCOperationReadyState);
        performOnNetworkThread([self] { self->cancelConnection(); });
    }
}

void HCURLConnectionOperation::cancelConnection() {
    Ref<NSDictionary> info;
    auto url = request() ? request()->URL() : nullptr;
    if (url) {
        info = NSDictionary::dictionaryWithEntries({{NSURLErrorFailingURLErrorKey(), url}});
    }
    auto error = make<NSError>(NSURLErrorDomain(), NSURLErrorCancelled, info);
    if (isFinished()) {
        return;
    }
    Ref<NSURLConnection> connection = this->connection();
    if (connection) {
        connection->cancel();
        connectionDidFailWithError(connection.get(), error);
    } else {
        setError(error);
        finish();
    }
}

void HCURLConnectionOperation::pause() {
    if (isPaused() || isFinished() || isCancelled()) {
        return;
    }
    Locked l(*this);
    if (isExecuting()) {
        Ref<HCURLConnectionOperation> self(this);
        performOnNetworkThread([self] { self->operationDidPause(); });
        postDidFinishNotification();
    }
    setState(HCOperationPausedState);
}

void HCURLConnectionOperation::operationDidPause() {
    Locked l(*this);
    if (connection_) {
        connection_->cancel();
        connection_ = nullptr;
    }
}

void HCURLConnectionOperation::resume() {
    if (!isPaused()) {
        return;
    }
    Locked l(*this);
    setState(HCOperationReadyState);
    start();
}

void HCURLConnectionOperation::failWithError(const Ref<NSError>& error) {
    Ref<NSURLConnection> connection = this->connection();
    if (connection) {
        connection->cancel();
    }
    connectionDidFailWithError(connection.get(), error);
}

// MARK: - Connection delegate

void HCURLConnectionOperation::connectionWillSendRequestForAuthenticationChallenge(
    NSURLConnection* connection, const Ref<NSURLAuthenticationChallenge>& challenge) {
    HCAuthenticationChallengeBlock block;
    Ref<HCSecurityPolicy> policy;
    Ref<NSURLCredential> credential;
    Ref<NSURLRequest> originalRequest;
    {
        Locked l(*this);
        block = authenticationChallenge_;
        policy = securityPolicy_;
        credential = credential_;
        originalRequest = request_;
    }
    if (block) {
        block(connection, challenge);
        return;
    }
    auto* sender = challenge->sender();
    if (!sender) {
        return;
    }
    auto space = challenge->protectionSpace();
    if (space->authenticationMethod()->isEqualToString(NSURLAuthenticationMethodServerTrust())) {
        if (policy && policy->evaluateServerTrustForDomain(space->serverTrust(), space->host())) {
            sender->useCredentialForAuthenticationChallenge(NSURLCredential::credentialForTrust(space->serverTrust()),
                                                            challenge);
        } else {
            sender->cancelAuthenticationChallenge(challenge);
        }
        return;
    }
    // The operation's credential is meant for the host it was made for: a redirect to another host
    // never receives it.
    if (challenge->previousFailureCount() == 0 && credential &&
        sameHost(originalRequest ? originalRequest->URL() : nullptr, space)) {
        sender->useCredentialForAuthenticationChallenge(credential, challenge);
    } else {
        sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    }
}

bool HCURLConnectionOperation::connectionShouldUseCredentialStorage(NSURLConnection*) {
    return shouldUseCredentialStorage_;
}

Ref<NSURLRequest> HCURLConnectionOperation::connectionWillSendRequestRedirectResponse(
    NSURLConnection* connection, const Ref<NSURLRequest>& request, const Ref<NSURLResponse>& redirectResponse) {
    HCRedirectResponseBlock block;
    {
        Locked l(*this);
        block = redirectResponse_;
    }
    if (!block) {
        return request; // the proposed request: the platform refuses it when it leaves https
    }
    Ref<NSURLRequest> next = block(connection, request, redirectResponse);
    // What the block returns it chose: a copy tells the platform so, even for the proposed request.
    return next && next == request ? cast<NSURLRequest>(next->copy()) : next;
}

void HCURLConnectionOperation::connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
    NSURLConnection*, NSInteger bytesWritten, NSInteger totalBytesWritten, NSInteger totalBytesExpected) {
    HCProgressBlock block;
    {
        Locked l(*this);
        block = uploadProgress_;
    }
    if (block) {
        dispatch_async(dispatch_get_main_queue(), [block, bytesWritten, totalBytesWritten, totalBytesExpected] {
            block(static_cast<NSUInteger>(bytesWritten), totalBytesWritten, totalBytesExpected);
        });
    }
}

void HCURLConnectionOperation::connectionDidReceiveResponse(NSURLConnection*, const Ref<NSURLResponse>& response) {
    setResponse(response);
}

void HCURLConnectionOperation::connectionDidReceiveData(NSURLConnection* connection, const Ref<NSData>& data) {
    auto stream = outputStream();
    NSUInteger length = data->length();
    if (stream->hasSpaceAvailable()) {
        NSUInteger written = 0;
        while (written < length) {
            NSInteger n = stream->writeMaxLength(data->bytes() + written, length - written);
            if (n <= 0) {
                // A failed write, or a stream that stopped taking bytes: the body would be
                // incomplete, so the load fails rather than report a truncated success.
                Ref<NSError> streamError = stream->streamError();
                failWithError(streamError ? streamError
                                          : make<NSError>(NSURLErrorDomain(), NSURLErrorCannotWriteToFile,
                                                          NSDictionary::dictionaryWithEntries(
                                                              {{NSLocalizedDescriptionKey(),
                                                                "The output stream took no more bytes"_ns}})));
                return;
            }
            written += static_cast<NSUInteger>(n);
        }
        // The count moves at once; the progress block (when there is one) hears of it on the main
        // queue.
        HCProgressBlock block;
        long long total;
        long long expected;
        {
            Locked l(*this);
            totalBytesRead_ += static_cast<long long>(length);
            total = totalBytesRead_;
            expected = response_ ? response_->expectedContentLength() : NSURLResponseUnknownLength;
            block = downloadProgress_;
        }
        if (block) {
            dispatch_async(dispatch_get_main_queue(),
                           [block, length, total, expected] { block(length, total, expected); });
        }
        return;
    }
    Ref<NSError> streamError = stream->streamError();
    failWithError(streamError
                      ? streamError
                      : make<NSError>(NSURLErrorDomain(), NSURLErrorCannotWriteToFile,
                                      NSDictionary::dictionaryWithEntries(
                                          {{NSLocalizedDescriptionKey(), "The output stream has no space"_ns}})));
}

void HCURLConnectionOperation::connectionDidFinishLoading(NSURLConnection*) {
    {
        Locked l(*this);
        auto stream = outputStream();
        auto data = cast<NSData>(stream->propertyForKey(NSStreamDataWrittenToMemoryStreamKey()));
        setResponseData(data);
        stream->close();
        if (responseData_) {
            outputStream_ = nullptr;
        }
        connection_ = nullptr;
    }
    finish();
}

void HCURLConnectionOperation::connectionDidFailWithError(NSURLConnection*, const Ref<NSError>& error) {
    {
        Locked l(*this);
        if (isFinished()) {
            return;
        }
        error_ = error;
        if (outputStream_) {
            outputStream_->close();
            if (responseData_) {
                outputStream_ = nullptr;
            }
        }
        connection_ = nullptr;
    }
    finish();
}

Ref<NSCachedURLResponse>
HCURLConnectionOperation::connectionWillCacheResponse(NSURLConnection* connection,
                                                      const Ref<NSCachedURLResponse>& cachedResponse) {
    HCCacheResponseBlock block;
    {
        Locked l(*this);
        block = cacheResponse_;
    }
    if (block) {
        return block(connection, cachedResponse);
    }
    return isCancelled() ? nullptr : cachedResponse;
}

// MARK: - Batches

Ref<NSArray> HCURLConnectionOperation::batchOfRequestOperationsProgressBlockCompletionBlock(
    const Ref<NSArray>& operations, std::function<void(NSUInteger, NSUInteger)> progressBlock,
    std::function<void(const Ref<NSArray>&)> completionBlock) {
    if (!operations || operations->count() == 0) {
        auto done = NSBlockOperation::blockOperationWithBlock([completionBlock] {
            dispatch_async(dispatch_get_main_queue(), [completionBlock] {
                if (completionBlock) {
                    completionBlock(NSArray::array());
                }
            });
        });
        return NSArray::arrayWithObjects({done});
    }
    auto group = dispatch_group_create();
    auto batchedOperation = NSBlockOperation::blockOperationWithBlock([group, operations, completionBlock] {
        dispatch_group_notify(group, dispatch_get_main_queue(), [operations, completionBlock] {
            if (completionBlock) {
                completionBlock(operations);
            }
        });
    });
    for (const auto& item : *operations) {
        auto operation = cast<HCURLConnectionOperation>(item);
        if (!operation) {
            continue;
        }
        operation->setCompletionGroup(group);
        auto original = operation->completionBlock();
        Weak<HCURLConnectionOperation> weakOperation(operation);
        operation->setCompletionBlock([weakOperation, original, group, operations, progressBlock] {
            auto strongOperation = weakOperation.lock();
            dispatch_queue_t queue = strongOperation ? strongOperation->completionQueue() : nullptr;
            dispatch_group_async(group, queue ? queue : dispatch_get_main_queue(),
                                 [original, group, operations, progressBlock] {
                                     if (original) {
                                         original();
                                     }
                                     NSUInteger finished = 0;
                                     for (const auto& member : *operations) {
                                         auto op = cast<NSOperation>(member);
                                         if (op && op->isFinished()) {
                                             ++finished;
                                         }
                                     }
                                     if (progressBlock) {
                                         progressBlock(finished, operations->count());
                                     }
                                     dispatch_group_leave(group);
                                 });
        });
        dispatch_group_enter(group);
        batchedOperation->addDependency(operation);
    }
    return operations->arrayByAddingObject(batchedOperation);
}

// MARK: - Description, archiving, copying

Ref<NSString> HCURLConnectionOperation::description() const {
    Locked l(*this);
    return NSString::stringWithFormat("<%@: %p, state: %s, cancelled: %s request: %@, response: %@>",
                                      NSStringFromClass(getClass()), static_cast<const void*>(this),
                                      keyPathForState(state_.load()), isCancelled() ? "YES" : "NO", request_,
                                      response_);
}

void HCURLConnectionOperation::encodeWithCoder(NSCoder* coder) {
    pause();
    Locked l(*this);
    coder->encodeObjectForKey(request_, "request"_ns);
    HCConnectionOperationState state = state_.load();
    if (state == HCOperationExecutingState || state == HCOperationPausedState) {
        state = HCOperationReadyState;
    }
    coder->encodeObjectForKey(NSNumber::numberWithInteger(state), "state"_ns);
    coder->encodeObjectForKey(response_, "response"_ns);
    encodeError(coder, error_, "error"_ns);
    coder->encodeObjectForKey(responseData_, "responseData"_ns);
    coder->encodeObjectForKey(NSNumber::numberWithLongLong(totalBytesRead_), "totalBytesRead"_ns);
}

void HCURLConnectionOperation::copyHooksInto(HCURLConnectionOperation& other) const {
    Locked l(*this);
    other.uploadProgress_ = uploadProgress_;
    other.downloadProgress_ = downloadProgress_;
    other.authenticationChallenge_ = authenticationChallenge_;
    other.cacheResponse_ = cacheResponse_;
    other.redirectResponse_ = redirectResponse_;
    other.completionQueue_ = completionQueue_;
    other.completionGroup_ = completionGroup_;
}

id HCURLConnectionOperation::copy() const {
    auto other = make<HCURLConnectionOperation>(request());
    copyHooksInto(*other);
    return other;
}
