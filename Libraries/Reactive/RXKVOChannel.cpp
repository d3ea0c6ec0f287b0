#include <Reactive/RXKVOChannel.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSThread.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/NSObject+RXKVOWrapper.h>
#include <Reactive/NSString+RXKeyPathUtilities.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXKVOChannel, RXChannel) {
    b.readonlyProperty("keyPath", &RXKVOChannel::keyPath);
}

namespace {
const Ref<NSString>& threadDataKey() {
    static const Ref<NSString> key = NSString::from("RXKVOChannelKey");
    return key;
}

Ref<NSMutableArray> threadDataArray(bool create) {
    Ref<NSMutableDictionary> dictionary = NSThread::currentThread()->threadDictionary();
    auto array = cast<NSMutableArray>(dictionary->objectForKey(threadDataKey()));
    if (!array && create) {
        array = NSMutableArray::array();
        dictionary->setObjectForKey(array, threadDataKey());
    }
    return array;
}
} // namespace

RXKVOChannel::RXKVOChannel(const id& target, const Ref<NSString>& keyPath, const id& nilValue)
    : target_(target), keyPath_(keyPath ? cast<NSString>(keyPath->copy()) : nullptr) {
    leadingTerminal()->setNameWithFormat("[-initWithTarget: %@ keyPath: %@ nilValue: %@] -leadingTerminal",
                                         rx_description(target), keyPath_, rx_description(nilValue));
    followingTerminal()->setNameWithFormat("[-initWithTarget: %@ keyPath: %@ nilValue: %@] -followingTerminal",
                                           rx_description(target), keyPath_, rx_description(nilValue));
    if (!target || target->isDeallocating() || !keyPath_) {
        leadingTerminal()->sendCompleted();
        return;
    }

    // The observation holds the channel: the channel lives as long as the observation does (until the
    // target goes or the leading terminal ends).
    Ref<RXKVOChannel> self(this);
    Ref<RXDisposable> observation = rx_observeKeyPathOptionsObserverBlock(
        target, keyPath_, NSKeyValueObservingOptionInitial, nullptr,
        [self](const id& value, const Ref<NSDictionary>&, bool causedByDealloc, bool affectedOnlyLastComponent) {
            if (!causedByDealloc && affectedOnlyLastComponent) {
                Ref<RXKVOChannelData> data = self->currentThreadData();
                if (data && data->ignoreNextUpdate()) {
                    self->destroyCurrentThreadData();
                    return;
                }
            }
            self->leadingTerminal()->sendNext(value);
        });

    Ref<NSString> path = keyPath_;
    Ref<NSString> lastKey = cast<NSString>(rx_keyPathComponents(path)->lastObject());
    Ref<NSString> ownerPath = rx_keyPathByDeletingLastKeyPathComponent(path);
    Weak<RXKVOChannel> weakSelf(this);
    leadingTerminal()
        ->finally([observation] { observation->dispose(); })
        ->subscribeNextError(
            [weakSelf, path, lastKey, ownerPath, nilValue](const id& value) {
                Ref<RXKVOChannel> channel = weakSelf.lock();
                Ref<NSObject> target = channel ? channel->target() : nullptr;
                if (!target) {
                    return;
                }
                id object = ownerPath ? target->valueForKeyPath(ownerPath) : id(target);
                if (!object) {
                    return;
                }
                // The mark covers exactly this write: the notification it causes arrives on this
                // thread before setValue returns. Clearing it afterwards keeps a write that notifies
                // nobody from swallowing a later, genuine change.
                channel->createCurrentThreadData();
                channel->currentThreadData()->setIgnoreNextUpdate(true);
                try {
                    object->setValueForKey(value ? value : nilValue, lastKey);
                } catch (...) {
                    channel->destroyCurrentThreadData();
                    throw;
                }
                channel->destroyCurrentThreadData();
            },
            [weakSelf](const Ref<NSError>& error) { NSLog("Received error in %@: %@", id(weakSelf.lock()), error); });

    // The terminal is held for this: the channel itself may be gone by then (the observation that
    // held it ends first), and its terminals' subscribers still have to hear the completion.
    Ref<RXChannelTerminal> leading = leadingTerminal();
    rx_addDeallocDisposable(target, RXDisposable::disposableWithBlock([weakSelf, leading] {
                                leading->sendCompleted();
                                if (Ref<RXKVOChannel> channel = weakSelf.lock()) {
                                    channel->clearTarget();
                                }
                            }));
}

Ref<NSObject> RXKVOChannel::target() const {
    std::lock_guard<std::mutex> guard(lock_);
    return target_.lock();
}

void RXKVOChannel::clearTarget() {
    std::lock_guard<std::mutex> guard(lock_);
    target_ = nullptr;
}

Ref<RXChannelTerminal> RXKVOChannel::objectForKeyedSubscript(const Ref<NSString>& key) {
    return cast<RXChannelTerminal>(valueForKey(key));
}

void RXKVOChannel::setObjectForKeyedSubscript(const Ref<RXChannelTerminal>& otherTerminal, const Ref<NSString>& key) {
    Ref<RXChannelTerminal> terminal = objectForKeyedSubscript(key);
    if (!terminal || !otherTerminal) {
        NSException::raise(NSInvalidArgumentException, "RXKVOChannel: no terminal to bind for the key " +
                                                           (key ? key->str() : std::string("(null)")));
    }
    terminal->subscribe(otherTerminal);
    otherTerminal->skip(1)->subscribe(terminal);
}

Ref<RXKVOChannelData> RXKVOChannel::currentThreadData() const {
    Ref<NSMutableArray> array = threadDataArray(false);
    if (!array) {
        return nullptr;
    }
    for (const id& entry : *array) {
        auto data = cast<RXKVOChannelData>(entry);
        if (data && data->owner() == this) {
            return data;
        }
    }
    return nullptr;
}

void RXKVOChannel::createCurrentThreadData() const {
    Ref<NSMutableArray> array = threadDataArray(true);
    for (const id& entry : *array) {
        auto data = cast<RXKVOChannelData>(entry);
        if (data && data->owner() == this) {
            return;
        }
    }
    array->addObject(RXKVOChannelData::dataForChannel(this));
}

void RXKVOChannel::destroyCurrentThreadData() const {
    Ref<NSMutableArray> array = threadDataArray(false);
    if (!array) {
        return;
    }
    for (NSUInteger i = array->count(); i-- > 0;) {
        auto data = cast<RXKVOChannelData>(array->objectAtIndex(i));
        if (data && data->owner() == this) {
            array->removeObjectAtIndex(i);
        }
    }
}
