// Internal: the unit of work that queues carry.
#pragma once

#include <Dispatch/DispatchGroup.h>
#include <Dispatch/DispatchQueue.h>

#include <functional>

namespace dispatch_detail {

// One unit of work on a queue. Work is counted for virtual time where it becomes runnable: every
// task handed to the main queue or to a global queue's pool is counted until it has run (a serial
// queue's drain is one such task, however many blocks it runs); blocks waiting behind the running
// block of a serial queue are not counted, since they cannot run before it.
struct Task {
    std::function<void()> block;
    Ref<DispatchGroup> group; // left after the block has run
};

// Runs a task on the current thread and leaves its group.
void runTask(Task& task);
// Adds a block to a queue (the internal form of dispatch_async).
void enqueue(DispatchQueue* queue, std::function<void()> block, Ref<DispatchGroup> group = nullptr);
// Ends the process for an exception that escaped a block on a background thread.
[[noreturn]] void terminateForUncaughtException(const char* where) noexcept;

} // namespace dispatch_detail
