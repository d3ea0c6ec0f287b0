#include <Networking/HCURLSessionManager.h>

#include <Networking/HCJSONResponseSerializer.h>
#include <Networking/_HCURLSessionTaskSwizzling.h>

#include <Foundation/NSFileManager.h>
#include <Foundation/NSNumber.h>

NS_IMPLEMENT_CLASS(HCURLSessionManager, NSObject) {
    NSCodingRegister(b);
    b.classMethod("supportsSecureCoding", [] { return true; });
    // The callbacks a session asks for by selector.
    for (const char* selector :
         {"URLSession:didBecomeInvalidWithError:", "URLSession:didReceiveChallenge:completionHandler:",
          "URLSession:task:didReceiveChallenge:completionHandler:", "URLSession:task:needNewBodyStream:",
          "URLSession:task:didSendBodyData:totalBytesSent:totalBytesExpectedToSend:",
          "URLSession:task:didCompleteWithError:", "URLSession:dataTask:didBecomeDownloadTask:",
          "URLSession:dataTask:didReceiveData:", "URLSession:downloadTask:didFinishDownloadingToURL:",
          "URLSession:downloadTask:didWriteData:totalBytesWritten:totalBytesExpectedToWrite:",
          "URLSession:downloadTask:didResumeAtOffset:expectedTotalBytes:",
          "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:",
          "URLSession:dataTask:didReceiveResponse:completionHandler:",
          "URLSession:dataTask:willCacheResponse:completionHandler:",
          "URLSessionDidFinishEventsForBackgroundURLSession:"}) {
        // Reached through the delegate protocols; registered so that the class answers for them.
        b.cls()->addInstanceMethod(SEL(selector), [selector](NSObject*, const std::vector<id>&) -> id {
            NSException::raise(NSInvalidArgumentException,
                               std::string(selector) + " is called through the session delegate protocol");
        });
    }
}

