#include <Networking/HCURLSessionManagerTaskDelegate.h>

#include <Networking/HCURLSessionManager.h>

#include <Foundation/NSFileManager.h>

NS_IMPLEMENT_CLASS(HCURLSessionManagerTaskDelegate, NSObject) {}

HCURLSessionManagerTaskDelegate::HCURLSessionManagerTaskDelegate()
    : mutableData_(NSMutableData::data()), progress_(NSProgress::progressWithTotalUnitCount(0)) {}

void HCURLSessionManagerTaskDelegate::setManager(HCURLSessionManager* manager) {
    manager_ = manager;
}

void HCURLSessionManagerTaskDelegate::URLSessionTaskDidSendBodyDataTotalBytesSentTotalBytesExpectedToSend(
    NSURLSession*, NSURLSessionTask*, int64_t, int64_t totalBytesSent, int64_t totalBytesExpectedToSend) {
    progress_->setTotalUnitCount(totalBytesExpectedToSend);
    progress_->setCompletedUnitCount(totalBytesSent);
}

void HCURLSessionManagerTaskDelegate::URLSessionDataTaskDidReceiveData(NSURLSession*, NSURLSessionDataTask*,
                                                                       const Ref<NSData>& data) {
    if (mutableData_) {
        mutableData_->appendData(data);
    }
}

void HCURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidWriteDataTotalBytesWrittenTotalBytesExpectedToWrite(
    NSURLSession*, NSURLSessionDownloadTask*, int64_t, int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite) {
    progress_->setTotalUnitCount(totalBytesExpectedToWrite);
    progress_->setCompletedUnitCount(totalBytesWritten);
}

void HCURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidResumeAtOffsetExpectedTotalBytes(
    NSURLSession*, NSURLSessionDownloadTask*, int64_t fileOffset, int64_t expectedTotalBytes) {
    progress_->setTotalUnitCount(expectedTotalBytes);
    progress_->setCompletedUnitCount(fileOffset);
}

void HCURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidFinishDownloadingToURL(NSURLSession* session,
                                                                                      NSURLSessionDownloadTask* task,
                                                                                      const Ref<NSURL>& location) {
    downloadFileURL_ = nullptr;
    if (!destination_) {
        return;
    }
    downloadFileURL_ = destination_(session, task, location);
    if (!downloadFileURL_) {
        return;
    }
    Ref<NSError> error;
    if (!NSFileManager::defaultManager()->moveItemAtPathToPathError(location->path(), downloadFileURL_->path(),
                                                                    &error)) {
        NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(
            HCURLSessionDownloadTaskDidFailToMoveFileNotification(), id(task), error ? error->userInfo() : nullptr);
    }
}

void HCURLSessionManagerTaskDelegate::URLSessionTaskDidCompleteWithError(NSURLSession*, NSURLSessionTask* taskPointer,
                                                                         const Ref<NSError>& error) {
    auto manager = manager_.lock();
    Ref<NSURLSessionTask> task(taskPointer);
    auto userInfo = NSMutableDictionary::dictionary();
    id serializerObject = manager ? manager->responseSerializerObject() : nullptr;
    HCURLResponseSerialization* serializer = manager ? manager->responseSerializer() : nullptr;
    if (serializerObject) {
        userInfo->setObjectForKey(serializerObject, HCNetworkingTaskDidCompleteResponseSerializerKey());
    }
    Ref<NSData> data;
    if (mutableData_) {
        data = NSData::dataWithData(mutableData_);
        mutableData_ = nullptr; // the buffer goes as soon as the task ends
    }
    if (downloadFileURL_) {
        userInfo->setObjectForKey(downloadFileURL_, HCNetworkingTaskDidCompleteAssetPathKey());
    } else if (data) {
        userInfo->setObjectForKey(data, HCNetworkingTaskDidCompleteResponseDataKey());
    }
    dispatch_queue_t queue =
        manager && manager->completionQueue() ? manager->completionQueue() : dispatch_get_main_queue();
    dispatch_group_t group = manager && manager->completionGroup() ? manager->completionGroup()
                                                                   : HCURLSessionManager::defaultCompletionGroup();
    auto handler = completionHandler_;
    auto postCompletion = [task, userInfo] {
        dispatch_async(dispatch_get_main_queue(), [task, userInfo] {
            NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(
                HCNetworkingTaskDidCompleteNotification(), task, userInfo);
        });
    };
    if (error) {
        userInfo->setObjectForKey(error, HCNetworkingTaskDidCompleteErrorKey());
        dispatch_group_async(group, queue, [handler, task, error, postCompletion] {
            if (handler) {
                handler(task->response(), nullptr, error);
            }
            postCompletion();
        });
        return;
    }
    Ref<NSURL> fileURL = downloadFileURL_;
    Ref<HCURLSessionManager> keep = manager;
    dispatch_async(HCURLSessionManager::responseProcessingQueue(), [keep, serializer, task, data, fileURL, userInfo,
                                                                    handler, queue, group, postCompletion] {
        Ref<NSError> serializationError;
        id responseObject;
        if (serializer) {
            responseObject =
                serializer->responseObjectForResponseDataError(task->response(), data, &serializationError);
        }
        if (fileURL) {
            responseObject = fileURL;
        }
        if (responseObject) {
            userInfo->setObjectForKey(responseObject, HCNetworkingTaskDidCompleteSerializedResponseKey());
        }
        if (serializationError) {
            userInfo->setObjectForKey(serializationError, HCNetworkingTaskDidCompleteErrorKey());
        }
        dispatch_group_async(group, queue, [handler, task, responseObject, serializationError, postCompletion] {
            if (handler) {
                handler(task->response(), responseObject, serializationError);
            }
            postCompletion();
        });
    });
}
