// NSURLSession: makes tasks that load requests with the session's configuration, and tells its
// delegate about them on its delegate queue, one message at a time and in order. The session holds
// its delegate until it is invalidated.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSOperationQueue.h>
#include <Network/NSCachedURLResponse.h>
#include <Network/NSHTTPURLResponse.h>
#include <Network/NSInputStream.h>
#include <Network/NSURLAuthenticationChallenge.h>
#include <Network/NSURLSessionConfiguration.h>
#include <Network/NSURLSessionTask.h>

#include <functional>
#include <memory>

enum NSURLSessionAuthChallengeDisposition : NSInteger {
    NSURLSessionAuthChallengeUseCredential = 0,
    NSURLSessionAuthChallengePerformDefaultHandling = 1,
    NSURLSessionAuthChallengeCancelAuthenticationChallenge = 2,
    NSURLSessionAuthChallengeRejectProtectionSpace = 3,
};

enum NSURLSessionResponseDisposition : NSInteger {
    NSURLSessionResponseCancel = 0,
    NSURLSessionResponseAllow = 1,
    NSURLSessionResponseBecomeDownload = 2,
};

using NSURLSessionChallengeHandler =
    std::function<void(NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential)>;

// The delegate protocols. Each method does what the platform does for a delegate that does not
// implement it, so a delegate overrides only what it needs.
class NSURLSessionDelegate {
public:
    virtual ~NSURLSessionDelegate() = default;
    virtual void URLSessionDidBecomeInvalidWithError(NSURLSession* session, const Ref<NSError>& error) {}
    virtual void URLSessionDidReceiveChallengeCompletionHandler(NSURLSession* session,
                                                                const Ref<NSURLAuthenticationChallenge>& challenge,
                                                                const NSURLSessionChallengeHandler& completionHandler) {
        completionHandler(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    virtual void URLSessionDidFinishEventsForBackgroundURLSession(NSURLSession* session) {}
};

class NSURLSessionTaskDelegate : public NSURLSessionDelegate {
public:
    virtual void URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
        NSURLSession* session, NSURLSessionTask* task, const Ref<NSHTTPURLResponse>& response,
        const Ref<NSURLRequest>& request, const std::function<void(const Ref<NSURLRequest>&)>& completionHandler) {
        completionHandler(request);
    }
    // By default a server-trust challenge goes to the session-level method, any other is handled
    // by default.
    virtual void
    URLSessionTaskDidReceiveChallengeCompletionHandler(NSURLSession* session, NSURLSessionTask* task,
                                                       const Ref<NSURLAuthenticationChallenge>& challenge,
                                                       const NSURLSessionChallengeHandler& completionHandler);
    // By default a copy of the original request's body stream when it can be copied, else nil.
    virtual void
    URLSessionTaskNeedNewBodyStream(NSURLSession* session, NSURLSessionTask* task,
                                    const std::function<void(const Ref<NSInputStream>&)>& completionHandler);
    virtual void
    URLSessionTaskDidSendBodyDataTotalBytesSentTotalBytesExpectedToSend(NSURLSession* session, NSURLSessionTask* task,
                                                                        int64_t bytesSent, int64_t totalBytesSent,
                                                                        int64_t totalBytesExpectedToSend) {}
    virtual void URLSessionTaskDidCompleteWithError(NSURLSession* session, NSURLSessionTask* task,
                                                    const Ref<NSError>& error) {}
};

class NSURLSessionDataDelegate : public NSURLSessionTaskDelegate {
public:
    virtual void URLSessionDataTaskDidReceiveResponseCompletionHandler(
        NSURLSession* session, NSURLSessionDataTask* dataTask, const Ref<NSURLResponse>& response,
        const std::function<void(NSURLSessionResponseDisposition)>& completionHandler) {
        completionHandler(NSURLSessionResponseAllow);
    }
    virtual void URLSessionDataTaskDidBecomeDownloadTask(NSURLSession* session, NSURLSessionDataTask* dataTask,
                                                         NSURLSessionDownloadTask* downloadTask) {}
    virtual void URLSessionDataTaskDidReceiveData(NSURLSession* session, NSURLSessionDataTask* dataTask,
                                                  const Ref<NSData>& data) {}
    virtual void URLSessionDataTaskWillCacheResponseCompletionHandler(
        NSURLSession* session, NSURLSessionDataTask* dataTask, const Ref<NSCachedURLResponse>& proposedResponse,
        const std::function<void(const Ref<NSCachedURLResponse>&)>& completionHandler) {
        completionHandler(proposedResponse);
    }
};

class NSURLSessionDownloadDelegate : public NSURLSessionDataDelegate {
public:
    // The file is removed after this returns: move it away to keep it.
    virtual void URLSessionDownloadTaskDidFinishDownloadingToURL(NSURLSession* session,
                                                                 NSURLSessionDownloadTask* downloadTask,
                                                                 const Ref<NSURL>& location) {}
    virtual void URLSessionDownloadTaskDidWriteDataTotalBytesWrittenTotalBytesExpectedToWrite(
        NSURLSession* session, NSURLSessionDownloadTask* downloadTask, int64_t bytesWritten, int64_t totalBytesWritten,
        int64_t totalBytesExpectedToWrite) {}
    virtual void URLSessionDownloadTaskDidResumeAtOffsetExpectedTotalBytes(NSURLSession* session,
                                                                           NSURLSessionDownloadTask* downloadTask,
                                                                           int64_t fileOffset,
                                                                           int64_t expectedTotalBytes) {}
};

using NSURLSessionDataCompletionHandler =
    std::function<void(const Ref<NSData>& data, const Ref<NSURLResponse>& response, const Ref<NSError>& error)>;
using NSURLSessionDownloadCompletionHandler =
    std::function<void(const Ref<NSURL>& location, const Ref<NSURLResponse>& response, const Ref<NSError>& error)>;

class NSURLSession : public NSObject {
    NS_OBJECT(NSURLSession, NSObject)
public:
    struct State;

