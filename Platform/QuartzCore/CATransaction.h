// CATransaction: groups layer changes, and sets how the changes in it animate.
//
// Every change to a layer belongs to a transaction. begin() and commit() make an explicit one
// (they nest); a change made outside one, on the main thread, opens an implicit transaction that
// is committed at the next turn of the main queue (flush() commits it at once). A layer is drawn,
// and its property changes animate implicitly, only once the transaction that made it has been
// committed.
//
// Settings apply to the innermost open transaction and are seen by the transactions inside it:
//   animationDuration        the duration of implicit animations (0.25 s);
//   animationTimingFunction  their pacing (nil: the default curve);
//   disableActions           no implicit animations at all;
//   completionBlock          runs on the main thread once every animation added to a layer
//                            after it was set, in this transaction or one inside it, has ended or
//                            been removed; at commit when there is none. Setting another block
//                            closes the previous one's group the same way.
// Transactions belong to the thread that opens them; layers are main-thread objects.
#pragma once

#include <QuartzCore/CAMediaTimingFunction.h>
#include <Runtime/NSObject.h>

#include <functional>
#include <memory>
#include <vector>

class CATransaction : public NSObject {
    NS_OBJECT(CATransaction, NSObject)
public:
    using CompletionBlock = std::function<void()>;

    static void begin();
    // Commits the innermost explicit transaction; without one, does nothing.
    static void commit();
    // Commits the implicit transaction now (not while an explicit one is open).
    static void flush();

    static double animationDuration();
    static void setAnimationDuration(double duration);
    static Ref<CAMediaTimingFunction> animationTimingFunction();
    static void setAnimationTimingFunction(const Ref<CAMediaTimingFunction>& function);
    static bool disableActions();
    static void setDisableActions(bool disable);
    static CompletionBlock completionBlock();
    static void setCompletionBlock(CompletionBlock block);
};

namespace ca_detail {

// The completion of a transaction: a block waiting for its animations.
class TransactionCompletion {
public:
    explicit TransactionCompletion(CATransaction::CompletionBlock block) : block_(std::move(block)) {}
    void animationAdded() { ++pending_; }
    // An animation ended or was removed.
    void animationEnded();
    // The transaction was committed or given another block.
    void close();
    const CATransaction::CompletionBlock& block() const { return block_; }

private:
    void fireIfDone();
    CATransaction::CompletionBlock block_;
    int pending_ = 0;
    bool closed_ = false;
    bool fired_ = false;
};

// Called by a layer that starts an animation: the completions that now wait for it.
std::vector<std::shared_ptr<TransactionCompletion>> completionsForNewAnimation();
// Called by a new layer: opens the implicit transaction if needed and answers the number of the
// transaction the layer belongs to.
uint64_t transactionForNewLayer();
// Whether the transaction with that number has been committed.
bool isTransactionCommitted(uint64_t transaction);

} // namespace ca_detail
