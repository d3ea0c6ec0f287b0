// Internal: the state that sessions and their tasks share.
#pragma once

#include <Network/NSURLSession.h>
#include <Network/URLTransfer.h>

#include <deque>
#include <mutex>
#include <vector>

struct NSURLSession::State : std::enable_shared_from_this<NSURLSession::State> {
    std::mutex mutex;
    Weak<NSURLSession> session;
    Ref<NSURLSessionConfiguration> configuration;
    id delegateObject;
    NSURLSessionDelegate* delegate = nullptr;
    NSURLSessionTaskDelegate* taskDelegate = nullptr;
    NSURLSessionDataDelegate* dataDelegate = nullptr;
    NSURLSessionDownloadDelegate* downloadDelegate = nullptr;
    Ref<NSOperationQueue> queue;
    Ref<NSString> sessionDescription;
    std::vector<Ref<NSURLSessionTask>> tasks; // not completed yet
    std::atomic<NSUInteger> nextIdentifier{1};
    bool invalidating = false;
    bool invalidated = false;
    std::deque<std::function<void()>> events;
    bool pumping = false;

    // Runs the event on the delegate queue, after every event posted before it.
    void post(std::function<void()> event);
    void drain();
    // A task has delivered its completion: forget it, and finish invalidating when it was the last.
    void taskDidComplete(NSURLSessionTask* task);
    void becomeInvalidIfDone();
    // The delegate, held for the length of a call.
    struct Delegates {
        id keep;
        NSURLSessionDelegate* session = nullptr;
        NSURLSessionTaskDelegate* task = nullptr;
        NSURLSessionDataDelegate* data = nullptr;
        NSURLSessionDownloadDelegate* download = nullptr;
    };
    Delegates delegates();
};

struct NSURLSessionTask::State : ns_net::TransferClient, std::enable_shared_from_this<NSURLSessionTask::State> {
    mutable std::mutex mutex;
    std::shared_ptr<NSURLSession::State> session;
    Ref<NSURLSession> sessionObject; // while the task runs
    Weak<NSURLSessionTask> task;
    NSURLSessionTask::Kind kind;
    NSUInteger identifier = 0;
    Ref<NSURLRequest> original;
    Ref<NSURLRequest> current;
    Ref<NSURLResponse> response;
    Ref<NSError> error;
    Ref<NSString> taskDescription;
    NSURLSessionTaskState state = NSURLSessionTaskStateSuspended;
    int64_t received = 0;
    int64_t sent = 0;
    int64_t expectedToSend = NSURLSessionTransferSizeUnknown;
    int64_t expectedToReceive = NSURLSessionTransferSizeUnknown;
    bool started = false;
    bool completionDelivered = false;
    std::shared_ptr<ns_net::Transfer> transfer;
    NSURLSessionDataCompletionHandler dataHandler;
    NSURLSessionDownloadCompletionHandler downloadHandler;
    Ref<NSMutableData> accumulated;
    // Downloads.
    std::string downloadPath;
    int downloadFile = -1;
    int64_t resumeOffset = 0;
    bool keepPartialDownload = false;
    std::function<void(const Ref<NSData>&)> resumeDataHandler;

    // The task object, when it still exists.
    Ref<NSURLSessionTask> taskObject() const { return task.lock(); }
    void start();
    // Ends the task with the error (nil: success), once, on the delegate queue. Once the task is
    // being cancelled only the cancellation's own completion counts.
    void deliverCompletion(const Ref<NSError>& error, bool fromCancel = false);
    bool openDownloadFile();
    void closeDownloadFile();

    void transferReceivedResponse(ns_net::Transfer& transfer, const Ref<NSHTTPURLResponse>& response) override;
    void transferReceivedData(ns_net::Transfer& transfer, const uint8_t* bytes, size_t length) override;
    void transferSentBodyData(ns_net::Transfer& transfer, int64_t bytes, int64_t total, int64_t expected) override;
    void transferCompleted(ns_net::Transfer& transfer, const Ref<NSError>& error) override;
    void transferWillRedirect(ns_net::Transfer& transfer, const Ref<NSURLRequest>& request,
                              const Ref<NSHTTPURLResponse>& response) override;
    void transferReceivedChallenge(ns_net::Transfer& transfer, const Ref<NSURLProtectionSpace>& space,
                                   const Ref<NSURLCredential>& proposedCredential, NSInteger previousFailureCount,
                                   const Ref<NSURLResponse>& failureResponse) override;
    void transferNeedsNewBodyStream(ns_net::Transfer& transfer) override;
};
