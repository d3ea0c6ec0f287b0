// RXCommand: enabled and executing state, executions, errors.
#include "ReactiveTestSupport.h"

#include <Support/PlatformTestCase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

using namespace rxtest;

namespace {
// Records the booleans a signal sends, as 1 and 0.
class BoolRecorder {
public:
    explicit BoolRecorder(const Ref<RXSignal>& signal) {
        auto values = values_;
        disposable_ =
            signal->subscribeNext([values](const id& value) { values->push_back(unbox<bool>(value) ? 1 : 0); });
    }
    ~BoolRecorder() { disposable_->dispose(); }
    std::vector<int> values() const { return *values_; }

private:
    std::shared_ptr<std::vector<int>> values_ = std::make_shared<std::vector<int>>();
    Ref<RXDisposable> disposable_;
};

using Bools = std::vector<int>;
} // namespace

class RXCommandTest : public PlatformTestCase {};

TEST_F(RXCommandTest, ANewCommandIsEnabledAndNotExecutingAndHasNoPlainInitialiser) {
    auto command = make<RXCommand>([](const id&) { return RXSignal::empty(); });
    BoolRecorder enabled(command->enabled()), executing(command->executing());
    runUntilIdle();
    EXPECT_EQ(enabled.values(), (Bools{1}));
    EXPECT_EQ(executing.values(), (Bools{0}));
    EXPECT_FALSE(RXCommand::class_()->createInstance());
    EXPECT_FALSE(command->allowsConcurrentExecution());
}

TEST_F(RXCommandTest, OneExecutionAtATimeWhenConcurrencyIsNotAllowed) {
    Recorder firstRun;
    std::vector<Ref<RXSubject>> runs;
    std::vector<std::string> inputs;
    auto command = make<RXCommand>([&](const id& input) {
        inputs.push_back(text(input));
        auto subject = RXSubject::subject();
        runs.push_back(subject);
        return Ref<RXSignal>(subject);
    });
    BoolRecorder enabled(command->enabled()), executing(command->executing());
    firstRun.subscribe(command->execute("a"_ns));
    runUntilIdle(); // the execution is subscribed on the main thread
    EXPECT_EQ(inputs, (std::vector<std::string>{"a"}));
    EXPECT_EQ(executing.values(), (Bools{0, 1}));
    EXPECT_EQ(enabled.values(), (Bools{1, 0}));

    Ref<NSError> refused;
    command->execute("b"_ns)->subscribeError([&](const Ref<NSError>& error) { refused = error; });
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->domain()->isEqualToString(RXCommandErrorDomain()));
    EXPECT_EQ(refused->code(), RXCommandErrorNotEnabled);
    EXPECT_EQ(refused->userInfo()->objectForKey(RXUnderlyingCommandErrorKey()).get(), command.get());
    EXPECT_EQ(inputs.size(), 1u); // the block did not run

    runs[0]->sendNext(box(7));
    runs[0]->sendCompleted();
    runUntilIdle();
    EXPECT_EQ(firstRun.events(), (Events{"7", "completed"}));
    EXPECT_EQ(executing.values(), (Bools{0, 1, 0}));
    EXPECT_EQ(enabled.values(), (Bools{1, 0, 1}));
    EXPECT_EQ(command->activeExecutionSignals()->count(), 0u);
}

TEST_F(RXCommandTest, ConcurrentExecutionsKeepTheCommandEnabled) {
    std::vector<Ref<RXSubject>> runs;
    auto command = make<RXCommand>([&](const id&) {
        runs.push_back(RXSubject::subject());
        return Ref<RXSignal>(runs.back());
    });
    command->setAllowsConcurrentExecution(true);
    BoolRecorder enabled(command->enabled()), executing(command->executing());
    command->execute(nullptr);
    command->execute(nullptr);
    runUntilIdle();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(command->activeExecutionSignals()->count(), 2u);
    runs[0]->sendCompleted();
    runUntilIdle();
    EXPECT_EQ(executing.values(), (Bools{0, 1}));
    runs[1]->sendCompleted();
    runUntilIdle();
    EXPECT_EQ(executing.values(), (Bools{0, 1, 0}));
    EXPECT_EQ(enabled.values(), (Bools{1}));
}