// Shared objects and constants here are never destroyed: the network thread and the dispatch
// workers outlive main() and may still use them while the process exits.
#define DX_NAME(function, text)                                                                                        \
    const Ref<NSString>& function() {                                                                                  \
        static const Ref<NSString>& value = *new Ref<NSString>(text##_ns);                                             \
        return value;                                                                                                  \
    }

DX_NAME(HCNetworkingTaskDidResumeNotification, "com.celvix.networking.task.resume")
DX_NAME(HCNetworkingTaskDidSuspendNotification, "com.celvix.networking.task.suspend")
DX_NAME(HCNetworkingTaskDidCompleteNotification, "com.celvix.networking.task.complete")
DX_NAME(HCURLSessionDidInvalidateNotification, "com.celvix.networking.session.invalidate")
DX_NAME(HCURLSessionDownloadTaskDidFailToMoveFileNotification,
        "com.celvix.networking.session.download.file-manager-error")
DX_NAME(HCNetworkingTaskDidCompleteResponseDataKey, "com.celvix.networking.task.complete.responsedata")
DX_NAME(HCNetworkingTaskDidCompleteSerializedResponseKey, "com.celvix.networking.task.complete.serializedresponse")
DX_NAME(HCNetworkingTaskDidCompleteResponseSerializerKey, "com.celvix.networking.task.complete.responseserializer")
DX_NAME(HCNetworkingTaskDidCompleteAssetPathKey, "com.celvix.networking.task.complete.assetpath")
DX_NAME(HCNetworkingTaskDidCompleteErrorKey, "com.celvix.networking.task.complete.error")

namespace {

const dispatch_queue_t& taskCreationQueue() {
    static const dispatch_queue_t& queue = *new dispatch_queue_t(
        dispatch_queue_create("com.celvix.networking.session.manager.creation", DISPATCH_QUEUE_SERIAL));
    return queue;
}

Ref<NSNumber> keyFor(NSURLSessionTask* task) {
    return NSNumber::numberWithUnsignedInteger(task->taskIdentifier());
}

} // namespace

const dispatch_queue_t& HCURLSessionManager::responseProcessingQueue() {
    static const dispatch_queue_t& queue = *new dispatch_queue_t(
        dispatch_queue_create("com.celvix.networking.session.manager.processing", DISPATCH_QUEUE_CONCURRENT));
    return queue;
}

const dispatch_group_t& HCURLSessionManager::defaultCompletionGroup() {
    static const dispatch_group_t& group = *new dispatch_group_t(dispatch_group_create());
    return group;
}

// MARK: - Life cycle

HCURLSessionManager::HCURLSessionManager(const Ref<NSURLSessionConfiguration>& configuration) {
    _HCURLSessionTaskSwizzling::load();
    sessionConfiguration_ = configuration ? configuration : NSURLSessionConfiguration::defaultSessionConfiguration();
    operationQueue_ = make<NSOperationQueue>();
    operationQueue_->setMaxConcurrentOperationCount(1);
    session_ =
        NSURLSession::sessionWithConfigurationDelegateDelegateQueue(sessionConfiguration_, this, operationQueue_);
    setResponseSerializer(HCJSONResponseSerializer::serializer());
    securityPolicy_ = HCSecurityPolicy::defaultPolicy();
    reachabilityManager_ = HCNetworkReachabilityManager::sharedManager();
    delegates_ = NSMutableDictionary::dictionary();
    lock_ = make<NSLock>();
    lock_->setName("com.celvix.networking.session.manager.lock"_ns);
    // Tasks the session already holds (a background session's) get delegates too. The list arrives
    // later, on the delegate queue, and may then hold tasks made since: those keep their own.
    Weak<HCURLSessionManager> weakSelf(this);
    session_->getTasksWithCompletionHandler(
        [weakSelf](const Ref<NSArray>& dataTasks, const Ref<NSArray>& uploadTasks, const Ref<NSArray>& downloadTasks) {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            for (const auto& task : *dataTasks) {
                self->addDelegateForDataTask(cast<NSURLSessionDataTask>(task), nullptr, Install::IfAbsent);
            }
            for (const auto& task : *uploadTasks) {
                self->addDelegateForUploadTask(cast<NSURLSessionUploadTask>(task), nullptr, nullptr, Install::IfAbsent);
            }
            for (const auto& task : *downloadTasks) {
                self->addDelegateForDownloadTask(cast<NSURLSessionDownloadTask>(task), nullptr, nullptr, nullptr,
                                                 Install::IfAbsent);
            }
        });
    auto center = NSNotificationCenter::defaultCenter();
    resumeObserver_ = center->addObserverForNameObjectQueueUsingBlock(
        HCNSURLSessionTaskDidResumeNotification(), nullptr, nullptr, [weakSelf](const Ref<NSNotification>& note) {
            if (auto self = weakSelf.lock()) {
                self->taskDidResume(note);
            }
        });
    suspendObserver_ = center->addObserverForNameObjectQueueUsingBlock(
        HCNSURLSessionTaskDidSuspendNotification(), nullptr, nullptr, [weakSelf](const Ref<NSNotification>& note) {
            if (auto self = weakSelf.lock()) {
                self->taskDidSuspend(note);
            }
        });
}

HCURLSessionManager::HCURLSessionManager(NSCoder* coder)
    : HCURLSessionManager(cast<NSURLSessionConfiguration>(
          coder->decodeObjectOfClassForKey(NSURLSessionConfiguration::class_(), "sessionConfiguration"_ns))) {}

HCURLSessionManager::~HCURLSessionManager() {
    auto center = NSNotificationCenter::defaultCenter();
    center->removeObserver(resumeObserver_);
    center->removeObserver(suspendObserver_);
}

void HCURLSessionManager::setResponseSerializer(const id& serializer) {
    responseSerializer_ = serializer;
    responseSerializerProtocol_ = dynamic_cast<HCURLResponseSerialization*>(serializer.get());
}

Ref<NSString> HCURLSessionManager::taskDescriptionForSessionTasks() const {
    return NSString::stringWithFormat("%p", static_cast<const void*>(this));
}

// MARK: - Task delegates

Ref<HCURLSessionManagerTaskDelegate> HCURLSessionManager::delegateForTask(NSURLSessionTask* task) {
    if (!task) {
        return nullptr;
    }
    lock_->lock();
    auto delegate = cast<HCURLSessionManagerTaskDelegate>(delegates_->objectForKey(keyFor(task)));
    lock_->unlock();
    return delegate;
}

void HCURLSessionManager::setDelegateForTask(const Ref<HCURLSessionManagerTaskDelegate>& delegate,
                                             NSURLSessionTask* task) {
    if (!delegate || !task) {
        return;
    }
    lock_->lock();
    delegates_->setObjectForKey(delegate, keyFor(task));
    lock_->unlock();
}

void HCURLSessionManager::removeDelegateForTask(NSURLSessionTask* task) {
    if (!task) {
        return;
    }
    lock_->lock();
    delegates_->removeObjectForKey(keyFor(task));
    lock_->unlock();
}

void HCURLSessionManager::removeAllDelegates() {
    lock_->lock();
    delegates_->removeAllObjects();
    lock_->unlock();
}

int64_t HCURLSessionManager::expectedUploadTotal(NSURLSessionTask* task, int64_t expected) {
    if (expected == NSURLSessionTransferSizeUnknown) {
        auto request = task->originalRequest();
        if (auto length = request ? request->valueForHTTPHeaderField("Content-Length"_ns) : nullptr) {
            return length->longLongValue();
        }
    }
    return expected;
}

bool HCURLSessionManager::installDelegate(const Ref<HCURLSessionManagerTaskDelegate>& delegate, NSURLSessionTask* task,
                                          Install install) {
    auto key = keyFor(task);
    lock_->lock();
    bool installs = install == Install::Replace || !delegates_->objectForKey(key);
    if (installs) {
        delegates_->setObjectForKey(delegate, key);
    }
    lock_->unlock();
    return installs;
}

void HCURLSessionManager::addDelegateForDataTask(const Ref<NSURLSessionDataTask>& task,
                                                 HCURLSessionTaskCompletionHandler handler, Install install) {
    auto delegate = make<HCURLSessionManagerTaskDelegate>();
    delegate->setManager(this);
    delegate->setCompletionHandler(std::move(handler));
    if (installDelegate(delegate, task.get(), install)) {
        task->setTaskDescription(taskDescriptionForSessionTasks());
    }
}

void HCURLSessionManager::addDelegateForUploadTask(const Ref<NSURLSessionUploadTask>& task, Ref<NSProgress>* progress,
                                                   HCURLSessionTaskCompletionHandler handler, Install install) {
    auto delegate = make<HCURLSessionManagerTaskDelegate>();
    delegate->setManager(this);
    delegate->setCompletionHandler(std::move(handler));
    // The progress is complete before the delegate can be found, so no callback sees it half made.
    auto taskProgress = delegate->progress();
    taskProgress->setTotalUnitCount(expectedUploadTotal(task.get(), task->countOfBytesExpectedToSend()));
    taskProgress->setPausable(true);
    Weak<NSURLSessionTask> weakTask(task);
    taskProgress->setPausingHandler([weakTask] {
        if (auto t = weakTask.lock()) {
            t->suspend();
        }
    });
    taskProgress->setCancellationHandler([weakTask] {
        if (auto t = weakTask.lock()) {
            t->cancel();
        }
    });
    if (!installDelegate(delegate, task.get(), install)) {
        return;
    }
    task->setTaskDescription(taskDescriptionForSessionTasks());
    if (progress) {
        *progress = taskProgress;
    }
}

void HCURLSessionManager::addDelegateForDownloadTask(const Ref<NSURLSessionDownloadTask>& task,
                                                     Ref<NSProgress>* progress, Destination destination,
                                                     HCURLSessionTaskCompletionHandler handler, Install install) {
    auto delegate = make<HCURLSessionManagerTaskDelegate>();
    delegate->setManager(this);
    delegate->setCompletionHandler(std::move(handler));
    if (destination) {
        delegate->setDownloadTaskDidFinishDownloading(
            [destination](NSURLSession*, NSURLSessionDownloadTask* t, const Ref<NSURL>& location) {
                return destination(location, t->response());
            });
    }
    if (!installDelegate(delegate, task.get(), install)) {
        return;
    }
    task->setTaskDescription(taskDescriptionForSessionTasks());
    if (progress) {
        *progress = delegate->progress();
    }
}

// MARK: - Task creation

Ref<NSURLSessionDataTask>
HCURLSessionManager::dataTaskWithRequestCompletionHandler(const Ref<NSURLRequest>& request,
                                                          HCURLSessionTaskCompletionHandler handler) {
    Ref<NSURLSessionDataTask> task;
    dispatch_sync(taskCreationQueue(), [&] { task = session_->dataTaskWithRequest(request); });
    if (task) {
        addDelegateForDataTask(task, std::move(handler));
    }
    return task;
}

Ref<NSURLSessionUploadTask> HCURLSessionManager::uploadTaskWithRequestFromFileProgressCompletionHandler(
    const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL, Ref<NSProgress>* progress,
    HCURLSessionTaskCompletionHandler handler) {
    Ref<NSURLSessionUploadTask> task;
    dispatch_sync(taskCreationQueue(), [&] { task = session_->uploadTaskWithRequestFromFile(request, fileURL); });
    if (!task && recreateUploads_ && session_->configuration()->identifier()) {
        for (int attempt = 1; !task && attempt < 3; ++attempt) {
            task = session_->uploadTaskWithRequestFromFile(request, fileURL);
        }
    }
    if (task) {
        addDelegateForUploadTask(task, progress, std::move(handler));
    }
    return task;
}

Ref<NSURLSessionUploadTask> HCURLSessionManager::uploadTaskWithRequestFromDataProgressCompletionHandler(
    const Ref<NSURLRequest>& request, const Ref<NSData>& bodyData, Ref<NSProgress>* progress,
    HCURLSessionTaskCompletionHandler handler) {
    Ref<NSURLSessionUploadTask> task;
    dispatch_sync(taskCreationQueue(), [&] { task = session_->uploadTaskWithRequestFromData(request, bodyData); });
    if (task) {
        addDelegateForUploadTask(task, progress, std::move(handler));
    }
    return task;
}

Ref<NSURLSessionUploadTask> HCURLSessionManager::uploadTaskWithStreamedRequestProgressCompletionHandler(
    const Ref<NSURLRequest>& request, Ref<NSProgress>* progress, HCURLSessionTaskCompletionHandler handler) {
    Ref<NSURLSessionUploadTask> task;
    dispatch_sync(taskCreationQueue(), [&] { task = session_->uploadTaskWithStreamedRequest(request); });
    if (task) {
        addDelegateForUploadTask(task, progress, std::move(handler));
    }
    return task;
}

Ref<NSURLSessionDownloadTask> HCURLSessionManager::downloadTaskWithRequestProgressDestinationCompletionHandler(
    const Ref<NSURLRequest>& request, Ref<NSProgress>* progress, Destination destination,
    HCURLSessionTaskCompletionHandler handler) {
    Ref<NSURLSessionDownloadTask> task;
    dispatch_sync(taskCreationQueue(), [&] { task = session_->downloadTaskWithRequest(request); });
    if (task) {
        addDelegateForDownloadTask(task, progress, std::move(destination), std::move(handler));
    }
    return task;
}

Ref<NSURLSessionDownloadTask> HCURLSessionManager::downloadTaskWithResumeDataProgressDestinationCompletionHandler(
    const Ref<NSData>& resumeData, Ref<NSProgress>* progress, Destination destination,
    HCURLSessionTaskCompletionHandler handler) {
    Ref<NSURLSessionDownloadTask> task;
    dispatch_sync(taskCreationQueue(), [&] { task = session_->downloadTaskWithResumeData(resumeData); });
    if (task) {
        addDelegateForDownloadTask(task, progress, std::move(destination), std::move(handler));
    }
    return task;
}

Ref<NSProgress> HCURLSessionManager::uploadProgressForTask(const Ref<NSURLSessionTask>& task) {
    auto delegate = delegateForTask(task.get());
    return delegate ? delegate->progress() : nullptr;
}

Ref<NSProgress> HCURLSessionManager::downloadProgressForTask(const Ref<NSURLSessionTask>& task) {
    auto delegate = delegateForTask(task.get());
    return delegate ? delegate->progress() : nullptr;
}

void HCURLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks) {
    Ref<NSURLSession> session = session_;
    dispatch_async(dispatch_get_main_queue(), [session, cancelPendingTasks] {
        if (cancelPendingTasks) {
            session->invalidateAndCancel();
        } else {
            session->finishTasksAndInvalidate();
        }
    });
}

