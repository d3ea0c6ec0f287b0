// Internal: what the main run loop needs of the main dispatch queue.
#pragma once

namespace dispatch_detail {

// Runs the blocks that were on the main queue when the call began (blocks they add wait for the
// next call); false when there were none. Main thread only.
bool drainMainQueue();
bool mainQueueHasWork() noexcept;

// Called (on any thread) whenever a block is added to the main queue, so that the main run loop
// wakes up. Set once by the run loop.
void setMainQueueWakeHandler(void (*handler)()) noexcept;

} // namespace dispatch_detail
