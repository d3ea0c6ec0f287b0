// NSRunLoop: the per-thread event loop. It fires timers, handles port messages and runs performed
// blocks, each in the modes it was added for; the main run loop also drains the main dispatch queue
// (in the default mode and the common modes).
//
// One turn (runModeBeforeDate) fires the due timers, then runs the performs, the main queue and the
// port messages that are ready, and returns once it has handled at least one of them or the limit
// date has come; while nothing is ready it sleeps until something arrives or the next timer is due.
// A turn nested inside a callback (a main-thread wait for a result delivered on the main queue)
// drains the main queue like any other.
//
// Modes are names (NSString). NSRunLoopCommonModes is not a mode to run but a set to add to: an item
// added for it is active in every common mode (the default mode, and the modes added with
// addCommonMode). Running the common modes pseudo-mode raises NSInvalidArgumentException.
//
// Time follows DispatchClock: on virtual time a turn on the main thread that has nothing to do moves
// the clock (see Dispatch/Clock.h); a turn on another thread waits for the clock to be moved.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class NSArray;
class NSDate;
class NSPort;
class NSString;
class NSThread;
class NSTimer;

const Ref<NSString>& NSDefaultRunLoopMode();
const Ref<NSString>& NSRunLoopCommonModes();

class NSRunLoop : public NSObject {
    NS_OBJECT(NSRunLoop, NSObject)
public:
    // Only the platform makes run loops: a thread makes its own (currentRunLoop), mainRunLoop() the
    // main one. The key can be made only there.
    class Key {
        friend class NSRunLoop;
        friend class NSThread;
        Key() = default;
    };
    NSRunLoop(Key, bool isMain);
    ~NSRunLoop() override;

    static Ref<NSRunLoop> currentRunLoop();
    static Ref<NSRunLoop> mainRunLoop();

    // The mode of the innermost turn running now, or nil.
    Ref<NSString> currentMode() const;

    // Schedules a timer (from any thread). A timer belongs to one run loop: adding it to another
    // raises NSInvalidArgumentException; adding an invalid timer does nothing.
    void addTimerForMode(const Ref<NSTimer>& timer, const Ref<NSString>& mode);
    // Takes a timer out of a mode; out of its last mode it stays valid but is no longer scheduled.
    void removeTimerForMode(const Ref<NSTimer>& timer, const Ref<NSString>& mode);
    // A port belongs to one run loop at a time; raises NSInvalidArgumentException for another.
    void addPortForMode(const Ref<NSPort>& port, const Ref<NSString>& mode);
    void removePortForMode(const Ref<NSPort>& port, const Ref<NSString>& mode);

    // Fires the timers that are due in the mode and answers the date of the next one (the distant
    // future when only other sources are left, nil when the mode has nothing at all).
    Ref<NSDate> limitDateForMode(const Ref<NSString>& mode);
    // One turn in the mode. NO at once when the mode has no sources (no timers, ports, performs, and
    // on the main run loop in a common mode, the main queue); YES otherwise. Must be called on the
    // run loop's thread; raises NSInternalInconsistencyException otherwise and
    // NSInvalidArgumentException for a nil mode or date.
    bool runModeBeforeDate(const Ref<NSString>& mode, const Ref<NSDate>& limitDate);
    // Turns in the default mode until the date (or until the mode has no sources).
    void runUntilDate(const Ref<NSDate>& limitDate);
    // Turns in the default mode for as long as it has sources.
    void run();

    // Runs a block on the run loop's thread in a later turn, in the common modes / the given modes
    // (an NSArray of NSString). Performs run in the order they were added.
    void performBlock(std::function<void()> block);
    void performInModesBlock(const Ref<NSArray>& modes, std::function<void()> block);

    // Makes `mode` one of the common modes (CFRunLoopAddCommonMode): items added for the common
    // modes are then active in it too.
    void addCommonMode(const Ref<NSString>& mode);

    // Wakes the run loop's thread if it sleeps in a turn, so that it looks for work again.
    void wakeUp();
    bool isMainRunLoop() const noexcept { return isMain_; }

    struct State;
    // A mode name, interned: equal names are the same pointer.
    using Mode = const std::string*;

private:
    friend class NSTimer;
    friend class NSPort;
    friend bool runMainRunLoopUntil(uint64_t, const std::function<bool()>*);

    void requireOwnThread(const char* method) const;
    bool turn(Mode mode, uint64_t limit, const std::function<bool()>* stop);
    bool fireDueTimers(Mode mode, const std::function<bool()>* stop);
    bool runPerforms(Mode mode);
    bool handlePorts(Mode mode);
    void waitForWork(Mode mode, uint64_t deadline, const std::function<bool()>* stop);
    bool hasWorkForMode(Mode mode);
    bool hasWorkLocked(Mode mode, uint64_t now);
    bool hasSourcesLocked(Mode mode) const;
    uint64_t nextTimerLocked(Mode mode) const;
    void scheduleTimerLocked(NSTimer* timer);
    void unscheduleTimerLocked(NSTimer* timer);
    void rescheduleAfterFire(const Ref<NSTimer>& timer, uint64_t firedAt);
    void timerFireDateChanged(NSTimer* timer, uint64_t fire);
    void invalidateTimer(NSTimer* timer);
    void portInvalidated(NSPort* port);
    void changed();

    const bool isMain_;
    std::unique_ptr<State> state_;
};

// Internal: the runner DispatchClock uses for advance() and runUntilIdle().
bool runMainRunLoopUntil(uint64_t deadline, const std::function<bool()>* stop);

namespace foundation_detail {
// Internal: the one observer of the main run loop about to wait, run on the main thread each time
// the loop has run everything that is ready at this instant (on virtual time: the background is
// idle and nothing is due before the clock moves on). It answers whether it did anything; the loop
// then runs what that made ready before it waits. A platform service that looks at the settled
// screen (the screenshot recorder) sets it; nullptr removes it. It must not block or move the clock.
void setMainRunLoopBeforeWaitingObserver(bool (*observer)());
} // namespace foundation_detail
