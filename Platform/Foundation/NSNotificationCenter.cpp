#include <Foundation/NSBlockOperation.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <atomic>

NS_IMPLEMENT_CLASS(NSNotification, NSObject) {
    b.readonlyProperty("name", &NSNotification::name);
    b.readonlyProperty("object", &NSNotification::object);
    b.readonlyProperty("userInfo", &NSNotification::userInfo);
}
NS_IMPLEMENT_CLASS(NSNotificationCenter, NSObject) {}

// The token that addObserverForNameObjectQueueUsingBlock answers: only its identity matters.
class NSNotificationObserverToken : public NSObject {
    NS_OBJECT(NSNotificationObserverToken, NSObject)
};
NS_IMPLEMENT_CLASS(NSNotificationObserverToken, NSObject) {}

NSNotification::NSNotification(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo)
    : name_(name), object_(object), userInfo_(userInfo) {
    if (!name_) {
        NSException::raise(NSInvalidArgumentException, "NSNotification: the name cannot be nil");
    }
}

Ref<NSNotification> NSNotification::notificationWithNameObject(const Ref<NSString>& name, const id& object) {
    return make<NSNotification>(name, object, nullptr);
}

Ref<NSNotification> NSNotification::notificationWithNameObjectUserInfo(const Ref<NSString>& name, const id& object,
                                                                       const Ref<NSDictionary>& userInfo) {
    return make<NSNotification>(name, object, userInfo);
}

Ref<NSString> NSNotification::description() const {
    return NSString::stringWithFormat("<NSNotification %p {name = %@; object = %@; userInfo = %@}>",
                                      static_cast<const void*>(this), name_, object_, userInfo_);
}

id NSNotification::copy() const {
    return Ref<NSObject>(const_cast<NSNotification*>(this));
}

// MARK: - Center

struct NSNotificationCenter::Registration {
    Ref<NSString> name;        // nil: any name
    const void* object;        // nullptr: any sender; identity only, never dereferenced
    Weak<NSObject> objectWeak; // tells whether that sender is still the same object
    const void* observer;      // the observer object or the token, for removal
    Weak<NSObject> observerWeak;
    SEL selector;
    NSNotificationBlock block;
    Ref<NSOperationQueue> queue;
    std::atomic<bool> removed{false};

    bool matches(const Ref<NSNotification>& note) const {
        if (name && !name->isEqualToString(note->name())) {
            return false;
        }
        if (object) {
            return object == static_cast<const void*>(note->object().get()) && !objectWeak.expired();
        }
        return true;
    }
};

namespace {
void runOnQueue(const Ref<NSOperationQueue>& queue, std::function<void()> work);
} // namespace

Ref<NSNotificationCenter> NSNotificationCenter::defaultCenter() {
    // Never destroyed: threads that outlive main() may still post while the process exits.
    static const Ref<NSNotificationCenter>& center = *new Ref<NSNotificationCenter>(make<NSNotificationCenter>());
    return center;
}

void NSNotificationCenter::add(std::shared_ptr<Registration> registration) {
    std::lock_guard lock(lock_);
    registrations_.push_back(std::move(registration));
}

void NSNotificationCenter::addObserverSelectorNameObject(const id& observer, SEL selector, const Ref<NSString>& name,
                                                         const id& object) {
    if (!observer || selector.isNull()) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSNotificationCenter addObserver:selector:name:object:]: nil observer or selector");
    }
    auto r = std::make_shared<Registration>();
    r->name = name ? cast<NSString>(name->copy()) : nullptr;
    r->object = object.get();
    r->objectWeak = object;
    r->observer = observer.get();
    r->observerWeak = observer;
    r->selector = selector;
    add(std::move(r));
}

id NSNotificationCenter::addObserverForNameObjectQueueUsingBlock(const Ref<NSString>& name, const id& object,
                                                                 const Ref<NSOperationQueue>& queue,
                                                                 NSNotificationBlock block) {
    if (!block) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSNotificationCenter addObserverForName:object:queue:usingBlock:]: nil block");
    }
    auto token = make<NSNotificationObserverToken>();
    auto r = std::make_shared<Registration>();
    r->name = name ? cast<NSString>(name->copy()) : nullptr;
    r->object = object.get();
    r->objectWeak = object;
    r->observer = token.get();
    r->block = std::move(block);
    r->queue = queue;
    add(std::move(r));
    return token;
}

