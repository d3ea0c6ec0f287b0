#include <Network/NSURLSessionTask.h>

#include <Foundation/NSFileManager.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Network/NSStream.h>
#include <Network/URLChallengeSender.h>
#include <Network/URLSessionInternal.h>
#include <Runtime/ClassBuilder.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

NS_IMPLEMENT_CLASS(NSURLSessionTask, NSObject) {
    b.readonlyProperty("state", &NSURLSessionTask::state);
    b.readonlyProperty("taskIdentifier", &NSURLSessionTask::taskIdentifier);
    b.readonlyProperty("originalRequest", &NSURLSessionTask::originalRequest);
    b.readonlyProperty("currentRequest", &NSURLSessionTask::currentRequest);
    b.readonlyProperty("response", &NSURLSessionTask::response);
    b.property("taskDescription", &NSURLSessionTask::taskDescription, &NSURLSessionTask::setTaskDescription);
    b.readonlyProperty("countOfBytesExpectedToSend", &NSURLSessionTask::countOfBytesExpectedToSend);
    b.method("resume", &NSURLSessionTask::resume);
    b.method("suspend", &NSURLSessionTask::suspend);
    b.method("cancel", &NSURLSessionTask::cancel);
}
NS_IMPLEMENT_CLASS(NSURLSessionDataTask, NSURLSessionTask) {}
NS_IMPLEMENT_CLASS(NSURLSessionUploadTask, NSURLSessionDataTask) {}
NS_IMPLEMENT_CLASS(NSURLSessionDownloadTask, NSURLSessionTask) {}

namespace {

// Function-local, so that an interposer installed while the program starts finds them made.
struct Interposers {
    std::mutex mutex;
    NSURLSessionTask::Interposer resume;
    NSURLSessionTask::Interposer suspend;
};

Interposers& interposers() {
    static Interposers* shared = new Interposers();
    return *shared;
}

NSURLSessionTask::Interposer interposer(bool resume) {
    auto& all = interposers();
    std::lock_guard lock(all.mutex);
    return resume ? all.resume : all.suspend;
}

Ref<NSError> cancelledError(const Ref<NSURLRequest>& request) {
    return ns_net::urlError(NSURLErrorCancelled, request ? request->URL() : nullptr);
}

std::string temporaryDownloadPath() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/CFNetworkDownload_XXXXXX.tmp";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkstemps(buffer.data(), 4);
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    return buffer.data();
}

} // namespace

// MARK: - Task

NSURLSessionTask::NSURLSessionTask(Key, const Ref<NSURLSession>& session, const Ref<NSURLRequest>& request, Kind kind,
                                   NSUInteger identifier)
    : state_(std::make_shared<State>()) {
    state_->session = session->internalState();
    state_->task = Weak<NSURLSessionTask>(this);
    state_->kind = kind;
    state_->identifier = identifier;
    state_->original = request ? cast<NSURLRequest>(request->copy()) : nullptr;
    state_->current = state_->original;
    if (request) {
        if (request->HTTPBody()) {
            state_->expectedToSend = static_cast<int64_t>(request->HTTPBody()->length());
        } else if (!request->HTTPBodyStream()) {
            state_->expectedToSend = 0;
        }
    }
}

NSURLSessionTask::~NSURLSessionTask() = default;

NSUInteger NSURLSessionTask::taskIdentifier() const {
    return state_->identifier;
}

Ref<NSURLRequest> NSURLSessionTask::originalRequest() const {
    std::lock_guard lock(state_->mutex);
    return state_->original;
}

Ref<NSURLRequest> NSURLSessionTask::currentRequest() const {
    std::lock_guard lock(state_->mutex);
    return state_->current;
}

Ref<NSURLResponse> NSURLSessionTask::response() const {
    std::lock_guard lock(state_->mutex);
    return state_->response;
}

NSURLSessionTaskState NSURLSessionTask::state() const {
    std::lock_guard lock(state_->mutex);
    // A data task that became a download task is over; the download task carries on.
    if (state_->task.unsafePointer() != this) {
        return NSURLSessionTaskStateCompleted;
    }
    return state_->state;
}

