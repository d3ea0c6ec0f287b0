// RXSignal operators for errors, repetition, sharing and waiting.
#include <Reactive/RXSignal.h>

#include <Reactive/RXOperatorSubscriber.h>

#include <Reactive/RXInternal.h>

#include <Dispatch/DispatchSemaphore.h>
#include <Foundation/NSError.h>
#include <Reactive/RXMulticastConnection.h>
#include <Reactive/RXReplaySubject.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSerialDisposable.h>
#include <Reactive/RXSubject.h>
#include <Reactive/RXTupleNil.h>

#include <deque>
#include <mutex>

// ---- Errors ----

Ref<RXSignal> RXSignal::catch_(std::function<Ref<RXSignal>(const Ref<NSError>& error)> block) {
    Ref<RXSignal> self(this);
    return createSignal([self, block](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto catchDisposable = make<RXSerialDisposable>();
               Ref<RXDisposable> subscription = rx_detail::subscribeNextErrorCompleted(
                   self, [subscriber](const id& value) { subscriber->sendNext(value); },
                   [block, subscriber, catchDisposable](const Ref<NSError>& error) {
                       Ref<RXSignal> signal = block ? block(error) : nullptr;
                       if (!signal) {
                           // Nothing to continue with: the error stands.
                           subscriber->sendError(error);
                           return;
                       }
                       catchDisposable->setDisposable(signal->subscribe(subscriber));
                   },
                   [subscriber] { subscriber->sendCompleted(); });
               return RXDisposable::disposableWithBlock([catchDisposable, subscription] {
                   catchDisposable->dispose();
                   rx_detail::dispose(subscription);
               });
           })
        ->named("[%@] -catch:", name());
}

Ref<RXSignal> RXSignal::catchTo(const Ref<RXSignal>& signal) {
    return catch_([signal](const Ref<NSError>&) { return signal; })->named("[%@] -catchTo: %@", name(), signal);
}

Ref<RXSignal> RXSignal::try_(std::function<bool(const id& value, Ref<NSError>* error)> block) {
    return flattenMap([block](const id& value) -> Ref<RXSignal> {
               Ref<NSError> error;
               if (block(value, &error)) {
                   return RXSignal::return_(value);
               }
               return RXSignal::error(error);
           })
        ->named("[%@] -try:", name());
}

Ref<RXSignal> RXSignal::tryMap(std::function<id(const id& value, Ref<NSError>* error)> block) {
    return flattenMap([block](const id& value) -> Ref<RXSignal> {
               Ref<NSError> error;
               id mapped = block(value, &error);
               if (mapped) {
                   return RXSignal::return_(mapped);
               }
               return RXSignal::error(error);
           })
        ->named("[%@] -tryMap:", name());
}

// ---- Repetition ----

namespace {
using LoopErrorHandler = std::function<void(const Ref<NSError>&, const Ref<RXCompoundDisposable>& loop)>;
using LoopCompletedHandler = std::function<void(const Ref<RXCompoundDisposable>& loop)>;

// Subscribes to `signal` again after every termination, until a handler disposes the loop. The first
// pass runs at once; later ones through the recursive scheduling of the scheduler current where the
// first pass ended (a background scheduler when there is none), so passes never nest on the stack.
Ref<RXCompoundDisposable> subscribeForever(const Ref<RXSignal>& signal, RXNextBlock next, LoopErrorHandler error,
                                           LoopCompletedHandler completed) {
    auto loop = make<RXCompoundDisposable>();
    Weak<RXCompoundDisposable> weakLoop(loop);
    // One pass: given what to do to ask for the next one.
    RXSchedulerRecursiveBlock pass = [signal, next, error, completed, weakLoop](const std::function<void()>& recurse) {
        auto loop = weakLoop.lock();
        if (!loop || loop->isDisposed()) {
            return;
        }
        auto passDisposable = make<RXCompoundDisposable>();
        loop->addDisposable(passDisposable);
        Weak<RXCompoundDisposable> weakPass(passDisposable);
        auto finish = [weakLoop, weakPass, recurse] {
            auto loop = weakLoop.lock();
            if (!loop) {
                return;
            }
            if (auto pass = weakPass.lock()) {
                loop->removeDisposable(pass);
            }
            recurse();
        };
        passDisposable->addDisposable(rx_detail::subscribeNextErrorCompleted(
            signal, next,
            [error, weakLoop, finish](const Ref<NSError>& e) {
                if (auto loop = weakLoop.lock()) {
                    error(e, loop);
                }
                finish();
            },
            [completed, weakLoop, finish] {
                if (auto loop = weakLoop.lock()) {
                    completed(loop);
                }
                finish();
            }));
    };
    pass([pass, weakLoop] {
        auto loop = weakLoop.lock();
        if (!loop || loop->isDisposed()) {
            return;
        }
        Ref<RXScheduler> scheduler = RXScheduler::currentScheduler();
        if (!scheduler) {
            scheduler = RXScheduler::scheduler();
        }
        loop->addDisposable(scheduler->scheduleRecursiveBlock(pass));
    });
    return loop;
}
} // namespace

Ref<RXSignal> RXSignal::repeat() {
    Ref<RXSignal> self(this);
    return createSignal([self](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               return subscribeForever(
                   self, [subscriber](const id& value) { subscriber->sendNext(value); },
                   [subscriber](const Ref<NSError>& error, const Ref<RXCompoundDisposable>& loop) {
                       loop->dispose();
                       subscriber->sendError(error);
                   },
                   [](const Ref<RXCompoundDisposable>&) {});
           })
        ->named("[%@] -repeat", name());
}

