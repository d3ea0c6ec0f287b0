// RXSignal operators that collect values, turn events into values and back, test values, group a
// signal by key and bind a signal to a key path of an object.
#include <Reactive/RXSignal.h>

#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXBlockTrampoline.h>
#include <Reactive/RXEvent.h>
#include <Reactive/RXGroupedSignal.h>
#include <Reactive/RXOperatorSubscriber.h>
#include <Reactive/RXSignalSequence.h>
#include <Reactive/RXTuple.h>

#include <mutex>
#include <vector>

namespace {
using Op = rx_detail::OperatorSubscriberBase;

struct CollectStep {
    Ref<NSMutableArray> collected = NSMutableArray::array();
    void next(const id& value, Op&) { collected->addObject(value ? value : id(NSNull::null())); }
    void completed(Op& op) {
        op.forwardNext(collected);
        op.forwardCompleted();
    }
};

struct MaterializeStep {
    void next(const id& value, Op& op) { op.forwardNext(RXEvent::eventWithValue(value)); }
    void error(const Ref<NSError>& error, Op& op) {
        op.forwardNext(RXEvent::eventWithError(error));
        op.forwardCompleted();
    }
    void completed(Op& op) {
        op.forwardNext(RXEvent::completedEvent());
        op.forwardCompleted();
    }
};
} // namespace

Ref<RXSignal> RXSignal::collect() {
    return rx_detail::operatorSignal(Ref<RXSignal>(this), [] { return CollectStep{}; })->named("[%@] -collect", name());
}

Ref<NSArray> RXSignal::toArray() {
    bool success = false;
    id collected = collect()->firstOrDefaultSuccessError(nullptr, &success, nullptr);
    auto array = cast<NSArray>(collected);
    return success && array ? cast<NSArray>(array->copy()) : nullptr;
}

Ref<RXSignal> RXSignal::materialize() {
    return rx_detail::operatorSignal(Ref<RXSignal>(this), [] { return MaterializeStep{}; })
        ->named("[%@] -materialize", name());
}

Ref<RXSignal> RXSignal::dematerialize() {
    return bind([] {
               return [](const id& value, bool* stop) -> Ref<RXSignal> {
                   auto event = cast<RXEvent>(value);
                   if (!event) {
                       NSException::raise(NSInvalidArgumentException,
                                          "-dematerialize: " + NSDescription(value)->str() + " is not an RXEvent");
                   }
                   switch (event->eventType()) {
                   case RXEventTypeCompleted:
                       *stop = true;
                       return RXSignal::empty();
                   case RXEventTypeError:
                       *stop = true;
                       return RXSignal::error(event->error());
                   case RXEventTypeNext:
                       break;
                   }
                   return RXSignal::return_(event->value());
               };
           })
        ->named("[%@] -dematerialize", name());
}

Ref<RXSignal> RXSignal::any() {
    return any([](const id&) { return true; })->named("[%@] -any", name());
}

Ref<RXSignal> RXSignal::any(std::function<bool(const id& value)> predicate) {
    return materialize()
        ->bind([predicate] {
            return [predicate](const id& value, bool* stop) -> Ref<RXSignal> {
                auto event = cast<RXEvent>(value);
                if (event->isFinished()) {
                    *stop = true;
                    return RXSignal::return_(NSNumber::numberWithBool(false));
                }
                if (predicate(event->value())) {
                    *stop = true;
                    return RXSignal::return_(NSNumber::numberWithBool(true));
                }
                return RXSignal::empty();
            };
        })
        ->named("[%@] -any:", name());
}

Ref<RXSignal> RXSignal::all(std::function<bool(const id& value)> predicate) {
    return materialize()
        ->bind([predicate] {
            return [predicate](const id& value, bool* stop) -> Ref<RXSignal> {
                auto event = cast<RXEvent>(value);
                if (event->eventType() == RXEventTypeCompleted) {
                    *stop = true;
                    return RXSignal::return_(NSNumber::numberWithBool(true));
                }
                if (event->eventType() == RXEventTypeError || !predicate(event->value())) {
                    *stop = true;
                    return RXSignal::return_(NSNumber::numberWithBool(false));
                }
                return RXSignal::empty();
            };
        })
        ->named("[%@] -all:", name());
}

Ref<RXSignal> RXSignal::reduceApply() {
    return map([](const id& value) -> id {
               auto tuple = cast<RXTuple>(value);
               if (!tuple || tuple->count() == 0) {
                   NSException::raise(NSInvalidArgumentException,
                                      "-reduceApply: " + NSDescription(value)->str() + " is not a tuple with a block");
               }
               auto trampoline = cast<RXBlockTrampoline>(tuple->objectAtIndex(0));
               if (!trampoline) {
                   NSException::raise(NSInvalidArgumentException, "-reduceApply: the first element of " +
                                                                      NSDescription(value)->str() +
                                                                      " is not an RXBlockTrampoline");
               }
               const auto& elements = tuple->backingArray()->objects();
               auto arguments = RXTuple::tupleWithObjectsFromArray(
                   NSArray::arrayWithVector(std::vector<id>(elements.begin() + 1, elements.end())));
               return trampoline->invokeWithArguments(arguments);
           })
        ->named("[%@] -reduceApply", name());
}

