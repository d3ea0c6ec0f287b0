#include <Network/NSURLSession.h>

#include <Foundation/NSFileManager.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Network/URLSessionInternal.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSURLSession, NSObject) {
    b.readonlyProperty("configuration", &NSURLSession::configuration);
    b.readonlyProperty("delegateQueue", &NSURLSession::delegateQueue);
}

// MARK: - Shared state

void NSURLSession::State::post(std::function<void()> event) {
    Ref<NSOperationQueue> target;
    {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
        if (pumping) {
            return;
        }
        pumping = true;
        target = queue;
    }
    auto self = shared_from_this();
    target->addOperationWithBlock([self] { self->drain(); });
}

namespace {
// The session whose events this thread is delivering now.
thread_local const NSURLSession::State* tDelivering = nullptr;
} // namespace

void NSURLSession::State::drain() {
    struct Delivering {
        const NSURLSession::State* previous;
        explicit Delivering(const NSURLSession::State* state) : previous(tDelivering) { tDelivering = state; }
        ~Delivering() { tDelivering = previous; }
    } delivering(this);
    for (;;) {
        std::function<void()> event;
        {
            std::lock_guard lock(mutex);
            if (events.empty()) {
                pumping = false;
                return;
            }
            event = std::move(events.front());
            events.pop_front();
        }
        event();
    }
}

NSURLSession::State::Delegates NSURLSession::State::delegates() {
    std::lock_guard lock(mutex);
    return {delegateObject, delegate, taskDelegate, dataDelegate, downloadDelegate};
}

void NSURLSession::State::taskDidComplete(NSURLSessionTask* task) {
    {
        std::lock_guard lock(mutex);
        std::erase_if(tasks, [&](const Ref<NSURLSessionTask>& t) { return t.get() == task; });
    }
    becomeInvalidIfDone();
}

void NSURLSession::State::becomeInvalidIfDone() {
    {
        std::lock_guard lock(mutex);
        if (!invalidating || invalidated || !tasks.empty()) {
            return;
        }
        invalidated = true;
    }
    auto self = shared_from_this();
    post([self] {
        auto d = self->delegates();
        if (d.session) {
            d.session->URLSessionDidBecomeInvalidWithError(self->session.lock().get(), nullptr);
        }
        // The session lets go of its delegate once it has told it.
        std::lock_guard lock(self->mutex);
        self->delegateObject = nullptr;
        self->delegate = nullptr;
        self->taskDelegate = nullptr;
        self->dataDelegate = nullptr;
        self->downloadDelegate = nullptr;
    });
}

// MARK: - Session

NSURLSession::NSURLSession(Key, const Ref<NSURLSessionConfiguration>& configuration, NSObject* delegate,
                           const Ref<NSOperationQueue>& delegateQueue)
    : state_(std::make_shared<State>()) {
    state_->session = Weak<NSURLSession>(this);
    state_->configuration = cast<NSURLSessionConfiguration>(
        (configuration ? configuration : NSURLSessionConfiguration::defaultSessionConfiguration())->copy());
    state_->delegateObject = id(delegate);
    state_->delegate = dynamic_cast<NSURLSessionDelegate*>(delegate);
    state_->taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate);
    state_->dataDelegate = dynamic_cast<NSURLSessionDataDelegate*>(delegate);
    state_->downloadDelegate = dynamic_cast<NSURLSessionDownloadDelegate*>(delegate);
    state_->queue = delegateQueue;
    if (!state_->queue) {
        state_->queue = make<NSOperationQueue>();
        state_->queue->setMaxConcurrentOperationCount(1);
    }
}

NSURLSession::~NSURLSession() = default;

Ref<NSURLSession> NSURLSession::sharedSession() {
    static const Ref<NSURLSession>& shared = *new Ref<NSURLSession>(
        make<NSURLSession>(Key(), NSURLSessionConfiguration::defaultSessionConfiguration(), nullptr, nullptr));
    return shared;
}

Ref<NSURLSession> NSURLSession::sessionWithConfiguration(const Ref<NSURLSessionConfiguration>& configuration) {
    return make<NSURLSession>(Key(), configuration, nullptr, nullptr);
}

Ref<NSURLSession>
NSURLSession::sessionWithConfigurationDelegateDelegateQueue(const Ref<NSURLSessionConfiguration>& configuration,
                                                            NSObject* delegate, const Ref<NSOperationQueue>& queue) {
    return make<NSURLSession>(Key(), configuration, delegate, queue);
}