Ref<NSArray> HCURLSessionManager::tasksForKeyPath(const Ref<NSString>& keyPath) {
    Ref<NSArray> result;
    auto semaphore = dispatch_semaphore_create(0);
    session_->getTasksWithCompletionHandler(
        [&](const Ref<NSArray>& dataTasks, const Ref<NSArray>& uploadTasks, const Ref<NSArray>& downloadTasks) {
            if (keyPath->isEqualToString("dataTasks"_ns)) {
                result = dataTasks;
            } else if (keyPath->isEqualToString("uploadTasks"_ns)) {
                result = uploadTasks;
            } else if (keyPath->isEqualToString("downloadTasks"_ns)) {
                result = downloadTasks;
            } else if (keyPath->isEqualToString("tasks"_ns)) {
                result =
                    dataTasks->arrayByAddingObjectsFromArray(uploadTasks)->arrayByAddingObjectsFromArray(downloadTasks);
            }
            dispatch_semaphore_signal(semaphore);
        });
    dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER);
    return result;
}

Ref<NSArray> HCURLSessionManager::tasks() {
    return tasksForKeyPath("tasks"_ns);
}
Ref<NSArray> HCURLSessionManager::dataTasks() {
    return tasksForKeyPath("dataTasks"_ns);
}
Ref<NSArray> HCURLSessionManager::uploadTasks() {
    return tasksForKeyPath("uploadTasks"_ns);
}
Ref<NSArray> HCURLSessionManager::downloadTasks() {
    return tasksForKeyPath("downloadTasks"_ns);
}

