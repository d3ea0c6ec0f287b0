// NSURLSessionTask: one load of a session: created suspended, started by resume, paused by
// suspend, ended by cancel (which reports NSURLErrorCancelled) or by its completion. Data, upload
// and download tasks are its kinds.
//
// Resume and suspend can be interposed process-wide (what a load-time method exchange does on the
// platform): the interposer runs instead of the method and calls the original when it wants.
#pragma once

#include <Foundation/NSError.h>
#include <Network/NSURLRequest.h>
#include <Network/NSURLResponse.h>

#include <cstdint>
#include <functional>
#include <memory>

class NSURLSession;

enum NSURLSessionTaskState : NSInteger {
    NSURLSessionTaskStateRunning = 0,
    NSURLSessionTaskStateSuspended = 1,
    NSURLSessionTaskStateCanceling = 2,
    NSURLSessionTaskStateCompleted = 3,
};

inline constexpr int64_t NSURLSessionTransferSizeUnknown = -1;

class NSURLSessionTask : public NSObject {
    NS_OBJECT(NSURLSessionTask, NSObject)
public:
    enum class Kind { Data, Upload, Download };
    struct State;

    // Tasks are made by their session: only it (and a task turning into a download) holds the key
    // the constructor asks for.
    class Key {
        friend class NSURLSession;
        friend class NSURLSessionTask;
        Key() = default;
    };
    NSURLSessionTask(Key, const Ref<NSURLSession>& session, const Ref<NSURLRequest>& request, Kind kind,
                     NSUInteger identifier);
    ~NSURLSessionTask() override;

    NSUInteger taskIdentifier() const;
    Ref<NSURLRequest> originalRequest() const;
    Ref<NSURLRequest> currentRequest() const;
    Ref<NSURLResponse> response() const;
    NSURLSessionTaskState state() const;
    Ref<NSError> error() const;
    Ref<NSString> taskDescription() const;
    void setTaskDescription(const Ref<NSString>& description);
    int64_t countOfBytesReceived() const;
    int64_t countOfBytesSent() const;
    int64_t countOfBytesExpectedToSend() const;
    int64_t countOfBytesExpectedToReceive() const;

    void resume();
    void suspend();
    void cancel();

    using Interposer = std::function<void(NSURLSessionTask* task, const std::function<void()>& original)>;
    static void setResumeInterposer(Interposer interposer);
    static void setSuspendInterposer(Interposer interposer);

    Ref<NSString> description() const override;

    const std::shared_ptr<State>& internalState() const noexcept { return state_; }

protected:
    std::shared_ptr<State> state_;

private:
    void resumeTask();
    void suspendTask();
};

class NSURLSessionDataTask : public NSURLSessionTask {
    NS_OBJECT(NSURLSessionDataTask, NSURLSessionTask)
public:
    using NSURLSessionTask::NSURLSessionTask;
};

class NSURLSessionUploadTask : public NSURLSessionDataTask {
    NS_OBJECT(NSURLSessionUploadTask, NSURLSessionDataTask)
public:
    using NSURLSessionDataTask::NSURLSessionDataTask;
};

class NSURLSessionDownloadTask : public NSURLSessionTask {
    NS_OBJECT(NSURLSessionDownloadTask, NSURLSessionTask)
public:
    using NSURLSessionTask::NSURLSessionTask;
    // Cancels; the handler receives data to resume the download with later, or nil when it cannot
    // be resumed (nothing was received yet).
    void cancelByProducingResumeData(std::function<void(const Ref<NSData>& resumeData)> handler);
};
