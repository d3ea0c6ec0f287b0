// Key-value observing. (First cut: registration and direct notification; key paths and the
// Prior/to-many forms are filled in with the observing work.)
#include <Runtime/ClassBuilder.h>
#include <Runtime/ObjectExtras.h>

#include <Foundation/NSDictionary.h>

using namespace objc_detail;

namespace objc_detail {
struct KVOState {};
void destroyKVOState(KVOState* state) noexcept {
    delete state;
}
} // namespace objc_detail

const Ref<NSString>& NSKeyValueChangeKindKey() {
    static const Ref<NSString> key = NSString::from("kind");
    return key;
}
const Ref<NSString>& NSKeyValueChangeNewKey() {
    static const Ref<NSString> key = NSString::from("new");
    return key;
}
const Ref<NSString>& NSKeyValueChangeOldKey() {
    static const Ref<NSString> key = NSString::from("old");
    return key;
}
const Ref<NSString>& NSKeyValueChangeIndexesKey() {
    static const Ref<NSString> key = NSString::from("indexes");
    return key;
}
const Ref<NSString>& NSKeyValueChangeNotificationIsPriorKey() {
    static const Ref<NSString> key = NSString::from("notificationIsPrior");
    return key;
}

bool NSObject::hasKeyValueObservers() const noexcept {
    ObjectExtras* x = extrasIfAny();
    return x && x->kvo;
}

void NSObject::changeValueForKeySlow(const char* key, const std::function<void()>& apply) {
    auto k = NSString::from(key);
    bool automatic = getClass()->automaticallyNotifiesObserversForKey(key);
    if (automatic) {
        willChangeValueForKey(k);
    }
    apply();
    if (automatic) {
        didChangeValueForKey(k);
    }
}

void NSObject::addObserverForKeyPathOptionsContext(NSObject*, const Ref<NSString>&, NSKeyValueObservingOptions, void*) {
}
void NSObject::removeObserverForKeyPathContext(NSObject*, const Ref<NSString>&, void*) {}
void NSObject::removeObserverForKeyPath(NSObject*, const Ref<NSString>&) {}
void NSObject::observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>&, const id&, const Ref<NSDictionary>&,
                                                           void*) {}
void NSObject::willChangeValueForKey(const Ref<NSString>&) {}
void NSObject::didChangeValueForKey(const Ref<NSString>&) {}
void NSObject::willChangeValuesAtIndexesForKey(NSKeyValueChange, const Ref<NSIndexSet>&, const Ref<NSString>&) {}
void NSObject::didChangeValuesAtIndexesForKey(NSKeyValueChange, const Ref<NSIndexSet>&, const Ref<NSString>&) {}
