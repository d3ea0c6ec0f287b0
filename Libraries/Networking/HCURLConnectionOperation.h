// HCURLConnectionOperation: an asynchronous operation that sends one request over a connection on
// the shared network-request thread and gathers the response, the body and the error. It can be
// paused and resumed, reports upload and download progress, takes hooks for challenges, redirects
// and caching, decides server trust through its security policy, and delivers its completion block
// on a chosen queue inside a dispatch group.
#pragma once

#include <Networking/HCSecurityPolicy.h>

#include <Dispatch/Dispatch.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSOperation.h>
#include <Foundation/NSRecursiveLock.h>
#include <Foundation/NSSet.h>
#include <Foundation/NSThread.h>
#include <Network/NSOutputStream.h>
#include <Network/NSURLConnection.h>

#include <atomic>
#include <functional>

enum HCConnectionOperationState : NSInteger {
    HCOperationPausedState = -1,
    HCOperationReadyState = 1,
    HCOperationExecutingState = 2,
    HCOperationFinishedState = 3,
};

// Posted on the main queue with the operation as object when its connection starts, and when it
// finishes or an executing operation is paused.
const Ref<NSString>& HCNetworkingOperationDidStartNotification();
const Ref<NSString>& HCNetworkingOperationDidFinishNotification();

using HCProgressBlock = std::function<void(NSUInteger bytes, long long totalBytes, long long totalBytesExpected)>;
using HCAuthenticationChallengeBlock =
    std::function<void(NSURLConnection* connection, const Ref<NSURLAuthenticationChallenge>& challenge)>;
using HCCacheResponseBlock = std::function<Ref<NSCachedURLResponse>(NSURLConnection* connection,
                                                                    const Ref<NSCachedURLResponse>& cachedResponse)>;
using HCRedirectResponseBlock = std::function<Ref<NSURLRequest>(
    NSURLConnection* connection, const Ref<NSURLRequest>& request, const Ref<NSURLResponse>& redirectResponse)>;

class HCURLConnectionOperation : public NSOperation, public NSURLConnectionDataDelegate, public NSSecureCoding {
    NS_OBJECT(HCURLConnectionOperation, NSOperation)
public:
    // `initWithRequest:`; an operation is always made from a request.
    explicit HCURLConnectionOperation(const Ref<NSURLRequest>& request);
    // `initWithCoder:`.
    explicit HCURLConnectionOperation(NSCoder* coder);
    ~HCURLConnectionOperation() override;

    // The one thread on which every connection of every operation runs and reports.
    static Ref<NSThread> networkRequestThread();
    static void networkRequestThreadEntryPoint(const id& object);
    static bool supportsSecureCoding() { return true; }

    // A block operation to add to a queue after the operations: its completion block receives the
    // operations once all have finished; the progress block hears each one finish.
    static Ref<NSArray> batchOfRequestOperationsProgressBlockCompletionBlock(
        const Ref<NSArray>& operations, std::function<void(NSUInteger finished, NSUInteger total)> progressBlock,
        std::function<void(const Ref<NSArray>& operations)> completionBlock);

    Ref<NSURLRequest> request() const;
    Ref<NSURLResponse> response() const;
    virtual Ref<NSError> error() const;
    Ref<NSData> responseData() const;
    Ref<NSString> responseString();
    NSStringEncoding responseStringEncoding();
    long long totalBytesRead() const;
    HCConnectionOperationState state() const noexcept { return state_.load(); }
    const Ref<NSRecursiveLock>& lock() const noexcept { return lock_; }
    Ref<NSURLConnection> connection() const;
    Ref<NSSet> runLoopModes() const;
    void setRunLoopModes(const Ref<NSSet>& modes);

    bool shouldUseCredentialStorage() const noexcept { return shouldUseCredentialStorage_; }
    void setShouldUseCredentialStorage(bool should) { shouldUseCredentialStorage_ = should; }
    Ref<NSURLCredential> credential() const;
    void setCredential(const Ref<NSURLCredential>& credential);
    Ref<HCSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(const Ref<HCSecurityPolicy>& policy);

    Ref<NSInputStream> inputStream() const;
    // Replaces the request by a copy whose body stream is the stream.
    void setInputStream(const Ref<NSInputStream>& stream);
    // A memory stream unless one was set.
    Ref<NSOutputStream> outputStream();
    // Closes the stream it replaces.
    void setOutputStream(const Ref<NSOutputStream>& stream);

    dispatch_queue_t completionQueue() const;
    void setCompletionQueue(const dispatch_queue_t& queue);
    dispatch_group_t completionGroup() const;
    void setCompletionGroup(const dispatch_group_t& group);
    Ref<NSDictionary> userInfo() const;
    void setUserInfo(const Ref<NSDictionary>& userInfo);

    void setUploadProgressBlock(HCProgressBlock block);
    void setDownloadProgressBlock(HCProgressBlock block);
    void setWillSendRequestForAuthenticationChallengeBlock(HCAuthenticationChallengeBlock block);
    void setCacheResponseBlock(HCCacheResponseBlock block);
    void setRedirectResponseBlock(HCRedirectResponseBlock block);

