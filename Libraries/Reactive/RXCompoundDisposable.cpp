#include <Reactive/RXCompoundDisposable.h>

#include <Reactive/RXTracer.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXCompoundDisposable, RXDisposable) {
    b.method("addDisposable:", &RXCompoundDisposable::addDisposable);
    b.method("removeDisposable:", &RXCompoundDisposable::removeDisposable);
}

RXCompoundDisposable::RXCompoundDisposable(const std::vector<Ref<RXDisposable>>& disposables) {
    for (size_t i = 0; i < disposables.size(); ++i) {
        if (i < 2) {
            inline_[i] = disposables[i];
        } else {
            disposables_.push_back(disposables[i]);
        }
    }
}

RXCompoundDisposable::RXCompoundDisposable(RXDisposableBlock block)
    : RXCompoundDisposable(std::vector<Ref<RXDisposable>>{RXDisposable::disposableWithBlock(std::move(block))}) {}

Ref<RXCompoundDisposable> RXCompoundDisposable::compoundDisposable() {
    return make<RXCompoundDisposable>();
}

Ref<RXCompoundDisposable>
RXCompoundDisposable::compoundDisposableWithDisposables(const std::vector<Ref<RXDisposable>>& disposables) {
    return make<RXCompoundDisposable>(disposables);
}

void RXCompoundDisposable::addDisposable(const Ref<RXDisposable>& disposable) {
    if (!disposable || disposable->isDisposed()) {
        return;
    }
    bool disposeNow = false;
    NSUInteger count = 0;
    bool traced = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (disposed_.load(std::memory_order_relaxed)) {
            disposeNow = true;
        } else if (!inline_[0]) {
            inline_[0] = disposable;
        } else if (!inline_[1]) {
            inline_[1] = disposable;
        } else {
            disposables_.push_back(disposable);
            count = disposables_.size() + 2;
            traced = RXTracer::isTracing();
        }
    }
    if (disposeNow) {
        disposable->dispose();
    } else if (traced) {
        if (RXTracer* tracer = RXTracer::tracer()) {
            tracer->compoundAdded(RXTracer::probeDescription(id(this)), RXTracer::probeDescription(disposable), count);
        }
    }
}

void RXCompoundDisposable::removeDisposable(const Ref<RXDisposable>& disposable) {
    if (!disposable) {
        return;
    }
    // Removed members are released after the lock is left: a release may deallocate, and the
    // deallocation may come back here.
    Ref<RXDisposable> removed[2];
    std::vector<Ref<RXDisposable>> removedFromArray;
    bool traced = false;
    NSUInteger count = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (disposed_.load(std::memory_order_relaxed)) {
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (inline_[i] == disposable) {
                removed[i] = std::move(inline_[i]);
                inline_[i] = nullptr;
            }
        }
        if (!disposables_.empty()) {
            for (size_t i = disposables_.size(); i-- > 0;) {
                if (disposables_[i] == disposable) {
                    removedFromArray.push_back(std::move(disposables_[i]));
                    disposables_.erase(disposables_.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            count = disposables_.size() + 2;
            traced = RXTracer::isTracing();
        }
    }
    if (traced) {
        if (RXTracer* tracer = RXTracer::tracer()) {
            tracer->compoundRemoved(RXTracer::probeDescription(id(this)), RXTracer::probeDescription(disposable),
                                    count);
        }
    }
}

bool RXCompoundDisposable::isDisposed() const {
    return disposed_.load(std::memory_order_acquire);
}

void RXCompoundDisposable::dispose() {
    Ref<RXDisposable> first, second;
    std::vector<Ref<RXDisposable>> rest;
    {
        std::lock_guard<std::mutex> guard(lock_);
        disposed_.store(true, std::memory_order_release);
        first = std::move(inline_[0]);
        second = std::move(inline_[1]);
        inline_[0] = nullptr;
        inline_[1] = nullptr;
        rest.swap(disposables_);
    }
    if (first) {
        first->dispose();
    }
    if (second) {
        second->dispose();
    }
    for (auto& member : rest) {
        if (member) {
            member->dispose();
        }
    }
}
