#include <Networking/HCNetworkActivityIndicatorManager.h>

#include <Networking/HCURLConnectionOperation.h>
#include <Networking/HCURLSessionManager.h>

#include <Dispatch/Dispatch.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSThread.h>
#include <Network/NSURLSessionTask.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>

NS_IMPLEMENT_CLASS(HCNetworkActivityIndicatorManager, NSObject) {
    using M = HCNetworkActivityIndicatorManager;
    b.method("networkRequestDidStart:", &M::networkRequestDidStart);
    b.method("networkRequestDidFinish:", &M::networkRequestDidFinish);
    b.method("updateNetworkActivityIndicatorVisibility", &M::updateNetworkActivityIndicatorVisibility);
    b.readonlyProperty("activityCount", &M::activityCount);
    b.readonlyProperty("networkActivityIndicatorVisible", &M::isNetworkActivityIndicatorVisible);
    b.manualNotification("activityCount");
}

namespace {

constexpr double kInvisibilityDelay = 0.17;

// The request behind a notification: an operation's request, or a task's original request.
Ref<NSURLRequest> requestOf(const Ref<NSNotification>& notification) {
    if (auto operation = cast<HCURLConnectionOperation>(notification->object())) {
        return operation->request();
    }
    if (auto task = cast<NSURLSessionTask>(notification->object())) {
        return task->originalRequest();
    }
    return nullptr;
}

} // namespace

HCNetworkActivityIndicatorManager::HCNetworkActivityIndicatorManager() {
    auto center = NSNotificationCenter::defaultCenter();
    id self(this);
    center->addObserverSelectorNameObject(self, "networkRequestDidStart:", HCNetworkingOperationDidStartNotification(),
                                          nullptr);
    center->addObserverSelectorNameObject(self, "networkRequestDidStart:", HCNetworkingTaskDidResumeNotification(),
                                          nullptr);
    center->addObserverSelectorNameObject(
        self, "networkRequestDidFinish:", HCNetworkingOperationDidFinishNotification(), nullptr);
    center->addObserverSelectorNameObject(self, "networkRequestDidFinish:", HCNetworkingTaskDidSuspendNotification(),
                                          nullptr);
    center->addObserverSelectorNameObject(self, "networkRequestDidFinish:", HCNetworkingTaskDidCompleteNotification(),
                                          nullptr);
}

HCNetworkActivityIndicatorManager::~HCNetworkActivityIndicatorManager() {
    NSNotificationCenter::defaultCenter()->removeObserver(id(this));
    if (activityIndicatorVisibilityTimer_) {
        activityIndicatorVisibilityTimer_->invalidate();
    }
}

Ref<HCNetworkActivityIndicatorManager> HCNetworkActivityIndicatorManager::sharedManager() {
    static dispatch_once_t once;
    static Ref<HCNetworkActivityIndicatorManager>* shared = nullptr;
    dispatch_once(
        &once, [] { shared = new Ref<HCNetworkActivityIndicatorManager>(make<HCNetworkActivityIndicatorManager>()); });
    return *shared;
}

bool HCNetworkActivityIndicatorManager::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void HCNetworkActivityIndicatorManager::setEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

void HCNetworkActivityIndicatorManager::scheduleUpdate() {
    Ref<HCNetworkActivityIndicatorManager> self(this);
    dispatch_async(dispatch_get_main_queue(), [self] { self->updateNetworkActivityIndicatorVisibilityDelayed(); });
}

void HCNetworkActivityIndicatorManager::incrementActivityCount() {
    willChangeValueForKey("activityCount"_ns);
    {
        std::lock_guard lock(mutex_);
        activityCount_ += 1;
    }
    didChangeValueForKey("activityCount"_ns);
    scheduleUpdate();
}

void HCNetworkActivityIndicatorManager::decrementActivityCount() {
    willChangeValueForKey("activityCount"_ns);
    {
        std::lock_guard lock(mutex_);
        activityCount_ = std::max<long long>(activityCount_ - 1, 0);
    }
    didChangeValueForKey("activityCount"_ns);
    scheduleUpdate();
}

void HCNetworkActivityIndicatorManager::setActivityCount(long long count) {
    {
        std::lock_guard lock(mutex_);
        activityCount_ = count;
    }
    scheduleUpdate();
}

void HCNetworkActivityIndicatorManager::networkRequestDidStart(const Ref<NSNotification>& notification) {
    auto request = requestOf(notification);
    if (request && request->URL()) {
        incrementActivityCount();
    }
}

void HCNetworkActivityIndicatorManager::networkRequestDidFinish(const Ref<NSNotification>& notification) {
    auto request = requestOf(notification);
    if (request && request->URL()) {
        decrementActivityCount();
    }
}

void HCNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibility() {
    UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(isNetworkActivityIndicatorVisible());
}

void HCNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibilityDelayed() {
    if (!isEnabled()) {
        return;
    }
    if (!isNetworkActivityIndicatorVisible()) {
        if (activityIndicatorVisibilityTimer_) {
            activityIndicatorVisibilityTimer_->invalidate();
        }
        Weak<HCNetworkActivityIndicatorManager> weakSelf(this);
        activityIndicatorVisibilityTimer_ =
            NSTimer::timerWithTimeIntervalRepeatsBlock(kInvisibilityDelay, false, [weakSelf](const Ref<NSTimer>&) {
                if (auto self = weakSelf.lock()) {
                    self->updateNetworkActivityIndicatorVisibility();
                }
            });
        NSRunLoop::mainRunLoop()->addTimerForMode(activityIndicatorVisibilityTimer_, NSRunLoopCommonModes());
    } else {
        Ref<HCNetworkActivityIndicatorManager> self(this);
        NSRunLoop::mainRunLoop()->performInModesBlock(NSArray::arrayWithObjects({NSRunLoopCommonModes()}),
                                                      [self] { self->updateNetworkActivityIndicatorVisibility(); });
    }
}
