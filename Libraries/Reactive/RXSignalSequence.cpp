#include <Reactive/RXSignalSequence.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <mutex>

NS_IMPLEMENT_CLASS(RXSignalSequence, RXSequence) {}

Ref<RXSequence> RXSignalSequence::sequenceWithSignal(const Ref<RXSignal>& signal) {
    auto subject = RXReplaySubject::subject();
    if (signal) {
        signal->subscribe(subject);
    } else {
        subject->sendCompleted();
    }
    return make<RXSignalSequence>(subject);
}

id RXSignalSequence::head() const {
    id marker(const_cast<RXSignalSequence*>(this));
    id value = subject_->firstOrDefault(marker);
    if (value.get() == this) {
        return nullptr;
    }
    return value ? value : id(NSNull::null());
}

Ref<RXSequence> RXSignalSequence::tail() const {
    return sequenceWithSignal(subject_->skip(1))->withNameOf(this);
}

Ref<NSArray> RXSignalSequence::array() const {
    Ref<NSArray> values = subject_->toArray();
    return values ? values : NSArray::array();
}

Ref<NSString> RXSignalSequence::description() const {
    auto values = NSMutableArray::array();
    auto lock = std::make_shared<std::mutex>();
    Ref<RXDisposable> subscription = subject_->subscribeNext([values, lock](const id& value) {
        std::lock_guard<std::mutex> guard(*lock);
        values->addObject(value ? value : id(NSNull::null()));
    });
    if (subscription) {
        subscription->dispose();
    }
    std::lock_guard<std::mutex> guard(*lock);
    return NSString::stringWithFormat("<%@: %p>{ name = %@, values = %@ … }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name(), values);
}
