// NSCache: a thread-safe key-object store that evicts its least recently used entries when it
// holds more objects, or more total cost, than its limits allow (0: no limit). Keys are compared
// with isEqual/hash and are not copied. The delegate hears of each eviction before it happens.
#pragma once

#include <Foundation/NSString.h>

#include <list>
#include <mutex>
#include <unordered_map>

class NSCache;

class NSCacheDelegate {
public:
    virtual ~NSCacheDelegate() = default;
    virtual void cacheWillEvictObject(NSCache* cache, const id& object) {}
};

class NSCache : public NSObject {
    NS_OBJECT(NSCache, NSObject)
public:
    NSCache() = default;

    id objectForKey(const id& key);
    void setObjectForKey(const id& object, const id& key) { setObjectForKeyCost(object, key, 0); }
    // A nil object removes the key.
    void setObjectForKeyCost(const id& object, const id& key, NSUInteger cost);
    void removeObjectForKey(const id& key);
    void removeAllObjects();

    NSUInteger countLimit() const;
    void setCountLimit(NSUInteger limit);
    NSUInteger totalCostLimit() const;
    void setTotalCostLimit(NSUInteger limit);
    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);
    bool evictsObjectsWithDiscardedContent() const;
    void setEvictsObjectsWithDiscardedContent(bool evicts);
    // The delegate (an object implementing NSCacheDelegate) is not retained.
    NSObject* delegate() const;
    void setDelegate(NSObject* delegate);

    NSUInteger count() const;

private:
    struct Entry {
        id key;
        id object;
        NSUInteger cost;
    };
    struct KeyHash {
        size_t operator()(const id& key) const { return key ? key->hash() : 0; }
    };
    struct KeyEqual {
        bool operator()(const id& a, const id& b) const { return NSObjectsEqual(a, b); }
    };
    // Takes entries out until the limits hold; answers them so that the delegate hears of them
    // outside the lock.
    std::vector<Entry> trimLocked();
    void tellEvicted(const std::vector<Entry>& evicted);

    mutable std::mutex mutex_;
    std::list<Entry> order_; // least recently used first
    std::unordered_map<id, std::list<Entry>::iterator, KeyHash, KeyEqual> index_;
    NSUInteger totalCost_ = 0;
    NSUInteger countLimit_ = 0;
    NSUInteger totalCostLimit_ = 0;
    Ref<NSString> name_ = ""_ns;
    bool evictsDiscarded_ = true;
    Weak<NSObject> delegate_;
};
