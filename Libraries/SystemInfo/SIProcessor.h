// SIProcessor: processor counts, the app's CPU use and the process list. Class operations only.
#pragma once

#include <Foundation/NSArray.h>

class SIProcessor : public NSObject {
    NS_OBJECT(SIProcessor, NSObject)
public:
    static NSInteger processorsNumber();
    static NSInteger activeProcessorsNumber();
    // The sum of the busy threads' CPU use of this process (1.0 is one processor); -1.0 when it
    // cannot be read.
    static double cpuUsageForApp();
    // Dictionaries {"ProcessID": "<pid>", "ProcessName": "<name>"}, last process of the table
    // first; nil when the table cannot be read.
    static Ref<NSArray> activeProcesses();
    static NSInteger numberOfActiveProcesses();
};