Ref<NSError> NSURLSessionTask::error() const {
    std::lock_guard lock(state_->mutex);
    return state_->error;
}

Ref<NSString> NSURLSessionTask::taskDescription() const {
    std::lock_guard lock(state_->mutex);
    return state_->taskDescription;
}

void NSURLSessionTask::setTaskDescription(const Ref<NSString>& description) {
    std::lock_guard lock(state_->mutex);
    state_->taskDescription = description ? cast<NSString>(description->copy()) : nullptr;
}

int64_t NSURLSessionTask::countOfBytesReceived() const {
    std::lock_guard lock(state_->mutex);
    return state_->received;
}

int64_t NSURLSessionTask::countOfBytesSent() const {
    std::lock_guard lock(state_->mutex);
    return state_->sent;
}

int64_t NSURLSessionTask::countOfBytesExpectedToSend() const {
    std::lock_guard lock(state_->mutex);
    return state_->expectedToSend;
}

int64_t NSURLSessionTask::countOfBytesExpectedToReceive() const {
    std::lock_guard lock(state_->mutex);
    return state_->expectedToReceive;
}

void NSURLSessionTask::setResumeInterposer(Interposer value) {
    auto& all = interposers();
    std::lock_guard lock(all.mutex);
    all.resume = std::move(value);
}

void NSURLSessionTask::setSuspendInterposer(Interposer value) {
    auto& all = interposers();
    std::lock_guard lock(all.mutex);
    all.suspend = std::move(value);
}

void NSURLSessionTask::resume() {
    Ref<NSURLSessionTask> self(this);
    if (auto hook = interposer(true)) {
        hook(this, [self] { self->resumeTask(); });
    } else {
        resumeTask();
    }
}

void NSURLSessionTask::suspend() {
    Ref<NSURLSessionTask> self(this);
    if (auto hook = interposer(false)) {
        hook(this, [self] { self->suspendTask(); });
    } else {
        suspendTask();
    }
}

void NSURLSessionTask::resumeTask() {
    std::shared_ptr<ns_net::Transfer> transfer;
    bool first = false;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->state != NSURLSessionTaskStateSuspended || state_->task.unsafePointer() != this) {
            return;
        }
        state_->state = NSURLSessionTaskStateRunning;
        first = !state_->started;
        state_->started = true;
        transfer = state_->transfer;
    }
    if (first) {
        state_->start();
    } else if (transfer) {
        transfer->resume();
    }
}

void NSURLSessionTask::suspendTask() {
    std::shared_ptr<ns_net::Transfer> transfer;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->state != NSURLSessionTaskStateRunning) {
            return;
        }
        state_->state = NSURLSessionTaskStateSuspended;
        transfer = state_->transfer;
    }
    if (transfer) {
        transfer->suspend();
    }
}

void NSURLSessionTask::cancel() {
    std::shared_ptr<ns_net::Transfer> transfer;
    Ref<NSURLRequest> request;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->state == NSURLSessionTaskStateCanceling || state_->state == NSURLSessionTaskStateCompleted) {
            return;
        }
        state_->state = NSURLSessionTaskStateCanceling;
        transfer = state_->transfer;
        request = state_->current;
    }
    if (transfer) {
        transfer->cancel();
    }
    state_->deliverCompletion(cancelledError(request), true);
}

Ref<NSString> NSURLSessionTask::description() const {
    return NSString::stringWithFormat("<%@: %p> { taskIdentifier: %lu } { %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), static_cast<unsigned long>(taskIdentifier()),
                                      currentRequest() ? id(currentRequest()->URL()) : id());
}

void NSURLSessionDownloadTask::cancelByProducingResumeData(std::function<void(const Ref<NSData>&)> handler) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->state == NSURLSessionTaskStateCanceling || state_->state == NSURLSessionTaskStateCompleted) {
            return;
        }
        state_->keepPartialDownload = true;
        state_->resumeDataHandler = std::move(handler);
    }
    cancel();
}

// MARK: - Task state: the load itself

