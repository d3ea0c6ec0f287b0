// RXSequenceEnumerator: walks a sequence one element at a time (`objectEnumerator`).
#pragma once

#include <Reactive/RXSequence.h>

#include <mutex>

class RXSequenceEnumerator : public NSObject {
    NS_OBJECT(RXSequenceEnumerator, NSObject)
public:
    explicit RXSequenceEnumerator(Ref<RXSequence> sequence) : sequence_(std::move(sequence)) {}

    // The next element, or nil at the end (and for ever after).
    id nextObject();
    // The sequence still to walk.
    Ref<RXSequence> sequence() const;

private:
    mutable std::mutex lock_;
    Ref<RXSequence> sequence_;
};
