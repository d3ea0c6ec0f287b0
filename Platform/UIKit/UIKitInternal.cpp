#include <Dispatch/Dispatch.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSThread.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

#include <cmath>

namespace uikit_detail {

void assertMainThread(const char* where) {
#ifndef NDEBUG
    if (!NSThread::isMainThread()) {
        NSException::raise(NSInternalInconsistencyException,
                           std::string("UIKit was used off the main thread (") + where + ")");
    }
#else
    (void)where;
#endif
}

id send(NSObject* target, SEL selector, const std::vector<id>& args) {
    if (!target) {
        return nullptr;
    }
    return target->performSelectorWithArguments(selector, args);
}

bool responds(const id& target, SEL selector) {
    return target && target->respondsToSelector(selector);
}

bool sendIfResponds(const id& target, SEL selector, const std::vector<id>& args, id* result) {
    if (!responds(target, selector)) {
        return false;
    }
    id r = target->performSelectorWithArguments(selector, args);
    if (result) {
        *result = r;
    }
    return true;
}

void post(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo) {
    NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(name, object, userInfo);
}

Cancel after(double seconds, std::function<void()> work) {
    auto flag = std::make_shared<std::atomic<bool>>(true);
    auto block = [flag, work = std::move(work)] {
        if (flag->load()) {
            flag->store(false);
            work();
        }
    };
    if (seconds <= 0) {
        dispatch_async(dispatch_get_main_queue(), block);
    } else {
        auto ns = static_cast<int64_t>(std::llround(seconds * static_cast<double>(NSEC_PER_SEC)));
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, ns), dispatch_get_main_queue(), block);
    }
    return flag;
}

namespace {
std::atomic<uint64_t> gViewsOnShow{0};
} // namespace

void viewsOnShowChanged() noexcept {
    gViewsOnShow.fetch_add(1, std::memory_order_relaxed);
}

uint64_t viewsOnShowGeneration() noexcept {
    return gViewsOnShow.load(std::memory_order_relaxed);
}

void onMain(std::function<void()> work) {
    if (NSThread::isMainThread()) {
        work();
    } else {
        dispatch_async(dispatch_get_main_queue(), std::move(work));
    }
}

std::vector<Ref<UIViewController>> screensInFront() {
    std::vector<Ref<UIViewController>> chain;
    Ref<UIViewController> screen;
    for (const auto& window : UIWindow::windowsFromBackToFront()) {
        if (!window->isHidden() && window->windowLevel() < UIWindowLevelStatusBar && window->rootViewController()) {
            screen = window->rootViewController();
        }
    }
    while (screen) {
        chain.push_back(screen);
        // A screen on its way out (its dismissal ending) no longer covers the one it leaves.
        if (auto presented = screen->presentedViewController(); presented && !presented->isBeingDismissed()) {
            screen = presented;
            continue;
        }
        Ref<UIViewController> front;
        for (const auto& child : screen->childViewControllerList()) {
            if (child->isViewLoaded() && child->view()->window() && !child->view()->isHidden()) {
                front = child;
            }
        }
        screen = front;
    }
    return chain;
}

} // namespace uikit_detail