Ref<RXSignal> RXSignal::retry(NSUInteger retryCount) {
    Ref<RXSignal> self(this);
    return createSignal([self, retryCount](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto retries = std::make_shared<std::atomic<NSUInteger>>(0);
               return subscribeForever(
                   self, [subscriber](const id& value) { subscriber->sendNext(value); },
                   [subscriber, retries, retryCount](const Ref<NSError>& error, const Ref<RXCompoundDisposable>& loop) {
                       if (retryCount != 0 && retries->load() >= retryCount) {
                           loop->dispose();
                           subscriber->sendError(error);
                           return;
                       }
                       retries->fetch_add(1);
                   },
                   [subscriber](const Ref<RXCompoundDisposable>& loop) {
                       loop->dispose();
                       subscriber->sendCompleted();
                   });
           })
        ->named("[%@] -retry: %lu", name(), retryCount);
}

Ref<RXSignal> RXSignal::retry() {
    return retry(0)->named("[%@] -retry", name());
}

// ---- Sharing ----

Ref<RXMulticastConnection> RXSignal::multicast(const Ref<RXSubject>& subject) {
    subject->setNameWithFormat("[%@] -multicast: %@", name(), subject->name());
    return make<RXMulticastConnection>(Ref<RXSignal>(this), subject);
}

Ref<RXMulticastConnection> RXSignal::publish() {
    auto subject = RXSubject::subject();
    subject->setNameWithFormat("[%@] -publish", name());
    return multicast(subject);
}

Ref<RXSignal> RXSignal::replay() {
    auto subject = RXReplaySubject::subject();
    subject->setNameWithFormat("[%@] -replay", name());
    Ref<RXMulticastConnection> connection = multicast(subject);
    connection->connect();
    return connection->signal();
}

Ref<RXSignal> RXSignal::replayLast() {
    auto subject = RXReplaySubject::replaySubjectWithCapacity(1);
    subject->setNameWithFormat("[%@] -replayLast", name());
    Ref<RXMulticastConnection> connection = multicast(subject);
    connection->connect();
    return connection->signal();
}

Ref<RXSignal> RXSignal::replayLazily() {
    Ref<RXMulticastConnection> connection = multicast(RXReplaySubject::subject());
    return defer([connection] {
               connection->connect();
               return connection->signal();
           })
        ->named("[%@] -replayLazily", name());
}

Ref<RXSignal> RXSignal::takeLast(NSUInteger count) {
    Ref<RXSignal> self(this);
    return createSignal([self, count](const Ref<RXSubscriber>& subscriber) {
               auto values = std::make_shared<std::deque<id>>();
               return rx_detail::subscribeNextErrorCompleted(
                   self,
                   [values, count](const id& value) {
                       values->push_back(RXTupleNil::wrap(value));
                       while (values->size() > count) {
                           values->pop_front();
                       }
                   },
                   [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
                   [values, subscriber] {
                       for (const id& value : *values) {
                           subscriber->sendNext(RXTupleNil::unwrap(value));
                       }
                       subscriber->sendCompleted();
                   });
           })
        ->named("[%@] -takeLast: %lu", name(), count);
}

// ---- Waiting ----

id RXSignal::first() {
    return firstOrDefault(nullptr);
}

id RXSignal::firstOrDefault(const id& defaultValue) {
    return firstOrDefaultSuccessError(defaultValue, nullptr, nullptr);
}

namespace {
struct FirstState {
    std::mutex lock;
    id value;
    bool success = true;
    bool done = false;
    Ref<NSError> error;
    dispatch_semaphore_t signalled = dispatch_semaphore_create(0);

    void finish() {
        done = true;
        dispatch_semaphore_signal(signalled);
    }
};
} // namespace

// Waits with a platform semaphore, so that on virtual time a wait on the main thread moves the
// clock (and with it the timers the receiver may be waiting for).
id RXSignal::firstOrDefaultSuccessError(const id& defaultValue, bool* success, Ref<NSError>* error) {
    auto state = std::make_shared<FirstState>();
    state->value = defaultValue;
    rx_detail::subscribeNextErrorCompleted(
        take(1),
        [state](const id& value) {
            std::lock_guard<std::mutex> guard(state->lock);
            if (state->done) {
                return;
            }
            state->value = value;
            state->finish();
        },
        [state](const Ref<NSError>& e) {
            std::lock_guard<std::mutex> guard(state->lock);
            if (state->done) {
                return;
            }
            state->success = false;
            state->error = e;
            state->finish();
        },
        [state] {
            std::lock_guard<std::mutex> guard(state->lock);
            if (!state->done) {
                state->finish();
            }
        });
    dispatch_semaphore_wait(state->signalled, DISPATCH_TIME_FOREVER);
    std::lock_guard<std::mutex> guard(state->lock);
    if (success) {
        *success = state->success;
    }
    if (error) {
        *error = state->error;
    }
    return state->value;
}

bool RXSignal::waitUntilCompleted(Ref<NSError>* error) {
    bool success = false;
    ignoreValues()->named("[%@] -waitUntilCompleted:", name())->firstOrDefaultSuccessError(nullptr, &success, error);
    return success;
}