void NSNotificationCenter::removeMatching(const void* observer, const Ref<NSString>& name, const void* object) {
    std::vector<std::shared_ptr<Registration>> gone; // released outside the lock
    std::lock_guard lock(lock_);
    auto keep = registrations_.begin();
    for (auto it = registrations_.begin(); it != registrations_.end(); ++it) {
        auto& r = *it;
        bool match = r->observer == observer && (!name || (r->name && r->name->isEqualToString(name))) &&
                     (!object || r->object == object);
        if (match) {
            r->removed.store(true);
            gone.push_back(std::move(r));
        } else {
            if (keep != it) {
                *keep = std::move(r);
            }
            ++keep;
        }
    }
    registrations_.erase(keep, registrations_.end());
}

void NSNotificationCenter::removeObserver(const id& observer) {
    if (observer) {
        removeMatching(observer.get(), nullptr, nullptr);
    }
}

void NSNotificationCenter::removeObserverNameObject(const id& observer, const Ref<NSString>& name, const id& object) {
    if (observer) {
        removeMatching(observer.get(), name, object.get());
    }
}

bool NSNotificationCenter::hasObserversForName(const Ref<NSString>& name) {
    std::lock_guard lock(lock_);
    return std::any_of(registrations_.begin(), registrations_.end(), [&](const std::shared_ptr<Registration>& r) {
        return !r->removed.load() && (!r->name || (name && r->name->isEqualToString(name)));
    });
}

void NSNotificationCenter::postNotification(const Ref<NSNotification>& notification) {
    if (!notification) {
        NSException::raise(NSInvalidArgumentException, "-[NSNotificationCenter postNotification:]: nil notification");
    }
    std::vector<std::shared_ptr<Registration>> targets;
    {
        std::lock_guard lock(lock_);
        for (const auto& r : registrations_) {
            if (r->matches(notification)) {
                targets.push_back(r);
            }
        }
    }
    bool sawGoneObserver = false;
    for (const auto& r : targets) {
        if (r->removed.load()) {
            continue;
        }
        if (r->block) {
            if (r->queue) {
                runOnQueue(r->queue, [r, notification] {
                    if (!r->removed.load()) {
                        r->block(notification);
                    }
                });
            } else {
                r->block(notification);
            }
            continue;
        }
        auto observer = r->observerWeak.lock();
        if (!observer) {
            sawGoneObserver = true;
            continue;
        }
        if (r->selector.argumentCount() == 0) {
            observer->performSelector(r->selector);
        } else {
            observer->performSelectorWithObject(r->selector, notification);
        }
    }
    if (sawGoneObserver) {
        std::vector<std::shared_ptr<Registration>> gone;
        std::lock_guard lock(lock_);
        std::erase_if(registrations_, [&](const std::shared_ptr<Registration>& r) {
            if (!r->block && r->observerWeak.expired()) {
                gone.push_back(r);
                return true;
            }
            return false;
        });
    }
}

void NSNotificationCenter::postNotificationNameObject(const Ref<NSString>& name, const id& object) {
    postNotification(NSNotification::notificationWithNameObject(name, object));
}

void NSNotificationCenter::postNotificationNameObjectUserInfo(const Ref<NSString>& name, const id& object,
                                                              const Ref<NSDictionary>& userInfo) {
    postNotification(NSNotification::notificationWithNameObjectUserInfo(name, object, userInfo));
}

namespace {
// Runs `work` as an operation of `queue` and waits for it, as a post delivers synchronously; at once
// when this thread is already running that queue (waiting there would never end).
void runOnQueue(const Ref<NSOperationQueue>& queue, std::function<void()> work) {
    if (NSOperationQueue::currentQueue() == queue) {
        work();
        return;
    }
    auto operation = NSBlockOperation::blockOperationWithBlock(std::move(work));
    queue->addOperationsWaitUntilFinished(NSArray::arrayWithObjects({operation}), true);
}
} // namespace