// MARK: - Resume and suspend

void HCURLSessionManager::taskDidResume(const Ref<NSNotification>& notification) {
    auto task = cast<NSURLSessionTask>(notification->object());
    if (task && task->taskDescription() && task->taskDescription()->isEqualToString(taskDescriptionForSessionTasks())) {
        dispatch_async(dispatch_get_main_queue(), [task] {
            NSNotificationCenter::defaultCenter()->postNotificationNameObject(HCNetworkingTaskDidResumeNotification(),
                                                                              task);
        });
    }
}

void HCURLSessionManager::taskDidSuspend(const Ref<NSNotification>& notification) {
    auto task = cast<NSURLSessionTask>(notification->object());
    if (task && task->taskDescription() && task->taskDescription()->isEqualToString(taskDescriptionForSessionTasks())) {
        dispatch_async(dispatch_get_main_queue(), [task] {
            NSNotificationCenter::defaultCenter()->postNotificationNameObject(HCNetworkingTaskDidSuspendNotification(),
                                                                              task);
        });
    }
}

// MARK: - Blocks

void HCURLSessionManager::setSessionDidBecomeInvalidBlock(
    std::function<void(NSURLSession*, const Ref<NSError>&)> block) {
    sessionDidBecomeInvalid_ = std::move(block);
}
void HCURLSessionManager::setSessionDidReceiveAuthenticationChallengeBlock(
    std::function<NSURLSessionAuthChallengeDisposition(NSURLSession*, const Ref<NSURLAuthenticationChallenge>&,
                                                       Ref<NSURLCredential>*)>
        block) {
    sessionDidReceiveAuthenticationChallenge_ = std::move(block);
}
void HCURLSessionManager::setDidFinishEventsForBackgroundURLSessionBlock(std::function<void(NSURLSession*)> block) {
    didFinishEventsForBackgroundURLSession_ = std::move(block);
}
void HCURLSessionManager::setTaskWillPerformHTTPRedirectionBlock(
    std::function<Ref<NSURLRequest>(NSURLSession*, NSURLSessionTask*, const Ref<NSURLResponse>&,
                                    const Ref<NSURLRequest>&)>
        block) {
    taskWillPerformHTTPRedirection_ = std::move(block);
}
void HCURLSessionManager::setTaskDidReceiveAuthenticationChallengeBlock(
    std::function<NSURLSessionAuthChallengeDisposition(NSURLSession*, NSURLSessionTask*,
                                                       const Ref<NSURLAuthenticationChallenge>&, Ref<NSURLCredential>*)>
        block) {
    taskDidReceiveAuthenticationChallenge_ = std::move(block);
}
void HCURLSessionManager::setTaskNeedNewBodyStreamBlock(
    std::function<Ref<NSInputStream>(NSURLSession*, NSURLSessionTask*)> block) {
    taskNeedNewBodyStream_ = std::move(block);
}
void HCURLSessionManager::setTaskDidSendBodyDataBlock(
    std::function<void(NSURLSession*, NSURLSessionTask*, int64_t, int64_t, int64_t)> block) {
    taskDidSendBodyData_ = std::move(block);
}
void HCURLSessionManager::setTaskDidCompleteBlock(
    std::function<void(NSURLSession*, NSURLSessionTask*, const Ref<NSError>&)> block) {
    taskDidComplete_ = std::move(block);
}
void HCURLSessionManager::setDataTaskDidReceiveResponseBlock(
    std::function<NSURLSessionResponseDisposition(NSURLSession*, NSURLSessionDataTask*, const Ref<NSURLResponse>&)>
        block) {
    dataTaskDidReceiveResponse_ = std::move(block);
}
void HCURLSessionManager::setDataTaskDidBecomeDownloadTaskBlock(
    std::function<void(NSURLSession*, NSURLSessionDataTask*, NSURLSessionDownloadTask*)> block) {
    dataTaskDidBecomeDownloadTask_ = std::move(block);
}
void HCURLSessionManager::setDataTaskDidReceiveDataBlock(
    std::function<void(NSURLSession*, NSURLSessionDataTask*, const Ref<NSData>&)> block) {
    dataTaskDidReceiveData_ = std::move(block);
}
void HCURLSessionManager::setDataTaskWillCacheResponseBlock(
    std::function<Ref<NSCachedURLResponse>(NSURLSession*, NSURLSessionDataTask*, const Ref<NSCachedURLResponse>&)>
        block) {
    dataTaskWillCacheResponse_ = std::move(block);
}
void HCURLSessionManager::setDownloadTaskDidFinishDownloadingBlock(
    std::function<Ref<NSURL>(NSURLSession*, NSURLSessionDownloadTask*, const Ref<NSURL>&)> block) {
    downloadTaskDidFinishDownloading_ = std::move(block);
}
void HCURLSessionManager::setDownloadTaskDidWriteDataBlock(
    std::function<void(NSURLSession*, NSURLSessionDownloadTask*, int64_t, int64_t, int64_t)> block) {
    downloadTaskDidWriteData_ = std::move(block);
}
void HCURLSessionManager::setDownloadTaskDidResumeBlock(
    std::function<void(NSURLSession*, NSURLSessionDownloadTask*, int64_t, int64_t)> block) {
    downloadTaskDidResume_ = std::move(block);
}

