// Internal to the signal library: deallocation as a signal for several objects at once.
#pragma once

#include <Reactive/RXSignal.h>

#include <vector>

namespace rx_detail {
// A signal that sends no value and completes as soon as any of the objects (nil ones are ignored)
// begins to deallocate, or at once when one already has. The objects are held weakly. It rides on
// the objects' dealloc disposables rather than on their will-dealloc replay subjects, so no
// subject's lock is held while the completion travels: a subscriber may subscribe to it from inside
// another signal's callback without ordering that callback's lock against the subject's.
Ref<RXSignal> deallocationSignal(const std::vector<id>& objects);
} // namespace rx_detail