    // The completion block runs once the operation has finished, on `completionQueue` (the main
    // queue when nil) inside `completionGroup` (a shared group when nil).
    void setCompletionBlock(std::function<void()> block);
    std::function<void()> completionBlock() const;
    void setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler);

    void start() override;
    void cancel() override;
    bool isReady() const override;
    bool isExecuting() const override;
    bool isFinished() const override;
    bool isConcurrent() const override { return true; }
    virtual void pause();
    void resume();
    bool isPaused() const;

    Ref<NSString> description() const override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

    // The connection's delegate (on the network-request thread).
    void
    connectionWillSendRequestForAuthenticationChallenge(NSURLConnection* connection,
                                                        const Ref<NSURLAuthenticationChallenge>& challenge) override;
    bool connectionShouldUseCredentialStorage(NSURLConnection* connection) override;
    Ref<NSURLRequest> connectionWillSendRequestRedirectResponse(NSURLConnection* connection,
                                                                const Ref<NSURLRequest>& request,
                                                                const Ref<NSURLResponse>& redirectResponse) override;
    void connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(NSURLConnection* connection,
                                                                             NSInteger bytesWritten,
                                                                             NSInteger totalBytesWritten,
                                                                             NSInteger totalBytesExpected) override;
    void connectionDidReceiveResponse(NSURLConnection* connection, const Ref<NSURLResponse>& response) override;
    void connectionDidReceiveData(NSURLConnection* connection, const Ref<NSData>& data) override;
    void connectionDidFinishLoading(NSURLConnection* connection) override;
    void connectionDidFailWithError(NSURLConnection* connection, const Ref<NSError>& error) override;
    Ref<NSCachedURLResponse> connectionWillCacheResponse(NSURLConnection* connection,
                                                         const Ref<NSCachedURLResponse>& cachedResponse) override;

protected:
    // A queue has start() called on the network-request thread itself: start() only hands over to
    // that thread, so going through a worker thread first would cost a hand-over for nothing.
    void submitStart(std::function<void()> start) override;
    // A state change by the transition rule; refused changes are dropped.
    void setState(HCConnectionOperationState state);
    void setRequest(const Ref<NSURLRequest>& request);
    void setResponse(const Ref<NSURLResponse>& response);
    void setError(const Ref<NSError>& error);
    void setResponseData(const Ref<NSData>& data);
    void setTotalBytesRead(long long total);
    // Runs the block on the network-request thread, in the operation's run-loop modes.
    void performOnNetworkThread(std::function<void()> block);
    void operationDidStart();
    void finish();
    void cancelConnection();
    void operationDidPause();
    // Ends a running load with an error of its own (the connection is cancelled first).
    void failWithError(const Ref<NSError>& error);
    // Copies the hooks and the completion queue and group into a fresh operation (for copies).
    void copyHooksInto(HCURLConnectionOperation& other) const;
    // A completion that runs where the operation finishes (the network-request thread) and does
    // its own hand-over to queues: the HTTP operation's, which goes straight to its processing queue
    // instead of passing through the completion queue first. Replaces any completion block.
    void setDirectCompletion(std::function<void()> completion);
    // Posts the operation-did-finish notification on the main queue. A direct completion posts it
    // itself, just before it hands over its result, so that both reach the main queue together.
    void postDidFinishNotification();

    // The recursive lock, held for a scope.
    struct Locked {
        explicit Locked(const HCURLConnectionOperation& o) : lock(o.lock_) { lock->lock(); }
        ~Locked() { lock->unlock(); }
        Ref<NSRecursiveLock> lock;
    };

private:
    Ref<NSRecursiveLock> lock_;
    std::atomic<HCConnectionOperationState> state_{HCOperationReadyState};
    Ref<NSURLRequest> request_;
    Ref<NSURLResponse> response_;
    Ref<NSError> error_;
    Ref<NSData> responseData_;
    Ref<NSString> responseString_;
    NSStringEncoding responseStringEncoding_ = static_cast<NSStringEncoding>(0);
    long long totalBytesRead_ = 0;
    Ref<NSURLConnection> connection_;
    Ref<NSSet> runLoopModes_;
    bool shouldUseCredentialStorage_ = true;
    Ref<NSURLCredential> credential_;
    Ref<HCSecurityPolicy> securityPolicy_;
    Ref<NSOutputStream> outputStream_;
    dispatch_queue_t completionQueue_;
    dispatch_group_t completionGroup_;
    Ref<NSDictionary> userInfo_;
    std::function<void()> backgroundTaskCleanup_;
    HCProgressBlock uploadProgress_;
    HCProgressBlock downloadProgress_;
    HCAuthenticationChallengeBlock authenticationChallenge_;
    HCCacheResponseBlock cacheResponse_;
    HCRedirectResponseBlock redirectResponse_;
    std::function<void()> completion_;
    std::function<void()> directCompletion_;
    bool completionRun_ = false;
    // A did-start notification was posted and its did-finish is still owed: the two stay paired,
    // so that an operation cancelled before it started, or cancelled while paused, posts neither.
    std::atomic<bool> startAnnounced_{false};
};
