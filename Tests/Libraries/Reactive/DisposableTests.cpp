#include "ReactiveTestSupport.h"

#include <atomic>
#include <thread>

using namespace rxtest;

TEST(RXDisposable, RunsItsBlockOnceAndReportsDisposal) {
    int runs = 0;
    auto disposable = RXDisposable::disposableWithBlock([&] { ++runs; });
    EXPECT_FALSE(disposable->isDisposed());
    disposable->dispose();
    disposable->dispose();
    EXPECT_TRUE(disposable->isDisposed());
    EXPECT_EQ(runs, 1);
}

TEST(RXDisposable, WithoutBlockIsLiveUntilDisposed) {
    auto disposable = make<RXDisposable>();
    EXPECT_FALSE(disposable->isDisposed());
    disposable->dispose();
    EXPECT_TRUE(disposable->isDisposed());
}

TEST(RXDisposable, DeallocationReleasesTheBlockWithoutRunningIt) {
    auto token = make<NSObject>();
    Weak<NSObject> weakToken(token);
    bool ran = false;
    {
        auto disposable = RXDisposable::disposableWithBlock([token, &ran] { ran = true; });
        token = nullptr;
        EXPECT_TRUE(weakToken.lock());
    }
    EXPECT_FALSE(ran);
    EXPECT_FALSE(weakToken.lock());
}

TEST(RXDisposable, DisposingFromManyThreadsRunsTheBlockExactlyOnce) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> runs{0};
        auto disposable = RXDisposable::disposableWithBlock([&] { runs.fetch_add(1); });
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&] {
                while (!go.load()) {
                }
                disposable->dispose();
            });
        }
        go.store(true);
        for (auto& t : threads) {
            t.join();
        }
        EXPECT_EQ(runs.load(), 1);
    }
}

TEST(RXCompoundDisposable, DisposesEveryMemberInlineOnesFirst) {
    std::vector<int> order;
    auto a = RXDisposable::disposableWithBlock([&] { order.push_back(1); });
    auto b = RXDisposable::disposableWithBlock([&] { order.push_back(2); });
    auto c = RXDisposable::disposableWithBlock([&] { order.push_back(3); });
    auto compound = RXCompoundDisposable::compoundDisposableWithDisposables({a, b, c});
    compound->dispose();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(compound->isDisposed());
    compound->dispose();
    EXPECT_EQ(order.size(), 3u);
}