void NSURLSessionTask::State::start() {
    Ref<NSURLRequest> request;
    ns_net::TransferOptions options;
    Ref<NSURLSessionConfiguration> configuration;
    {
        std::lock_guard lock(session->mutex);
        configuration = session->configuration;
        sessionObject = session->session.lock();
    }
    {
        std::lock_guard lock(mutex);
        request = current;
    }
    options.cancelledChallengeCode = NSURLErrorCancelled;
    options.useCredentialStorage = static_cast<bool>(configuration->URLCredentialStorage());
    if (request && request->timeoutInterval() == NSURLRequestDefaultTimeoutInterval) {
        options.timeoutInterval = configuration->timeoutIntervalForRequest();
    }
    if (auto headers = configuration->HTTPAdditionalHeaders()) {
        for (const auto& [name, value] : *headers) {
            options.additionalHeaders.emplace_back(NSDescription(name)->str(), NSDescription(value)->str());
        }
    }
    if (kind == NSURLSessionTask::Kind::Download && resumeOffset > 0) {
        if (downloadFile < 0) {
            downloadFile = ::open(downloadPath.c_str(), O_WRONLY | O_CLOEXEC);
            if (downloadFile >= 0) {
                ::lseek(downloadFile, resumeOffset, SEEK_SET);
            }
        }
    }
    auto t = std::make_shared<ns_net::Transfer>(request, shared_from_this(), std::move(options));
    {
        std::lock_guard lock(mutex);
        transfer = t;
    }
    t->start();
}

bool NSURLSessionTask::State::openDownloadFile() {
    if (downloadFile >= 0) {
        return true;
    }
    if (downloadPath.empty()) {
        downloadPath = temporaryDownloadPath();
    }
    downloadFile = downloadPath.empty() ? -1 : ::open(downloadPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return downloadFile >= 0;
}

void NSURLSessionTask::State::closeDownloadFile() {
    if (downloadFile >= 0) {
        ::close(downloadFile);
        downloadFile = -1;
    }
}

void NSURLSessionTask::State::deliverCompletion(const Ref<NSError>& failure, bool fromCancel) {
    auto self = shared_from_this();
    session->post([self, failure, fromCancel] {
        {
            std::lock_guard lock(self->mutex);
            if (self->completionDelivered || (self->state == NSURLSessionTaskStateCanceling && !fromCancel)) {
                return;
            }
            self->completionDelivered = true;
            self->state = NSURLSessionTaskStateCompleted;
            self->error = failure;
        }
        auto task = self->taskObject();
        auto sessionObject = self->session->session.lock();
        auto d = self->session->delegates();
        bool download = self->kind == NSURLSessionTask::Kind::Download;
        Ref<NSURL> location;
        if (download) {
            self->closeDownloadFile();
            if (!failure && !self->downloadPath.empty()) {
                location = NSURL::fileURLWithPath(NSString::from(self->downloadPath));
            }
        }
        if (download && self->keepPartialDownload) {
            // The bytes so far stay on disk, described by the resume data.
            Ref<NSData> resumeData;
            if (!self->downloadPath.empty() && self->received + self->resumeOffset > 0) {
                auto info = NSMutableDictionary::dictionary();
                info->setObjectForKey(self->current->URL()->absoluteString(), "URL"_ns);
                info->setObjectForKey(NSString::from(self->downloadPath), "path"_ns);
                info->setObjectForKey(NSNumber::numberWithLongLong(self->received + self->resumeOffset), "offset"_ns);
                if (auto http = cast<NSHTTPURLResponse>(self->response)) {
                    if (auto etag = http->valueForHTTPHeaderField("ETag"_ns)) {
                        info->setObjectForKey(etag, "ETag"_ns);
                    }
                }
                resumeData = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
                    info, NSPropertyListXMLFormat_v1_0, 0, nullptr);
            } else if (!self->downloadPath.empty()) {
                ::unlink(self->downloadPath.c_str());
            }
            if (self->resumeDataHandler) {
                self->resumeDataHandler(resumeData);
            }
        } else if (download) {
            if (self->downloadHandler) {
                self->downloadHandler(location, self->response, failure);
            } else if (location && d.download && task) {
                d.download->URLSessionDownloadTaskDidFinishDownloadingToURL(
                    sessionObject.get(), static_cast<NSURLSessionDownloadTask*>(task.get()), location);
            }
            if (!self->downloadPath.empty()) {
                ::unlink(self->downloadPath.c_str()); // whatever the delegate did not move away
            }
        } else if (self->dataHandler) {
            self->dataHandler(failure ? nullptr
                                      : Ref<NSData>(self->accumulated ? self->accumulated : NSMutableData::data()),
                              self->response, failure);
        } else if (!failure && d.data && task && self->response) {
            d.data->URLSessionDataTaskWillCacheResponseCompletionHandler(
                sessionObject.get(), static_cast<NSURLSessionDataTask*>(task.get()),
                make<NSCachedURLResponse>(self->response, nullptr), [](const Ref<NSCachedURLResponse>&) {});
        }
        if (!self->dataHandler && !self->downloadHandler && d.task && task) {
            d.task->URLSessionTaskDidCompleteWithError(sessionObject.get(), task.get(), failure);
        }
        self->dataHandler = nullptr;
        self->downloadHandler = nullptr;
        self->resumeDataHandler = nullptr;
        self->accumulated = nullptr;
        std::shared_ptr<ns_net::Transfer> finished;
        {
            std::lock_guard lock(self->mutex);
            finished = std::move(self->transfer);
        }
        self->session->taskDidComplete(task.get());
        self->sessionObject = nullptr;
    });
}

