#include <Reactive/RXSubject.h>

#include <Foundation/NSError.h>
#include <Reactive/RXInternal.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXSubject, RXSignal) {
    b.conformsTo(RXSubscriber::protocol());
    b.classMethod("subject", [] { return RXSubject::subject(); });
    b.method("sendNext:", &RXSubject::sendNext);
    b.method("sendError:", &RXSubject::sendError);
    b.method("sendCompleted", &RXSubject::sendCompleted);
}

struct RXSubject::Subscribers {
    std::mutex lock;
    std::vector<Ref<RXSubscriber>> list;
};

namespace {
// Snapshot buffers of the calling thread: one per nesting level of deliveries (a subscriber may send
// to another subject while it is being sent to), reused across deliveries.
class SnapshotBuffer {
public:
    SnapshotBuffer() {
        auto& free = pool();
        if (!free.empty()) {
            items = std::move(free.back());
            free.pop_back();
        }
    }
    ~SnapshotBuffer() {
        items.clear();
        pool().push_back(std::move(items));
    }
    SnapshotBuffer(const SnapshotBuffer&) = delete;
    SnapshotBuffer& operator=(const SnapshotBuffer&) = delete;

    std::vector<Ref<RXSubscriber>> items;

private:
    static std::vector<std::vector<Ref<RXSubscriber>>>& pool() {
        thread_local std::vector<std::vector<Ref<RXSubscriber>>> buffers;
        return buffers;
    }
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
        Ref<RXSubscriber> removed; // released outside the lock
        std::lock_guard<std::mutex> guard(subscribers->lock);
        auto& list = subscribers->list;
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
    SnapshotBuffer snapshot;
    {
        std::lock_guard<std::mutex> guard(subscribers_->lock);
        snapshot.items.assign(subscribers_->list.begin(), subscribers_->list.end());
    }
    for (const auto& subscriber : snapshot.items) {
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
        std::lock_guard<std::mutex> guard(subscribers_->lock);
        if (!hasTerminated()) {
            subscribers_->list.push_back(std::move(passthrough));
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
    std::lock_guard<std::mutex> guard(subscribers_->lock);
    return subscribers_->list;
}

void RXSubject::enumerateSubscribersUsingBlock(const std::function<void(const Ref<RXSubscriber>&)>& block) const {
    SnapshotBuffer snapshot;
    {
        std::lock_guard<std::mutex> guard(subscribers_->lock);
        snapshot.items.assign(subscribers_->list.begin(), subscribers_->list.end());
    }
    for (const auto& subscriber : snapshot.items) {
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
    SnapshotBuffer snapshot;
    {
        std::lock_guard<std::mutex> guard(subscribers_->lock);
        if (hasTerminated()) {
            return;
        }
        if (error) {
            failed_ = true;
            error_ = *error;
        }
        terminated_.store(true, std::memory_order_release);
        snapshot.items.assign(subscribers_->list.begin(), subscribers_->list.end());
    }
    disposable_->dispose();
    for (const auto& subscriber : snapshot.items) {
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
