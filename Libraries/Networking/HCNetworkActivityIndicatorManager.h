// HCNetworkActivityIndicatorManager: drives the status bar's network-activity indicator from the
// requests in flight (operations and session tasks that start and finish). The indicator shows at
// once and hides only after the count has stayed at zero for 0.17 s. Nothing changes until it is
// enabled.
#pragma once

#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSTimer.h>

#include <mutex>

class HCNetworkActivityIndicatorManager : public NSObject {
    NS_OBJECT(HCNetworkActivityIndicatorManager, NSObject)
public:
    HCNetworkActivityIndicatorManager();
    ~HCNetworkActivityIndicatorManager() override;

    static Ref<HCNetworkActivityIndicatorManager> sharedManager();

    bool isEnabled() const;
    void setEnabled(bool enabled);
    long long activityCount() const { return activityCount_.load(); }
    bool isNetworkActivityIndicatorVisible() const { return activityCount() > 0; }

    void incrementActivityCount();
    void decrementActivityCount();
    void setActivityCount(long long count);

    void networkRequestDidStart(const Ref<NSNotification>& notification);
    void networkRequestDidFinish(const Ref<NSNotification>& notification);
    void updateNetworkActivityIndicatorVisibility();
    void updateNetworkActivityIndicatorVisibilityDelayed();

private:
    void scheduleUpdate();

    mutable std::mutex mutex_;
    bool enabled_ = false;
    std::atomic<long long> activityCount_{0};
    Ref<NSTimer> activityIndicatorVisibilityTimer_;
};