TEST(RXCompoundDisposable, AddingAfterDisposalDisposesAtOnce) {
    auto compound = RXCompoundDisposable::compoundDisposable();
    compound->dispose();
    bool ran = false;
    compound->addDisposable(RXDisposable::disposableWithBlock([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST(RXCompoundDisposable, IgnoresNilAndDisposedMembers) {
    auto compound = RXCompoundDisposable::compoundDisposable();
    compound->addDisposable(nullptr);
    auto disposed = make<RXDisposable>();
    disposed->dispose();
    compound->addDisposable(disposed);
    EXPECT_FALSE(compound->isDisposed());
    compound->dispose();
}

TEST(RXCompoundDisposable, RemovingTakesEveryOccurrenceWithoutDisposingIt) {
    auto compound = RXCompoundDisposable::compoundDisposable();
    int runs = 0;
    auto member = RXDisposable::disposableWithBlock([&] { ++runs; });
    compound->addDisposable(make<RXDisposable>());
    compound->addDisposable(make<RXDisposable>());
    compound->addDisposable(member); // third and fourth go to the array
    compound->addDisposable(member);
    compound->removeDisposable(member);
    EXPECT_EQ(runs, 0);
    compound->dispose();
    EXPECT_EQ(runs, 0);
}

TEST(RXCompoundDisposable, RemovingFromADisposedCompoundDoesNothing) {
    auto compound = RXCompoundDisposable::compoundDisposable();
    int runs = 0;
    auto member = RXDisposable::disposableWithBlock([&] { ++runs; });
    compound->addDisposable(member);
    compound->dispose();
    compound->removeDisposable(member);
    EXPECT_EQ(runs, 1);
}

TEST(RXCompoundDisposable, AMemberMayDisposeOrAddToItsCompoundWhileBeingDisposed) {
    auto compound = RXCompoundDisposable::compoundDisposable();
    bool lateRan = false;
    compound->addDisposable(RXDisposable::disposableWithBlock([&] {
        compound->dispose();
        compound->addDisposable(RXDisposable::disposableWithBlock([&] { lateRan = true; }));
    }));
    compound->dispose();
    EXPECT_TRUE(lateRan);
}

TEST(RXCompoundDisposable, DeallocationReleasesMembersWithoutDisposingThem) {
    bool ran = false;
    {
        auto compound = RXCompoundDisposable::compoundDisposable();
        compound->addDisposable(RXDisposable::disposableWithBlock([&] { ran = true; }));
    }
    EXPECT_FALSE(ran);
}

TEST(RXCompoundDisposable, InitWithBlockRunsItOnDisposal) {
    bool ran = false;
    auto compound = make<RXCompoundDisposable>(RXDisposableBlock([&] { ran = true; }));
    compound->dispose();
    EXPECT_TRUE(ran);
}

TEST(RXCompoundDisposable, ConcurrentAddsAndDisposeDisposeEveryMemberOnce) {
    for (int round = 0; round < 20; ++round) {
        auto compound = RXCompoundDisposable::compoundDisposable();
        std::atomic<int> runs{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 100; ++i) {
                    compound->addDisposable(RXDisposable::disposableWithBlock([&] { runs.fetch_add(1); }));
                }
            });
        }
        threads.emplace_back([&] { compound->dispose(); });
        for (auto& t : threads) {
            t.join();
        }
        compound->dispose();
        EXPECT_EQ(runs.load(), 400);
    }
}

TEST(RXSerialDisposable, SwapReturnsThePreviousUndisposed) {
    auto serial = make<RXSerialDisposable>();
    bool firstRan = false;
    auto first = RXDisposable::disposableWithBlock([&] { firstRan = true; });
    serial->setDisposable(first);
    auto second = make<RXDisposable>();
    Ref<RXDisposable> previous = serial->swapInDisposable(second);
    EXPECT_EQ(previous.get(), first.get());
    EXPECT_FALSE(firstRan);
    EXPECT_EQ(serial->disposable().get(), second.get());
    serial->dispose();
    EXPECT_TRUE(second->isDisposed());
    EXPECT_TRUE(serial->isDisposed());
}

TEST(RXSerialDisposable, SwapOnADisposedSerialDisposesTheNewOneAndAnswersNil) {
    auto serial = make<RXSerialDisposable>();
    serial->dispose();
    auto late = make<RXDisposable>();
    EXPECT_FALSE(serial->swapInDisposable(late));
    EXPECT_TRUE(late->isDisposed());
}

TEST(RXSerialDisposable, InitWithBlockAndConvenienceConstructor) {
    bool ran = false;
    auto serial = make<RXSerialDisposable>(RXDisposableBlock([&] { ran = true; }));
    serial->dispose();
    EXPECT_TRUE(ran);
    auto inner = make<RXDisposable>();
    auto wrapped = RXSerialDisposable::serialDisposableWithDisposable(inner);
    EXPECT_EQ(wrapped->disposable().get(), inner.get());
}

TEST(RXScopedDisposable, DisposesTheWrappedDisposableOnceWhenReleased) {
    int runs = 0;
    auto inner = RXDisposable::disposableWithBlock([&] { ++runs; });
    {
        Ref<RXScopedDisposable> scoped = inner->asScopedDisposable();
        EXPECT_EQ(scoped->asScopedDisposable().get(), scoped.get());
        EXPECT_EQ(runs, 0);
    }
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(inner->isDisposed());
}

namespace {
struct CountingTracer : RXTracer {
    std::atomic<int> added{0}, removed{0};
    void compoundAdded(const std::string&, const std::string&, NSUInteger) override { added.fetch_add(1); }
    void compoundRemoved(const std::string&, const std::string&, NSUInteger) override { removed.fetch_add(1); }
};
} // namespace

TEST(RXTracer, CompoundProbesFireOnlyForArrayMembers) {
    CountingTracer tracer;
    RXTracer::setTracer(&tracer);
    auto compound = RXCompoundDisposable::compoundDisposable();
    compound->addDisposable(make<RXDisposable>());
    compound->addDisposable(make<RXDisposable>());
    EXPECT_EQ(tracer.added.load(), 0);
    auto third = make<RXDisposable>();
    compound->addDisposable(third);
    compound->removeDisposable(third);
    RXTracer::setTracer(nullptr);
    EXPECT_EQ(tracer.added.load(), 1);
    EXPECT_EQ(tracer.removed.load(), 1);
    EXPECT_EQ(RXTracer::probeDescription(NSString::from("a \n\t b")), "a b");
}