void NSURLSessionTask::State::transferReceivedResponse(ns_net::Transfer&, const Ref<NSHTTPURLResponse>& r) {
    auto self = shared_from_this();
    session->post([self, r] {
        {
            std::lock_guard lock(self->mutex);
            if (self->completionDelivered || self->state == NSURLSessionTaskStateCanceling) {
                return;
            }
            self->response = r;
            self->expectedToReceive = r->expectedContentLength();
        }
        auto task = self->taskObject();
        auto d = self->session->delegates();
        if (self->kind == NSURLSessionTask::Kind::Download) {
            if (self->resumeOffset > 0) {
                bool continues = r->statusCode() == 206;
                if (!continues) {
                    // The server sends the whole body again: start the file over.
                    self->resumeOffset = 0;
                    if (self->downloadFile >= 0) {
                        ::ftruncate(self->downloadFile, 0);
                        ::lseek(self->downloadFile, 0, SEEK_SET);
                    }
                }
                if (d.download && task) {
                    int64_t expected = r->expectedContentLength() >= 0 ? r->expectedContentLength() + self->resumeOffset
                                                                       : NSURLSessionTransferSizeUnknown;
                    d.download->URLSessionDownloadTaskDidResumeAtOffsetExpectedTotalBytes(
                        self->session->session.lock().get(), static_cast<NSURLSessionDownloadTask*>(task.get()),
                        self->resumeOffset, expected);
                }
            }
            return;
        }
        if (self->dataHandler || !d.data || !task) {
            return;
        }
        auto sessionObject = self->session->session.lock();
        d.data->URLSessionDataTaskDidReceiveResponseCompletionHandler(
            sessionObject.get(), static_cast<NSURLSessionDataTask*>(task.get()), r,
            [self, task, sessionObject, d](NSURLSessionResponseDisposition disposition) {
                if (disposition == NSURLSessionResponseCancel) {
                    task->cancel();
                } else if (disposition == NSURLSessionResponseBecomeDownload) {
                    // The same load goes on as a download task; the data task is over.
                    auto download = make<NSURLSessionDownloadTask>(
                        NSURLSessionTask::Key(), sessionObject, task->originalRequest(),
                        NSURLSessionTask::Kind::Download, self->session->nextIdentifier++);
                    download->state_ = self;
                    {
                        std::lock_guard lock(self->mutex);
                        self->kind = NSURLSessionTask::Kind::Download;
                        self->task = Weak<NSURLSessionTask>(download.get());
                    }
                    {
                        std::lock_guard lock(self->session->mutex);
                        for (auto& member : self->session->tasks) {
                            if (member == task) {
                                member = download;
                            }
                        }
                    }
                    self->openDownloadFile();
                    if (d.data) {
                        d.data->URLSessionDataTaskDidBecomeDownloadTask(
                            sessionObject.get(), static_cast<NSURLSessionDataTask*>(task.get()), download.get());
                    }
                }
            });
    });
}

