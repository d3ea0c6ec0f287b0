// HCURLSessionManager: owns one URL session and is its delegate. It keeps a task delegate per task
// (data, progress, destination, completion handler), turns replies into objects with its response
// serializer, decides server trust with its security policy, posts notifications about its tasks,
// and lets every session callback be taken over by a block.
#pragma once

#include <Networking/HCNetworkReachabilityManager.h>
#include <Networking/HCSecurityPolicy.h>
#include <Networking/HCURLResponseSerialization.h>
#include <Networking/HCURLSessionManagerTaskDelegate.h>

#include <Dispatch/Dispatch.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSLock.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSOperationQueue.h>

// Notifications, on the default centre.
const Ref<NSString>& HCNetworkingTaskDidResumeNotification();
const Ref<NSString>& HCNetworkingTaskDidSuspendNotification();
const Ref<NSString>& HCNetworkingTaskDidCompleteNotification();
const Ref<NSString>& HCURLSessionDidInvalidateNotification();
const Ref<NSString>& HCURLSessionDownloadTaskDidFailToMoveFileNotification();
// The user-info keys of the task-did-complete notification.
const Ref<NSString>& HCNetworkingTaskDidCompleteResponseDataKey();
const Ref<NSString>& HCNetworkingTaskDidCompleteSerializedResponseKey();
const Ref<NSString>& HCNetworkingTaskDidCompleteResponseSerializerKey();
const Ref<NSString>& HCNetworkingTaskDidCompleteAssetPathKey();
const Ref<NSString>& HCNetworkingTaskDidCompleteErrorKey();

class HCURLSessionManager : public NSObject, public NSURLSessionDownloadDelegate, public NSSecureCoding {
    NS_OBJECT(HCURLSessionManager, NSObject)
public:
    // `init`: the default configuration.
    HCURLSessionManager() : HCURLSessionManager(Ref<NSURLSessionConfiguration>()) {}
    // `initWithSessionConfiguration:` (nil: the default configuration).
    explicit HCURLSessionManager(const Ref<NSURLSessionConfiguration>& configuration);
    explicit HCURLSessionManager(NSCoder* coder);
    ~HCURLSessionManager() override;

    static bool supportsSecureCoding() { return true; }

