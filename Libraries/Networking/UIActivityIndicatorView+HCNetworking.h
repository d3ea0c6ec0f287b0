// Activity indicators and refresh controls that follow a session task or a request operation,
// through an observer object kept on the view (made on first use).
#pragma once

#include <Networking/HCURLConnectionOperation.h>

#include <Network/NSURLSessionTask.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIRefreshControl.h>

#include <vector>

// Follows one task or operation at a time for its view, held weakly; every change reaches the view
// asynchronously on the main queue.
class HCNetworkingViewObserver : public NSObject {
    NS_OBJECT(HCNetworkingViewObserver, NSObject)
public:
    ~HCNetworkingViewObserver() override;

protected:
    // Stops following: removes every registration of this observer.
    void stopObserving();
    void observe(const Ref<NSString>& name, const id& object, std::function<void()> action);
    // Runs the action for the view on the main queue, if the view is still there.
    static void onMain(std::function<void()> action);

private:
    std::vector<id> tokens_;
};

class HCActivityIndicatorViewNotificationObserver : public HCNetworkingViewObserver {
    NS_OBJECT(HCActivityIndicatorViewNotificationObserver, HCNetworkingViewObserver)
public:
    explicit HCActivityIndicatorViewNotificationObserver(const Ref<UIActivityIndicatorView>& view)
        : activityIndicatorView_(view) {}
    Ref<UIActivityIndicatorView> activityIndicatorView() const { return activityIndicatorView_.lock(); }
    void setAnimatingWithStateOfTask(const Ref<NSURLSessionTask>& task);
    void setAnimatingWithStateOfOperation(const Ref<HCURLConnectionOperation>& operation);
    void hc_startAnimating();
    void hc_stopAnimating();

private:
    Weak<UIActivityIndicatorView> activityIndicatorView_;
};

class HCRefreshControlNotificationObserver : public HCNetworkingViewObserver {
    NS_OBJECT(HCRefreshControlNotificationObserver, HCNetworkingViewObserver)
public:
    explicit HCRefreshControlNotificationObserver(const Ref<UIRefreshControl>& control) : refreshControl_(control) {}
    Ref<UIRefreshControl> refreshControl() const { return refreshControl_.lock(); }
    void setRefreshingWithStateOfTask(const Ref<NSURLSessionTask>& task);
    void setRefreshingWithStateOfOperation(const Ref<HCURLConnectionOperation>& operation);
    void hc_beginRefreshing();
    void hc_endRefreshing();

private:
    Weak<UIRefreshControl> refreshControl_;
};

Ref<HCActivityIndicatorViewNotificationObserver> hc_notificationObserver(const Ref<UIActivityIndicatorView>& self);
void setAnimatingWithStateOfTask(const Ref<UIActivityIndicatorView>& self, const Ref<NSURLSessionTask>& task);
void setAnimatingWithStateOfOperation(const Ref<UIActivityIndicatorView>& self,
                                      const Ref<HCURLConnectionOperation>& operation);

Ref<HCRefreshControlNotificationObserver> hc_notificationObserver(const Ref<UIRefreshControl>& self);
void setRefreshingWithStateOfTask(const Ref<UIRefreshControl>& self, const Ref<NSURLSessionTask>& task);
void setRefreshingWithStateOfOperation(const Ref<UIRefreshControl>& self,
                                       const Ref<HCURLConnectionOperation>& operation);
