#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// An observer reached by selector, as the platform reaches observers.
class DXNotificationTestObserver : public NSObject {
    NS_OBJECT(DXNotificationTestObserver, NSObject)
public:
    void received(const Ref<NSNotification>& note) {
        notes.push_back(note);
        ++calls;
    }
    std::vector<Ref<NSNotification>> notes;
    static inline int calls = 0; // every observer's calls, in this test's process
};
NS_IMPLEMENT_CLASS(DXNotificationTestObserver, NSObject) {
    b.method("received:", &DXNotificationTestObserver::received);
}

TEST(ServicesNotifications, SelectorObserversMatchByNameAndObject) {
    auto center = make<NSNotificationCenter>();
    auto sender = make<NSObject>();
    auto other = make<NSObject>();
    auto byName = make<DXNotificationTestObserver>();
    auto bySender = make<DXNotificationTestObserver>();
    auto everything = make<DXNotificationTestObserver>();
    center->addObserverSelectorNameObject(byName, SEL("received:"), "A"_ns, nullptr);
    center->addObserverSelectorNameObject(bySender, SEL("received:"), "A"_ns, sender);
    center->addObserverSelectorNameObject(everything, SEL("received:"), nullptr, nullptr);

    auto info = NSDictionary::dictionaryWithEntries({{"k"_ns, box(1)}});
    center->postNotificationNameObjectUserInfo("A"_ns, sender, info);
    center->postNotificationNameObject("A"_ns, other);
    center->postNotificationNameObject("B"_ns, sender);

    ASSERT_EQ(byName->notes.size(), 2u);
    EXPECT_EQ(byName->notes[0]->object().get(), sender.get());
    EXPECT_TRUE(byName->notes[0]->userInfo()->isEqual(info));
    EXPECT_FALSE(byName->notes[1]->userInfo());
    ASSERT_EQ(bySender->notes.size(), 1u);
    EXPECT_TRUE(bySender->notes[0]->name()->isEqualToString("A"_ns));
    EXPECT_EQ(everything->notes.size(), 3u);

    auto twoNames = make<DXNotificationTestObserver>();
    center->addObserverSelectorNameObject(twoNames, SEL("received:"), "B"_ns, nullptr);
    center->addObserverSelectorNameObject(twoNames, SEL("received:"), "C"_ns, nullptr);
    center->removeObserverNameObject(twoNames, "B"_ns, nullptr);
    center->removeObserverNameObject(everything, "B"_ns, nullptr); // registered for any name: stays
    center->postNotificationNameObject("B"_ns, sender);
    center->postNotificationNameObject("C"_ns, sender);
    EXPECT_EQ(twoNames->notes.size(), 1u) << "only the B registration was removed";
    EXPECT_EQ(everything->notes.size(), 5u);
    center->removeObserver(everything);
    center->postNotificationNameObject("C"_ns, sender);
    EXPECT_EQ(everything->notes.size(), 5u);
}

TEST(ServicesNotifications, ObserversAreNotRetainedAndGoneOnesAreSkipped) {
    DXNotificationTestObserver::calls = 0;
    auto center = make<NSNotificationCenter>();
    Weak<DXNotificationTestObserver> weak;
    {
        auto observer = make<DXNotificationTestObserver>();
        weak = observer;
        center->addObserverSelectorNameObject(observer, SEL("received:"), "A"_ns, nullptr);
    }
    EXPECT_TRUE(weak.expired());
    // An observer registered later, possibly at the freed one's address, gets the post once; the gone
    // one is not called (under the address sanitizer a call would be a use after free).
    auto live = make<DXNotificationTestObserver>();
    center->addObserverSelectorNameObject(live, SEL("received:"), "A"_ns, nullptr);
    EXPECT_NO_THROW(center->postNotificationNameObject("A"_ns, nullptr));
    EXPECT_EQ(live->notes.size(), 1u);
    EXPECT_EQ(DXNotificationTestObserver::calls, 1);
}

TEST(ServicesNotifications, BlockObserversRunOnThePostingThreadUntilRemoved) {
    auto center = make<NSNotificationCenter>();
    std::vector<std::thread::id> threads;
    id token = center->addObserverForNameObjectQueueUsingBlock(
        "A"_ns, nullptr, nullptr, [&](const Ref<NSNotification>&) { threads.push_back(std::this_thread::get_id()); });
    ASSERT_TRUE(token);
    center->postNotificationNameObject("A"_ns, nullptr);
    std::thread poster([&] { center->postNotificationNameObject("A"_ns, nullptr); });
    auto posterId = poster.get_id();
    poster.join();
    ASSERT_EQ(threads.size(), 2u);
    EXPECT_EQ(threads[0], std::this_thread::get_id());
    EXPECT_EQ(threads[1], posterId);

    center->removeObserver(token);
    center->postNotificationNameObject("A"_ns, nullptr);
    EXPECT_EQ(threads.size(), 2u);
}

