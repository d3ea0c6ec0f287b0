#include <Reactive/NSArray+RXSequenceAdditions.h>

#include <Reactive/RXArraySequence.h>
#include <Reactive/RXIndexSetSequence.h>
#include <Reactive/RXStringSequence.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXTupleNil.h>

Ref<RXSequence> rx_sequence(const Ref<NSArray>& array) {
    return RXArraySequence::sequenceWithArrayOffset(array, 0);
}

Ref<RXSequence> rx_sequence(const Ref<NSString>& string) {
    return RXStringSequence::sequenceWithStringOffset(string, 0);
}

Ref<RXSequence> rx_sequence(const Ref<NSIndexSet>& indexSet) {
    return RXIndexSetSequence::sequenceWithIndexSet(indexSet);
}

Ref<RXSequence> rx_sequence(const Ref<NSSet>& set) {
    return rx_sequence(set ? set->allObjects() : nullptr);
}

Ref<RXSequence> rx_sequence(const Ref<NSDictionary>& dictionary) {
    Ref<NSDictionary> copy = dictionary ? cast<NSDictionary>(dictionary->copy()) : NSDictionary::dictionary();
    return rx_sequence(copy->allKeys())->map([copy](const id& key) -> id {
        return RXTuple::tupleWithObjectsFromArray(
            NSArray::arrayWithObjects({RXTupleNil::wrap(key), RXTupleNil::wrap(copy->objectForKey(key))}));
    });
}

Ref<RXSequence> rx_keySequence(const Ref<NSDictionary>& dictionary) {
    return rx_sequence(dictionary ? dictionary->allKeys() : nullptr);
}

Ref<RXSequence> rx_valueSequence(const Ref<NSDictionary>& dictionary) {
    return rx_sequence(dictionary ? dictionary->allValues() : nullptr);
}
