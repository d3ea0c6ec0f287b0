// RXReplaySubject: a subject that records the values it receives (up to a capacity) and its
// termination, and replays them to every later subscriber before live events.
#pragma once

#include <Reactive/RXSubject.h>

#include <deque>
#include <limits>
#include <mutex>

inline constexpr NSUInteger RXReplaySubjectUnlimitedCapacity = std::numeric_limits<NSUInteger>::max();

class RXReplaySubject : public RXSubject {
    NS_OBJECT(RXReplaySubject, RXSubject)
public:
    // `init`: unlimited capacity.
    explicit RXReplaySubject(NSUInteger capacity = RXReplaySubjectUnlimitedCapacity);

    static Ref<RXReplaySubject> replaySubjectWithCapacity(NSUInteger capacity);
    static Ref<RXReplaySubject> subject() { return make<RXReplaySubject>(); }

    NSUInteger capacity() const noexcept { return capacity_; }
    bool hasCompleted() const;
    bool hasError() const;
    Ref<NSError> error() const;
    // The recorded values (nil values as nil).
    std::vector<id> valuesReceived() const;

    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;
    void sendNext(const id& value) override;
    void sendError(const Ref<NSError>& error) override;
    void sendCompleted() override;

private:
    const NSUInteger capacity_;
    mutable std::recursive_mutex lock_; // serialises recording and replaying
    std::deque<id> valuesReceived_;     // nil as RXTupleNil
    bool hasCompleted_ = false;
    bool hasError_ = false;
    bool terminating_ = false; // a termination is recorded (it may still be on its way out)
    Ref<NSError> error_;
};
