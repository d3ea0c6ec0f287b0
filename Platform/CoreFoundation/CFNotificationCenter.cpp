// CFNotificationCenter: the Darwin notification centre.
#include <CoreFoundation/CFNotificationCenter.h>
#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchQueue.h>

#include <mutex>
#include <string>
#include <vector>

class CFNotificationCenter {
public:
    struct Observer {
        const void* observer;
        std::string name;
        CFNotificationCallback callback;
    };
    std::mutex mutex;
    std::vector<Observer> observers;
};

namespace {

std::string nameOf(CFStringRef name) {
    return name ? name->str() : std::string();
}

void deliver(CFNotificationCenterRef center, const std::string& name) {
    std::vector<CFNotificationCenter::Observer> targets;
    {
        std::lock_guard lock(center->mutex);
        for (const auto& o : center->observers) {
            if (o.name == name) {
                targets.push_back(o);
            }
        }
    }
    auto text = NSString::from(name);
    for (const auto& o : targets) {
        // An observer removed by an earlier callback of this post is not called.
        bool still = false;
        {
            std::lock_guard lock(center->mutex);
            for (const auto& current : center->observers) {
                if (current.observer == o.observer && current.name == name) {
                    still = true;
                }
            }
        }
        if (still) {
            o.callback(center, const_cast<void*>(o.observer), text.get(), nullptr, nullptr);
        }
    }
}

} // namespace

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter() {
    static auto* center = new CFNotificationCenter;
    return center;
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void*,
                                     CFNotificationSuspensionBehavior) {
    if (!center || !callback || !name) {
        return;
    }
    std::lock_guard lock(center->mutex);
    for (auto& o : center->observers) {
        if (o.observer == observer && o.name == name->str()) {
            o.callback = callback;
            return;
        }
    }
    center->observers.push_back({observer, name->str(), callback});
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer, CFStringRef name,
                                        const void*) {
    if (!center) {
        return;
    }
    std::lock_guard lock(center->mutex);
    std::erase_if(center->observers, [&](const CFNotificationCenter::Observer& o) {
        return o.observer == observer && (!name || o.name == name->str());
    });
}

void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer) {
    CFNotificationCenterRemoveObserver(center, observer, nullptr, nullptr);
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void*,
                                          CFDictionaryRef, bool) {
    if (!center || !name) {
        return;
    }
    std::string text = nameOf(name);
    if (dispatch_detail::isMainThread()) {
        deliver(center, text);
        return;
    }
    dispatch_async(dispatch_get_main_queue(), [center, text] { deliver(center, text); });
}

size_t CFNotificationCenterObserverCount(CFNotificationCenterRef center, CFStringRef name) {
    if (!center) {
        return 0;
    }
    std::lock_guard lock(center->mutex);
    size_t n = 0;
    for (const auto& o : center->observers) {
        if (!name || o.name == name->str()) {
            ++n;
        }
    }
    return n;
}