Ref<NSURLSessionConfiguration> NSURLSession::configuration() const {
    std::lock_guard lock(state_->mutex);
    return cast<NSURLSessionConfiguration>(state_->configuration->copy());
}

NSObject* NSURLSession::delegate() const {
    std::lock_guard lock(state_->mutex);
    return state_->delegateObject.get();
}

Ref<NSOperationQueue> NSURLSession::delegateQueue() const {
    std::lock_guard lock(state_->mutex);
    return state_->queue;
}

Ref<NSString> NSURLSession::sessionDescription() const {
    std::lock_guard lock(state_->mutex);
    return state_->sessionDescription;
}

void NSURLSession::setSessionDescription(const Ref<NSString>& description) {
    std::lock_guard lock(state_->mutex);
    state_->sessionDescription = description;
}

Ref<NSURLSessionTask> NSURLSession::makeTask(const Ref<NSURLRequest>& request, NSURLSessionTask::Kind kind,
                                             const std::function<void(NSURLSessionTask::State&)>& configure) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->invalidating) {
            return nullptr;
        }
    }
    Ref<NSURLSession> self(this);
    NSUInteger identifier = state_->nextIdentifier++;
    Ref<NSURLSessionTask> task;
    switch (kind) {
    case NSURLSessionTask::Kind::Data:
        task = make<NSURLSessionDataTask>(NSURLSessionTask::Key(), self, request, kind, identifier);
        break;
    case NSURLSessionTask::Kind::Upload:
        task = make<NSURLSessionUploadTask>(NSURLSessionTask::Key(), self, request, kind, identifier);
        break;
    case NSURLSessionTask::Kind::Download:
        task = make<NSURLSessionDownloadTask>(NSURLSessionTask::Key(), self, request, kind, identifier);
        break;
    }
    if (configure) {
        configure(*task->internalState());
    }
    std::lock_guard lock(state_->mutex);
    state_->tasks.push_back(task);
    return task;
}

Ref<NSURLSessionDataTask> NSURLSession::dataTaskWithRequest(const Ref<NSURLRequest>& request) {
    return cast<NSURLSessionDataTask>(makeTask(request, NSURLSessionTask::Kind::Data));
}

Ref<NSURLSessionDataTask> NSURLSession::dataTaskWithURL(const Ref<NSURL>& url) {
    return dataTaskWithRequest(make<NSURLRequest>(url));
}

Ref<NSURLSessionDataTask>
NSURLSession::dataTaskWithRequestCompletionHandler(const Ref<NSURLRequest>& request,
                                                   NSURLSessionDataCompletionHandler handler) {
    return cast<NSURLSessionDataTask>(
        makeTask(request, NSURLSessionTask::Kind::Data,
                 [&](NSURLSessionTask::State& state) { state.dataHandler = std::move(handler); }));
}

Ref<NSURLSessionUploadTask> NSURLSession::uploadTaskWithRequestFromFile(const Ref<NSURLRequest>& request,
                                                                        const Ref<NSURL>& fileURL) {
    if (!request || !fileURL || !fileURL->isFileURL()) {
        return nullptr;
    }
    auto body = cast<NSMutableURLRequest>(request->mutableCopy());
    body->setHTTPBodyStream(NSInputStream::inputStreamWithURL(fileURL));
    auto attributes = NSFileManager::defaultManager()->attributesOfItemAtPathError(fileURL->path(), nullptr);
    auto size = attributes ? cast<NSNumber>(attributes->objectForKey(NSFileSize())) : nullptr;
    if (size) {
        body->setValueForHTTPHeaderField(NSString::stringWithFormat("%llu", size->unsignedLongLongValue()),
                                         "Content-Length"_ns);
    }
    return cast<NSURLSessionUploadTask>(
        makeTask(body, NSURLSessionTask::Kind::Upload, [&](NSURLSessionTask::State& state) {
            if (size) {
                state.expectedToSend = size->longLongValue();
            }
        }));
}

Ref<NSURLSessionUploadTask> NSURLSession::uploadTaskWithRequestFromData(const Ref<NSURLRequest>& request,
                                                                        const Ref<NSData>& bodyData) {
    if (!request) {
        return nullptr;
    }
    auto body = cast<NSMutableURLRequest>(request->mutableCopy());
    body->setHTTPBody(bodyData ? bodyData : NSData::data());
    return cast<NSURLSessionUploadTask>(makeTask(body, NSURLSessionTask::Kind::Upload));
}