    const Ref<NSURLSession>& session() const noexcept { return session_; }
    const Ref<NSOperationQueue>& operationQueue() const noexcept { return operationQueue_; }
    const Ref<NSURLSessionConfiguration>& sessionConfiguration() const noexcept { return sessionConfiguration_; }
    HCURLResponseSerialization* responseSerializer() const noexcept { return responseSerializerProtocol_; }
    const id& responseSerializerObject() const noexcept { return responseSerializer_; }
    // An object implementing HCURLResponseSerialization.
    virtual void setResponseSerializer(const id& serializer);
    const Ref<HCSecurityPolicy>& securityPolicy() const noexcept { return securityPolicy_; }
    void setSecurityPolicy(const Ref<HCSecurityPolicy>& policy) { securityPolicy_ = policy; }
    const Ref<HCNetworkReachabilityManager>& reachabilityManager() const noexcept { return reachabilityManager_; }
    void setReachabilityManager(const Ref<HCNetworkReachabilityManager>& manager) { reachabilityManager_ = manager; }
    const dispatch_queue_t& completionQueue() const noexcept { return completionQueue_; }
    void setCompletionQueue(const dispatch_queue_t& queue) { completionQueue_ = queue; }
    const dispatch_group_t& completionGroup() const noexcept { return completionGroup_; }
    void setCompletionGroup(const dispatch_group_t& group) { completionGroup_ = group; }
    bool attemptsToRecreateUploadTasksForBackgroundSessions() const noexcept { return recreateUploads_; }
    void setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts) { recreateUploads_ = attempts; }

    // "%p" of the manager: every task it makes carries it as its description.
    Ref<NSString> taskDescriptionForSessionTasks() const;
    // The session's tasks; they wait for the delegate queue, so never call them from it.
    Ref<NSArray> tasks();
    Ref<NSArray> dataTasks();
    Ref<NSArray> uploadTasks();
    Ref<NSArray> downloadTasks();

    Ref<NSURLSessionDataTask> dataTaskWithRequestCompletionHandler(const Ref<NSURLRequest>& request,
                                                                   HCURLSessionTaskCompletionHandler handler);
    Ref<NSURLSessionUploadTask>
    uploadTaskWithRequestFromFileProgressCompletionHandler(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL,
                                                           Ref<NSProgress>* progress,
                                                           HCURLSessionTaskCompletionHandler handler);
    Ref<NSURLSessionUploadTask>
    uploadTaskWithRequestFromDataProgressCompletionHandler(const Ref<NSURLRequest>& request,
                                                           const Ref<NSData>& bodyData, Ref<NSProgress>* progress,
                                                           HCURLSessionTaskCompletionHandler handler);
    Ref<NSURLSessionUploadTask>
    uploadTaskWithStreamedRequestProgressCompletionHandler(const Ref<NSURLRequest>& request, Ref<NSProgress>* progress,
                                                           HCURLSessionTaskCompletionHandler handler);
    using Destination = std::function<Ref<NSURL>(const Ref<NSURL>& targetPath, const Ref<NSURLResponse>& response)>;
    Ref<NSURLSessionDownloadTask>
    downloadTaskWithRequestProgressDestinationCompletionHandler(const Ref<NSURLRequest>& request,
                                                                Ref<NSProgress>* progress, Destination destination,
                                                                HCURLSessionTaskCompletionHandler handler);
    Ref<NSURLSessionDownloadTask>
    downloadTaskWithResumeDataProgressDestinationCompletionHandler(const Ref<NSData>& resumeData,
                                                                   Ref<NSProgress>* progress, Destination destination,
                                                                   HCURLSessionTaskCompletionHandler handler);

    Ref<NSProgress> uploadProgressForTask(const Ref<NSURLSessionTask>& task);
    Ref<NSProgress> downloadProgressForTask(const Ref<NSURLSessionTask>& task);
    void invalidateSessionCancelingTasks(bool cancelPendingTasks);

    // The blocks that take over session callbacks.
    void setSessionDidBecomeInvalidBlock(std::function<void(NSURLSession*, const Ref<NSError>&)> block);
    void setSessionDidReceiveAuthenticationChallengeBlock(
        std::function<NSURLSessionAuthChallengeDisposition(NSURLSession*, const Ref<NSURLAuthenticationChallenge>&,
                                                           Ref<NSURLCredential>*)>
            block);
    void setDidFinishEventsForBackgroundURLSessionBlock(std::function<void(NSURLSession*)> block);
    void setTaskWillPerformHTTPRedirectionBlock(
        std::function<Ref<NSURLRequest>(NSURLSession*, NSURLSessionTask*, const Ref<NSURLResponse>&,
                                        const Ref<NSURLRequest>&)>
            block);
    void setTaskDidReceiveAuthenticationChallengeBlock(
        std::function<NSURLSessionAuthChallengeDisposition(
            NSURLSession*, NSURLSessionTask*, const Ref<NSURLAuthenticationChallenge>&, Ref<NSURLCredential>*)>
            block);
    void setTaskNeedNewBodyStreamBlock(std::function<Ref<NSInputStream>(NSURLSession*, NSURLSessionTask*)> block);
    void
    setTaskDidSendBodyDataBlock(std::function<void(NSURLSession*, NSURLSessionTask*, int64_t, int64_t, int64_t)> block);
    void setTaskDidCompleteBlock(std::function<void(NSURLSession*, NSURLSessionTask*, const Ref<NSError>&)> block);
    void setDataTaskDidReceiveResponseBlock(
        std::function<NSURLSessionResponseDisposition(NSURLSession*, NSURLSessionDataTask*, const Ref<NSURLResponse>&)>
            block);
    void setDataTaskDidBecomeDownloadTaskBlock(
        std::function<void(NSURLSession*, NSURLSessionDataTask*, NSURLSessionDownloadTask*)> block);
    void
    setDataTaskDidReceiveDataBlock(std::function<void(NSURLSession*, NSURLSessionDataTask*, const Ref<NSData>&)> block);
    void setDataTaskWillCacheResponseBlock(
        std::function<Ref<NSCachedURLResponse>(NSURLSession*, NSURLSessionDataTask*, const Ref<NSCachedURLResponse>&)>
            block);
    void setDownloadTaskDidFinishDownloadingBlock(
        std::function<Ref<NSURL>(NSURLSession*, NSURLSessionDownloadTask*, const Ref<NSURL>&)> block);
    void setDownloadTaskDidWriteDataBlock(
        std::function<void(NSURLSession*, NSURLSessionDownloadTask*, int64_t, int64_t, int64_t)> block);
    void setDownloadTaskDidResumeBlock(
        std::function<void(NSURLSession*, NSURLSessionDownloadTask*, int64_t, int64_t)> block);

    // YES for the four optional callbacks only while their blocks are set.
    bool respondsToSelector(SEL selector) const override;

    // The session's delegate.
    void URLSessionDidBecomeInvalidWithError(NSURLSession* session, const Ref<NSError>& error) override;
    void URLSessionDidReceiveChallengeCompletionHandler(NSURLSession* session,
                                                        const Ref<NSURLAuthenticationChallenge>& challenge,
                                                        const NSURLSessionChallengeHandler& completionHandler) override;
    void URLSessionDidFinishEventsForBackgroundURLSession(NSURLSession* session) override;
    void URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
        NSURLSession* session, NSURLSessionTask* task, const Ref<NSHTTPURLResponse>& response,
        const Ref<NSURLRequest>& request,
        const std::function<void(const Ref<NSURLRequest>&)>& completionHandler) override;
    void
    URLSessionTaskDidReceiveChallengeCompletionHandler(NSURLSession* session, NSURLSessionTask* task,
                                                       const Ref<NSURLAuthenticationChallenge>& challenge,
                                                       const NSURLSessionChallengeHandler& completionHandler) override;
    void
    URLSessionTaskNeedNewBodyStream(NSURLSession* session, NSURLSessionTask* task,
                                    const std::function<void(const Ref<NSInputStream>&)>& completionHandler) override;
    void URLSessionTaskDidSendBodyDataTotalBytesSentTotalBytesExpectedToSend(NSURLSession* session,
                                                                             NSURLSessionTask* task, int64_t bytesSent,
                                                                             int64_t totalBytesSent,
                                                                             int64_t totalBytesExpectedToSend) override;
    void URLSessionTaskDidCompleteWithError(NSURLSession* session, NSURLSessionTask* task,
                                            const Ref<NSError>& error) override;
    void URLSessionDataTaskDidReceiveResponseCompletionHandler(
        NSURLSession* session, NSURLSessionDataTask* dataTask, const Ref<NSURLResponse>& response,
        const std::function<void(NSURLSessionResponseDisposition)>& completionHandler) override;
    void URLSessionDataTaskDidBecomeDownloadTask(NSURLSession* session, NSURLSessionDataTask* dataTask,
                                                 NSURLSessionDownloadTask* downloadTask) override;
    void URLSessionDataTaskDidReceiveData(NSURLSession* session, NSURLSessionDataTask* dataTask,
                                          const Ref<NSData>& data) override;
    void URLSessionDataTaskWillCacheResponseCompletionHandler(
        NSURLSession* session, NSURLSessionDataTask* dataTask, const Ref<NSCachedURLResponse>& proposedResponse,
        const std::function<void(const Ref<NSCachedURLResponse>&)>& completionHandler) override;
    void URLSessionDownloadTaskDidFinishDownloadingToURL(NSURLSession* session, NSURLSessionDownloadTask* task,
                                                         const Ref<NSURL>& location) override;
    void URLSessionDownloadTaskDidWriteDataTotalBytesWrittenTotalBytesExpectedToWrite(
        NSURLSession* session, NSURLSessionDownloadTask* task, int64_t bytesWritten, int64_t totalBytesWritten,
        int64_t totalBytesExpectedToWrite) override;
    void URLSessionDownloadTaskDidResumeAtOffsetExpectedTotalBytes(NSURLSession* session,
                                                                   NSURLSessionDownloadTask* task, int64_t fileOffset,
                                                                   int64_t expectedTotalBytes) override;

    Ref<NSString> description() const override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

    // The task delegate table (each access one critical section of the lock).
    Ref<HCURLSessionManagerTaskDelegate> delegateForTask(NSURLSessionTask* task);
    void setDelegateForTask(const Ref<HCURLSessionManagerTaskDelegate>& delegate, NSURLSessionTask* task);
    void removeDelegateForTask(NSURLSessionTask* task);
    void removeAllDelegates();

    // The queue replies are serialized on and the group completions run in by default.
    static const dispatch_queue_t& responseProcessingQueue();
    static const dispatch_group_t& defaultCompletionGroup();

