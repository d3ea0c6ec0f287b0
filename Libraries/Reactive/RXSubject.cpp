#include <Reactive/RXSubject.h>

#include <Foundation/NSError.h>
#include <Reactive/RXInternal.h>
#include <Reactive/RXLockWord.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXSubject, RXSignal) {
    b.conformsTo(RXSubscriber::protocol());
    b.classMethod("subject", [] { return RXSubject::subject(); });
    b.method("sendNext:", &RXSubject::sendNext);
    b.method("sendError:", &RXSubject::sendError);
    b.method("sendCompleted", &RXSubject::sendCompleted);
}

// The subscriber list. Events go to the list as it was when they were sent, outside the lock:
// a sender takes a counted reference to the current list, and a change copies the list first
// while anyone still holds it. While the list does not change a send copies and retains nothing.
struct RXSubject::Subscribers {
    struct List {
        std::atomic<uint32_t> holders{1}; // the Subscribers object and every sender using it
        std::vector<Ref<RXSubscriber>> items;
    };

    Subscribers() : list(new List) {}
    ~Subscribers() { release(list); }
    Subscribers(const Subscribers&) = delete;
    Subscribers& operator=(const Subscribers&) = delete;

    // The current list, held until release.
    List* take() {
        rx_detail::SpinGuard guard(lock);
        list->holders.fetch_add(1, std::memory_order_relaxed);
        return list;
    }
    static void release(List* list) {
        if (list->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete list;
        }
    }
    // With the lock held: the list, copied first when a sender still holds it (the list it
    // replaces is handed back, to be released after the lock is left).
    std::vector<Ref<RXSubscriber>>& writable(List** replaced) {
        if (list->holders.load(std::memory_order_acquire) != 1) {
            auto* copy = new List;
            copy->items = list->items;
            *replaced = list;
            list = copy;
        }
        return list->items;
    }

    rx_detail::SpinLockByte lock;
    List* list; // guarded by lock
};