bool HCURLSessionManager::respondsToSelector(SEL selector) const {
    if (selector == SEL("URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:")) {
        return static_cast<bool>(taskWillPerformHTTPRedirection_);
    }
    if (selector == SEL("URLSession:dataTask:didReceiveResponse:completionHandler:")) {
        return static_cast<bool>(dataTaskDidReceiveResponse_);
    }
    if (selector == SEL("URLSession:dataTask:willCacheResponse:completionHandler:")) {
        return static_cast<bool>(dataTaskWillCacheResponse_);
    }
    if (selector == SEL("URLSessionDidFinishEventsForBackgroundURLSession:")) {
        return static_cast<bool>(didFinishEventsForBackgroundURLSession_);
    }
    return getClass()->instancesRespondToSelector(selector);
}

// MARK: - Session delegate

void HCURLSessionManager::URLSessionDidBecomeInvalidWithError(NSURLSession* session, const Ref<NSError>& error) {
    if (sessionDidBecomeInvalid_) {
        sessionDidBecomeInvalid_(session, error);
    }
    removeAllDelegates();
    NSNotificationCenter::defaultCenter()->postNotificationNameObject(HCURLSessionDidInvalidateNotification(),
                                                                      id(session));
}

void HCURLSessionManager::URLSessionDidReceiveChallengeCompletionHandler(
    NSURLSession* session, const Ref<NSURLAuthenticationChallenge>& challenge,
    const NSURLSessionChallengeHandler& completionHandler) {
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    Ref<NSURLCredential> credential;
    if (sessionDidReceiveAuthenticationChallenge_) {
        disposition = sessionDidReceiveAuthenticationChallenge_(session, challenge, &credential);
    } else if (challenge->protectionSpace()->authenticationMethod()->isEqualToString(
                   NSURLAuthenticationMethodServerTrust())) {
        auto space = challenge->protectionSpace();
        if (securityPolicy_->evaluateServerTrustForDomain(space->serverTrust(), space->host())) {
            credential = NSURLCredential::credentialForTrust(space->serverTrust());
            disposition =
                credential ? NSURLSessionAuthChallengeUseCredential : NSURLSessionAuthChallengePerformDefaultHandling;
        } else {
            disposition = NSURLSessionAuthChallengeCancelAuthenticationChallenge;
        }
    }
    if (completionHandler) {
        completionHandler(disposition, credential);
    }
}

