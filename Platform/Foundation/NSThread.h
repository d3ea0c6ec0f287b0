// NSThread: a thread of the process, with a name, a thread dictionary and (made on first use) a
// run loop.
//
// The main thread is the thread that runs the main run loop: the process's first thread, unless a
// host (the test fixture, the simulator) adopts another with dispatch_adopt_current_thread_as_main().
// Threads the platform did not start (global-queue workers, std::thread) get an NSThread object
// the first time they ask for currentThread().
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class NSDate;
class NSMutableDictionary;
class NSRunLoop;
class NSString;
namespace foundation_detail {
struct RunLoopAccess;
}

class NSThread : public NSObject {
    NS_OBJECT(NSThread, NSObject)
public:
    // `init`: a thread whose main() a subclass overrides.
    NSThread();
    // `initWithBlock:`.
    explicit NSThread(std::function<void()> block);
    // `initWithTarget:selector:object:`: main() sends `selector` to `target` with `argument` (when
    // the selector takes one). The target and the argument are held until the thread ends.
    NSThread(const id& target, SEL selector, const id& argument);
    ~NSThread() override;

    static Ref<NSThread> currentThread();
    static Ref<NSThread> mainThread();
    static bool isMainThread();
    // YES once a thread has been started with NSThread.
    static bool isMultiThreaded();
    static void detachNewThreadWithBlock(std::function<void()> block);
    static void detachNewThreadSelectorToTargetWithObject(SEL selector, const id& target, const id& argument);
    // Blocks the calling thread for the interval (nothing for an interval <= 0). On virtual time the
    // thread waits for the clock; on the main thread the wait moves the clock without running the
    // main queue. Raises NSInvalidArgumentException for NaN.
    static void sleepForTimeInterval(double seconds);
    // Raises NSInvalidArgumentException for nil.
    static void sleepUntilDate(const Ref<NSDate>& date);

    // Starts the thread; raises NSInvalidArgumentException when it was started before. The thread
    // holds this object (and through it its run loop) until main() returns.
    void start();
    // The thread's body: the block, or the target's selector.
    virtual void main();
    // Marks the thread cancelled; its body decides what to do about it.
    void cancel();
    bool isExecuting() const noexcept { return executing_.load(); }
    bool isFinished() const noexcept { return finished_.load(); }
    bool isCancelled() const noexcept { return cancelled_.load(); }

    Ref<NSString> name() const;
    // Also names the system thread (its first 15 bytes) when it is running.
    void setName(const Ref<NSString>& name);
    // A dictionary private to the thread (for per-thread state such as the current scheduler).
    Ref<NSMutableDictionary> threadDictionary();
    Ref<NSString> description() const override;

private:
    // The thread's run loop, made on first use: reached by NSRunLoop::currentRunLoop and by
    // performSelector:onThread: (through RunLoopAccess).
    friend class NSRunLoop;
    friend struct foundation_detail::RunLoopAccess;
    Ref<NSRunLoop> runLoop();
    // An object for a thread that is already running (the main thread, pool workers).
    static Ref<NSThread> adoptingCurrentThread();
    void run();
    void applySystemName();

    mutable std::mutex mutex_;
    std::function<void()> block_;
    id target_;
    SEL selector_;
    id argument_;
    Ref<NSString> name_;
    Ref<NSMutableDictionary> dictionary_;
    Ref<NSRunLoop> runLoop_;
    bool started_ = false;
    bool hasSystemThread_ = false;
    unsigned long systemThread_ = 0;
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancelled_{false};
};