    // Sessions are made by the factories below: only they hold the key the constructor asks for.
    class Key {
        friend class NSURLSession;
        Key() = default;
    };
    NSURLSession(Key, const Ref<NSURLSessionConfiguration>& configuration, NSObject* delegate,
                 const Ref<NSOperationQueue>& delegateQueue);
    ~NSURLSession() override;

    // A session without a delegate and with the default configuration.
    static Ref<NSURLSession> sharedSession();
    static Ref<NSURLSession> sessionWithConfiguration(const Ref<NSURLSessionConfiguration>& configuration);
    // `delegate` is an object implementing NSURLSessionDelegate (or one of its refinements), held
    // until the session is invalidated; a nil queue gets a serial queue of the session's own.
    static Ref<NSURLSession>
    sessionWithConfigurationDelegateDelegateQueue(const Ref<NSURLSessionConfiguration>& configuration,
                                                  NSObject* delegate, const Ref<NSOperationQueue>& queue);

    // A copy of the configuration the session was made with.
    Ref<NSURLSessionConfiguration> configuration() const;
    NSObject* delegate() const;
    Ref<NSOperationQueue> delegateQueue() const;
    Ref<NSString> sessionDescription() const;
    void setSessionDescription(const Ref<NSString>& description);

    // Tasks start suspended. After invalidation no task is made (nil).
    Ref<NSURLSessionDataTask> dataTaskWithRequest(const Ref<NSURLRequest>& request);
    Ref<NSURLSessionDataTask> dataTaskWithURL(const Ref<NSURL>& url);
    // The handler (on the delegate queue) replaces the delegate's data and completion messages.
    Ref<NSURLSessionDataTask> dataTaskWithRequestCompletionHandler(const Ref<NSURLRequest>& request,
                                                                   NSURLSessionDataCompletionHandler handler);
    Ref<NSURLSessionUploadTask> uploadTaskWithRequestFromFile(const Ref<NSURLRequest>& request,
                                                              const Ref<NSURL>& fileURL);
    Ref<NSURLSessionUploadTask> uploadTaskWithRequestFromData(const Ref<NSURLRequest>& request,
                                                              const Ref<NSData>& body);
    Ref<NSURLSessionUploadTask> uploadTaskWithStreamedRequest(const Ref<NSURLRequest>& request);
    Ref<NSURLSessionDownloadTask> downloadTaskWithRequest(const Ref<NSURLRequest>& request);
    Ref<NSURLSessionDownloadTask>
    downloadTaskWithRequestCompletionHandler(const Ref<NSURLRequest>& request,
                                             NSURLSessionDownloadCompletionHandler handler);
    // nil for data that did not come from cancelByProducingResumeData.
    Ref<NSURLSessionDownloadTask> downloadTaskWithResumeData(const Ref<NSData>& resumeData);

    // The tasks not completed yet, by kind, handed over on the delegate queue.
    void
    getTasksWithCompletionHandler(std::function<void(const Ref<NSArray>& dataTasks, const Ref<NSArray>& uploadTasks,
                                                     const Ref<NSArray>& downloadTasks)>
                                      handler);
    // Cancels every task, then tells the delegate the session became invalid.
    void invalidateAndCancel();
    // Lets the tasks finish, then tells the delegate the session became invalid.
    void finishTasksAndInvalidate();

    Ref<NSString> description() const override;

    const std::shared_ptr<State>& internalState() const noexcept { return state_; }

private:
    // `configure` finishes the task's state before the session lists the task, where other threads
    // can see it.
    Ref<NSURLSessionTask> makeTask(const Ref<NSURLRequest>& request, NSURLSessionTask::Kind kind,
                                   const std::function<void(NSURLSessionTask::State&)>& configure = nullptr);

    std::shared_ptr<State> state_;
};
