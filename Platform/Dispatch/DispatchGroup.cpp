#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchGroup.h>
#include <Dispatch/DispatchTask.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Runtime/ClassBuilder.h>

#include <utility>
#include <vector>

using namespace dispatch_detail;

struct DispatchGroup::State {
    mutable std::mutex mutex;
    long count = 0;
    std::vector<std::pair<Ref<DispatchQueue>, dispatch_block_t>> notifications;
    WaitList waiters;
};

NS_IMPLEMENT_CLASS(DispatchGroup, NSObject) {}

namespace {

void requireGroup(const dispatch_group_t& group, const char* function) {
    if (!group) {
        NSException::raise(NSInvalidArgumentException, std::string(function) + ": the group is nil");
    }
}

} // namespace

DispatchGroup::DispatchGroup() : state_(std::make_unique<State>()) {}

DispatchGroup::~DispatchGroup() = default;

void DispatchGroup::enter() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->count;
}

void DispatchGroup::leave() {
    Ref<DispatchGroup> self(this); // a woken waiter may drop the last other reference at once
    std::vector<std::pair<Ref<DispatchQueue>, dispatch_block_t>> notifications;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->count == 0) {
            NSException::raise(NSInternalInconsistencyException,
                               "dispatch_group_leave: unbalanced call (the group was not entered)");
        }
        if (--state_->count > 0) {
            return;
        }
        notifications.swap(state_->notifications);
        state_->waiters.wakeAll();
    }
    for (auto& [queue, block] : notifications) {
        enqueue(queue.get(), std::move(block));
    }
}

long DispatchGroup::wait(dispatch_time_t timeout) {
    uint64_t deadline = deadlineForTime(timeout);
    WaiterRef waiter;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->count == 0) {
            return 0;
        }
        if (timeout == DISPATCH_TIME_NOW) {
            return 1;
        }
        waiter = state_->waiters.enqueue();
    }
    if (park(waiter, deadline)) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->waiters.remove(waiter);
    return 1;
}

void DispatchGroup::notify(const dispatch_queue_t& queue, dispatch_block_t block) {
    if (!queue || !block) {
        NSException::raise(NSInvalidArgumentException, "dispatch_group_notify: the queue is nil or the block is empty");
    }
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->count > 0) {
            state_->notifications.emplace_back(queue, std::move(block));
            return;
        }
    }
    enqueue(queue.get(), std::move(block));
}

long DispatchGroup::count() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->count;
}

dispatch_group_t dispatch_group_create() {
    return make<DispatchGroup>();
}

void dispatch_group_enter(const dispatch_group_t& group) {
    requireGroup(group, "dispatch_group_enter");
    group->enter();
}

void dispatch_group_leave(const dispatch_group_t& group) {
    requireGroup(group, "dispatch_group_leave");
    group->leave();
}

long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout) {
    requireGroup(group, "dispatch_group_wait");
    return group->wait(timeout);
}

void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block) {
    requireGroup(group, "dispatch_group_notify");
    group->notify(queue, std::move(block));
}

void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block) {
    requireGroup(group, "dispatch_group_async");
    if (!queue || !block) {
        NSException::raise(NSInvalidArgumentException, "dispatch_group_async: the queue is nil or the block is empty");
    }
    group->enter();
    enqueue(queue.get(), std::move(block), group);
}
