#include <Networking/_HCURLSessionTaskSwizzling.h>

#include <Dispatch/Dispatch.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>

// The exchange happens when the program starts, as the platform's load-time hooks do.
NS_IMPLEMENT_CLASS(_HCURLSessionTaskSwizzling, NSObject) {
    _HCURLSessionTaskSwizzling::load();
}

const Ref<NSString>& HCNSURLSessionTaskDidResumeNotification() {
    static const Ref<NSString>& name = *new Ref<NSString>("com.celvix.networking.nsurlsessiontask.resume"_ns);
    return name;
}

const Ref<NSString>& HCNSURLSessionTaskDidSuspendNotification() {
    static const Ref<NSString>& name = *new Ref<NSString>("com.celvix.networking.nsurlsessiontask.suspend"_ns);
    return name;
}

void _HCURLSessionTaskSwizzling::load() {
    static std::once_flag once;
    std::call_once(once, [] {
        // (Asked of the class itself, not by name: at start-up its name may not be registered yet.)
        if (!NSURLSessionTask::class_()) {
            return;
        }
        NSURLSessionTask::setResumeInterposer(&_HCURLSessionTaskSwizzling::hc_resume);
        NSURLSessionTask::setSuspendInterposer(&_HCURLSessionTaskSwizzling::hc_suspend);
    });
}

void _HCURLSessionTaskSwizzling::hc_resume(NSURLSessionTask* task, const std::function<void()>& original) {
    NSURLSessionTaskState before = task->state();
    original();
    if (before != NSURLSessionTaskStateRunning) {
        NSNotificationCenter::defaultCenter()->postNotificationNameObject(HCNSURLSessionTaskDidResumeNotification(),
                                                                          id(task));
    }
}

void _HCURLSessionTaskSwizzling::hc_suspend(NSURLSessionTask* task, const std::function<void()>& original) {
    NSURLSessionTaskState before = task->state();
    original();
    if (before != NSURLSessionTaskStateSuspended) {
        NSNotificationCenter::defaultCenter()->postNotificationNameObject(HCNSURLSessionTaskDidSuspendNotification(),
                                                                          id(task));
    }
}
