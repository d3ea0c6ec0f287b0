// RXSignal start operations, logging and run-loop waits.
#include <Reactive/RXSignal.h>

#include <Reactive/RXInternal.h>

#include <Foundation/NSError.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSRunLoop.h>
#include <Reactive/RXMulticastConnection.h>
#include <Reactive/RXReplaySubject.h>
#include <Reactive/RXScheduler.h>

#include <mutex>

// ---- Start operations ----

Ref<RXSignal> RXSignal::startLazilyWithSchedulerBlock(const Ref<RXScheduler>& scheduler,
                                                      std::function<void(const Ref<RXSubscriber>&)> block) {
    Ref<RXSignal> source = createSignal([block](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        if (block) {
            block(subscriber);
        }
        return nullptr;
    });
    Ref<RXMulticastConnection> connection = source->multicast(RXReplaySubject::subject());
    return createSignal([connection](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               connection->signal()->subscribe(subscriber);
               connection->connect();
               return nullptr;
           })
        ->subscribeOn(scheduler)
        ->named("+startLazilyWithScheduler: %@ block:", scheduler);
}

Ref<RXSignal> RXSignal::startEagerlyWithSchedulerBlock(const Ref<RXScheduler>& scheduler,
                                                       std::function<void(const Ref<RXSubscriber>&)> block) {
    Ref<RXSignal> signal = startLazilyWithSchedulerBlock(scheduler, std::move(block));
    signal->publish()->connect();
    return signal->named("+startEagerlyWithScheduler: %@ block:", scheduler);
}

Ref<RXSignal> RXSignal::startWithSchedulerSubjectBlock(const Ref<RXScheduler>& scheduler,
                                                       std::function<void(const Ref<RXSubject>&)> block) {
    auto subject = RXReplaySubject::subject();
    subject->setNameWithFormat("+startWithScheduler:subjectBlock:");
    scheduler->schedule([subject, block] {
        if (block) {
            block(subject);
        }
    });
    return subject;
}

Ref<RXSignal> RXSignal::startWithSchedulerBlock(const Ref<RXScheduler>& scheduler,
                                                std::function<id(bool* success, Ref<NSError>* error)> block) {
    return startWithSchedulerSubjectBlock(scheduler,
                                          [block](const Ref<RXSubject>& subject) {
                                              bool success = true;
                                              Ref<NSError> error;
                                              id value = block ? block(&success, &error) : nullptr;
                                              if (success) {
                                                  subject->sendNext(value);
                                                  subject->sendCompleted();
                                              } else {
                                                  subject->sendError(error);
                                              }
                                          })
        ->named("+startWithScheduler:block:");
}

Ref<RXSignal> RXSignal::start(std::function<id(bool* success, Ref<NSError>* error)> block) {
    return startWithSchedulerBlock(RXScheduler::scheduler(), std::move(block))->named("+start:");
}

// ---- Logging ----

Ref<RXSignal> RXSignal::logNext() {
    Ref<RXSignal> self(this);
    return doNext([self](const id& value) { NSLog("%@ next: %@", self, value); })->named("%@", name());
}

Ref<RXSignal> RXSignal::logError() {
    Ref<RXSignal> self(this);
    return doError([self](const Ref<NSError>& error) { NSLog("%@ error: %@", self, error); })->named("%@", name());
}

Ref<RXSignal> RXSignal::logCompleted() {
    Ref<RXSignal> self(this);
    return doCompleted([self] { NSLog("%@ completed", self); })->named("%@", name());
}

Ref<RXSignal> RXSignal::logAll() {
    return logNext()->logError()->logCompleted();
}

// ---- Run-loop waits ----

namespace {
// How long the run-loop waits give the receiver before they report a time-out.
constexpr NSTimeInterval kRunLoopWaitTimeout = 10.0;

struct RunLoopWaitState {
    std::mutex lock;
    id value;
    bool success = true;
    bool done = false;
    Ref<NSError> error;
};
} // namespace

// The outcome is recorded from whichever thread delivers it, and the wait ends when it is recorded
// or when the time-out has passed by the clock. So a wait nested in a block of the main queue
// (which cannot run the main queue again) still ends by the time-out instead of spinning forever.
id RXSignal::asynchronousFirstOrDefaultSuccessError(const id& defaultValue, bool* success, Ref<NSError>* error) {
    auto state = std::make_shared<RunLoopWaitState>();
    state->value = defaultValue;
    Ref<RXDisposable> subscription = take(1)
                                         ->timeoutOnScheduler(kRunLoopWaitTimeout, RXScheduler::scheduler())
                                         ->subscribeNextErrorCompleted(
                                             [state](const id& value) {
                                                 std::lock_guard<std::mutex> guard(state->lock);
                                                 state->value = value;
                                                 state->done = true;
                                             },
                                             [state](const Ref<NSError>& e) {
                                                 std::lock_guard<std::mutex> guard(state->lock);
                                                 if (!state->done) {
                                                     state->success = false;
                                                     state->error = e;
                                                     state->done = true;
                                                 }
                                             },
                                             [state] {
                                                 std::lock_guard<std::mutex> guard(state->lock);
                                                 state->done = true;
                                             });
    auto isDone = [state] {
        std::lock_guard<std::mutex> guard(state->lock);
        return state->done;
    };
    const double deadline = NSDate::now() + kRunLoopWaitTimeout;
    while (!isDone()) {
        double remaining = deadline - NSDate::now();
        if (remaining <= 0) {
            break;
        }
        NSRunLoop::mainRunLoop()->runModeBeforeDate(
            NSDefaultRunLoopMode(), NSDate::dateWithTimeIntervalSinceNow(remaining < 0.1 ? remaining : 0.1));
    }
    rx_detail::dispose(subscription);
    std::lock_guard<std::mutex> guard(state->lock);
    if (!state->done) {
        state->done = true;
        state->success = false;
        state->error = NSError::errorWithDomainCodeUserInfo(RXSignalErrorDomain(), RXSignalErrorTimedOut, nullptr);
    }
    if (success) {
        *success = state->success;
    }
    if (error) {
        *error = state->error;
    }
    return state->value;
}

bool RXSignal::asynchronouslyWaitUntilCompleted(Ref<NSError>* error) {
    bool success = false;
    ignoreValues()->asynchronousFirstOrDefaultSuccessError(nullptr, &success, error);
    return success;
}
