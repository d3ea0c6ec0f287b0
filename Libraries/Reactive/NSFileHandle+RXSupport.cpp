#include <Reactive/NSFileHandle+RXSupport.h>

#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXScheduler.h>

Ref<RXReplaySubject> rx_readInBackground(const Ref<NSFileHandle>& handle) {
    auto subject = RXReplaySubject::subject();
    subject->setNameWithFormat("%@ -rx_readInBackground", rx_description(handle));
    if (!handle) {
        subject->sendCompleted();
        return subject;
    }
    // The platform has no background-read notification: each chunk is one scheduled read, and the
    // next read is scheduled only after the chunk has been sent.
    Ref<RXScheduler> scheduler = RXScheduler::scheduler();
    scheduler->scheduleRecursiveBlock([subject, handle](const std::function<void()>& reschedule) {
        Ref<NSError> error;
        Ref<NSData> chunk = handle->availableDataError(&error);
        if (!chunk) {
            subject->sendError(error);
            return;
        }
        if (chunk->length() == 0) {
            subject->sendCompleted();
            return;
        }
        subject->sendNext(chunk);
        reschedule();
    });
    return subject;
}