Ref<NSURLSessionUploadTask> NSURLSession::uploadTaskWithStreamedRequest(const Ref<NSURLRequest>& request) {
    return cast<NSURLSessionUploadTask>(
        makeTask(request, NSURLSessionTask::Kind::Upload, [](NSURLSessionTask::State& state) {
            // A streamed body has no size of its own; the request's Content-Length is only a claim.
            state.expectedToSend = NSURLSessionTransferSizeUnknown;
        }));
}

Ref<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithRequest(const Ref<NSURLRequest>& request) {
    return cast<NSURLSessionDownloadTask>(makeTask(request, NSURLSessionTask::Kind::Download));
}

Ref<NSURLSessionDownloadTask>
NSURLSession::downloadTaskWithRequestCompletionHandler(const Ref<NSURLRequest>& request,
                                                       NSURLSessionDownloadCompletionHandler handler) {
    return cast<NSURLSessionDownloadTask>(
        makeTask(request, NSURLSessionTask::Kind::Download,
                 [&](NSURLSessionTask::State& state) { state.downloadHandler = std::move(handler); }));
}

Ref<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithResumeData(const Ref<NSData>& resumeData) {
    auto info = resumeData ? cast<NSDictionary>(NSPropertyListSerialization::propertyListWithDataOptionsFormatError(
                                 resumeData, 0, nullptr, nullptr))
                           : nullptr;
    auto url = info ? cast<NSString>(info->objectForKey("URL"_ns)) : nullptr;
    auto path = info ? cast<NSString>(info->objectForKey("path"_ns)) : nullptr;
    auto offset = info ? cast<NSNumber>(info->objectForKey("offset"_ns)) : nullptr;
    if (!url || !path || !offset || !NSFileManager::defaultManager()->fileExistsAtPath(path)) {
        return nullptr;
    }
    auto request = make<NSMutableURLRequest>(NSURL::URLWithString(url));
    request->setValueForHTTPHeaderField(NSString::stringWithFormat("bytes=%lld-", offset->longLongValue()), "Range"_ns);
    if (auto etag = cast<NSString>(info->objectForKey("ETag"_ns))) {
        request->setValueForHTTPHeaderField(etag, "If-Range"_ns);
    }
    return cast<NSURLSessionDownloadTask>(
        makeTask(request, NSURLSessionTask::Kind::Download, [&](NSURLSessionTask::State& state) {
            state.downloadPath = path->str();
            state.resumeOffset = offset->longLongValue();
        }));
}

void NSURLSession::getTasksWithCompletionHandler(
    std::function<void(const Ref<NSArray>&, const Ref<NSArray>&, const Ref<NSArray>&)> handler) {
    auto state = state_;
    auto answer = [state, handler] {
        auto dataTasks = NSMutableArray::array();
        auto uploadTasks = NSMutableArray::array();
        auto downloadTasks = NSMutableArray::array();
        {
            std::lock_guard lock(state->mutex);
            for (const auto& task : state->tasks) {
                if (cast<NSURLSessionUploadTask>(task)) {
                    uploadTasks->addObject(task);
                } else if (cast<NSURLSessionDataTask>(task)) {
                    dataTasks->addObject(task);
                } else if (cast<NSURLSessionDownloadTask>(task)) {
                    downloadTasks->addObject(task);
                }
            }
        }
        if (handler) {
            handler(dataTasks, uploadTasks, downloadTasks);
        }
    };
    Ref<NSOperationQueue> queue;
    {
        std::lock_guard lock(state_->mutex);
        queue = state_->queue;
    }
    if (tDelivering == state_.get() || (queue && NSOperationQueue::currentQueue() == queue)) {
        // Asked from the delegate queue itself, which a later event could only reach once the
        // caller returns: answer now, so that a caller that waits for the answer cannot deadlock.
        answer();
        return;
    }
    state_->post(std::move(answer));
}

void NSURLSession::invalidateAndCancel() {
    std::vector<Ref<NSURLSessionTask>> tasks;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->invalidating) {
            return;
        }
        state_->invalidating = true;
        tasks = state_->tasks;
    }
    for (const auto& task : tasks) {
        task->cancel();
    }
    state_->becomeInvalidIfDone();
}

void NSURLSession::finishTasksAndInvalidate() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->invalidating) {
            return;
        }
        state_->invalidating = true;
    }
    state_->becomeInvalidIfDone();
}

Ref<NSString> NSURLSession::description() const {
    return NSString::stringWithFormat("<NSURLSession: %p>", static_cast<const void*>(this));
}
