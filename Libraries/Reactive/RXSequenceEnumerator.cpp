#include <Reactive/RXSequenceEnumerator.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXSequenceEnumerator, NSObject) {
    b.method("nextObject", &RXSequenceEnumerator::nextObject);
}

id RXSequenceEnumerator::nextObject() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!sequence_) {
        return nullptr;
    }
    id value = sequence_->head();
    sequence_ = value ? sequence_->tail() : nullptr;
    return value;
}

Ref<RXSequence> RXSequenceEnumerator::sequence() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sequence_;
}
