// NSPort and NSMachPort: a run loop's input source.
//
// A port added to a run loop (addPortForMode) keeps the run loop running: `run` returns only when a
// run loop has no ports, no timers and no pending performs left in the mode. This is how a thread
// with its own run loop stays alive, waiting for work (the network thread). sendMessage() queues a
// message for the port from any thread and wakes the run loop that serves it; that run loop handles
// it on its own thread, in a mode the port was added for, by calling the message handler.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <atomic>
#include <functional>
#include <mutex>

class NSRunLoop;
class NSString;

class NSPort : public NSObject {
    NS_OBJECT(NSPort, NSObject)
public:
    NSPort() = default;
    static Ref<NSPort> port();

    // Stops the port: its run loops drop it, pending and later messages are discarded.
    void invalidate();
    bool isValid() const noexcept { return valid_.load(); }

    void scheduleInRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);
    void removeFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);

    // What the run loop calls for each message.
    void setMessageHandler(std::function<void()> handler);
    // Queues one message; false when the port is invalid.
    bool sendMessage();
    size_t pendingMessages() const noexcept { return pending_.load(); }

private:
    friend class NSRunLoop;
    // Takes one message, if any; answers the handler to call.
    bool takeMessage(std::function<void()>& handler);

    mutable std::mutex mutex_;
    std::function<void()> handler_;
    Weak<NSRunLoop> runLoop_;
    std::atomic<size_t> pending_{0};
    std::atomic<bool> valid_{true};
};

class NSMachPort : public NSPort {
    NS_OBJECT(NSMachPort, NSPort)
public:
    NSMachPort() = default;
    static Ref<NSMachPort> port();
};
