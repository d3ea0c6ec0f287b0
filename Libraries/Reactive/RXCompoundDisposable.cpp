#include <Reactive/RXCompoundDisposable.h>

#include <Reactive/RXTracer.h>
#include <Runtime/ClassBuilder.h>

#include <thread>

NS_IMPLEMENT_CLASS(RXCompoundDisposable, RXDisposable) {
    b.method("addDisposable:", static_cast<void (RXCompoundDisposable::*)(const Ref<RXDisposable>&)>(
                                   &RXCompoundDisposable::addDisposable));
    b.method("removeDisposable:", &RXCompoundDisposable::removeDisposable);
}

RXCompoundDisposable::RXCompoundDisposable(const std::vector<Ref<RXDisposable>>& disposables) {
    for (size_t i = 0; i < disposables.size(); ++i) {
        if (i < 2) {
            inline_[i] = disposables[i];
        } else {
            if (!more_) {
                more_ = std::make_unique<std::vector<Ref<RXDisposable>>>();
            }
            more_->push_back(disposables[i]);
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

void RXCompoundDisposable::addDisposable(Ref<RXDisposable>&& disposable) {
    if (!disposable || disposable->isDisposed()) {
        return;
    }
    bool disposeNow = false;
    NSUInteger count = 0;
    bool traced = false;
    std::unique_ptr<std::vector<Ref<RXDisposable>>> storage; // allocated outside the lock
    while (true) {
        {
            rx_detail::SpinGuard guard(lock_);
            if (disposed_.load(std::memory_order_relaxed)) {
                disposeNow = true;
                break;
            }
            if (!inline_[0]) {
                inline_[0] = std::move(disposable);
                break;
            }
            if (!inline_[1]) {
                inline_[1] = std::move(disposable);
                break;
            }
            if (more_ || storage) {
                if (!more_) {
                    more_ = std::move(storage);
                }
                more_->push_back(disposable); // growing allocates under the lock, rarely
                count = more_->size() + 2;
                traced = RXTracer::isTracing();
                break;
            }
        }
        storage = std::make_unique<std::vector<Ref<RXDisposable>>>();
        storage->reserve(4);
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
    if (disposable) {
        removeMember(disposable.get());
    }
}

RXCompoundDisposable::OwnerLink RXCompoundDisposable::linkOwner(OwnerKey, const Ref<RXCompoundDisposable>& owner) {
    rx_detail::SpinGuard guard(lock_);
    if (disposed_.load(std::memory_order_relaxed)) {
        return OwnerLink::AlreadyDisposed;
    }
    if (owner_) {
        return OwnerLink::AlreadyLinked;
    }
    owner_ = owner;
    return OwnerLink::Linked;
}

void RXCompoundDisposable::removeMember(const RXDisposable* disposable) {
    // Removed members are released after the lock is left: a release may deallocate, and the
    // deallocation may come back here.
    Ref<RXDisposable> removed[2];
    std::vector<Ref<RXDisposable>> removedFromArray;
    bool traced = false;
    NSUInteger count = 0;
    {
        rx_detail::SpinGuard guard(lock_);
        if (disposed_.load(std::memory_order_relaxed)) {
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (inline_[i].get() == disposable) {
                removed[i] = std::move(inline_[i]);
                inline_[i] = nullptr;
            }
        }
        if (more_ && !more_->empty()) {
            auto& members = *more_;
            for (size_t i = members.size(); i-- > 0;) {
                if (members[i].get() == disposable) {
                    // Kept aside and released after the lock (the vector grows here, rarely).
                    removedFromArray.push_back(std::move(members[i]));
                    members.erase(members.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            count = members.size() + 2;
            traced = RXTracer::isTracing();
        }
    }
    if (traced) {
        if (RXTracer* tracer = RXTracer::tracer()) {
            tracer->compoundRemoved(RXTracer::probeDescription(id(this)),
                                    RXTracer::probeDescription(id(const_cast<RXDisposable*>(disposable))), count);
        }
    }
}

void RXCompoundDisposable::dispose() {
    if (disposed_.load(std::memory_order_acquire)) {
        return; // the first disposal took every member (and the owner link) under the lock
    }
    Ref<RXDisposable> first, second;
    std::unique_ptr<std::vector<Ref<RXDisposable>>> more;
    Ref<RXCompoundDisposable> owner;
    {
        rx_detail::SpinGuard guard(lock_);
        disposed_.store(true, std::memory_order_release);
        first = std::move(inline_[0]);
        second = std::move(inline_[1]);
        inline_[0] = nullptr;
        inline_[1] = nullptr;
        more = std::move(more_);
        owner = std::move(owner_);
        owner_ = nullptr;
    }
    if (owner) {
        owner->removeMember(this);
    }
    if (first) {
        first->dispose();
    }
    if (second) {
        second->dispose();
    }
    if (more) {
        for (auto& member : *more) {
            if (member) {
                member->dispose();
            }
        }
    }
}
