#include <Foundation/Foundation.h>
#include <Runtime/ClassBuilder.h>

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>

namespace {

struct Tracker {
    std::mutex mutex;
    std::vector<std::string> events;
    void add(std::string e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
    }
};

class Probe : public NSObject {
    NS_OBJECT(Probe, NSObject)
public:
    Probe() = default;
    explicit Probe(Tracker* t, std::string label = "Probe") : tracker_(t), label_(std::move(label)) {}
    ~Probe() override {
        if (tracker_) {
            tracker_->add(label_ + " destructor");
        }
    }
    Tracker* tracker_ = nullptr;
    std::string label_;
};

class ProbeChild : public Probe {
    NS_OBJECT(ProbeChild, Probe)
public:
    explicit ProbeChild(Tracker* t) : Probe(t, "Probe") {}
    ~ProbeChild() override { tracker_->add("ProbeChild destructor"); }
};

// Counts its deallocations.
class Counted : public NSObject {
    NS_OBJECT(Counted, NSObject)
public:
    explicit Counted(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
    ~Counted() override {
        alive_ = false;
        destroyed_->fetch_add(1);
    }
    bool alive() const { return alive_.load(); }

private:
    std::atomic<int>* destroyed_;
    std::atomic<bool> alive_{true};
};

} // namespace

NS_IMPLEMENT_CLASS(Probe, NSObject) {}
NS_IMPLEMENT_CLASS(ProbeChild, Probe) {}
NS_IMPLEMENT_CLASS(Counted, NSObject) {}

// MARK: - References

TEST(Lifetime, StrongReferencesCountAndRelease) {
    Tracker t;
    auto p = make<Probe>(&t);
    EXPECT_EQ(p->retainCount(), 1u);
    {
        Ref<Probe> copy = p;
        id asId = p;
        EXPECT_EQ(p->retainCount(), 3u);
        Ref<Probe> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(p->retainCount(), 3u);
    }
    EXPECT_EQ(p->retainCount(), 1u);
    EXPECT_FALSE(cast<NSString>(id(p))); // a checked cast of another class answers nil
    EXPECT_EQ(cast<Probe>(id(p)), p);
    p = nullptr;
    EXPECT_EQ(t.events, std::vector<std::string>{"Probe destructor"});
}

TEST(Lifetime, WeakReferencesCopyMoveAndClear) {
    auto p = make<Probe>();
    Weak<Probe> a = p;
    Weak<Probe> b = a;
    Weak<Probe> c = std::move(b);
    EXPECT_FALSE(b.lock());
    EXPECT_EQ(c.lock(), p);
    EXPECT_EQ(a.unsafePointer(), p.get());
    p = nullptr;
    EXPECT_TRUE(a.expired());
    EXPECT_TRUE(c.expired());
    Weak<Probe> empty;
    EXPECT_FALSE(empty.lock());
}

TEST(Lifetime, WeakReferenceStopsResolvingBeforeHooksAndDestructor) {
    Tracker t;
    Weak<Probe> weak;
    {
        auto p = make<Probe>(&t);
        weak = p;
        EXPECT_EQ(weak.lock().get(), p.get());
        p->addDeallocHook([&](NSObject* self) {
            t.add(weak.lock() ? "hook: weak alive" : "hook: weak nil");
            t.add(self->isDeallocating() ? "deallocating" : "alive");
            // The object is still whole: its class and fields can be read.
            t.add(self->getClass()->name());
            Ref<NSObject> again(self); // a reference taken and dropped does not deallocate twice
            Weak<NSObject> late(self); // nor does a weak reference made now resolve
            t.add(late.lock() ? "late weak alive" : "late weak nil");
        });
    }
    EXPECT_EQ(t.events, (std::vector<std::string>{"hook: weak nil", "deallocating", "Probe", "late weak nil",
                                                  "Probe destructor"}));
    EXPECT_FALSE(weak.lock());
}

TEST(Lifetime, DeallocationOrder) {
    static char key;
    Tracker t;
    {
        auto child = make<ProbeChild>(&t);
        child->setAssociatedObject(&key, make<Probe>(&t, "associated"), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        child->addDeallocHook([&](NSObject*) { t.add("hook 1"); });
        child->addDeallocHook([&](NSObject*) { t.add("hook 2"); });
    }
    EXPECT_EQ(t.events, (std::vector<std::string>{"hook 1", "hook 2", "ProbeChild destructor", "Probe destructor",
                                                  "associated destructor"}));
}

TEST(Lifetime, AChainAHundredThousandDeepIsFreedWholeAndInOrder) {
    // Each array holds the next; freeing the head frees them all without a recursion per level.
    constexpr int kDepth = 100000;
    std::vector<int> hooks;
    std::vector<Weak<NSObject>> watched; // a shallow link, one just past the nesting where freeing waits, the last
    std::atomic<int> counted{0};
    {
        Ref<NSMutableArray> head = NSMutableArray::array();
        Ref<NSMutableArray> tail = head;
        for (int i = 0; i < kDepth; ++i) {
            auto next = NSMutableArray::array();
            next->addDeallocHook([&hooks, i](NSObject* self) {
                hooks.push_back(i);
                EXPECT_TRUE(self->isDeallocating());
                EXPECT_EQ(cast<NSArray>(id(self))->count(), 1u) << "still whole";
            });
            if (i == 10 || i == 300 || i == kDepth - 1) {
                watched.emplace_back(next);
            }
            tail->addObject(next);
            tail = next;
        }
        tail->addObject(make<Counted>(&counted));
        tail = nullptr;
        for (const auto& weak : watched) {
            EXPECT_TRUE(weak.lock());
        }
        EXPECT_EQ(counted.load(), 0);
    }
    EXPECT_EQ(counted.load(), 1) << "the innermost value went with its array";
    for (const auto& weak : watched) {
        EXPECT_FALSE(weak.lock());
    }
    ASSERT_EQ(hooks.size(), static_cast<size_t>(kDepth));
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(hooks[static_cast<size_t>(i)], i) << "from the outside in, as a shallow chain";
    }
}

TEST(Lifetime, WeakReferencesRaceTheLastRelease) {
    std::atomic<int> destroyed{0};
    std::atomic<int> resolved{0};
    constexpr int kRounds = 200, kThreads = 4;
    for (int round = 0; round < kRounds; ++round) {
        auto object = make<Counted>(&destroyed);
        Weak<Counted> weak = object;
        std::latch start(kThreads + 1);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, weak] {
                start.arrive_and_wait();
                for (int i = 0; i < 50; ++i) {
                    if (auto strong = weak.lock()) {
                        EXPECT_TRUE(strong->alive()); // never a dying object
                        resolved.fetch_add(1, std::memory_order_relaxed);
                    }
                    Weak<Counted> copy = weak; // weak references come and go meanwhile
                }
            });
        }
        start.arrive_and_wait();
        object = nullptr; // the last release, racing the loads
        for (auto& t : threads) {
            t.join();
        }
        EXPECT_FALSE(weak.lock());
    }
    EXPECT_EQ(destroyed.load(), kRounds);
}

