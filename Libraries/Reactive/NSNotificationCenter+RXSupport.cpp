#include <Reactive/NSNotificationCenter+RXSupport.h>

Ref<RXSignal> rx_addObserverForNameObject(const Ref<NSNotificationCenter>& center, const Ref<NSString>& name,
                                          const id& object) {
    if (!center) {
        NSException::raise(NSInvalidArgumentException, "rx_addObserverForName:object: needs a notification center");
    }
    Ref<NSString> notificationName = name ? cast<NSString>(name->copy()) : nullptr;
    // The sender is never retained: the center matches it by identity while it lives.
    Weak<NSObject> sender(object);
    bool anySender = !object;
    return RXSignal::createSignal(
               [center, notificationName, sender, anySender](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
                   id target = anySender ? nullptr : id(sender.lock());
                   if (!anySender && !target) {
                       // The sender is already gone: nothing it posts can arrive.
                       return nullptr;
                   }
                   id token = center->addObserverForNameObjectQueueUsingBlock(
                       notificationName, target, nullptr,
                       [subscriber](const Ref<NSNotification>& notification) { subscriber->sendNext(notification); });
                   // The center holds this subscription's block until the registration is removed; the
                   // removal holds the center weakly, so that a center nobody else keeps is freed with
                   // its registrations.
                   Weak<NSNotificationCenter> weakCenter(center);
                   return RXDisposable::disposableWithBlock([weakCenter, token] {
                       if (Ref<NSNotificationCenter> c = weakCenter.lock()) {
                           c->removeObserver(token);
                       }
                   });
               })
        ->named("-rx_addObserverForName: %@ object: <%@: %p>", notificationName,
                object ? NSStringFromClass(object->getClass()) : NSString::from("(null)"),
                static_cast<const void*>(object.get()));
}
