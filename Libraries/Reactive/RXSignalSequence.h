// RXSignalSequence: the values of a signal as a sequence. Made with a replay subject subscribed at
// once to the signal; `head` blocks the calling thread until the signal sends its first value,
// completes or fails (so it must not be asked on the thread the signal needs in order to deliver).
// A nil value is given as NSNull; the sequence ends at completion or at an error.
#pragma once

#include <Reactive/RXReplaySubject.h>
#include <Reactive/RXSequence.h>

class RXSignalSequence : public RXSequence {
    NS_OBJECT(RXSignalSequence, RXSequence)
public:
    explicit RXSignalSequence(Ref<RXReplaySubject> subject) : subject_(std::move(subject)) {}

    static Ref<RXSequence> sequenceWithSignal(const Ref<RXSignal>& signal);

    const Ref<RXReplaySubject>& subject() const noexcept { return subject_; }

    id head() const override;
    Ref<RXSequence> tail() const override;
    // Blocks until the signal ends; empty when it failed.
    Ref<NSArray> array() const override;
    Ref<NSString> description() const override;

private:
    Ref<RXReplaySubject> subject_;
};
