// Copy-and-change operations on dictionaries.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSSet.h>

// A mutable copy of the receiver with the entries of `dictionary` added; those win on equal keys.
Ref<NSMutableDictionary> mm_dictionaryByAddingEntriesFromDictionary(const Ref<NSDictionary>& self,
                                                                    const Ref<NSDictionary>& dictionary);
// A mutable copy of the receiver without the given keys.
Ref<NSMutableDictionary> mm_dictionaryByRemovingValuesForKeys(const Ref<NSDictionary>& self, const Ref<NSArray>& keys);
// The older form of mm_dictionaryByRemovingValuesForKeys, with a set of keys.
Ref<NSMutableDictionary> mm_dictionaryByRemovingEntriesWithKeys(const Ref<NSDictionary>& self, const Ref<NSSet>& keys);