namespace {
struct Groups {
    std::recursive_mutex lock;
    Ref<NSMutableDictionary> byKey = NSMutableDictionary::dictionary();
    std::vector<Ref<RXGroupedSignal>> inOrder;

    std::vector<Ref<RXGroupedSignal>> snapshot() {
        std::lock_guard<std::recursive_mutex> guard(lock);
        return inOrder;
    }
};
} // namespace

Ref<RXSignal> RXSignal::groupByTransform(std::function<id(const id& value)> keyBlock,
                                         std::function<id(const id& value)> transformBlock) {
    Ref<RXSignal> self(this);
    return createSignal([self, keyBlock, transformBlock](const Ref<RXSubscriber>& subscriber) {
               auto groups = std::make_shared<Groups>();
               return rx_detail::subscribeNextErrorCompleted(
                   self,
                   [groups, keyBlock, transformBlock, subscriber](const id& value) {
                       id key = keyBlock(value);
                       id lookup = key ? key : id(NSNull::null());
                       Ref<RXGroupedSignal> group;
                       {
                           std::lock_guard<std::recursive_mutex> guard(groups->lock);
                           group = cast<RXGroupedSignal>(groups->byKey->objectForKey(lookup));
                           if (!group) {
                               group = RXGroupedSignal::signalWithKey(key);
                               groups->byKey->setObjectForKey(group, lookup->copy());
                               groups->inOrder.push_back(group);
                               subscriber->sendNext(group);
                           }
                       }
                       group->sendNext(transformBlock ? transformBlock(value) : value);
                   },
                   [groups, subscriber](const Ref<NSError>& error) {
                       subscriber->sendError(error);
                       for (const auto& group : groups->snapshot()) {
                           group->sendError(error);
                       }
                   },
                   [groups, subscriber] {
                       subscriber->sendCompleted();
                       for (const auto& group : groups->snapshot()) {
                           group->sendCompleted();
                       }
                   });
           })
        ->named("[%@] -groupBy:transform:", name());
}

Ref<RXSignal> RXSignal::groupBy(std::function<id(const id& value)> keyBlock) {
    return groupByTransform(std::move(keyBlock), nullptr)->named("[%@] -groupBy:", name());
}

Ref<RXDisposable> RXSignal::setKeyPathOnObjectNilValue(const Ref<NSString>& keyPath, const id& object,
                                                       const id& nilValue) {
    if (!keyPath || !object) {
        NSException::raise(NSInvalidArgumentException, "-setKeyPath:onObject:nilValue: needs a key path and an object");
    }
    Ref<NSString> path = cast<NSString>(keyPath->copy());
    auto disposable = RXCompoundDisposable::compoundDisposable();
    // The binding holds the object weakly: a value arriving while the object deallocates is dropped,
    // never written into a dying object.
    auto target = std::make_shared<Weak<NSObject>>(object);
    auto targetLock = std::make_shared<std::mutex>();
    auto currentTarget = [target, targetLock]() -> Ref<NSObject> {
        std::lock_guard<std::mutex> guard(*targetLock);
        return target->lock();
    };
    Weak<RXSignal> weakSelf(this);
    Ref<RXDisposable> subscription = subscribeNextErrorCompleted(
        [currentTarget, path, nilValue](const id& value) {
            if (Ref<NSObject> o = currentTarget()) {
                o->setValueForKeyPath(value ? value : nilValue, path);
            }
        },
        [weakSelf, currentTarget, path, disposable](const Ref<NSError>& error) {
            NSLog("Received error from %@ in binding for key path \"%@\" on %@: %@", weakSelf.lock(), path,
                  currentTarget(), error);
            disposable->dispose();
        },
        [disposable] { disposable->dispose(); });
    disposable->addDisposable(subscription);
    disposable->addDisposable(RXDisposable::disposableWithBlock([target, targetLock] {
        std::lock_guard<std::mutex> guard(*targetLock);
        *target = nullptr;
    }));
    rx_addDeallocDisposable(object, disposable);
    Weak<NSObject> weakObject(object);
    return RXDisposable::disposableWithBlock([weakObject, disposable] {
        if (Ref<NSObject> o = weakObject.lock()) {
            rx_deallocDisposable(o)->removeDisposable(disposable);
        }
        disposable->dispose();
    });
}

Ref<RXDisposable> RXSignal::setKeyPathOnObject(const Ref<NSString>& keyPath, const id& object) {
    return setKeyPathOnObjectNilValue(keyPath, object, nullptr);
}

Ref<RXSequence> RXSignal::sequence() {
    Ref<RXSequence> result = RXSignalSequence::sequenceWithSignal(Ref<RXSignal>(this));
    result->setNameWithFormat("[%@] -sequence", name());
    return result;
}
