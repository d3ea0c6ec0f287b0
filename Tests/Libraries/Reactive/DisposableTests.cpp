#include "ReactiveTestSupport.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <random>
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

namespace {
// Adds `count` members to a fresh compound and removes them all in `order` (indexes into the
// members); answers the slot work that took.
uint64_t slotWorkToAddAndRemove(size_t count, const std::function<std::vector<size_t>(size_t)>& order) {
    std::vector<Ref<RXDisposable>> members;
    members.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        members.push_back(make<RXDisposable>());
    }
    std::vector<size_t> removals = order(count);
    auto compound = RXCompoundDisposable::compoundDisposable();
    uint64_t before = rx_detail::compoundSlotWorkOnThisThread();
    for (const auto& member : members) {
        compound->addDisposable(member);
    }
    for (size_t i : removals) {
        compound->removeDisposable(members[i]);
    }
    return rx_detail::compoundSlotWorkOnThisThread() - before;
}

std::vector<size_t> oldestFirst(size_t count) {
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i) {
        order[i] = i;
    }
    return order;
}
} // namespace

TEST(RXCompoundDisposable, ManyMembersAddedAndRemovedInAnyOrderLeaveTheRestInOrder) {
    // Random adds (new members and members already in), removals (of members, of strangers) against
    // a plain model of two inline slots and a list; disposal must then run exactly the members left,
    // inline ones first, the others in the order they were added.
    std::mt19937 random(41);
    std::vector<int> disposedOrder;
    std::vector<Ref<RXDisposable>> made;
    auto makeMember = [&] {
        int number = static_cast<int>(made.size());
        made.push_back(
            RXDisposable::disposableWithBlock([&disposedOrder, number] { disposedOrder.push_back(number); }));
        return number;
    };
    std::vector<int> inlineModel(2, -1), listModel;
    auto compound = RXCompoundDisposable::compoundDisposable();
    auto add = [&](int number) {
        compound->addDisposable(made[static_cast<size_t>(number)]);
        if (inlineModel[0] < 0) {
            inlineModel[0] = number;
        } else if (inlineModel[1] < 0) {
            inlineModel[1] = number;
        } else {
            listModel.push_back(number);
        }
    };
    auto remove = [&](int number) {
        compound->removeDisposable(made[static_cast<size_t>(number)]);
        for (int& slot : inlineModel) {
            if (slot == number) {
                slot = -1;
            }
        }
        std::erase(listModel, number);
    };
    for (int step = 0; step < 20000; ++step) {
        // Grows to a few thousand members and shrinks back, crossing the sizes where the storage
        // changes its form in both directions.
        bool growing = (step / 2500) % 2 == 0;
        int choice = static_cast<int>(random() % 10);
        if (choice < (growing ? 6 : 3)) {
            add(makeMember());
        } else if (choice == 6 && !listModel.empty()) {
            add(listModel[random() % listModel.size()]); // a second occurrence
        } else if (choice == 7) {
            remove(makeMember()); // never added
        } else if (!listModel.empty() || inlineModel[0] >= 0) {
            std::vector<int> present = listModel;
            for (int slot : inlineModel) {
                if (slot >= 0) {
                    present.push_back(slot);
                }
            }
            remove(present[random() % present.size()]);
        }
    }
    std::vector<int> expected;
    for (int number : inlineModel) {
        if (number >= 0) {
            expected.push_back(number);
        }
    }
    for (int number : listModel) {
        if (std::find(expected.begin(), expected.end(), number) == expected.end()) {
            expected.push_back(number); // a member in twice is disposed once, where it first stands
        }
    }
    ASSERT_GT(expected.size(), 100u);
    compound->dispose();
    EXPECT_EQ(disposedOrder, expected);
}

TEST(RXCompoundDisposable, AManyMemberCompoundMadeFromAnArrayRemovesAndDisposesAsGiven) {
    // Forty places: nil in some, one member in three of them; the others each once.
    std::vector<int> disposed;
    std::vector<Ref<RXDisposable>> given;
    auto twice = RXDisposable::disposableWithBlock([&] { disposed.push_back(-1); });
    for (int i = 0; i < 40; ++i) {
        if (i % 10 == 5) {
            given.push_back(nullptr);
        } else if (i == 3 || i == 20 || i == 37) {
            given.push_back(twice);
        } else {
            given.push_back(RXDisposable::disposableWithBlock([&, i] { disposed.push_back(i); }));
        }
    }
    auto compound = RXCompoundDisposable::compoundDisposableWithDisposables(given);
    compound->removeDisposable(twice);
    for (int i = 10; i < 30; i += 2) {
        compound->removeDisposable(given[static_cast<size_t>(i)]);
    }
    compound->dispose();
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i) {
        if (given[static_cast<size_t>(i)] && given[static_cast<size_t>(i)] != twice &&
            !(i >= 10 && i < 30 && i % 2 == 0)) {
            expected.push_back(i);
        }
    }
    EXPECT_EQ(disposed, expected);
}

TEST(RXCompoundDisposable, RemovingMembersCostsWorkInProportionToTheirNumber) {
    // Doubling the members must about double the work, whatever the order they leave in (searching
    // the list, or shifting the members after each removed one, would quadruple it).
    std::mt19937 random(7);
    std::vector<std::pair<const char*, std::function<std::vector<size_t>(size_t)>>> orders = {
        {"oldest first", oldestFirst},
        {"newest first",
         [](size_t count) {
             auto order = oldestFirst(count);
             std::reverse(order.begin(), order.end());
             return order;
         }},
        {"shuffled",
         [&](size_t count) {
             auto order = oldestFirst(count);
             std::shuffle(order.begin(), order.end(), random);
             return order;
         }},
    };
    constexpr size_t kCount = 20000;
    for (const auto& [name, order] : orders) {
        uint64_t once = slotWorkToAddAndRemove(kCount, order);
        uint64_t twice = slotWorkToAddAndRemove(2 * kCount, order);
        EXPECT_LT(static_cast<double>(twice), 3.0 * static_cast<double>(once)) << name;
        EXPECT_LT(twice, 40 * 2 * kCount) << name << ": slots visited per member";
    }
}

TEST(RXCompoundDisposable, ThreadsAddingAndRemovingAtOnceLeaveExactlyTheMembersKept) {
    constexpr int kThreads = 4, kPerThread = 2100; // a multiple of 3
    auto compound = RXCompoundDisposable::compoundDisposable();
    std::vector<std::atomic<int>> runs(kThreads * kPerThread);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<Ref<RXDisposable>> mine;
            for (int i = 0; i < kPerThread; ++i) {
                auto& counter = runs[static_cast<size_t>(t * kPerThread + i)];
                mine.push_back(RXDisposable::disposableWithBlock([&counter] { counter.fetch_add(1); }));
                compound->addDisposable(mine.back());
                if (i % 3 == 2) { // every member but each third one leaves again, oldest first
                    compound->removeDisposable(mine[static_cast<size_t>(i - 2)]);
                    compound->removeDisposable(mine[static_cast<size_t>(i - 1)]);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    compound->dispose();
    for (size_t i = 0; i < runs.size(); ++i) {
        ASSERT_EQ(runs[i].load(), (i % kPerThread) % 3 == 2 ? 1 : 0) << "member " << i;
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
