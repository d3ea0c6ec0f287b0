// RXSubscriptingAssignmentTrampoline: binds a signal to a key path of a target by assignment. The
// C++ form of the library's `RX(TARGET, KEYPATH, NILVALUE)` macro is the RX macro below:
//
//     RX(label, "text") = textSignal;                 // nil values set nil
//     RX(button, "enabled", box(false)) = validSignal; // nil values set NO
//
// Each value of the signal is set on the target's key path, on the thread that delivers it, for as
// long as the target lives (the binding does not retain the target); see
// RXSignal::setKeyPathOnObjectNilValue. The assignment answers the binding's disposable.
#pragma once

#include <Reactive/RXSignal.h>

class RXSubscriptingAssignmentTrampoline : public NSObject {
    NS_OBJECT(RXSubscriptingAssignmentTrampoline, NSObject)
public:
    // `initWithTarget:nilValue:`. A trampoline with a nil target binds nothing.
    RXSubscriptingAssignmentTrampoline(const id& target, const id& nilValue);

    const id& target() const noexcept { return target_; }
    const id& nilValue() const noexcept { return nilValue_; }

    // `setObject:forKeyedSubscript:`: binds the signal to the key path of the target; nil when there
    // is no target or no signal.
    Ref<RXDisposable> setObjectForKeyedSubscript(const Ref<RXSignal>& signal, const Ref<NSString>& keyPath);

private:
    id target_;
    id nilValue_;
};

namespace rx_detail {
// The left-hand side of `RX(...) = signal`.
class RXKeyPathAssignment {
public:
    RXKeyPathAssignment(Ref<RXSubscriptingAssignmentTrampoline> trampoline, Ref<NSString> keyPath)
        : trampoline_(std::move(trampoline)), keyPath_(std::move(keyPath)) {}
    Ref<RXDisposable> operator=(const Ref<RXSignal>& signal) const {
        return trampoline_->setObjectForKeyedSubscript(signal, keyPath_);
    }

private:
    Ref<RXSubscriptingAssignmentTrampoline> trampoline_;
    Ref<NSString> keyPath_;
};

inline RXKeyPathAssignment keyPathAssignment(const id& target, const Ref<NSString>& keyPath,
                                             const id& nilValue = nullptr) {
    return RXKeyPathAssignment(make<RXSubscriptingAssignmentTrampoline>(target, nilValue), keyPath);
}
inline RXKeyPathAssignment keyPathAssignment(const id& target, const char* keyPath, const id& nilValue = nullptr) {
    return keyPathAssignment(target, NSString::from(keyPath), nilValue);
}
} // namespace rx_detail

// RX(TARGET, KEYPATH) or RX(TARGET, KEYPATH, NILVALUE), assigned a signal.
#define RX(...) ::rx_detail::keyPathAssignment(__VA_ARGS__)
