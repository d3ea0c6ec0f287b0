// Deprecated RXSignal operations, kept as part of the library's interface.
#include <Reactive/RXSignal.h>

#include <Reactive/RXOperatorSubscriber.h>

#include <Reactive/RXInternal.h>

#include <Foundation/NSError.h>
#include <Reactive/RXMulticastConnection.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSerialDisposable.h>
#include <Reactive/RXSubject.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXTupleNil.h>
#include <Reactive/RXUnit.h>

#include <mutex>

Ref<RXSignal> RXSignal::interval(NSTimeInterval interval) {
    return intervalOnScheduler(interval, RXScheduler::schedulerWithPriority(RXSchedulerPriorityHigh));
}

Ref<RXSignal> RXSignal::intervalWithLeeway(NSTimeInterval interval, NSTimeInterval leeway) {
    return intervalOnSchedulerWithLeeway(interval, RXScheduler::schedulerWithPriority(RXSchedulerPriorityHigh), leeway);
}

Ref<RXSignal> RXSignal::timeout(NSTimeInterval interval) {
    return timeoutOnScheduler(interval, RXScheduler::schedulerWithPriority(RXSchedulerPriorityHigh));
}

Ref<RXSignal> RXSignal::bufferWithTime(NSTimeInterval interval) {
    return bufferWithTimeOnScheduler(interval, RXScheduler::schedulerWithPriority(RXSchedulerPriorityHigh));
}

Ref<RXDisposable> RXSignal::toPropertyOnObject(const Ref<NSString>& keyPath, const id& object) {
    return setKeyPathOnObject(keyPath, object);
}

Ref<RXSignal> RXSignal::ignoreElements() {
    return ignoreValues();
}

Ref<RXSignal> RXSignal::sequenceNext(std::function<Ref<RXSignal>()> block) {
    return then(std::move(block));
}

Ref<RXSignal> RXSignal::aggregateWithStartCombine(const id& start,
                                                  std::function<id(const id& running, const id& next)> block) {
    return aggregateWithStartReduce(start, std::move(block));
}

Ref<RXSignal> RXSignal::aggregateWithStartFactoryCombine(std::function<id()> startFactory,
                                                         std::function<id(const id& running, const id& next)> block) {
    return aggregateWithStartFactoryReduce(std::move(startFactory), std::move(block));
}

namespace {
// The open window of one windowWithStart:close: subscription.
struct WindowState {
    std::recursive_mutex lock;
    Ref<RXSubject> window;
    Ref<RXDisposable> closeDisposable;

    void closeWindow() {
        Ref<RXSubject> closing;
        Ref<RXDisposable> closeSubscription;
        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            closing = std::move(window);
            window = nullptr;
            closeSubscription = std::move(closeDisposable);
            closeDisposable = nullptr;
        }
        if (closing) {
            closing->sendCompleted();
        }
        if (closeSubscription) {
            closeSubscription->dispose();
        }
    }
};
} // namespace

