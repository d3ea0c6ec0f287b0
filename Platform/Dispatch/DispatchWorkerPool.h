// Internal: the thread pool behind one global queue.
//
// A pool runs up to `width` tasks at once (the number of processors, at least two). Threads are
// made on demand and then kept. A worker that blocks in a platform wait stops counting towards the
// width, so that another thread can run queued work meanwhile (a block waiting for another block of
// the same pool can never starve it); the pool never grows beyond kMaxThreads.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace dispatch_detail {

class WorkerPool {
public:
    static constexpr int kMaxThreads = 64;

    explicit WorkerPool(std::string name);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs `task` on a worker. The task must not let an exception escape.
    void submit(std::function<void()> task);

private:
    void workerMain();
    void spawnLocked();
    bool shouldSpawnLocked() const;
    static void willBlock(void* pool);
    static void didUnblock(void* pool);

    std::string name_;
    int width_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    int threads_ = 0;
    int idle_ = 0;
    int wakeups_ = 0; // idle workers that have been told to wake up
    int blocked_ = 0;
};

} // namespace dispatch_detail
