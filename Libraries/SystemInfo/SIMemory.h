// SIMemory: physical and virtual-memory figures in megabytes. Class operations only.
#pragma once

#include <Runtime/NSObject.h>

class SIMemory : public NSObject {
    NS_OBJECT(SIMemory, NSObject)
public:
    // The physical memory in whole megabytes, rounded to a multiple of 256.
    static NSInteger totalMemory();
    // Pages of each kind in megabytes; -1.0 when the statistics cannot be read.
    static double freeMemory();
    static double usedMemory(); // active + inactive + wired
    static double activeMemory();
    static double wiredMemory();
    static double inactiveMemory();
};