namespace {
// Holds a taken list for a scope.
class TakenList {
public:
    explicit TakenList(RXSubject::Subscribers& subscribers) : list_(subscribers.take()) {}
    ~TakenList() { RXSubject::Subscribers::release(list_); }
    TakenList(const TakenList&) = delete;
    TakenList& operator=(const TakenList&) = delete;
    const std::vector<Ref<RXSubscriber>>& items() const noexcept { return list_->items; }

private:
    RXSubject::Subscribers::List* list_;
};

// A list replaced by a change, released after the lock is left (releasing it may deallocate
// subscribers, whose deallocation may come back to the subject).
class ReplacedList {
public:
    ReplacedList() = default;
    ~ReplacedList() {
        if (list_) {
            RXSubject::Subscribers::release(list_);
        }
    }
    ReplacedList(const ReplacedList&) = delete;
    ReplacedList& operator=(const ReplacedList&) = delete;
    RXSubject::Subscribers::List** slot() noexcept { return &list_; }

private:
    RXSubject::Subscribers::List* list_ = nullptr;
};

// A subscription to a subject: its compound disposable, which also takes the subscriber off the
// subject's list when it is disposed (one object instead of a compound and a member).
class SubjectSubscription final : public RXCompoundDisposable {
public:
    explicit SubjectSubscription(std::weak_ptr<RXSubject::Subscribers> subscribers)
        : subscribers_(std::move(subscribers)) {}
    void setIdentity(const RXSubscriber* identity) noexcept { identity_ = identity; }
    void dispose() override {
        if (!isDisposed()) {
            removeFromList();
        }
        RXCompoundDisposable::dispose();
    }

private:
    void removeFromList() {
        if (removed_.exchange(true, std::memory_order_acq_rel)) {
            return;
        }
        auto subscribers = subscribers_.lock();
        if (!subscribers || !identity_) {
            return;
        }
        // Released outside the lock: the removed subscriber, then a replaced list.
        ReplacedList replaced;
        Ref<RXSubscriber> removed;
        rx_detail::SpinGuard guard(subscribers->lock);
        auto& list = subscribers->writable(replaced.slot());
        for (size_t i = list.size(); i-- > 0;) {
            if (list[i].get() == identity_) {
                removed = std::move(list[i]);
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
    }

    std::atomic<bool> removed_{false};
    std::weak_ptr<RXSubject::Subscribers> subscribers_;
    const RXSubscriber* identity_ = nullptr; // compared, never dereferenced
};
} // namespace

template <class Block>
void RXSubject::forEachSubscriber(Block&& block) const {
    TakenList taken(*subscribers_);
    for (const auto& subscriber : taken.items()) {
        block(*subscriber);
    }
}

RXSubject::RXSubject()
    : RXSubscriber(this), subscribers_(std::make_shared<Subscribers>()), disposable_(make<RXCompoundDisposable>()) {}

RXSubject::~RXSubject() {
    disposable_->dispose();
}

Ref<RXSubject> RXSubject::subject() {
    return make<RXSubject>();
}

Ref<RXCompoundDisposable> RXSubject::addSubscriber(const Ref<RXSubscriber>& subscriber) {
    if (hasTerminated()) {
        auto disposable = make<RXCompoundDisposable>();
        disposable->dispose();
        return disposable;
    }
    auto disposable = make<SubjectSubscription>(subscribers_);
    Ref<RXSubscriber> passthrough = make<RXPassthroughSubscriber>(subscriber, this, disposable);
    disposable->setIdentity(passthrough.get());
    bool added = false;
    {
        // Checked again under the lock that the termination's snapshot is taken under: a subscriber
        // is either in that snapshot or sees the subject terminated.
        ReplacedList replaced;
        rx_detail::SpinGuard guard(subscribers_->lock);
        if (!hasTerminated()) {
            subscribers_->writable(replaced.slot()).push_back(std::move(passthrough));
            added = true;
        }
    }
    if (!added) {
        disposable->dispose(); // the pass-through goes after the lock
    }
    return disposable;
}

void RXSubject::sendTerminationTo(RXSubscriber& subscriber) const {
    if (failed_) {
        subscriber.sendError(error_);
    } else {
        subscriber.sendCompleted();
    }
}

Ref<RXDisposable> RXSubject::subscribe(const Ref<RXSubscriber>& subscriber) {
    Ref<RXCompoundDisposable> disposable = addSubscriber(subscriber);
    if (disposable->isDisposed() && subscriber) {
        sendTerminationTo(*subscriber);
    }
    return disposable;
}

std::vector<Ref<RXSubscriber>> RXSubject::subscribers() const {
    TakenList taken(*subscribers_);
    return taken.items();
}

void RXSubject::enumerateSubscribersUsingBlock(const std::function<void(const Ref<RXSubscriber>&)>& block) const {
    TakenList taken(*subscribers_);
    for (const auto& subscriber : taken.items()) {
        block(subscriber);
    }
}

void RXSubject::sendNext(const id& value) {
    if (hasTerminated()) {
        return;
    }
    forEachSubscriber([&](RXSubscriber& subscriber) { subscriber.sendNext(value); });
}

template <class Send>
void RXSubject::terminate(const Ref<NSError>* error, Send&& send) {
    Subscribers::List* list;
    {
        rx_detail::SpinGuard guard(subscribers_->lock);
        if (hasTerminated()) {
            return;
        }
        if (error) {
            failed_ = true;
            error_ = *error;
        }
        terminated_.store(true, std::memory_order_release);
        list = subscribers_->list;
        list->holders.fetch_add(1, std::memory_order_relaxed);
    }
    struct Release {
        Subscribers::List* list;
        ~Release() { Subscribers::release(list); }
    } release{list};
    disposable_->dispose();
    for (const auto& subscriber : list->items) {
        send(*subscriber);
    }
}

void RXSubject::sendError(const Ref<NSError>& error) {
    terminate(&error, [&](RXSubscriber& subscriber) { subscriber.sendError(error); });
}

void RXSubject::sendCompleted() {
    terminate(nullptr, [](RXSubscriber& subscriber) { subscriber.sendCompleted(); });
}

void RXSubject::didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) {
    if (!disposable || disposable->isDisposed()) {
        return;
    }
    disposable_->addDisposable(disposable);
    disposable->addDisposable(make<rx_detail::RemovalDisposable>(
        rx_detail::RemovalDisposable::Key(), disposable_, disposable, rx_detail::RemovalDisposable::Owner::Weak));
}
