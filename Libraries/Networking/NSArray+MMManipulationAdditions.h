// Copy-and-change operations on arrays.
#pragma once

#include <Foundation/NSArray.h>

// The first element, nil when empty.
id mm_firstObject(const Ref<NSArray>& self);
// A mutable copy without every element equal to `object`.
Ref<NSMutableArray> mm_arrayByRemovingObject(const Ref<NSArray>& self, const id& object);
// The receiver itself when empty, else a new array of the elements from index 1.
Ref<NSArray> mm_arrayByRemovingFirstObject(const Ref<NSArray>& self);
// The receiver itself when empty, else a new array of all elements but the last.
Ref<NSArray> mm_arrayByRemovingLastObject(const Ref<NSArray>& self);
