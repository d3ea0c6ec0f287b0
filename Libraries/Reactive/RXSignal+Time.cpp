// RXSignal operators for time and threads.
#include <Reactive/RXSignal.h>

#include <Reactive/RXOperatorSubscriber.h>

#include <Reactive/RXInternal.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSError.h>
#include <Foundation/NSThread.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSerialDisposable.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXTupleNil.h>

#include <atomic>
#include <mutex>

namespace {
void requireScheduler(const Ref<RXScheduler>& scheduler, const char* operation) {
    if (!scheduler) {
        NSException::raise(NSInvalidArgumentException, std::string(operation) + ": the scheduler is nil");
    }
}
} // namespace

Ref<RXSignal> RXSignal::intervalOnScheduler(NSTimeInterval interval, const Ref<RXScheduler>& scheduler) {
    return intervalOnSchedulerWithLeeway(interval, scheduler, 0.0)
        ->named("+interval: %f onScheduler: %@", interval, scheduler);
}

Ref<RXSignal> RXSignal::intervalOnSchedulerWithLeeway(NSTimeInterval interval, const Ref<RXScheduler>& scheduler,
                                                      NSTimeInterval leeway) {
    requireScheduler(scheduler, "+interval:onScheduler:withLeeway:");
    return createSignal([interval, scheduler, leeway](const Ref<RXSubscriber>& subscriber) {
               return scheduler->afterRepeatingEveryWithLeewaySchedule(
                   NSDate::dateWithTimeIntervalSinceNow(interval), interval, leeway,
                   [subscriber] { subscriber->sendNext(NSDate::date()); });
           })
        ->named("+interval: %f onScheduler: %@ withLeeway: %f", interval, scheduler, leeway);
}

Ref<RXSignal> RXSignal::timeoutOnScheduler(NSTimeInterval interval, const Ref<RXScheduler>& scheduler) {
    requireScheduler(scheduler, "-timeout:onScheduler:");
    Ref<RXSignal> self(this);
    return createSignal([self, interval, scheduler](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto disposable = make<RXCompoundDisposable>();
               disposable->addDisposable(scheduler->afterDelaySchedule(interval, [disposable, subscriber] {
                   disposable->dispose();
                   subscriber->sendError(
                       NSError::errorWithDomainCodeUserInfo(RXSignalErrorDomain(), RXSignalErrorTimedOut, nullptr));
               }));
               disposable->addDisposable(rx_detail::subscribeNextErrorCompleted(
                   self, [subscriber](const id& value) { subscriber->sendNext(value); },
                   [disposable, subscriber](const Ref<NSError>& error) {
                       disposable->dispose();
                       subscriber->sendError(error);
                   },
                   [disposable, subscriber] {
                       disposable->dispose();
                       subscriber->sendCompleted();
                   }));
               return disposable;
           })
        ->named("[%@] -timeout: %f onScheduler: %@", name(), interval, scheduler);
}

