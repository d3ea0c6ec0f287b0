// Internal to the UIKit folder: how the framework sends messages to application objects, posts its
// notifications, schedules work on the main queue and checks that it runs on the main thread.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class UIApplication;
class UIViewController;
class UIWindow;
class NSURL;

namespace uikit_detail {

// Raises NSInternalInconsistencyException when called off the main thread (debug builds only).
void assertMainThread(const char* where);

// Sends a selector, so that invocation observers see the call.
id send(NSObject* target, SEL selector, const std::vector<id>& args = {});
inline id send(const id& target, SEL selector, const std::vector<id>& args = {}) {
    return send(target.get(), selector, args);
}
bool responds(const id& target, SEL selector);
// Sends when the target responds to the selector; answers whether it did. The method's result goes
// to `result` when given.
bool sendIfResponds(const id& target, SEL selector, const std::vector<id>& args = {}, id* result = nullptr);

// Posts on the default notification centre.
void post(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo = nullptr);

// Work on the main queue after `seconds` of the process clock (0: at the next turn of the main
// queue). Setting the returned flag to false before it runs cancels it.
using Cancel = std::shared_ptr<std::atomic<bool>>;
Cancel after(double seconds, std::function<void()> work);
// The system's side of opening one of its own pages (a call, the settings): UIApplication+SystemPages.
void systemOpenedURL(::UIApplication* app, const Ref<::NSURL>& url);
// Runs `work` at once on the main thread, or queues it there from any other thread.
void onMain(std::function<void()> work);

// A count that moves whenever what is on show may have changed: a view was added, moved or removed,
// hidden or shown, or its alpha set; an alert or an action sheet came or went. The screenshot
// recorder looks at the screen again only when it has moved.
void viewsOnShowChanged() noexcept;
uint64_t viewsOnShowGeneration() noexcept;

// The screens the person has in front of them, outermost first: the root of the front-most window of
// the application's own (below the status bar) that has one, down through what it presents (not what
// is being dismissed) and a container's front-most child on show (children added later lie in
// front). The last is the screen the person sees.
std::vector<Ref<::UIViewController>> screensInFront();

// Takes a hidden window out of the windows on the screen (UIWindow::allWindows) without freeing it:
// the test driver keeps the windows of an ended test, which are then no windows of a later test's
// application (its list of windows, layout passes, pictures).
void retireWindow(::UIWindow* window);

// A shared string constant, made once.
#define UIKIT_STRING_CONSTANT(Name)                                                                                    \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(#Name);                                                      \
        return value;                                                                                                  \
    }

} // namespace uikit_detail