Ref<RXSignal> RXSignal::windowWithStartClose(const Ref<RXSignal>& openSignal,
                                             std::function<Ref<RXSignal>(const Ref<RXSubject>& window)> closeBlock) {
    Ref<RXSignal> self(this);
    return createSignal([self, openSignal, closeBlock](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto state = std::make_shared<WindowState>();
               std::weak_ptr<WindowState> weakState = state;
               Ref<RXDisposable> openDisposable =
                   openSignal->subscribe(RXBlockSubscriber::subscriberWithNextErrorCompleted(
                       [weakState, subscriber, closeBlock](const id&) {
                           auto state = weakState.lock();
                           if (!state) {
                               return;
                           }
                           Ref<RXSubject> window;
                           {
                               std::lock_guard<std::recursive_mutex> guard(state->lock);
                               if (state->window) {
                                   return;
                               }
                               window = RXSubject::subject();
                               state->window = window;
                           }
                           subscriber->sendNext(window);
                           Ref<RXSignal> closeSignal = closeBlock ? closeBlock(window) : nullptr;
                           if (!closeSignal) {
                               return;
                           }
                           auto close = [weakState] {
                               if (auto state = weakState.lock()) {
                                   state->closeWindow();
                               }
                           };
                           Ref<RXDisposable> closeSubscription = rx_detail::subscribeNextErrorCompleted(
                               closeSignal, [close](const id&) { close(); }, [close](const Ref<NSError>&) { close(); },
                               close);
                           std::lock_guard<std::recursive_mutex> guard(state->lock);
                           if (state->window == window) {
                               state->closeDisposable = closeSubscription;
                           } else {
                               closeSubscription->dispose(); // closed while subscribing
                           }
                       },
                       nullptr, nullptr));
               Ref<RXDisposable> selfDisposable = rx_detail::subscribeNextErrorCompleted(
                   self,
                   [state](const id& value) {
                       Ref<RXSubject> window;
                       {
                           std::lock_guard<std::recursive_mutex> guard(state->lock);
                           window = state->window;
                       }
                       if (window) {
                           window->sendNext(value);
                       }
                   },
                   [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
                   [subscriber] { subscriber->sendCompleted(); });
               return RXDisposable::disposableWithBlock([state, openDisposable, selfDisposable] {
                   Ref<RXDisposable> closeSubscription;
                   {
                       std::lock_guard<std::recursive_mutex> guard(state->lock);
                       closeSubscription = state->closeDisposable;
                   }
                   if (closeSubscription) {
                       closeSubscription->dispose();
                   }
                   rx_detail::dispose(openDisposable);
                   rx_detail::dispose(selfDisposable);
               });
           })
        ->named("[%@] -windowWithStart: %@ close:", name(), openSignal);
}

namespace {
struct BatchState {
    std::mutex lock;
    std::vector<id> values; // nil as RXTupleNil
    Ref<RXDisposable> windowDisposable;
};
} // namespace

Ref<RXSignal> RXSignal::buffer(NSUInteger count) {
    if (count == 0) {
        NSException::raise(NSInvalidArgumentException, "-buffer: the count must be at least 1");
    }
    Ref<RXSignal> self(this);
    return createSignal([self, count](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto state = std::make_shared<BatchState>();
               state->values.reserve(count);
               auto closeTrigger = RXSubject::subject();
               Ref<RXDisposable> closeDisposable =
                   rx_detail::subscribeNext(closeTrigger, [state, subscriber](const id&) {
                       std::vector<id> batch;
                       {
                           std::lock_guard<std::mutex> guard(state->lock);
                           batch.swap(state->values);
                       }
                       subscriber->sendNext(RXTuple::tupleWithObjectsFromArray(make<NSArray>(std::move(batch))));
                   });
               Ref<RXDisposable> windowsDisposable =
                   self->windowWithStartClose(self, [closeTrigger](const Ref<RXSubject>&) { return closeTrigger; })
                       ->subscribeNextErrorCompleted(
                           [state, closeTrigger, count](const id& value) {
                               auto window = cast<RXSubject>(value);
                               Ref<RXDisposable> windowSubscription =
                                   rx_detail::subscribeNext(window, [state, closeTrigger, count](const id& element) {
                                       bool full;
                                       {
                                           std::lock_guard<std::mutex> guard(state->lock);
                                           state->values.push_back(RXTupleNil::wrap(element));
                                           full = state->values.size() % count == 0;
                                       }
                                       if (full) {
                                           closeTrigger->sendNext(RXUnit::defaultUnit());
                                       }
                                   });
                               std::lock_guard<std::mutex> guard(state->lock);
                               state->windowDisposable = windowSubscription;
                           },
                           [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
                           [subscriber] { subscriber->sendCompleted(); });
               return RXDisposable::disposableWithBlock([state, windowsDisposable, closeDisposable] {
                   Ref<RXDisposable> windowDisposable;
                   {
                       std::lock_guard<std::mutex> guard(state->lock);
                       windowDisposable = state->windowDisposable;
                   }
                   if (windowDisposable) {
                       windowDisposable->dispose();
                   }
                   windowsDisposable->dispose();
                   closeDisposable->dispose();
               });
           })
        ->named("[%@] -buffer: %lu", name(), count);
}

Ref<RXSignal> RXSignal::let(std::function<Ref<RXSignal>(const Ref<RXSignal>& signal)> block) {
    Ref<RXSignal> self(this);
    return createSignal([self, block](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               Ref<RXMulticastConnection> connection = self->publish();
               Ref<RXSignal> signal = block ? block(connection->signal()) : nullptr;
               Ref<RXDisposable> subscription = signal ? signal->subscribe(subscriber) : nullptr;
               Ref<RXDisposable> connectionDisposable = connection->connect();
               return RXDisposable::disposableWithBlock([connectionDisposable, subscription] {
                   connectionDisposable->dispose();
                   if (subscription) {
                       subscription->dispose();
                   }
               });
           })
        ->named("[%@] -let:", name());
}