TEST_F(RXCommandTest, AllowingConcurrencyWhileExecutingEnablesTheCommandAgain) {
    auto run = RXSubject::subject();
    auto command = make<RXCommand>([run](const id&) { return Ref<RXSignal>(run); });
    BoolRecorder enabled(command->enabled());
    command->execute(nullptr);
    runUntilIdle();
    command->setAllowsConcurrentExecution(true);
    runUntilIdle();
    EXPECT_TRUE(command->allowsConcurrentExecution());
    EXPECT_EQ(enabled.values(), (Bools{1, 0, 1}));
    command->setAllowsConcurrentExecution(false);
    runUntilIdle();
    EXPECT_EQ(enabled.values(), (Bools{1, 0, 1, 0}));
    run->sendCompleted();
    runUntilIdle();
    EXPECT_EQ(enabled.values(), (Bools{1, 0, 1, 0, 1}));
}

TEST_F(RXCommandTest, AnEnabledInputOfNoDisablesTheCommand) {
    Recorder r;
    auto enabledInput = RXSubject::subject();
    int calls = 0;
    auto command = make<RXCommand>(enabledInput, [&](const id&) {
        ++calls;
        return RXSignal::empty();
    });
    BoolRecorder enabled(command->enabled());
    enabledInput->sendNext(NSNumber::numberWithBool(false));
    runUntilIdle();
    r.subscribe(command->execute(nullptr));
    EXPECT_EQ(r.events(), (Events{"error:1"}));
    EXPECT_EQ(calls, 0);
    enabledInput->sendNext(NSNumber::numberWithBool(true));
    runUntilIdle();
    command->execute(nullptr);
    runUntilIdle();
    EXPECT_EQ(calls, 1);
    // The execution itself disables the command while it runs.
    EXPECT_EQ(enabled.values(), (Bools{1, 0, 1, 0, 1}));
}

TEST_F(RXCommandTest, TheExecutionSignalReplaysToALateSubscriberAndRunsWithoutOne) {
    Recorder late;
    int runs = 0;
    auto command = make<RXCommand>([&](const id& input) {
        ++runs;
        return RXSignal::return_(input);
    });
    Ref<RXSignal> execution = command->execute("x"_ns);
    runUntilIdle();
    EXPECT_EQ(runs, 1);
    late.subscribe(execution);
    EXPECT_EQ(late.events(), (Events{"x", "completed"}));
}

TEST_F(RXCommandTest, ErrorsGoToErrorsAndTheExecutionButNotToExecutionSignals) {
    Recorder errors, inner, execution;
    auto command = make<RXCommand>([](const id&) { return RXSignal::error(makeError(5)); });
    command->errors()->subscribeNext([&](const id& error) {
        EXPECT_TRUE(NSThread::isMainThread());
        errors.add("error:" + std::to_string(cast<NSError>(error)->code()));
    });
    command->executionSignals()->subscribeNext([&](const id& signal) { inner.subscribe(cast<RXSignal>(signal)); });
    execution.subscribe(command->execute(nullptr));
    runUntilIdle();
    EXPECT_EQ(errors.events(), (Events{"error:5"}));
    EXPECT_EQ(execution.events(), (Events{"error:5"}));
    EXPECT_EQ(inner.events(), (Events{"completed"}));
    BoolRecorder executing(command->executing());
    EXPECT_EQ(executing.values(), (Bools{0}));
}

TEST_F(RXCommandTest, TheCommandIsFreedAndItsSignalsComplete) {
    Recorder enabled;
    Weak<RXCommand> weak;
    {
        auto command = make<RXCommand>(RXSubject::subject(), [](const id& input) { return RXSignal::return_(input); });
        weak = command;
        enabled.subscribe(command->enabled()->skip(1));
        command->execute(box(1));
        runUntilIdle();
    }
    EXPECT_FALSE(weak.lock());
    runUntilIdle(); // the completion of `enabled` is delivered on the main queue
    ASSERT_FALSE(enabled.events().empty());
    EXPECT_EQ(enabled.events().back(), "completed");
}

