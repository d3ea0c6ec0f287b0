#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSThread.h>
#include <QuartzCore/CATransaction.h>
#include <Runtime/ClassBuilder.h>

#include <atomic>
#include <optional>

NS_IMPLEMENT_CLASS(CATransaction, NSObject) {}

namespace {

struct Frame {
    bool implicit = false;
    std::optional<double> duration;
    std::optional<bool> disableActions;
    std::optional<Ref<CAMediaTimingFunction>> timingFunction;
    std::shared_ptr<ca_detail::TransactionCompletion> completion;
};

struct ThreadTransactions {
    std::vector<Frame> frames;
    // The implicit transaction's turn has come while an explicit one was still open: it is
    // committed with the outermost explicit one.
    bool implicitDue = false;
};

ThreadTransactions& transactions() {
    thread_local ThreadTransactions t;
    return t;
}

// The number of the transaction being built on the main thread; it grows at every top-level commit
// there.
std::atomic<uint64_t> currentTransaction{1};

void commitImplicitIfOnlyOne();

void scheduleImplicitCommit() {
    dispatch_async(dispatch_get_main_queue(), [] {
        auto& t = transactions();
        if (t.frames.empty() || !t.frames.front().implicit) {
            return;
        }
        if (t.frames.size() == 1) {
            commitImplicitIfOnlyOne();
        } else {
            t.implicitDue = true;
        }
    });
}

// The innermost open transaction, opening the implicit one when none is open. Off the main thread
// nothing is opened implicitly: nullptr.
Frame* topFrame() {
    auto& t = transactions();
    if (t.frames.empty()) {
        if (!NSThread::isMainThread()) {
            return nullptr;
        }
        Frame f;
        f.implicit = true;
        t.frames.push_back(std::move(f));
        scheduleImplicitCommit();
    }
    return &t.frames.back();
}

void finishFrame(Frame frame, bool topLevel) {
    if (topLevel && NSThread::isMainThread()) {
        ++currentTransaction;
    }
    if (frame.completion) {
        frame.completion->close();
    }
}

void commitImplicitIfOnlyOne() {
    auto& t = transactions();
    if (t.frames.size() == 1 && t.frames.front().implicit) {
        Frame f = std::move(t.frames.front());
        t.frames.clear();
        t.implicitDue = false;
        finishFrame(std::move(f), true);
    }
}

template <class T>
std::optional<T> lookup(std::optional<T> Frame::*field) {
    auto& t = transactions();
    for (auto it = t.frames.rbegin(); it != t.frames.rend(); ++it) {
        if ((*it).*field) {
            return (*it).*field;
        }
    }
    return std::nullopt;
}

} // namespace

void CATransaction::begin() {
    transactions().frames.push_back(Frame{});
}

void CATransaction::commit() {
    auto& t = transactions();
    if (t.frames.empty() || t.frames.back().implicit) {
        return;
    }
    Frame f = std::move(t.frames.back());
    t.frames.pop_back();
    finishFrame(std::move(f), t.frames.empty());
    if (t.implicitDue) {
        commitImplicitIfOnlyOne();
    }
}

void CATransaction::flush() {
    commitImplicitIfOnlyOne();
}

double CATransaction::animationDuration() {
    return lookup(&Frame::duration).value_or(0.25);
}

void CATransaction::setAnimationDuration(double duration) {
    if (Frame* f = topFrame()) {
        f->duration = duration;
    }
}

Ref<CAMediaTimingFunction> CATransaction::animationTimingFunction() {
    return lookup(&Frame::timingFunction).value_or(nullptr);
}

void CATransaction::setAnimationTimingFunction(const Ref<CAMediaTimingFunction>& function) {
    if (Frame* f = topFrame()) {
        f->timingFunction = function;
    }
}

bool CATransaction::disableActions() {
    return lookup(&Frame::disableActions).value_or(false);
}

void CATransaction::setDisableActions(bool disable) {
    if (Frame* f = topFrame()) {
        f->disableActions = disable;
    }
}

CATransaction::CompletionBlock CATransaction::completionBlock() {
    auto& t = transactions();
    if (t.frames.empty() || !t.frames.back().completion) {
        return nullptr;
    }
    return t.frames.back().completion->block();
}

void CATransaction::setCompletionBlock(CompletionBlock block) {
    Frame* f = topFrame();
    if (!f) {
        return;
    }
    if (auto previous = std::move(f->completion)) {
        f->completion = nullptr;
        previous->close();
    }
    if (block) {
        f->completion = std::make_shared<ca_detail::TransactionCompletion>(std::move(block));
    }
}

namespace ca_detail {

void TransactionCompletion::animationEnded() {
    if (pending_ > 0) {
        --pending_;
    }
    fireIfDone();
}

void TransactionCompletion::close() {
    closed_ = true;
    fireIfDone();
}

void TransactionCompletion::fireIfDone() {
    if (!closed_ || pending_ > 0 || fired_) {
        return;
    }
    fired_ = true;
    auto block = std::move(block_);
    block_ = nullptr;
    if (block) {
        block();
    }
}

std::vector<std::shared_ptr<TransactionCompletion>> completionsForNewAnimation() {
    std::vector<std::shared_ptr<TransactionCompletion>> out;
    for (auto& frame : transactions().frames) {
        if (frame.completion) {
            frame.completion->animationAdded();
            out.push_back(frame.completion);
        }
    }
    return out;
}

uint64_t transactionForNewLayer() {
    if (!NSThread::isMainThread()) {
        return 0;
    }
    topFrame();
    return currentTransaction.load();
}

bool isTransactionCommitted(uint64_t transaction) {
    return transaction < currentTransaction.load();
}

} // namespace ca_detail
