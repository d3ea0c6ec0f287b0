// HCURLSessionManagerTaskDelegate: what the session manager keeps per task: the received data,
// the progress, a download's destination and the completion handler, which it runs once the task
// ends (after the response serializer, on the manager's completion queue).
#pragma once

#include <Network/NSProgress.h>
#include <Network/NSURLSession.h>

#include <functional>

class HCURLSessionManager;

using HCURLSessionTaskCompletionHandler =
    std::function<void(const Ref<NSURLResponse>& response, const id& responseObject, const Ref<NSError>& error)>;
using HCURLSessionDownloadDestination =
    std::function<Ref<NSURL>(NSURLSession* session, NSURLSessionDownloadTask* task, const Ref<NSURL>& location)>;

class HCURLSessionManagerTaskDelegate : public NSObject, public NSURLSessionDownloadDelegate {
    NS_OBJECT(HCURLSessionManagerTaskDelegate, NSObject)
public:
    HCURLSessionManagerTaskDelegate();

    Ref<HCURLSessionManager> manager() const { return manager_.lock(); }
    void setManager(HCURLSessionManager* manager);
    const Ref<NSMutableData>& mutableData() const noexcept { return mutableData_; }
    const Ref<NSProgress>& progress() const noexcept { return progress_; }
    void setProgress(const Ref<NSProgress>& progress) { progress_ = progress; }
    const Ref<NSURL>& downloadFileURL() const noexcept { return downloadFileURL_; }
    void setDownloadFileURL(const Ref<NSURL>& url) { downloadFileURL_ = url; }
    const HCURLSessionDownloadDestination& downloadTaskDidFinishDownloading() const noexcept { return destination_; }
    void setDownloadTaskDidFinishDownloading(HCURLSessionDownloadDestination block) { destination_ = std::move(block); }
    const HCURLSessionTaskCompletionHandler& completionHandler() const noexcept { return completionHandler_; }
    void setCompletionHandler(HCURLSessionTaskCompletionHandler handler) { completionHandler_ = std::move(handler); }

    void URLSessionTaskDidSendBodyDataTotalBytesSentTotalBytesExpectedToSend(NSURLSession* session,
                                                                             NSURLSessionTask* task, int64_t bytesSent,
                                                                             int64_t totalBytesSent,
                                                                             int64_t totalBytesExpectedToSend) override;
    void URLSessionDataTaskDidReceiveData(NSURLSession* session, NSURLSessionDataTask* dataTask,
                                          const Ref<NSData>& data) override;
    void URLSessionDownloadTaskDidWriteDataTotalBytesWrittenTotalBytesExpectedToWrite(
        NSURLSession* session, NSURLSessionDownloadTask* task, int64_t bytesWritten, int64_t totalBytesWritten,
        int64_t totalBytesExpectedToWrite) override;
    void URLSessionDownloadTaskDidResumeAtOffsetExpectedTotalBytes(NSURLSession* session,
                                                                   NSURLSessionDownloadTask* task, int64_t fileOffset,
                                                                   int64_t expectedTotalBytes) override;
    void URLSessionDownloadTaskDidFinishDownloadingToURL(NSURLSession* session, NSURLSessionDownloadTask* task,
                                                         const Ref<NSURL>& location) override;
    void URLSessionTaskDidCompleteWithError(NSURLSession* session, NSURLSessionTask* task,
                                            const Ref<NSError>& error) override;

private:
    Weak<HCURLSessionManager> manager_;
    Ref<NSMutableData> mutableData_;
    Ref<NSProgress> progress_;
    Ref<NSURL> downloadFileURL_;
    HCURLSessionDownloadDestination destination_;
    HCURLSessionTaskCompletionHandler completionHandler_;
};
