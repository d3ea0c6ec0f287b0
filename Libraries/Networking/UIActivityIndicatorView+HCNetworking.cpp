#include <Networking/HCURLSessionManager.h>
#include <Networking/UIActivityIndicatorView+HCNetworking.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSOperationQueue.h>

NS_IMPLEMENT_CLASS(HCNetworkingViewObserver, NSObject) {}
NS_IMPLEMENT_CLASS(HCActivityIndicatorViewNotificationObserver, HCNetworkingViewObserver) {}
NS_IMPLEMENT_CLASS(HCRefreshControlNotificationObserver, HCNetworkingViewObserver) {}

HCNetworkingViewObserver::~HCNetworkingViewObserver() {
    stopObserving();
}

void HCNetworkingViewObserver::stopObserving() {
    auto center = NSNotificationCenter::defaultCenter();
    for (const id& token : tokens_) {
        center->removeObserver(token);
    }
    tokens_.clear();
}

void HCNetworkingViewObserver::observe(const Ref<NSString>& name, const id& object, std::function<void()> action) {
    tokens_.push_back(NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        name, object, nullptr, [action = std::move(action)](const Ref<NSNotification>&) { action(); }));
}

void HCNetworkingViewObserver::onMain(std::function<void()> action) {
    dispatch_async(dispatch_get_main_queue(), std::move(action));
}

// MARK: - Activity indicator

void HCActivityIndicatorViewNotificationObserver::hc_startAnimating() {
    Weak<UIActivityIndicatorView> view = activityIndicatorView_;
    onMain([view] {
        if (auto v = view.lock()) {
            v->startAnimating();
        }
    });
}

void HCActivityIndicatorViewNotificationObserver::hc_stopAnimating() {
    Weak<UIActivityIndicatorView> view = activityIndicatorView_;
    onMain([view] {
        if (auto v = view.lock()) {
            v->stopAnimating();
        }
    });
}

void HCActivityIndicatorViewNotificationObserver::setAnimatingWithStateOfTask(const Ref<NSURLSessionTask>& task) {
    stopObserving();
    if (!task || task->state() == NSURLSessionTaskStateCompleted) {
        return;
    }
    if (task->state() == NSURLSessionTaskStateRunning) {
        hc_startAnimating();
    } else {
        hc_stopAnimating();
    }
    Weak<HCActivityIndicatorViewNotificationObserver> self(this);
    auto start = [self] {
        if (auto s = self.lock()) {
            s->hc_startAnimating();
        }
    };
    auto stop = [self] {
        if (auto s = self.lock()) {
            s->hc_stopAnimating();
        }
    };
    observe(HCNetworkingTaskDidResumeNotification(), task, start);
    observe(HCNetworkingTaskDidCompleteNotification(), task, stop);
    observe(HCNetworkingTaskDidSuspendNotification(), task, stop);
}

void HCActivityIndicatorViewNotificationObserver::setAnimatingWithStateOfOperation(
    const Ref<HCURLConnectionOperation>& operation) {
    stopObserving();
    if (!operation || operation->isFinished()) {
        return;
    }
    if (operation->isExecuting()) {
        hc_startAnimating();
    } else {
        hc_stopAnimating();
    }
    Weak<HCActivityIndicatorViewNotificationObserver> self(this);
    observe(HCNetworkingOperationDidStartNotification(), operation, [self] {
        if (auto s = self.lock()) {
            s->hc_startAnimating();
        }
    });
    observe(HCNetworkingOperationDidFinishNotification(), operation, [self] {
        if (auto s = self.lock()) {
            s->hc_stopAnimating();
        }
    });
}

// MARK: - Refresh control

void HCRefreshControlNotificationObserver::hc_beginRefreshing() {
    Weak<UIRefreshControl> control = refreshControl_;
    onMain([control] {
        if (auto c = control.lock()) {
            c->beginRefreshing();
        }
    });
}

void HCRefreshControlNotificationObserver::hc_endRefreshing() {
    Weak<UIRefreshControl> control = refreshControl_;
    onMain([control] {
        if (auto c = control.lock()) {
            c->endRefreshing();
        }
    });
}

void HCRefreshControlNotificationObserver::setRefreshingWithStateOfTask(const Ref<NSURLSessionTask>& task) {
    stopObserving();
    if (!task) {
        return;
    }
    if (task->state() != NSURLSessionTaskStateRunning) {
        hc_endRefreshing();
        return;
    }
    hc_beginRefreshing();
    Weak<HCRefreshControlNotificationObserver> self(this);
    auto begin = [self] {
        if (auto s = self.lock()) {
            s->hc_beginRefreshing();
        }
    };
    auto end = [self] {
        if (auto s = self.lock()) {
            s->hc_endRefreshing();
        }
    };
    observe(HCNetworkingTaskDidResumeNotification(), task, begin);
    observe(HCNetworkingTaskDidCompleteNotification(), task, end);
    observe(HCNetworkingTaskDidSuspendNotification(), task, end);
}

void HCRefreshControlNotificationObserver::setRefreshingWithStateOfOperation(
    const Ref<HCURLConnectionOperation>& operation) {
    stopObserving();
    if (!operation || operation->isFinished()) {
        return;
    }
    if (operation->isExecuting()) {
        hc_beginRefreshing();
    } else {
        hc_endRefreshing();
    }
    Weak<HCRefreshControlNotificationObserver> self(this);
    observe(HCNetworkingOperationDidStartNotification(), operation, [self] {
        if (auto s = self.lock()) {
            s->hc_beginRefreshing();
        }
    });
    observe(HCNetworkingOperationDidFinishNotification(), operation, [self] {
        if (auto s = self.lock()) {
            s->hc_endRefreshing();
        }
    });
}

// MARK: - The categories

namespace {
const char kObserverKey = 0;
}

Ref<HCActivityIndicatorViewNotificationObserver> hc_notificationObserver(const Ref<UIActivityIndicatorView>& self) {
    auto observer = cast<HCActivityIndicatorViewNotificationObserver>(self->associatedObject(&kObserverKey));
    if (!observer) {
        observer = make<HCActivityIndicatorViewNotificationObserver>(self);
        self->setAssociatedObject(&kObserverKey, observer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    return observer;
}

void setAnimatingWithStateOfTask(const Ref<UIActivityIndicatorView>& self, const Ref<NSURLSessionTask>& task) {
    hc_notificationObserver(self)->setAnimatingWithStateOfTask(task);
}

void setAnimatingWithStateOfOperation(const Ref<UIActivityIndicatorView>& self,
                                      const Ref<HCURLConnectionOperation>& operation) {
    hc_notificationObserver(self)->setAnimatingWithStateOfOperation(operation);
}

Ref<HCRefreshControlNotificationObserver> hc_notificationObserver(const Ref<UIRefreshControl>& self) {
    auto observer = cast<HCRefreshControlNotificationObserver>(self->associatedObject(&kObserverKey));
    if (!observer) {
        observer = make<HCRefreshControlNotificationObserver>(self);
        self->setAssociatedObject(&kObserverKey, observer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    return observer;
}

void setRefreshingWithStateOfTask(const Ref<UIRefreshControl>& self, const Ref<NSURLSessionTask>& task) {
    hc_notificationObserver(self)->setRefreshingWithStateOfTask(task);
}

void setRefreshingWithStateOfOperation(const Ref<UIRefreshControl>& self,
                                       const Ref<HCURLConnectionOperation>& operation) {
    hc_notificationObserver(self)->setRefreshingWithStateOfOperation(operation);
}