Ref<RXSignal> RXSignal::delay(NSTimeInterval interval) {
    Ref<RXSignal> self(this);
    return createSignal([self, interval](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto disposable = make<RXCompoundDisposable>();
               Ref<RXScheduler> background = RXScheduler::scheduler();
               auto schedule = [disposable, background, interval](RXSchedulerBlock block) {
                   Ref<RXScheduler> scheduler = RXScheduler::currentScheduler();
                   if (!scheduler) {
                       scheduler = background;
                   }
                   disposable->addDisposable(scheduler->afterDelaySchedule(interval, std::move(block)));
               };
               disposable->addDisposable(rx_detail::subscribeNextErrorCompleted(
                   self,
                   [schedule, subscriber](const id& value) {
                       schedule([subscriber, value] { subscriber->sendNext(value); });
                   },
                   [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
                   [schedule, subscriber] { schedule([subscriber] { subscriber->sendCompleted(); }); }));
               return disposable;
           })
        ->named("[%@] -delay: %f", name(), interval);
}

Ref<RXSignal> RXSignal::throttle(NSTimeInterval interval) {
    return throttleValuesPassingTest(interval, [](const id&) { return true; })
        ->named("[%@] -throttle: %f", name(), interval);
}

namespace {
struct ThrottleState {
    std::recursive_mutex lock;
    id pending;
    bool hasPending = false;
    Ref<RXSerialDisposable> timer = make<RXSerialDisposable>();
    Ref<RXSubscriber> subscriber;

    // With the lock held: cancels the waiting flush and sends (or drops) the pending value.
    void flush(bool send) {
        if (Ref<RXDisposable> waiting = timer->swapInDisposable(nullptr)) {
            waiting->dispose();
        }
        if (!hasPending) {
            return;
        }
        id value = std::move(pending);
        pending = nullptr;
        hasPending = false;
        if (send) {
            subscriber->sendNext(value);
        }
    }
};
} // namespace

Ref<RXSignal> RXSignal::throttleValuesPassingTest(NSTimeInterval interval,
                                                  std::function<bool(const id& value)> predicate) {
    Ref<RXSignal> self(this);
    return createSignal([self, interval, predicate](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto disposable = make<RXCompoundDisposable>();
               Ref<RXScheduler> background = RXScheduler::scheduler();
               auto state = std::make_shared<ThrottleState>();
               state->subscriber = subscriber;
               disposable->addDisposable(state->timer);
               disposable->addDisposable(rx_detail::subscribeNextErrorCompleted(
                   self,
                   [state, background, interval, predicate](const id& value) {
                       Ref<RXScheduler> scheduler = RXScheduler::currentScheduler();
                       if (!scheduler) {
                           scheduler = background;
                       }
                       bool passes = predicate ? predicate(value) : true;
                       std::lock_guard<std::recursive_mutex> guard(state->lock);
                       state->flush(false);
                       if (!passes) {
                           state->subscriber->sendNext(value);
                           return;
                       }
                       state->pending = value;
                       state->hasPending = true;
                       std::weak_ptr<ThrottleState> weakState = state;
                       state->timer->setDisposable(scheduler->afterDelaySchedule(interval, [weakState] {
                           if (auto state = weakState.lock()) {
                               std::lock_guard<std::recursive_mutex> guard(state->lock);
                               state->flush(true);
                           }
                       }));
                   },
                   [disposable, subscriber](const Ref<NSError>& error) {
                       disposable->dispose();
                       subscriber->sendError(error);
                   },
                   [state, subscriber] {
                       {
                           std::lock_guard<std::recursive_mutex> guard(state->lock);
                           state->flush(true);
                       }
                       subscriber->sendCompleted();
                   }));
               return disposable;
           })
        ->named("[%@] -throttle: %f valuesPassingTest:", name(), interval);
}

namespace {
struct BufferState {
    std::recursive_mutex lock;
    std::vector<id> values; // nil as RXTupleNil
    Ref<RXSerialDisposable> timer = make<RXSerialDisposable>();
    Ref<RXSubscriber> subscriber;

    void flush() {
        std::lock_guard<std::recursive_mutex> guard(lock);
        if (Ref<RXDisposable> waiting = timer->swapInDisposable(nullptr)) {
            waiting->dispose();
        }
        if (values.empty()) {
            return;
        }
        auto tuple = RXTuple::tupleWithObjectsFromArray(make<NSArray>(std::move(values)));
        values.clear();
        subscriber->sendNext(tuple);
    }
};
} // namespace

Ref<RXSignal> RXSignal::bufferWithTimeOnScheduler(NSTimeInterval interval, const Ref<RXScheduler>& scheduler) {
    requireScheduler(scheduler, "-bufferWithTime:onScheduler:");
    Ref<RXSignal> self(this);
    return createSignal([self, interval, scheduler](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto state = std::make_shared<BufferState>();
               state->subscriber = subscriber;
               Ref<RXDisposable> source = rx_detail::subscribeNextErrorCompleted(
                   self,
                   [state, scheduler, interval](const id& value) {
                       std::lock_guard<std::recursive_mutex> guard(state->lock);
                       if (state->values.empty()) {
                           std::weak_ptr<BufferState> weakState = state;
                           state->timer->setDisposable(scheduler->afterDelaySchedule(interval, [weakState] {
                               if (auto state = weakState.lock()) {
                                   state->flush();
                               }
                           }));
                       }
                       state->values.push_back(RXTupleNil::wrap(value));
                   },
                   [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
                   [state, subscriber] {
                       state->flush();
                       subscriber->sendCompleted();
                   });
               return RXDisposable::disposableWithBlock([source, state] {
                   rx_detail::dispose(source);
                   state->timer->dispose();
               });
           })
        ->named("[%@] -bufferWithTime: %f onScheduler: %@", name(), interval, scheduler);
}

Ref<RXSignal> RXSignal::deliverOn(const Ref<RXScheduler>& scheduler) {
    requireScheduler(scheduler, "-deliverOn:");
    Ref<RXSignal> self(this);
    return createSignal([self, scheduler](const Ref<RXSubscriber>& subscriber) {
               return rx_detail::subscribeNextErrorCompleted(
                   self,
                   [scheduler, subscriber](const id& value) {
                       scheduler->schedule([subscriber, value] { subscriber->sendNext(value); });
                   },
                   [scheduler, subscriber](const Ref<NSError>& error) {
                       scheduler->schedule([subscriber, error] { subscriber->sendError(error); });
                   },
                   [scheduler, subscriber] { scheduler->schedule([subscriber] { subscriber->sendCompleted(); }); });
           })
        ->named("[%@] -deliverOn: %@", name(), scheduler);
}

Ref<RXSignal> RXSignal::subscribeOn(const Ref<RXScheduler>& scheduler) {
    requireScheduler(scheduler, "-subscribeOn:");
    Ref<RXSignal> self(this);
    return createSignal([self, scheduler](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto disposable = make<RXCompoundDisposable>();
               disposable->addDisposable(scheduler->schedule(
                   [self, subscriber, disposable] { disposable->addDisposable(self->subscribe(subscriber)); }));
               return disposable;
           })
        ->named("[%@] -subscribeOn: %@", name(), scheduler);
}

Ref<RXSignal> RXSignal::deliverOnMainThread() {
    Ref<RXSignal> self(this);
    return createSignal([self](const Ref<RXSubscriber>& subscriber) {
               // Deliveries under way: an event goes out synchronously only on the main thread with
               // nothing queued before it, so the order of events is kept.
               auto queueLength = std::make_shared<std::atomic<int32_t>>(0);
               auto deliver = [queueLength](std::function<void()> event) {
                   int32_t length = queueLength->fetch_add(1, std::memory_order_acq_rel) + 1;
                   if (length == 1 && NSThread::isMainThread()) {
                       event();
                       queueLength->fetch_sub(1, std::memory_order_acq_rel);
                   } else {
                       dispatch_async(dispatch_get_main_queue(), [queueLength, event = std::move(event)] {
                           event();
                           queueLength->fetch_sub(1, std::memory_order_acq_rel);
                       });
                   }
               };
               return rx_detail::subscribeNextErrorCompleted(
                   self,
                   [deliver, subscriber](const id& value) {
                       deliver([subscriber, value] { subscriber->sendNext(value); });
                   },
                   [deliver, subscriber](const Ref<NSError>& error) {
                       deliver([subscriber, error] { subscriber->sendError(error); });
                   },
                   [deliver, subscriber] { deliver([subscriber] { subscriber->sendCompleted(); }); });
           })
        ->named("[%@] -deliverOnMainThread", name());
}
