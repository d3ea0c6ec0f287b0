// _HCURLSessionTaskSwizzling: replaces, once, the resume and suspend of every session task with
// versions that post a notification whenever a task really starts running or really gets
// suspended (resuming a running task, or suspending a suspended one, posts nothing).
#pragma once

#include <Network/NSURLSessionTask.h>

// The raw notifications, posted synchronously on the thread that resumed or suspended the task,
// with the task as object.
const Ref<NSString>& HCNSURLSessionTaskDidResumeNotification();
const Ref<NSString>& HCNSURLSessionTaskDidSuspendNotification();

class _HCURLSessionTaskSwizzling : public NSObject {
    NS_OBJECT(_HCURLSessionTaskSwizzling, NSObject)
public:
    // Installs the replacements; later calls change nothing.
    static void load();
    // The replacements' bodies: `original` is the platform's own resume or suspend.
    static void hc_resume(NSURLSessionTask* task, const std::function<void()>& original);
    static void hc_suspend(NSURLSessionTask* task, const std::function<void()>& original);
};