TEST(Lifetime, LastReleaseFromAnotherThread) {
    std::atomic<int> destroyed{0};
    auto object = make<Counted>(&destroyed);
    std::thread::id hookThread;
    object->addDeallocHook([&](NSObject*) { hookThread = std::this_thread::get_id(); });
    std::thread other([held = std::move(object)]() mutable { held = nullptr; });
    std::thread::id otherId = other.get_id();
    other.join();
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_EQ(hookThread, otherId);
}

// MARK: - Associated objects

TEST(Lifetime, AssociatedObjectsByPolicy) {
    static char strongKey, atomicKey, weakKey, copyKey, atomicCopyKey;
    auto owner = make<Probe>();
    Weak<NSString> watched;
    {
        auto value = NSString::from("value");
        watched = value;
        owner->setAssociatedObject(&strongKey, value, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        owner->setAssociatedObject(&atomicKey, value, OBJC_ASSOCIATION_RETAIN);
    }
    EXPECT_TRUE(watched.lock());
    EXPECT_EQ(cast<NSString>(owner->associatedObject(&strongKey))->str(), "value");
    EXPECT_EQ(owner->associatedObject(&strongKey), owner->associatedObject(&atomicKey));
    {
        auto other = make<Probe>();
        owner->setAssociatedObject(&weakKey, other, OBJC_ASSOCIATION_ASSIGN);
        EXPECT_EQ(owner->associatedObject(&weakKey), other);
    }
    EXPECT_FALSE(owner->associatedObject(&weakKey)); // never a dangling object

    auto text = NSMutableString::stringWithString("draft"_ns);
    owner->setAssociatedObject(&copyKey, text, OBJC_ASSOCIATION_COPY_NONATOMIC);
    owner->setAssociatedObject(&atomicCopyKey, text, OBJC_ASSOCIATION_COPY);
    text->appendString(" 2"_ns);
    for (const void* key : {static_cast<const void*>(&copyKey), static_cast<const void*>(&atomicCopyKey)}) {
        id stored = owner->associatedObject(key);
        EXPECT_NE(stored, text);
        EXPECT_EQ(cast<NSString>(stored)->str(), "draft");
    }

    owner = nullptr;
    EXPECT_FALSE(watched.lock());
}

TEST(Lifetime, AssociatedObjectsReplaceRemoveAndFailedCopy) {
    static char key;
    Tracker t;
    auto owner = make<Probe>();
    owner->setAssociatedObject(&key, make<Probe>(&t, "first"), OBJC_ASSOCIATION_RETAIN);
    owner->setAssociatedObject(&key, make<Probe>(&t, "second"), OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(t.events, std::vector<std::string>{"first destructor"});
    owner->setAssociatedObject(&key, nullptr, OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(t.events, (std::vector<std::string>{"first destructor", "second destructor"}));
    EXPECT_FALSE(owner->associatedObject(&key));

    owner->setAssociatedObject(&key, "kept"_ns, OBJC_ASSOCIATION_RETAIN);
    EXPECT_THROW(owner->setAssociatedObject(&key, make<Probe>(), OBJC_ASSOCIATION_COPY), NSException);
    EXPECT_TRUE(owner->associatedObject(&key)->isEqual("kept"_ns)); // a failed copy changes nothing

    owner->setAssociatedObject(&t, make<Probe>(&t, "third"), OBJC_ASSOCIATION_RETAIN);
    owner->removeAssociatedObjects();
    EXPECT_FALSE(owner->associatedObject(&key));
    EXPECT_EQ(t.events.back(), "third destructor");
}

// MARK: - Deallocation hooks

TEST(Lifetime, DeallocationHooksCanBeRemovedAndAdded) {
    Tracker t;
    {
        auto p = make<Probe>();
        uint64_t gone = p->addDeallocHook([&](NSObject*) { t.add("removed hook"); });
        p->addDeallocHook([&](NSObject* self) {
            t.add("outer");
            self->addDeallocHook([&](NSObject*) { t.add("added while deallocating"); });
        });
        p->addDeallocHook([&](NSObject*) { throw std::runtime_error("a failing hook"); });
        p->addDeallocHook([&](NSObject*) { t.add("after the failing hook"); });
        p->removeDeallocHook(gone);
        p->removeDeallocHook(12345); // unknown tokens are ignored
    }
    EXPECT_EQ(t.events, (std::vector<std::string>{"outer", "after the failing hook", "added while deallocating"}));
}

// MARK: - Monitor

TEST(Lifetime, SynchronizedIsRecursiveAndExclusive) {
    auto p = make<Probe>();
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                NS_SYNCHRONIZED(p) {
                    NS_SYNCHRONIZED(p) {
                        ++counter;
                    }
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(counter, 4000);
}
