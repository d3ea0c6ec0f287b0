#include <Reactive/NSObject+RXKVOWrapper.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSNumber.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSString+RXKeyPathUtilities.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXKVOTrampoline.h>
#include <Reactive/RXSerialDisposable.h>

#include <memory>

namespace {

// A change dictionary made here: kind Setting and the new value (NSNull for nil).
Ref<NSDictionary> settingChange(const id& value) {
    return NSDictionary::dictionaryWithEntries({
        {NSKeyValueChangeKindKey(), NSNumber::numberWithUnsignedInteger(NSKeyValueChangeSetting)},
        {NSKeyValueChangeNewKey(), value ? value : id(NSNull::null())},
    });
}

// Whether the receiver's class declares `key` as a weak object property (not a block, not a
// protocol): the deallocation of its value is then reported.
bool watchesDeallocation(const id& receiver, const Ref<NSString>& key) {
    const ObjCProperty* property = class_getProperty(receiver->getClass(), key->str());
    if (!property || !property->weak) {
        return false;
    }
    bool isObject = !property->className.empty() || (!property->type.empty() && property->type[0] == '@');
    bool isBlock = property->type == "@?";
    return isObject && !isBlock && property->className != "Protocol";
}

struct Observation {
    Ref<NSString> keyPath;
    Ref<NSString> head;
    Ref<NSString> tail; // nil for one component
    bool oneComponent = true;
    NSKeyValueObservingOptions options = 0;
    Weak<NSObject> observer;
    bool watchDeallocation = false;
    RXKVOObservationBlock block;
    Ref<RXSerialDisposable> serial; // holds a compound of what is attached to the head's value

    Ref<RXCompoundDisposable> current() const { return cast<RXCompoundDisposable>(serial->disposable()); }

    // Reports the value's deallocation (when watched), and forgets that when the value is left.
    void attachToValue(const id& value) {
        if (!watchDeallocation || !value) {
            return;
        }
        Ref<NSObject> observerNow = observer.lock();
        if (observerNow.get() == value.get()) {
            return;
        }
        auto compound = current();
        if (!compound) {
            return;
        }
        auto callback = block;
        bool one = oneComponent;
        auto onDealloc = RXDisposable::disposableWithBlock(
            [callback, one] { callback(nullptr, settingChange(nullptr), true, one); });
        rx_addDeallocDisposable(value, onDealloc);
        Weak<NSObject> weakValue(value);
        compound->addDisposable(RXDisposable::disposableWithBlock([weakValue, onDealloc] {
            if (Ref<NSObject> v = weakValue.lock()) {
                rx_deallocDisposable(v)->removeDisposable(onDealloc);
            }
        }));
    }

    // Observes the rest of the key path on the head's value.
    void observeRest(const id& value) {
        if (oneComponent || !value) {
            return;
        }
        auto compound = current();
        if (!compound) {
            return;
        }
        compound->addDisposable(rx_observeKeyPathOptionsObserverBlock(
            value, tail, options & ~NSKeyValueObservingOptionInitial, observer.lock(), block));
    }

    void headChanged(const id& target, const Ref<NSDictionary>& change) {
        if (auto prior = cast<NSNumber>(change->objectForKey(NSKeyValueChangeNotificationIsPriorKey()));
            prior && prior->boolValue()) {
            if (auto compound = current()) {
                compound->dispose();
            }
            if (options & NSKeyValueObservingOptionPrior) {
                block(target->valueForKeyPath(keyPath), change, false, oneComponent);
            }
            return;
        }
        id value = target->valueForKey(head);
        if (!value) {
            block(nullptr, change, false, oneComponent);
            return;
        }
        if (Ref<RXDisposable> old = serial->swapInDisposable(RXCompoundDisposable::compoundDisposable())) {
            old->dispose();
        }
        attachToValue(value);
        if (oneComponent) {
            block(value, change, false, true);
        } else {
            observeRest(value);
            block(value->valueForKeyPath(tail), change, false, false);
        }
    }
};

} // namespace

Ref<RXDisposable> rx_observeKeyPathOptionsObserverBlock(const id& receiver, const Ref<NSString>& keyPath,
                                                        NSKeyValueObservingOptions options, const id& observer,
                                                        RXKVOObservationBlock block) {
    Ref<NSArray> components = rx_keyPathComponents(keyPath);
    if (!receiver || !components || !block) {
        if (!components) {
            NSException::raise(NSInvalidArgumentException, "rx_observeKeyPath: needs a non-empty key path");
        }
        return RXDisposable::disposableWithBlock(nullptr);
    }
    auto observation = std::make_shared<Observation>();
    observation->keyPath = cast<NSString>(keyPath->copy());
    observation->head = cast<NSString>(components->objectAtIndex(0));
    observation->tail = rx_keyPathByDeletingFirstKeyPathComponent(observation->keyPath);
    observation->oneComponent = components->count() == 1;
    observation->options = options;
    observation->observer = observer;
    observation->watchDeallocation = watchesDeallocation(receiver, observation->head);
    observation->block = std::move(block);
    observation->serial =
        RXSerialDisposable::serialDisposableWithDisposable(RXCompoundDisposable::compoundDisposable());

    auto disposable = RXCompoundDisposable::compoundDisposable();
    disposable->addDisposable(observation->serial);

    NSKeyValueObservingOptions headOptions =
        (options & ~(NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionPrior)) |
        NSKeyValueObservingOptionPrior;
    disposable->addDisposable(rx_addObserverForKeyPathOptionsBlock(
        receiver, observer, observation->head, headOptions,
        [observation](const id& target, const id&, const Ref<NSDictionary>& change) {
            observation->headChanged(target, change);
        }));

    if (id value = receiver->valueForKey(observation->head)) {
        observation->attachToValue(value);
        observation->observeRest(value);
    }
    if (options & NSKeyValueObservingOptionInitial) {
        id value = receiver->valueForKeyPath(observation->keyPath);
        observation->block(value, settingChange(value), false, observation->oneComponent);
    }

    rx_addDeallocDisposable(observer, disposable);
    rx_addDeallocDisposable(receiver, disposable);

    Weak<NSObject> weakReceiver(receiver);
    Weak<NSObject> weakObserver(observer);
    return RXDisposable::disposableWithBlock([disposable, weakReceiver, weakObserver] {
        disposable->dispose();
        if (Ref<NSObject> r = weakReceiver.lock()) {
            rx_deallocDisposable(r)->removeDisposable(disposable);
        }
        if (Ref<NSObject> o = weakObserver.lock()) {
            rx_deallocDisposable(o)->removeDisposable(disposable);
        }
    });
}
