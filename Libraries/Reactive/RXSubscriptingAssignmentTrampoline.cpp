#include <Reactive/RXSubscriptingAssignmentTrampoline.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXSubscriptingAssignmentTrampoline, NSObject) {}

RXSubscriptingAssignmentTrampoline::RXSubscriptingAssignmentTrampoline(const id& target, const id& nilValue)
    : target_(target), nilValue_(nilValue) {}

Ref<RXDisposable> RXSubscriptingAssignmentTrampoline::setObjectForKeyedSubscript(const Ref<RXSignal>& signal,
                                                                                 const Ref<NSString>& keyPath) {
    if (!target_ || !signal) {
        return nullptr;
    }
    return signal->setKeyPathOnObjectNilValue(keyPath, target_, nilValue_);
}
