// RXTupleUnpackingTrampoline: assigns the elements of a tuple to variables, in order.
//
//     id a, b;
//     RXTupleUnpackingTrampoline::trampoline()->setObjectForKeyedSubscript(tuple, {&a, &b});
#pragma once

#include <Reactive/RXTuple.h>

#include <vector>

class RXTupleUnpackingTrampoline : public NSObject {
    NS_OBJECT(RXTupleUnpackingTrampoline, NSObject)
public:
    static const Ref<RXTupleUnpackingTrampoline>& trampoline();

    // Variable i receives element i (nil for nil elements and for indexes beyond the tuple).
    void setObjectForKeyedSubscript(const Ref<RXTuple>& tuple, const std::vector<id*>& variables) const;
};