private:
    // How a new task delegate goes into the table: a task the manager makes itself always gets
    // the new one; a task it only finds in its session keeps one it already has.
    enum class Install { Replace, IfAbsent };
    void addDelegateForDataTask(const Ref<NSURLSessionDataTask>& task, HCURLSessionTaskCompletionHandler handler,
                                Install install = Install::Replace);
    void addDelegateForUploadTask(const Ref<NSURLSessionUploadTask>& task, Ref<NSProgress>* progress,
                                  HCURLSessionTaskCompletionHandler handler, Install install = Install::Replace);
    void addDelegateForDownloadTask(const Ref<NSURLSessionDownloadTask>& task, Ref<NSProgress>* progress,
                                    Destination destination, HCURLSessionTaskCompletionHandler handler,
                                    Install install = Install::Replace);
    // One critical section: NO when `install` is IfAbsent and the task has a delegate already.
    bool installDelegate(const Ref<HCURLSessionManagerTaskDelegate>& delegate, NSURLSessionTask* task, Install install);
    Ref<NSArray> tasksForKeyPath(const Ref<NSString>& keyPath);
    void taskDidResume(const Ref<NSNotification>& notification);
    void taskDidSuspend(const Ref<NSNotification>& notification);
    // The expected total of an upload: the task's own, or the request's Content-Length when unknown.
    static int64_t expectedUploadTotal(NSURLSessionTask* task, int64_t expected);

    bool recreateUploads_ = false;
    Ref<NSURLSession> session_;
    Ref<NSOperationQueue> operationQueue_;
    id responseSerializer_;
    HCURLResponseSerialization* responseSerializerProtocol_ = nullptr;
    Ref<HCSecurityPolicy> securityPolicy_;
    Ref<HCNetworkReachabilityManager> reachabilityManager_;
    dispatch_queue_t completionQueue_;
    dispatch_group_t completionGroup_;
    Ref<NSURLSessionConfiguration> sessionConfiguration_;
    Ref<NSMutableDictionary> delegates_;
    Ref<NSLock> lock_;
    id resumeObserver_;
    id suspendObserver_;

    std::function<void(NSURLSession*, const Ref<NSError>&)> sessionDidBecomeInvalid_;
    std::function<NSURLSessionAuthChallengeDisposition(NSURLSession*, const Ref<NSURLAuthenticationChallenge>&,
                                                       Ref<NSURLCredential>*)>
        sessionDidReceiveAuthenticationChallenge_;
    std::function<void(NSURLSession*)> didFinishEventsForBackgroundURLSession_;
    std::function<Ref<NSURLRequest>(NSURLSession*, NSURLSessionTask*, const Ref<NSURLResponse>&,
                                    const Ref<NSURLRequest>&)>
        taskWillPerformHTTPRedirection_;
    std::function<NSURLSessionAuthChallengeDisposition(NSURLSession*, NSURLSessionTask*,
                                                       const Ref<NSURLAuthenticationChallenge>&, Ref<NSURLCredential>*)>
        taskDidReceiveAuthenticationChallenge_;
    std::function<Ref<NSInputStream>(NSURLSession*, NSURLSessionTask*)> taskNeedNewBodyStream_;
    std::function<void(NSURLSession*, NSURLSessionTask*, int64_t, int64_t, int64_t)> taskDidSendBodyData_;
    std::function<void(NSURLSession*, NSURLSessionTask*, const Ref<NSError>&)> taskDidComplete_;
    std::function<NSURLSessionResponseDisposition(NSURLSession*, NSURLSessionDataTask*, const Ref<NSURLResponse>&)>
        dataTaskDidReceiveResponse_;
    std::function<void(NSURLSession*, NSURLSessionDataTask*, NSURLSessionDownloadTask*)> dataTaskDidBecomeDownloadTask_;
    std::function<void(NSURLSession*, NSURLSessionDataTask*, const Ref<NSData>&)> dataTaskDidReceiveData_;
    std::function<Ref<NSCachedURLResponse>(NSURLSession*, NSURLSessionDataTask*, const Ref<NSCachedURLResponse>&)>
        dataTaskWillCacheResponse_;
    std::function<Ref<NSURL>(NSURLSession*, NSURLSessionDownloadTask*, const Ref<NSURL>&)>
        downloadTaskDidFinishDownloading_;
    std::function<void(NSURLSession*, NSURLSessionDownloadTask*, int64_t, int64_t, int64_t)> downloadTaskDidWriteData_;
    std::function<void(NSURLSession*, NSURLSessionDownloadTask*, int64_t, int64_t)> downloadTaskDidResume_;
};