void HCURLSessionManager::URLSessionDidFinishEventsForBackgroundURLSession(NSURLSession* session) {
    if (auto block = didFinishEventsForBackgroundURLSession_) {
        Ref<NSURLSession> keep(session);
        dispatch_async(dispatch_get_main_queue(), [block, keep] { block(keep.get()); });
    }
}

void HCURLSessionManager::URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
    NSURLSession* session, NSURLSessionTask* task, const Ref<NSHTTPURLResponse>& response,
    const Ref<NSURLRequest>& request, const std::function<void(const Ref<NSURLRequest>&)>& completionHandler) {
    Ref<NSURLRequest> redirect = request;
    if (taskWillPerformHTTPRedirection_) {
        redirect = taskWillPerformHTTPRedirection_(session, task, response, request);
        // The block chose it: a copy tells the session so, even for the proposed request (which
        // the session refuses when it leaves https).
        if (redirect && redirect == request) {
            redirect = cast<NSURLRequest>(redirect->copy());
        }
    }
    if (completionHandler) {
        completionHandler(redirect);
    }
}

void HCURLSessionManager::URLSessionTaskDidReceiveChallengeCompletionHandler(
    NSURLSession* session, NSURLSessionTask* task, const Ref<NSURLAuthenticationChallenge>& challenge,
    const NSURLSessionChallengeHandler& completionHandler) {
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    Ref<NSURLCredential> credential;
    if (taskDidReceiveAuthenticationChallenge_) {
        disposition = taskDidReceiveAuthenticationChallenge_(session, task, challenge, &credential);
    } else if (challenge->protectionSpace()->authenticationMethod()->isEqualToString(
                   NSURLAuthenticationMethodServerTrust())) {
        auto space = challenge->protectionSpace();
        if (securityPolicy_->evaluateServerTrustForDomain(space->serverTrust(), space->host())) {
            disposition = NSURLSessionAuthChallengeUseCredential;
            credential = NSURLCredential::credentialForTrust(space->serverTrust());
        } else {
            disposition = NSURLSessionAuthChallengeCancelAuthenticationChallenge;
        }
    }
    if (completionHandler) {
        completionHandler(disposition, credential);
    }
}

