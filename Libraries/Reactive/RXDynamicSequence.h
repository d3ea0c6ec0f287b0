// RXDynamicSequence: a lazy sequence whose head and tail come from blocks, each run at most once,
// on first use, under the sequence's lock. A sequence with a dependency runs its dependency block
// once, before whichever of head or tail is asked first, and hands its result to both blocks.
// Each block is released as soon as it has run.
#pragma once

#include <Reactive/RXSequence.h>

#include <mutex>

class RXDynamicSequence : public RXSequence {
    NS_OBJECT(RXDynamicSequence, RXSequence)
public:
    using HeadBlock = std::function<id(const id& dependency)>;
    using TailBlock = std::function<Ref<RXSequence>(const id& dependency)>;

    RXDynamicSequence(std::function<id()> dependencyBlock, bool hasDependency, HeadBlock headBlock,
                      TailBlock tailBlock);
    ~RXDynamicSequence() override;

    static Ref<RXDynamicSequence> sequenceWithHeadBlockTailBlock(std::function<id()> headBlock,
                                                                 std::function<Ref<RXSequence>()> tailBlock);
    static Ref<RXDynamicSequence> sequenceWithLazyDependencyHeadBlockTailBlock(std::function<id()> dependencyBlock,
                                                                               HeadBlock headBlock,
                                                                               TailBlock tailBlock);

    id head() const override;
    Ref<RXSequence> tail() const override;
    bool hasDependency() const noexcept { return hasDependency_; }
    Ref<NSString> description() const override;

private:
    // Runs the dependency once; the lock is held.
    const id& dependencyLocked() const;

    mutable std::recursive_mutex lock_;
    const bool hasDependency_;
    mutable std::function<id()> dependencyBlock_;
    mutable HeadBlock headBlock_;
    mutable TailBlock tailBlock_;
    mutable id head_;
    mutable Ref<RXSequence> tail_;
    mutable id dependency_;
};