TEST_F(RXCommandTest, ExecuteCommandRunsEachValueAndDropsRefusals) {
    std::vector<std::string> inputs;
    auto command = make<RXCommand>([&](const id& input) {
        inputs.push_back(text(input));
        return RXSignal::empty();
    });
    auto values = RXSubject::subject();
    auto subscription = values->executeCommand(command);
    values->sendNext("a"_ns);
    runUntilIdle();
    values->sendNext("b"_ns);
    runUntilIdle();
    EXPECT_EQ(inputs, (std::vector<std::string>{"a", "b"}));

    // A disabled command refuses quietly: nothing is raised or reported.
    auto disabled = make<RXCommand>(RXSignal::return_(box(false)), [&](const id& input) {
        inputs.push_back("never");
        return RXSignal::empty();
    });
    auto other = RXSubject::subject();
    other->executeCommand(disabled);
    runUntilIdle();
    EXPECT_NO_THROW(other->sendNext("c"_ns));
    runUntilIdle();
    EXPECT_EQ(inputs.size(), 2u);

    subscription->dispose();
    values->sendNext("d"_ns);
    runUntilIdle();
    EXPECT_EQ(inputs.size(), 2u);
}

// ---- Commands used from several threads (run under the thread sanitizer too) ----

namespace {
// Runs `body(index)` on `count` threads released together, and waits for them.
void onThreadsAtOnce(int count, const std::function<void(int)>& body) {
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            ready.fetch_add(1);
            while (ready.load() < count) {
                std::this_thread::yield();
            }
            body(i);
        });
    }
    for (auto& t : threads) {
        t.join();
    }
}
} // namespace

TEST_F(RXCommandTest, ThreadsExecutingAtOnceStartOneExecutionOfANonConcurrentCommand) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::atomic<int> started{0};
        auto finish = RXSubject::subject();
        auto command = make<RXCommand>([&](const id&) {
            started.fetch_add(1);
            return Ref<RXSignal>(finish);
        });
        std::atomic<int> refused{0};
        onThreadsAtOnce(4, [&](int) {
            command->execute(nullptr)->subscribeError([&](const Ref<NSError>&) { refused.fetch_add(1); });
        });
        ASSERT_EQ(started.load(), 1) << "attempt " << attempt;
        // The refusals are error signals, subscribed to on a background queue from these threads.
        EXPECT_TRUE(runUntil([&] { return refused.load() == 3; }));
        finish->sendCompleted();
        runUntilIdle();
        EXPECT_EQ(command->activeExecutionSignals()->count(), 0u);
    }
}

TEST_F(RXCommandTest, ThreadsExecutingAConcurrentCommandStartEveryExecution) {
    std::atomic<int> started{0};
    auto command = make<RXCommand>([&](const id&) {
        started.fetch_add(1);
        return RXSignal::empty();
    });
    command->setAllowsConcurrentExecution(true);
    onThreadsAtOnce(4, [&](int) {
        for (int i = 0; i < 10; ++i) {
            command->execute(nullptr);
        }
    });
    EXPECT_EQ(started.load(), 40);
    EXPECT_TRUE(runUntil([&] { return command->activeExecutionSignals()->count() == 0; }, 30));
}