void NSURLSessionTask::State::transferReceivedData(ns_net::Transfer&, const uint8_t* bytes, size_t length) {
    auto self = shared_from_this();
    auto data = NSData::dataWithBytesLength(bytes, length);
    session->post([self, data] {
        {
            std::lock_guard lock(self->mutex);
            if (self->completionDelivered || self->state == NSURLSessionTaskStateCanceling) {
                return;
            }
            self->received += static_cast<int64_t>(data->length());
        }
        auto task = self->taskObject();
        auto d = self->session->delegates();
        auto sessionObject = self->session->session.lock();
        if (self->kind == NSURLSessionTask::Kind::Download) {
            if (!self->openDownloadFile()) {
                self->deliverCompletion(ns_net::urlError(NSURLErrorCannotCreateFile, self->current->URL()));
                if (auto t = self->transfer) {
                    t->cancel();
                }
                return;
            }
            size_t written = 0;
            while (written < data->length()) {
                ssize_t n = ::write(self->downloadFile, data->bytes() + written, data->length() - written);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    if (auto t = self->transfer) {
                        t->cancel();
                    }
                    self->deliverCompletion(ns_net::urlError(NSURLErrorCannotWriteToFile, self->current->URL()));
                    return;
                }
                written += static_cast<size_t>(n);
            }
            if (d.download && task && !self->downloadHandler) {
                int64_t expected = self->expectedToReceive >= 0 ? self->expectedToReceive + self->resumeOffset
                                                                : NSURLSessionTransferSizeUnknown;
                d.download->URLSessionDownloadTaskDidWriteDataTotalBytesWrittenTotalBytesExpectedToWrite(
                    sessionObject.get(), static_cast<NSURLSessionDownloadTask*>(task.get()),
                    static_cast<int64_t>(data->length()), self->received + self->resumeOffset, expected);
            }
            return;
        }
        if (self->dataHandler) {
            if (!self->accumulated) {
                self->accumulated = NSMutableData::data();
            }
            self->accumulated->appendData(data);
            return;
        }
        if (d.data && task) {
            d.data->URLSessionDataTaskDidReceiveData(sessionObject.get(),
                                                     static_cast<NSURLSessionDataTask*>(task.get()), data);
        }
    });
}

void NSURLSessionTask::State::transferSentBodyData(ns_net::Transfer&, int64_t bytes, int64_t total, int64_t) {
    auto self = shared_from_this();
    session->post([self, bytes, total] {
        int64_t expected;
        {
            std::lock_guard lock(self->mutex);
            if (self->completionDelivered) {
                return;
            }
            self->sent = total;
            expected = self->expectedToSend;
        }
        auto task = self->taskObject();
        auto d = self->session->delegates();
        if (d.task && task) {
            d.task->URLSessionTaskDidSendBodyDataTotalBytesSentTotalBytesExpectedToSend(
                self->session->session.lock().get(), task.get(), bytes, total, expected);
        }
    });
}

void NSURLSessionTask::State::transferCompleted(ns_net::Transfer&, const Ref<NSError>& failure) {
    deliverCompletion(failure);
}

void NSURLSessionTask::State::transferWillRedirect(ns_net::Transfer& t, const Ref<NSURLRequest>& request,
                                                   const Ref<NSHTTPURLResponse>& r) {
    auto self = shared_from_this();
    std::weak_ptr<ns_net::Transfer> weakTransfer = t.shared_from_this();
    session->post([self, request, r, weakTransfer] {
        auto follow = [self, weakTransfer](const Ref<NSURLRequest>& next) {
            if (next) {
                std::lock_guard lock(self->mutex);
                self->current = next;
            }
            if (auto t = weakTransfer.lock()) {
                t->followRedirect(next);
            }
        };
        auto task = self->taskObject();
        auto d = self->session->delegates();
        if (d.task && task) {
            d.task->URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
                self->session->session.lock().get(), task.get(), r, request, follow);
        } else {
            follow(request);
        }
    });
}

