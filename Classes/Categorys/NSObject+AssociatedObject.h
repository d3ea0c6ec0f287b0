// One general-purpose object that any object can carry (retained, non-atomic).
#pragma once

#include <Runtime/NSObject.h>

// `-setAssociatedObject:`: stores `object` on `receiver` (nil removes it).
void setAssociatedObject(const id& receiver, const id& object);
// `-associatedObject`: the stored object, or nil.
id associatedObject(const id& receiver);
