#include <Reactive/RXDynamicSequence.h>

#include <Runtime/ClassBuilder.h>

#include <vector>

NS_IMPLEMENT_CLASS(RXDynamicSequence, RXSequence) {}

namespace {
// Freeing a long evaluated chain would free each tail from inside its parent's destructor. Past a
// depth, tails are parked here instead and released by the outermost destructor, one at a time, so
// the stack stays shallow however long the chain.
constexpr int kMaximumReleaseDepth = 64;
thread_local int releaseDepth = 0;
thread_local std::vector<Ref<RXSequence>>* parkedTails = nullptr;
} // namespace

RXDynamicSequence::RXDynamicSequence(std::function<id()> dependencyBlock, bool hasDependency, HeadBlock headBlock,
                                     TailBlock tailBlock)
    : hasDependency_(hasDependency), dependencyBlock_(std::move(dependencyBlock)), headBlock_(std::move(headBlock)),
      tailBlock_(std::move(tailBlock)) {}

RXDynamicSequence::~RXDynamicSequence() {
    if (!tail_) {
        return;
    }
    if (releaseDepth >= kMaximumReleaseDepth && parkedTails) {
        parkedTails->push_back(std::move(tail_));
        return;
    }
    std::vector<Ref<RXSequence>> parked;
    bool outermost = parkedTails == nullptr;
    if (outermost) {
        parkedTails = &parked;
    }
    ++releaseDepth;
    tail_ = nullptr;
    if (outermost) {
        while (!parked.empty()) {
            Ref<RXSequence> next = std::move(parked.back());
            parked.pop_back();
            next = nullptr;
        }
        parkedTails = nullptr;
    }
    --releaseDepth;
}

Ref<RXDynamicSequence> RXDynamicSequence::sequenceWithHeadBlockTailBlock(std::function<id()> headBlock,
                                                                         std::function<Ref<RXSequence>()> tailBlock) {
    HeadBlock head = headBlock ? HeadBlock([headBlock](const id&) { return headBlock(); }) : nullptr;
    TailBlock tail = tailBlock ? TailBlock([tailBlock](const id&) { return tailBlock(); }) : nullptr;
    return make<RXDynamicSequence>(nullptr, false, std::move(head), std::move(tail));
}

Ref<RXDynamicSequence>
RXDynamicSequence::sequenceWithLazyDependencyHeadBlockTailBlock(std::function<id()> dependencyBlock,
                                                                HeadBlock headBlock, TailBlock tailBlock) {
    return make<RXDynamicSequence>(std::move(dependencyBlock), true, std::move(headBlock), std::move(tailBlock));
}

const id& RXDynamicSequence::dependencyLocked() const {
    if (dependencyBlock_) {
        auto block = std::move(dependencyBlock_);
        dependencyBlock_ = nullptr;
        dependency_ = block();
    }
    return dependency_;
}

id RXDynamicSequence::head() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (headBlock_) {
        auto block = std::move(headBlock_);
        headBlock_ = nullptr;
        head_ = block(hasDependency_ ? dependencyLocked() : id());
    }
    return head_;
}

Ref<RXSequence> RXDynamicSequence::tail() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (tailBlock_) {
        auto block = std::move(tailBlock_);
        tailBlock_ = nullptr;
        tail_ = block(hasDependency_ ? dependencyLocked() : id());
        if (tail_ && tail_.get() != this) {
            Ref<NSString> tailName = tail_->name();
            if (!tailName || tailName->length() == 0) {
                tail_->setName(name());
            }
        }
    }
    return tail_;
}

Ref<NSString> RXDynamicSequence::description() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    id headText = headBlock_ ? id(NSString::from("(unresolved)")) : head_;
    id tailText;
    if (tailBlock_) {
        tailText = NSString::from("(unresolved)");
    } else if (tail_.get() == this) {
        tailText = NSString::from("(self)");
    } else {
        tailText = tail_;
    }
    return NSString::stringWithFormat("<%@: %p>{ name = %@, head = %@, tail = %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name(), headText, tailText);
}