TEST(ServicesNotifications, ObserversRemovedDuringAPostAreNotCalledByIt) {
    auto center = make<NSNotificationCenter>();
    std::vector<std::string> calls;
    id second;
    id first =
        center->addObserverForNameObjectQueueUsingBlock("A"_ns, nullptr, nullptr, [&](const Ref<NSNotification>&) {
            calls.push_back("first");
            center->removeObserver(second);
        });
    second = center->addObserverForNameObjectQueueUsingBlock(
        "A"_ns, nullptr, nullptr, [&](const Ref<NSNotification>&) { calls.push_back("second"); });
    id self;
    self = center->addObserverForNameObjectQueueUsingBlock("A"_ns, nullptr, nullptr, [&](const Ref<NSNotification>&) {
        calls.push_back("self");
        center->removeObserver(self);
    });
    center->postNotificationNameObject("A"_ns, nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "self"}));
    center->postNotificationNameObject("A"_ns, nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "self", "first"}));
    center->removeObserver(first);
}

TEST(ServicesNotifications, ConcurrentPostsAndRemovalsAreSafe) {
    auto center = make<NSNotificationCenter>();
    std::atomic<int> count{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                id token = center->addObserverForNameObjectQueueUsingBlock(
                    "A"_ns, nullptr, nullptr, [&](const Ref<NSNotification>&) { count.fetch_add(1); });
                center->postNotificationNameObject("A"_ns, nullptr);
                center->removeObserver(token);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_GE(count.load(), 800);
    count = 0;
    center->postNotificationNameObject("A"_ns, nullptr);
    EXPECT_EQ(count.load(), 0);
}

TEST(ServicesNotifications, PostingANilNotificationRaises) {
    EXPECT_THROW(NSNotificationCenter::defaultCenter()->postNotification(nullptr), NSException);
}

TEST(ServicesNotifications, BlockObserversWithAQueueRunThereBeforeThePostReturns) {
    auto center = make<NSNotificationCenter>();
    auto queue = make<NSOperationQueue>();
    std::thread::id ranOn;
    bool ran = false;
    id token =
        center->addObserverForNameObjectQueueUsingBlock("A"_ns, nullptr, queue, [&](const Ref<NSNotification>& note) {
            ranOn = std::this_thread::get_id();
            ran = note->name()->isEqualToString("A"_ns);
        });
    center->postNotificationNameObject("A"_ns, nullptr);
    EXPECT_TRUE(ran) << "the post waited for the block";
    EXPECT_NE(ranOn, std::this_thread::get_id());
    center->removeObserver(token);

    // Posting from the thread that runs the queue delivers at once instead of waiting for itself.
    ran = false;
    token = center->addObserverForNameObjectQueueUsingBlock("B"_ns, nullptr, NSOperationQueue::mainQueue(),
                                                            [&](const Ref<NSNotification>&) {
                                                                ranOn = std::this_thread::get_id();
                                                                ran = true;
                                                            });
    center->postNotificationNameObject("B"_ns, nullptr);
    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    center->removeObserver(token);
}

TEST(ServicesNotifications, HasObserversForNameSeesNamedAndAnyNameRegistrations) {
    auto center = make<NSNotificationCenter>();
    EXPECT_FALSE(center->hasObserversForName("A"_ns));
    id named =
        center->addObserverForNameObjectQueueUsingBlock("A"_ns, nullptr, nullptr, [](const Ref<NSNotification>&) {});
    EXPECT_TRUE(center->hasObserversForName("A"_ns));
    EXPECT_FALSE(center->hasObserversForName("B"_ns));
    id any =
        center->addObserverForNameObjectQueueUsingBlock(nullptr, nullptr, nullptr, [](const Ref<NSNotification>&) {});
    EXPECT_TRUE(center->hasObserversForName("B"_ns));
    center->removeObserver(any);
    EXPECT_FALSE(center->hasObserversForName("B"_ns));
    center->removeObserver(named);
    EXPECT_FALSE(center->hasObserversForName("A"_ns));
}
