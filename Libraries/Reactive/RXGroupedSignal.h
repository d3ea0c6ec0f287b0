// RXGroupedSignal: a subject with a key, made by the grouping operator for each group.
#pragma once

#include <Reactive/RXSubject.h>

class RXGroupedSignal : public RXSubject {
    NS_OBJECT(RXGroupedSignal, RXSubject)
public:
    RXGroupedSignal() = default;

    // A new grouped signal with a copy of the key.
    static Ref<RXGroupedSignal> signalWithKey(const id& key);

    const id& key() const noexcept { return key_; }

private:
    id key_;
};
