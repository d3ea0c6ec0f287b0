// NSNotification and NSNotificationCenter: named broadcasts within the process.
//
// Posting is synchronous: every matching observer runs on the posting thread before the post
// returns (a block observer registered with an operation queue runs on that queue instead).
// Notification names are NSStrings; the platform's names are functions answering a shared string
// (NSUserDefaultsDidChangeNotification()), and an app's own names are `_ns` literals.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSOperationQueue.h>
#include <Foundation/NSString.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class NSNotification : public NSObject {
    NS_OBJECT(NSNotification, NSObject)
public:
    NSNotification(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo);

    static Ref<NSNotification> notificationWithNameObject(const Ref<NSString>& name, const id& object);
    static Ref<NSNotification> notificationWithNameObjectUserInfo(const Ref<NSString>& name, const id& object,
                                                                  const Ref<NSDictionary>& userInfo);

    const Ref<NSString>& name() const noexcept { return name_; }
    const id& object() const noexcept { return object_; }
    // nil when posted without one.
    const Ref<NSDictionary>& userInfo() const noexcept { return userInfo_; }

    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSString> name_;
    id object_;
    Ref<NSDictionary> userInfo_;
};

using NSNotificationBlock = std::function<void(const Ref<NSNotification>&)>;

class NSNotificationCenter : public NSObject {
    NS_OBJECT(NSNotificationCenter, NSObject)
public:
    NSNotificationCenter() = default;
    static Ref<NSNotificationCenter> defaultCenter();

    // Sends `selector` (taking the notification) to `observer` for each notification named `name`
    // (nil: any name) from `object` (nil: any sender). Neither the observer nor the object is
    // retained: an observer that has gone away is simply no longer called.
    void addObserverSelectorNameObject(const id& observer, SEL selector, const Ref<NSString>& name, const id& object);
    // Calls `block` for each matching notification: on the posting thread when `queue` is nil, else
    // as an operation on `queue`, the post waiting until it has run (at once when the posting thread
    // is already running that queue). The center keeps the block until the returned token is
    // removed with removeObserver.
    id addObserverForNameObjectQueueUsingBlock(const Ref<NSString>& name, const id& object,
                                               const Ref<NSOperationQueue>& queue, NSNotificationBlock block);

    // Removes every registration of `observer` (an observer object or a token from the block form).
    // A registration removed while a post is delivering, from an observer or another thread, is not
    // called afterwards by that post.
    void removeObserver(const id& observer);
    // Removes the registrations of `observer` for `name` and `object` (nil matches any).
    void removeObserverNameObject(const id& observer, const Ref<NSString>& name, const id& object);

    void postNotification(const Ref<NSNotification>& notification);
    void postNotificationNameObject(const Ref<NSString>& name, const id& object);
    void postNotificationNameObjectUserInfo(const Ref<NSString>& name, const id& object,
                                            const Ref<NSDictionary>& userInfo);
    // YES when a registration would take a notification of that name from some sender: one for
    // the name or one for any name. Lets a poster skip the work of handing a notification over to
    // another thread when nobody listens.
    bool hasObserversForName(const Ref<NSString>& name);

    struct Registration;

private:
    void add(std::shared_ptr<Registration> registration);
    void removeMatching(const void* observer, const Ref<NSString>& name, const void* object);

    std::mutex lock_;
    std::vector<std::shared_ptr<Registration>> registrations_;
};