TEST_F(RXCommandTest, FourThreadsExecutingTenThousandTimesEachFinishInSeconds) {
    // Every execution stays active until the main thread runs it, so the list grows to 40,000: a
    // change that cost the length of the list would take minutes.
    auto command = make<RXCommand>([](const id&) { return RXSignal::empty(); });
    command->setAllowsConcurrentExecution(true);
    BoolRecorder executing(command->executing());
    auto started = std::chrono::steady_clock::now();
    onThreadsAtOnce(4, [&](int) {
        for (int i = 0; i < 10'000; ++i) {
            command->execute(nullptr);
        }
    });
    EXPECT_EQ(command->activeExecutionSignals()->count(), 40'000u);
    EXPECT_TRUE(runUntil([&] {
        auto values = executing.values();
        return values.size() >= 3 && values.back() == 0;
    }));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(command->activeExecutionSignals()->count(), 0u);
    EXPECT_EQ(executing.values(), (Bools{0, 1, 0}));
    EXPECT_LT(seconds, 90.0) << "copying the list for every change took minutes";
}

namespace {
// The compounds' slot work of ending `count` running executions of a concurrent command, oldest
// first, until the command (its errors included) has taken in every ending.
uint64_t slotWorkToEndExecutions(size_t count) {
    std::vector<Ref<RXSubject>> runs;
    auto command = make<RXCommand>([&](const id&) {
        runs.push_back(RXSubject::subject());
        return Ref<RXSignal>(runs.back());
    });
    command->setAllowsConcurrentExecution(true);
    for (size_t i = 0; i < count; ++i) {
        command->execute(nullptr);
    }
    PlatformTestCase::runUntilIdle(); // the executions run on the main thread
    EXPECT_EQ(runs.size(), count);
    uint64_t before = rx_detail::compoundSlotWorkOnThisThread();
    for (const auto& run : runs) {
        run->sendCompleted();
    }
    PlatformTestCase::runUntilIdle();
    uint64_t work = rx_detail::compoundSlotWorkOnThisThread() - before;
    EXPECT_EQ(command->activeExecutionSignals()->count(), 0u);
    return work;
}
} // namespace

TEST_F(RXCommandTest, EndingExecutionsCostsWorkInProportionToTheirNumber) {
    // Each execution is an inner signal of the command's errors; its ending takes it out of that
    // flattening's compound.
    constexpr size_t kCount = 5000;
    uint64_t once = slotWorkToEndExecutions(kCount);
    uint64_t twice = slotWorkToEndExecutions(2 * kCount);
    EXPECT_GT(once, 0u);
    EXPECT_LT(static_cast<double>(twice), 3.0 * static_cast<double>(once));
    EXPECT_LT(twice, 40 * 2 * kCount) << "slots visited per execution";
}

TEST_F(RXCommandTest, ChangeNotificationsNameTheIndexesOfTheListAsItWas) {
    // Signals added and removed in a shuffled order (one of them twice) against a plain list.
    auto command = make<RXCommand>([](const id&) { return RXSignal::empty(); });
    std::vector<std::string> seen;
    auto observation = rx_valuesAndChangesForKeyPathOptionsObserver(command, "activeExecutionSignals"_ns,
                                                                    NSKeyValueObservingOptionNew, nullptr)
                           ->subscribeNext([&](const id& value) {
                               auto change = cast<NSDictionary>(cast<RXTuple>(value)->objectAtIndex(1));
                               auto kind = unbox<NSUInteger>(change->objectForKey(NSKeyValueChangeKindKey()));
                               auto indexes = cast<NSIndexSet>(change->objectForKey(NSKeyValueChangeIndexesKey()));
                               std::string text = kind == NSKeyValueChangeInsertion ? "+" : "-";
                               indexes->enumerateIndexesUsingBlock(
                                   [&](NSUInteger index, bool*) { text += std::to_string(index) + " "; });
                               seen.push_back(text);
                           });
    std::vector<Ref<RXSignal>> signals;
    for (int i = 0; i < 300; ++i) {
        signals.push_back(RXSignal::return_(box(i)));
    }
    std::vector<Ref<RXSignal>> model;
    std::vector<std::string> expected;
    auto add = [&](const Ref<RXSignal>& signal) {
        expected.push_back("+" + std::to_string(model.size()) + " ");
        model.push_back(signal);
        command->addActiveExecutionSignal(signal);
    };
    auto remove = [&](const Ref<RXSignal>& victim) {
        std::string text = "-";
        for (size_t k = 0; k < model.size(); ++k) {
            if (model[k] == victim) {
                text += std::to_string(k) + " ";
            }
        }
        std::erase(model, victim);
        expected.push_back(text);
        command->removeActiveExecutionSignal(victim);
    };
    std::mt19937 random(7);
    for (size_t i = 0; i < signals.size(); ++i) {
        add(signals[i]);
        if (i == 10) {
            add(signals[3]); // the same signal twice: one removal names both indexes
        }
        if (i % 3 == 2) { // the list grows and shrinks
            remove(Ref<RXSignal>(model[random() % model.size()]));
        }
    }
    std::vector<Ref<RXSignal>> rest = model;
    std::shuffle(rest.begin(), rest.end(), random);
    for (const auto& victim : rest) {
        if (std::find(model.begin(), model.end(), victim) == model.end()) {
            continue; // the twice-added one, already gone
        }
        remove(victim);
        if (model.size() == 100) {
            auto now = command->activeExecutionSignals();
            ASSERT_EQ(now->count(), model.size());
            for (size_t k = 0; k < model.size(); ++k) {
                ASSERT_EQ(now->objectAtIndex(k).get(), model[k].get()) << k;
            }
        }
    }
    command->removeActiveExecutionSignal(signals[0]); // no longer there: nothing
    observation->dispose();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(command->activeExecutionSignals()->count(), 0u);
}

namespace {
// Ends executions from a plain thread of its own (one without a current scheduler), in the order
// they were subscribed. Executions subscribed after it has stopped are left open.
class Finisher {
public:
    Finisher()
        : shared_(std::make_shared<Shared>()), thread_([shared = shared_] {
              std::unique_lock<std::mutex> guard(shared->lock);
              while (true) {
                  shared->changed.wait(guard, [&] { return shared->stop || !shared->pending.empty(); });
                  if (shared->stop) {
                      shared->pending.clear();
                      return;
                  }
                  Ref<RXSubscriber> subscriber = std::move(shared->pending.front());
                  shared->pending.pop_front();
                  guard.unlock();
                  subscriber->sendCompleted();
                  subscriber = nullptr;
                  guard.lock();
              }
          }) {}
    ~Finisher() {
        {
            std::lock_guard<std::mutex> guard(shared_->lock);
            shared_->stop = true;
        }
        shared_->changed.notify_all();
        thread_.join();
    }
    // A signal that is ended by the finisher's thread once subscribed.
    Ref<RXSignal> execution() {
        return RXSignal::createSignal([shared = shared_](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
            {
                std::lock_guard<std::mutex> guard(shared->lock);
                if (shared->stop) {
                    return nullptr;
                }
                shared->pending.push_back(subscriber);
            }
            shared->changed.notify_all();
            return nullptr;
        });
    }

private:
    struct Shared {
        std::mutex lock;
        std::condition_variable changed;
        std::deque<Ref<RXSubscriber>> pending;
        bool stop = false;
    };
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};
} // namespace

TEST_F(RXCommandTest, ReExecutingFromAnEnabledSubscriberOnTheFinishingThreadDoesNotDeadlock) {
    // Each execution ends on a thread without a scheduler; the subscriber of immediateEnabled starts
    // the next one from there as soon as the command is enabled again.
    // The finishing thread runs in real time: the main loop waits for it instead of moving a clock.
    DispatchClock::useRealTime();
    std::atomic<int> runs{0};
    auto finisher = std::make_unique<Finisher>();
    auto command = make<RXCommand>([&](const id&) {
        runs.fetch_add(1);
        return finisher->execution();
    });
    Ref<RXDisposable> again = command->immediateEnabled()->skip(1)->subscribeNext([&](const id& enabled) {
        if (unbox<bool>(enabled) && runs.load() < 20) {
            command->execute(nullptr);
        }
    });
    command->execute(nullptr);
    EXPECT_TRUE(runUntil([&] { return runs.load() >= 20; }, 60));
    again->dispose();
    EXPECT_TRUE(runUntil([&] { return command->activeExecutionSignals()->count() == 0; }, 30));
    finisher.reset();
}

TEST_F(RXCommandTest, TwoCommandsThatTriggerEachOtherFromTheFinishingThreadDoNotDeadlock) {
    // The finishing thread runs in real time: the main loop waits for it instead of moving a clock.
    DispatchClock::useRealTime();
    std::atomic<int> runs{0};
    auto finisher = std::make_unique<Finisher>();
    Ref<RXCommand> first, second;
    auto block = [&](const id&) {
        runs.fetch_add(1);
        return finisher->execution();
    };
    first = make<RXCommand>(block);
    second = make<RXCommand>(block);
    // Whenever one becomes enabled again, it starts the other.
    Ref<RXDisposable> a = first->immediateEnabled()->skip(1)->subscribeNext([&](const id& enabled) {
        if (unbox<bool>(enabled) && runs.load() < 40) {
            second->execute(nullptr);
        }
    });
    Ref<RXDisposable> b = second->immediateEnabled()->skip(1)->subscribeNext([&](const id& enabled) {
        if (unbox<bool>(enabled) && runs.load() < 40) {
            first->execute(nullptr);
        }
    });
    first->execute(nullptr);
    EXPECT_TRUE(runUntil([&] { return runs.load() >= 40; }, 60));
    a->dispose();
    b->dispose();
    EXPECT_TRUE(runUntil(
        [&] { return first->activeExecutionSignals()->count() == 0 && second->activeExecutionSignals()->count() == 0; },
        30));
    finisher.reset();
}