void HCURLSessionManager::URLSessionTaskNeedNewBodyStream(
    NSURLSession* session, NSURLSessionTask* task,
    const std::function<void(const Ref<NSInputStream>&)>& completionHandler) {
    Ref<NSInputStream> stream;
    if (taskNeedNewBodyStream_) {
        stream = taskNeedNewBodyStream_(session, task);
    } else if (auto body = task->originalRequest() ? task->originalRequest()->HTTPBodyStream() : nullptr) {
        if (body->conformsToProtocol(NSCopyingProtocol())) {
            stream = cast<NSInputStream>(body->copy());
        }
    }
    if (completionHandler) {
        completionHandler(stream);
    }
}

void HCURLSessionManager::URLSessionTaskDidSendBodyDataTotalBytesSentTotalBytesExpectedToSend(
    NSURLSession* session, NSURLSessionTask* task, int64_t bytesSent, int64_t totalBytesSent,
    int64_t totalBytesExpectedToSend) {
    int64_t expected = expectedUploadTotal(task, totalBytesExpectedToSend);
    if (auto delegate = delegateForTask(task)) {
        delegate->URLSessionTaskDidSendBodyDataTotalBytesSentTotalBytesExpectedToSend(session, task, bytesSent,
                                                                                      totalBytesSent, expected);
    }
    if (taskDidSendBodyData_) {
        taskDidSendBodyData_(session, task, bytesSent, totalBytesSent, expected);
    }
}

void HCURLSessionManager::URLSessionTaskDidCompleteWithError(NSURLSession* session, NSURLSessionTask* task,
                                                             const Ref<NSError>& error) {
    if (auto delegate = delegateForTask(task)) {
        delegate->URLSessionTaskDidCompleteWithError(session, task, error);
        removeDelegateForTask(task);
    }
    if (taskDidComplete_) {
        taskDidComplete_(session, task, error);
    }
}

void HCURLSessionManager::URLSessionDataTaskDidReceiveResponseCompletionHandler(
    NSURLSession* session, NSURLSessionDataTask* dataTask, const Ref<NSURLResponse>& response,
    const std::function<void(NSURLSessionResponseDisposition)>& completionHandler) {
    NSURLSessionResponseDisposition disposition = NSURLSessionResponseAllow;
    if (dataTaskDidReceiveResponse_) {
        disposition = dataTaskDidReceiveResponse_(session, dataTask, response);
    }
    if (completionHandler) {
        completionHandler(disposition);
    }
}

