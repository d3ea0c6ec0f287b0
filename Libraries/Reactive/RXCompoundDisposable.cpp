#include <Reactive/RXCompoundDisposable.h>

#include <Reactive/RXTracer.h>
#include <Runtime/ClassBuilder.h>

#include <thread>

NS_IMPLEMENT_CLASS(RXCompoundDisposable, RXDisposable) {
    b.method("addDisposable:", static_cast<void (RXCompoundDisposable::*)(const Ref<RXDisposable>&)>(
                                   &RXCompoundDisposable::addDisposable));
    b.method("removeDisposable:", &RXCompoundDisposable::removeDisposable);
}

namespace {
thread_local uint64_t slotWork = 0; // see compoundSlotWorkOnThisThread

// From this many slots on, a member is found through the index instead of by looking at every slot.
constexpr size_t kIndexedFrom = 16;

size_t hashOf(const RXDisposable* member) noexcept {
    uint64_t key = reinterpret_cast<uintptr_t>(member) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(key ^ (key >> 29));
}
} // namespace

uint64_t rx_detail::compoundSlotWorkOnThisThread() noexcept {
    return slotWork;
}

// The members beyond the two inline slots, in the order they were added (disposal follows it). A
// removed member leaves a hole that is compacted away once holes outnumber members, so a removal
// never shifts the members after it. From kIndexedFrom slots on, an open-addressing table (linear
// probing, at most half full) maps each member to its slot, so a removal finds the member in
// constant time instead of looking through every slot. Used under the compound's lock only.
class RXCompoundDisposable::Overflow {
public:
    Overflow() { slots_.reserve(4); }

    size_t count() const noexcept { return live_; }
    bool empty() const noexcept { return slots_.empty(); }

    void append(Ref<RXDisposable>&& member) {
        slots_.push_back(std::move(member));
        ++live_;
        if (!index_.empty()) {
            if (2 * live_ > index_.size()) {
                rebuildIndex(2 * index_.size());
            } else {
                insert(slots_.size() - 1);
            }
        } else if (slots_.size() >= kIndexedFrom) {
            rebuildIndex(capacityFor(live_));
        }
    }

    // Takes every occurrence of the member out: the first into `removed`, any further ones into
    // `duplicates`.
    void removeAll(const RXDisposable* member, Ref<RXDisposable>& removed, std::vector<Ref<RXDisposable>>& duplicates) {
        size_t found = 0;
        auto take = [&](Ref<RXDisposable>& slot) {
            (found++ == 0 ? removed : duplicates.emplace_back()) = std::move(slot);
            slot = nullptr;
        };
        if (index_.empty()) {
            slotWork += slots_.size();
            for (size_t i = slots_.size(); i-- > 0;) {
                if (slots_[i].get() == member) {
                    take(slots_[i]);
                }
            }
        } else {
            // Every occurrence lies in the run of entries that starts at the member's home.
            const size_t mask = index_.size() - 1;
            for (size_t i = hashOf(member) & mask; index_[i] != 0;) {
                ++slotWork;
                Ref<RXDisposable>& slot = slots_[index_[i] - 1];
                if (slot.get() == member) {
                    take(slot);
                    erase(i); // moves a later entry of the run into i, which is looked at again
                } else {
                    i = (i + 1) & mask;
                }
            }
        }
        live_ -= found;
        if (found > 0 && slots_.size() - live_ > live_) {
            compact();
        }
    }

    // Calls f with every member, in the order they were added.
    template <typename F>
    void forEach(F&& f) {
        for (auto& slot : slots_) {
            if (slot) {
                f(slot);
            }
        }
    }

private:
    void insert(size_t position) {
        const size_t mask = index_.size() - 1;
        size_t i = hashOf(slots_[position].get()) & mask;
        while (index_[i] != 0) {
            ++slotWork;
            i = (i + 1) & mask;
        }
        index_[i] = position + 1;
    }

    // Empties entry i of the index, moving back any later entry of its run whose home does not lie
    // between i and that entry, so that every entry stays reachable from its home.
    void erase(size_t i) {
        const size_t mask = index_.size() - 1;
        for (size_t j = (i + 1) & mask; index_[j] != 0; j = (j + 1) & mask) {
            ++slotWork;
            size_t home = hashOf(slots_[index_[j] - 1].get()) & mask;
            bool reachable = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (!reachable) {
                index_[i] = index_[j];
                i = j;
            }
        }
        index_[i] = 0;
    }

    // The members move to the front, in order; the index is made again for their new slots, or
    // dropped when few are left.
    void compact() {
        slotWork += slots_.size();
        size_t kept = 0;
        for (auto& slot : slots_) {
            if (slot) {
                slots_[kept++] = std::move(slot);
            }
        }
        slots_.resize(kept);
        live_ = kept;
        if (kept < kIndexedFrom / 2) {
            index_.clear();
        } else {
            rebuildIndex(capacityFor(kept));
        }
    }

    // Entries for an index at most a third full.
    static size_t capacityFor(size_t members) {
        size_t capacity = 2 * kIndexedFrom;
        while (capacity < 3 * members) {
            capacity *= 2;
        }
        return capacity;
    }

    void rebuildIndex(size_t capacity) {
        slotWork += slots_.size() + capacity;
        index_.assign(capacity, 0);
        for (size_t position = 0; position < slots_.size(); ++position) {
            if (slots_[position]) {
                insert(position);
            }
        }
    }

    std::vector<Ref<RXDisposable>> slots_; // nil where a member was removed
    std::vector<size_t> index_;            // empty, or a power of two of entries: slot + 1, 0 free
    size_t live_ = 0;                      // the slots that hold a member
};

RXCompoundDisposable::RXCompoundDisposable(const std::vector<Ref<RXDisposable>>& disposables) {
    for (size_t i = 0; i < disposables.size(); ++i) {
        if (i < 2) {
            inline_[i] = disposables[i];
        } else if (disposables[i]) { // a nil member would do nothing, and could never be removed
            if (!more_) {
                more_.reset(new Overflow());
            }
            more_->append(Ref<RXDisposable>(disposables[i]));
        }
    }
}

RXCompoundDisposable::RXCompoundDisposable(RXDisposableBlock block)
    : RXCompoundDisposable(std::vector<Ref<RXDisposable>>{RXDisposable::disposableWithBlock(std::move(block))}) {}

void RXCompoundDisposable::OverflowDeleter::operator()(Overflow* overflow) const noexcept {
    delete overflow;
}

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
    std::unique_ptr<Overflow, OverflowDeleter> storage; // allocated outside the lock
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
                // Growing allocates under the lock, rarely. A traced member is described afterwards.
                traced = RXTracer::isTracing();
                more_->append(traced ? Ref<RXDisposable>(disposable) : std::move(disposable));
                count = more_->count() + 2;
                break;
            }
        }
        storage.reset(new Overflow());
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
    Ref<RXDisposable> removed[3];
    std::vector<Ref<RXDisposable>> duplicates; // further occurrences in the overflow storage: rare
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
            more_->removeAll(disposable, removed[2], duplicates);
            count = more_->count() + 2;
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
    std::unique_ptr<Overflow, OverflowDeleter> more;
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
        more->forEach([](const Ref<RXDisposable>& member) { member->dispose(); });
    }
}
