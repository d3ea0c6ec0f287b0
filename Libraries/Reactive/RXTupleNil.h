// RXTupleNil: the placeholder that stands for nil inside an RXTuple (collections cannot hold nil).
#pragma once

#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSString.h>

class RXTupleNil : public NSObject, public NSSecureCoding {
    NS_OBJECT(RXTupleNil, NSObject)
public:
    // The shared instance.
    static const Ref<RXTupleNil>& tupleNil();
    id copy() const override;
    // Archives nothing; decoding answers the shared instance.
    void encodeWithCoder(NSCoder*) override {}

    // The value as a tuple element: nil becomes the placeholder.
    static id wrap(const id& value) { return value ? value : id(tupleNil()); }
    // The element as a value: the placeholder becomes nil.
    static id unwrap(const id& element) { return element.get() == tupleNil().get() ? id() : element; }
};