void HCURLSessionManager::URLSessionDataTaskDidBecomeDownloadTask(NSURLSession* session, NSURLSessionDataTask* dataTask,
                                                                  NSURLSessionDownloadTask* downloadTask) {
    if (auto delegate = delegateForTask(dataTask)) {
        removeDelegateForTask(dataTask);
        setDelegateForTask(delegate, downloadTask);
    }
    if (dataTaskDidBecomeDownloadTask_) {
        dataTaskDidBecomeDownloadTask_(session, dataTask, downloadTask);
    }
}

void HCURLSessionManager::URLSessionDataTaskDidReceiveData(NSURLSession* session, NSURLSessionDataTask* dataTask,
                                                           const Ref<NSData>& data) {
    if (auto delegate = delegateForTask(dataTask)) {
        delegate->URLSessionDataTaskDidReceiveData(session, dataTask, data);
    }
    if (dataTaskDidReceiveData_) {
        dataTaskDidReceiveData_(session, dataTask, data);
    }
}

void HCURLSessionManager::URLSessionDataTaskWillCacheResponseCompletionHandler(
    NSURLSession* session, NSURLSessionDataTask* dataTask, const Ref<NSCachedURLResponse>& proposedResponse,
    const std::function<void(const Ref<NSCachedURLResponse>&)>& completionHandler) {
    Ref<NSCachedURLResponse> cached = proposedResponse;
    if (dataTaskWillCacheResponse_) {
        cached = dataTaskWillCacheResponse_(session, dataTask, proposedResponse);
    }
    if (completionHandler) {
        completionHandler(cached);
    }
}

void HCURLSessionManager::URLSessionDownloadTaskDidFinishDownloadingToURL(NSURLSession* session,
                                                                          NSURLSessionDownloadTask* task,
                                                                          const Ref<NSURL>& location) {
    auto delegate = delegateForTask(task);
    if (downloadTaskDidFinishDownloading_) {
        if (auto destination = downloadTaskDidFinishDownloading_(session, task, location)) {
            if (delegate) {
                delegate->setDownloadFileURL(destination);
            }
            Ref<NSError> error;
            if (!NSFileManager::defaultManager()->moveItemAtPathToPathError(location->path(), destination->path(),
                                                                            &error)) {
                NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(
                    HCURLSessionDownloadTaskDidFailToMoveFileNotification(), id(task),
                    error ? error->userInfo() : nullptr);
            }
            return;
        }
    }
    if (delegate) {
        delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(session, task, location);
    }
}

void HCURLSessionManager::URLSessionDownloadTaskDidWriteDataTotalBytesWrittenTotalBytesExpectedToWrite(
    NSURLSession* session, NSURLSessionDownloadTask* task, int64_t bytesWritten, int64_t totalBytesWritten,
    int64_t totalBytesExpectedToWrite) {
    if (auto delegate = delegateForTask(task)) {
        delegate->URLSessionDownloadTaskDidWriteDataTotalBytesWrittenTotalBytesExpectedToWrite(
            session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
    if (downloadTaskDidWriteData_) {
        downloadTaskDidWriteData_(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
}

void HCURLSessionManager::URLSessionDownloadTaskDidResumeAtOffsetExpectedTotalBytes(NSURLSession* session,
                                                                                    NSURLSessionDownloadTask* task,
                                                                                    int64_t fileOffset,
                                                                                    int64_t expectedTotalBytes) {
    if (auto delegate = delegateForTask(task)) {
        delegate->URLSessionDownloadTaskDidResumeAtOffsetExpectedTotalBytes(session, task, fileOffset,
                                                                            expectedTotalBytes);
    }
    if (downloadTaskDidResume_) {
        downloadTaskDidResume_(session, task, fileOffset, expectedTotalBytes);
    }
}

// MARK: - Description, archiving, copying

Ref<NSString> HCURLSessionManager::description() const {
    return NSString::stringWithFormat("<%@: %p, session: %@, operationQueue: %@>", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), session_, operationQueue_);
}

void HCURLSessionManager::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(session_->configuration(), "sessionConfiguration"_ns);
}

id HCURLSessionManager::copy() const {
    return make<HCURLSessionManager>(session_->configuration());
}
