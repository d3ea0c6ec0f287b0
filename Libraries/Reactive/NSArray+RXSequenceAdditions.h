// `rx_sequence` of the collections and strings: their elements as a lazy RXSequence. Category
// methods of Foundation classes, as free functions taking the receiver first:
//
//     Ref<NSArray> enabled = rx_sequence(items)->filter([](const id& item) { ... })->array();
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSIndexSet.h>
#include <Foundation/NSSet.h>
#include <Foundation/NSString.h>
#include <Reactive/RXSequence.h>

// The array's elements (over a copy of the array).
Ref<RXSequence> rx_sequence(const Ref<NSArray>& array);
// The string's characters: one-unit strings by head and tail, whole composed characters by
// enumeration and `array`.
Ref<RXSequence> rx_sequence(const Ref<NSString>& string);
// The indexes, ascending, as NSNumbers.
Ref<RXSequence> rx_sequence(const Ref<NSIndexSet>& indexSet);
// The set's objects (in the set's enumeration order).
Ref<RXSequence> rx_sequence(const Ref<NSSet>& set);
// Over a copy of the dictionary: an RXTuple (key, value) per key, in the dictionary's order.
Ref<RXSequence> rx_sequence(const Ref<NSDictionary>& dictionary);
Ref<RXSequence> rx_keySequence(const Ref<NSDictionary>& dictionary);
Ref<RXSequence> rx_valueSequence(const Ref<NSDictionary>& dictionary);
// The mutable kinds, which would otherwise match more than one of the above.
inline Ref<RXSequence> rx_sequence(const Ref<NSMutableArray>& array) {
    return rx_sequence(Ref<NSArray>(array));
}
inline Ref<RXSequence> rx_sequence(const Ref<NSMutableDictionary>& dictionary) {
    return rx_sequence(Ref<NSDictionary>(dictionary));
}
