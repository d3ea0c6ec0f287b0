// Dispatch groups: a count of outstanding work, with blocks to run and threads to wake when it
// reaches zero.
#pragma once

#include <Dispatch/DispatchQueue.h>

#include <memory>

class DispatchGroup : public NSObject {
    NS_OBJECT(DispatchGroup, NSObject)
public:
    DispatchGroup();
    ~DispatchGroup() override;

    void enter();
    // Raises NSInternalInconsistencyException when it is not balanced by an enter().
    void leave();
    // 0 when the group became empty, non-zero when `timeout` passed first.
    long wait(dispatch_time_t timeout);
    void notify(const dispatch_queue_t& queue, dispatch_block_t block);
    // The number of enters not yet balanced by a leave.
    long count() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

using dispatch_group_t = Ref<DispatchGroup>;

dispatch_group_t dispatch_group_create();
void dispatch_group_enter(const dispatch_group_t& group);
void dispatch_group_leave(const dispatch_group_t& group);
// Blocks until the group is empty or the time-out passes (on the process clock: virtual time
// drives it in tests). Returns 0 on success, non-zero on time-out.
long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout);
// Adds `block` to `queue` once the group is empty (at once when it is empty now).
void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
// Enters the group, runs the block on the queue, leaves the group after it.
void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