void NSURLSessionTask::State::transferReceivedChallenge(ns_net::Transfer& t, const Ref<NSURLProtectionSpace>& space,
                                                        const Ref<NSURLCredential>& proposed, NSInteger failures,
                                                        const Ref<NSURLResponse>& failureResponse) {
    auto self = shared_from_this();
    std::weak_ptr<ns_net::Transfer> weakTransfer = t.shared_from_this();
    session->post([self, space, proposed, failures, failureResponse, weakTransfer] {
        auto sender = make<URLChallengeSender>(weakTransfer);
        auto challenge =
            make<NSURLAuthenticationChallenge>(space, proposed, failures, failureResponse, nullptr, sender);
        NSURLSessionChallengeHandler handler = [sender](NSURLSessionAuthChallengeDisposition disposition,
                                                        const Ref<NSURLCredential>& credential) {
            switch (disposition) {
            case NSURLSessionAuthChallengeUseCredential:
                sender->answer(credential ? ns_net::ChallengeAnswer::UseCredential
                                          : ns_net::ChallengeAnswer::ContinueWithoutCredential,
                               credential);
                break;
            case NSURLSessionAuthChallengeCancelAuthenticationChallenge:
                sender->answer(ns_net::ChallengeAnswer::Cancel, nullptr);
                break;
            case NSURLSessionAuthChallengeRejectProtectionSpace:
                sender->answer(ns_net::ChallengeAnswer::Reject, nullptr);
                break;
            default:
                sender->answer(ns_net::ChallengeAnswer::PerformDefaultHandling, nullptr);
                break;
            }
        };
        auto task = self->taskObject();
        auto d = self->session->delegates();
        auto sessionObject = self->session->session.lock();
        if (d.task && task) {
            d.task->URLSessionTaskDidReceiveChallengeCompletionHandler(sessionObject.get(), task.get(), challenge,
                                                                       handler);
        } else if (d.session &&
                   space->authenticationMethod()->isEqualToString(NSURLAuthenticationMethodServerTrust())) {
            d.session->URLSessionDidReceiveChallengeCompletionHandler(sessionObject.get(), challenge, handler);
        } else {
            handler(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
        }
    });
}

void NSURLSessionTask::State::transferNeedsNewBodyStream(ns_net::Transfer& t) {
    auto self = shared_from_this();
    std::weak_ptr<ns_net::Transfer> weakTransfer = t.shared_from_this();
    session->post([self, weakTransfer] {
        auto provide = [weakTransfer](const Ref<NSInputStream>& stream) {
            if (auto t = weakTransfer.lock()) {
                t->provideBodyStream(stream);
            }
        };
        auto task = self->taskObject();
        auto d = self->session->delegates();
        if (d.task && task) {
            d.task->URLSessionTaskNeedNewBodyStream(self->session->session.lock().get(), task.get(), provide);
        } else {
            NSURLSessionTaskDelegate fallback;
            fallback.URLSessionTaskNeedNewBodyStream(nullptr, task.get(), provide);
        }
    });
}

// MARK: - Default delegate behaviour

void NSURLSessionTaskDelegate::URLSessionTaskDidReceiveChallengeCompletionHandler(
    NSURLSession* session, NSURLSessionTask*, const Ref<NSURLAuthenticationChallenge>& challenge,
    const NSURLSessionChallengeHandler& completionHandler) {
    auto method = challenge->protectionSpace()->authenticationMethod();
    if (method->isEqualToString(NSURLAuthenticationMethodServerTrust()) ||
        method->isEqualToString(NSURLAuthenticationMethodClientCertificate())) {
        URLSessionDidReceiveChallengeCompletionHandler(session, challenge, completionHandler);
    } else {
        completionHandler(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
}

void NSURLSessionTaskDelegate::URLSessionTaskNeedNewBodyStream(
    NSURLSession*, NSURLSessionTask* task, const std::function<void(const Ref<NSInputStream>&)>& completionHandler) {
    auto request = task ? task->originalRequest() : nullptr;
    auto stream = request ? request->HTTPBodyStream() : nullptr;
    if (stream && stream->conformsToProtocol(NSCopyingProtocol())) {
        completionHandler(cast<NSInputStream>(stream->copy()));
    } else {
        completionHandler(nullptr);
    }
}
