#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchWorkerPool.h>

#include <algorithm>
#include <pthread.h>
#include <thread>

namespace dispatch_detail {

WorkerPool::WorkerPool(std::string name)
    : name_(std::move(name)), width_(std::max(2, static_cast<int>(std::thread::hardware_concurrency()))) {}

void WorkerPool::submit(std::function<void()> task) {
    bool notify = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        if (idle_ > wakeups_) {
            ++wakeups_;
            notify = true;
        } else if (shouldSpawnLocked()) {
            spawnLocked();
        }
    }
    // Outside the lock, so that the woken worker does not at once block on it again. The pool is
    // never destroyed, so the condition variable outlives the call.
    if (notify) {
        cv_.notify_one();
    }
}

bool WorkerPool::shouldSpawnLocked() const {
    return threads_ < kMaxThreads && threads_ - blocked_ < width_;
}

void WorkerPool::spawnLocked() {
    ++threads_;
    std::thread([this] { workerMain(); }).detach();
}

void WorkerPool::willBlock(void* context) {
    auto* pool = static_cast<WorkerPool*>(context);
    std::lock_guard<std::mutex> lock(pool->mutex_);
    ++pool->blocked_;
    if (!pool->tasks_.empty() && pool->idle_ <= pool->wakeups_ && pool->shouldSpawnLocked()) {
        pool->spawnLocked();
    }
}

void WorkerPool::didUnblock(void* context) {
    auto* pool = static_cast<WorkerPool*>(context);
    std::lock_guard<std::mutex> lock(pool->mutex_);
    --pool->blocked_;
}

void WorkerPool::workerMain() {
    std::string threadName = name_.substr(0, 15);
    pthread_setname_np(pthread_self(), threadName.c_str());
    currentBlockingHooks() = BlockingHooks{&WorkerPool::willBlock, &WorkerPool::didUnblock, this};
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        while (tasks_.empty()) {
            ++idle_;
            cv_.wait(lock);
            --idle_;
            if (wakeups_ > 0) {
                --wakeups_;
            }
        }
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        Activity::waitAtGate();
        task();
        task = nullptr;
        lock.lock();
    }
}

} // namespace dispatch_detail
