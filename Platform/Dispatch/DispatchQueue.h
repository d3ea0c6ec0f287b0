// Dispatch queues: the main queue, the global queues (thread pools) and serial or concurrent queues
// that target another queue.
//
// dispatch_queue_t is a reference-counted object (Ref<DispatchQueue>), so queues can be held in
// properties and collections like any other object. Blocks are std::function<void()>.
//
// - The main queue is serial and runs on the main thread, drained by the main run loop (and by
//   DispatchClock::advance / runUntilIdle on the main thread).
// - The four global queues are concurrent, each backed by its own pool of threads.
// - A serial queue runs one block at a time, in the order they were added, on the queue it targets
//   (by default the default-priority global queue). A concurrent queue passes each block to its
//   target; a concurrent queue that targets a serial queue is thereby serial.
//
// An exception that escapes a block on a background thread ends the process (std::terminate, with
// the exception current), as an uncaught exception does on the platform; on the main thread it
// propagates out of the run loop or DispatchClock call that ran the block.
#pragma once

#include <Dispatch/DispatchTime.h>
#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <functional>
#include <memory>
#include <string>

class DispatchQueue;
class DispatchGroup;

using dispatch_queue_t = Ref<DispatchQueue>;
using dispatch_block_t = std::function<void()>;
using dispatch_function_t = void (*)(void*);

// Queue attributes: DISPATCH_QUEUE_SERIAL (nullptr) or DISPATCH_QUEUE_CONCURRENT.
struct dispatch_queue_attr_s;
using dispatch_queue_attr_t = const dispatch_queue_attr_s*;
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_SERIAL = nullptr;
extern const dispatch_queue_attr_t DISPATCH_QUEUE_CONCURRENT;

// Global queue priorities, with the platform's values.
using dispatch_queue_priority_t = long;
inline constexpr dispatch_queue_priority_t DISPATCH_QUEUE_PRIORITY_HIGH = 2;
inline constexpr dispatch_queue_priority_t DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr dispatch_queue_priority_t DISPATCH_QUEUE_PRIORITY_LOW = -2;
inline constexpr dispatch_queue_priority_t DISPATCH_QUEUE_PRIORITY_BACKGROUND = -32768;

// dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL): the label of the current queue.
inline const dispatch_queue_t DISPATCH_CURRENT_QUEUE_LABEL = nullptr;

namespace dispatch_detail {
struct Task;
struct QueueAccess; // the dispatch code's own way to a queue's task intake and state
} // namespace dispatch_detail

class DispatchQueue : public NSObject {
    NS_OBJECT(DispatchQueue, NSObject)
public:
    enum class Kind { Main, Global, Serial, Concurrent };

    DispatchQueue(Kind kind, std::string label);
    ~DispatchQueue() override;

    const std::string& label() const noexcept { return label_; }
    Kind kind() const noexcept { return kind_; }
    // Main and serial queues run one block at a time.
    bool isSerial() const noexcept { return kind_ == Kind::Main || kind_ == Kind::Serial; }
    // The queue this one targets (nil for the main and global queues).
    Ref<DispatchQueue> targetQueue() const;
    // Whether blocks of this queue end up on the main thread.
    bool targetsMainQueue() const;
    Ref<NSString> description() const override;

    struct State; // defined with the queue's code

private:
    friend struct dispatch_detail::QueueAccess;
    // Hands a task to the queue.
    void submit(dispatch_detail::Task task);
    State& state() const noexcept { return *state_; }
    void drain();
    void scheduleDrain();

    std::string label_;
    Kind kind_;
    std::unique_ptr<State> state_;
};

dispatch_queue_t dispatch_get_main_queue();
// One of the four global queues; raises NSInvalidArgumentException for another priority or for
// flags other than 0.
dispatch_queue_t dispatch_get_global_queue(dispatch_queue_priority_t priority, unsigned long flags);
// A new queue (serial unless attr is DISPATCH_QUEUE_CONCURRENT) targeting the default global queue.
dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr);
// Makes `queue` run its blocks on `target` (nil: the default global queue). Raises
// NSInvalidArgumentException for the main or a global queue, or when the change would make a
// cycle, and NSInternalInconsistencyException while the queue has blocks waiting.
void dispatch_set_target_queue(const dispatch_queue_t& queue, const dispatch_queue_t& target);
// The label given at creation (an empty string for none); nil asks for the current queue's.
const char* dispatch_queue_get_label(const dispatch_queue_t& queue);

// Adds a block to a queue and returns at once. Raises NSInvalidArgumentException for a nil queue
// or an empty block.
void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block);
// Runs a block on a queue and waits for it; an exception it raises is raised again here. On a
// queue with no serial queue in its target chain the block runs on the calling thread. Raises
// NSInternalInconsistencyException instead of deadlocking when the calling thread is running a
// block of a serial queue that the block would have to wait for (including the main queue on the
// main thread).
void dispatch_sync(const dispatch_queue_t& queue, const dispatch_block_t& block);
// Adds a block to a queue when `when` comes (never for DISPATCH_TIME_FOREVER: the block is dropped).
// A time that has passed means now; on virtual time the block then still waits for the clock's
// driver (runUntilIdle, advance), like every timed block.
void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block);

// Queue-specific data: a context pointer stored under a key, with an optional destructor that
// runs when the value is replaced or the queue goes away. dispatch_get_specific looks the key up
// on the queue that runs the current block, then along its target chain (on the main thread
// outside any block, the main queue).
void dispatch_queue_set_specific(const dispatch_queue_t& queue, const void* key, void* context,
                                 dispatch_function_t destructor);
void* dispatch_queue_get_specific(const dispatch_queue_t& queue, const void* key);
void* dispatch_get_specific(const void* key);

// Raises NSInternalInconsistencyException unless the current block runs on `queue` (directly or
// through a queue that targets it); the main thread counts as the main queue.
void dispatch_assert_queue(const dispatch_queue_t& queue);
// Raises NSInternalInconsistencyException off the main thread: the check for UI work.
void dispatch_assert_main();
// The first line of an entry point that only the main thread may call: the same check in debug builds,
// nothing in release builds.
#ifdef NDEBUG
#define DX_ASSERT_MAIN_THREAD() ((void)0)
#else
#define DX_ASSERT_MAIN_THREAD() dispatch_assert_main()
#endif
// The main thread is the process's first thread unless a host (the test fixture, the simulator)
// names the thread that runs the main run loop by calling this on it.
void dispatch_adopt_current_thread_as_main();
