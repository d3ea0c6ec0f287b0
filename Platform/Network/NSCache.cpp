#include <Network/NSCache.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSCache, NSObject) {
    b.property("countLimit", &NSCache::countLimit, &NSCache::setCountLimit);
    b.property("totalCostLimit", &NSCache::totalCostLimit, &NSCache::setTotalCostLimit);
    b.property("name", &NSCache::name, &NSCache::setName);
}

id NSCache::objectForKey(const id& key) {
    if (!key) {
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found == index_.end()) {
        return nullptr;
    }
    order_.splice(order_.end(), order_, found->second);
    return found->second->object;
}

void NSCache::setObjectForKeyCost(const id& object, const id& key, NSUInteger cost) {
    if (!key) {
        return;
    }
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    std::vector<Entry> evicted;
    {
        std::lock_guard lock(mutex_);
        auto found = index_.find(key);
        if (found != index_.end()) {
            totalCost_ -= found->second->cost;
            found->second->object = object;
            found->second->cost = cost;
            order_.splice(order_.end(), order_, found->second);
        } else {
            order_.push_back({key, object, cost});
            index_.emplace(key, std::prev(order_.end()));
        }
        totalCost_ += cost;
        evicted = trimLocked();
    }
    tellEvicted(evicted);
}

void NSCache::removeObjectForKey(const id& key) {
    if (!key) {
        return;
    }
    Entry removed{};
    {
        std::lock_guard lock(mutex_);
        auto found = index_.find(key);
        if (found == index_.end()) {
            return;
        }
        removed = std::move(*found->second);
        totalCost_ -= removed.cost;
        order_.erase(found->second);
        index_.erase(found);
    }
    // The entry's references are dropped outside the lock.
}

void NSCache::removeAllObjects() {
    std::list<Entry> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(order_);
        index_.clear();
        totalCost_ = 0;
    }
}

std::vector<NSCache::Entry> NSCache::trimLocked() {
    std::vector<Entry> evicted;
    while (!order_.empty() && ((countLimit_ > 0 && order_.size() > countLimit_) ||
                               (totalCostLimit_ > 0 && totalCost_ > totalCostLimit_))) {
        Entry entry = std::move(order_.front());
        index_.erase(entry.key);
        order_.pop_front();
        totalCost_ -= entry.cost;
        evicted.push_back(std::move(entry));
    }
    return evicted;
}

void NSCache::tellEvicted(const std::vector<Entry>& evicted) {
    if (evicted.empty()) {
        return;
    }
    auto delegateObject = delegate_.lock();
    auto* delegate = dynamic_cast<NSCacheDelegate*>(delegateObject.get());
    if (!delegate) {
        return;
    }
    for (const auto& entry : evicted) {
        delegate->cacheWillEvictObject(this, entry.object);
    }
}

NSUInteger NSCache::countLimit() const {
    std::lock_guard lock(mutex_);
    return countLimit_;
}

void NSCache::setCountLimit(NSUInteger limit) {
    std::vector<Entry> evicted;
    {
        std::lock_guard lock(mutex_);
        countLimit_ = limit;
        evicted = trimLocked();
    }
    tellEvicted(evicted);
}

NSUInteger NSCache::totalCostLimit() const {
    std::lock_guard lock(mutex_);
    return totalCostLimit_;
}

void NSCache::setTotalCostLimit(NSUInteger limit) {
    std::vector<Entry> evicted;
    {
        std::lock_guard lock(mutex_);
        totalCostLimit_ = limit;
        evicted = trimLocked();
    }
    tellEvicted(evicted);
}

Ref<NSString> NSCache::name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

void NSCache::setName(const Ref<NSString>& name) {
    std::lock_guard lock(mutex_);
    name_ = name ? name : ""_ns;
}

bool NSCache::evictsObjectsWithDiscardedContent() const {
    std::lock_guard lock(mutex_);
    return evictsDiscarded_;
}

void NSCache::setEvictsObjectsWithDiscardedContent(bool evicts) {
    std::lock_guard lock(mutex_);
    evictsDiscarded_ = evicts;
}

NSObject* NSCache::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock().get();
}

void NSCache::setDelegate(NSObject* delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

NSUInteger NSCache::count() const {
    std::lock_guard lock(mutex_);
    return order_.size();
}
