// SIDisk: the sizes of the file system that holds the app's home folder. Class operations only.
#pragma once

#include <Foundation/NSString.h>

class SIDisk : public NSObject {
    NS_OBJECT(SIDisk, NSObject)
public:
    // "%.2f GB" from 2^30 bytes, "%.2f MB" from 2^20, else "%.2f bytes".
    static Ref<NSString> memoryFormatter(int64_t bytes);
    static Ref<NSString> totalDiskSpace();
    static Ref<NSString> freeDiskSpace();
    static Ref<NSString> usedDiskSpace();
    // Sizes that cannot be read count as 0.
    static double totalDiskSpaceInBytes();
    static double freeDiskSpaceInBytes();
    static double usedDiskSpaceInBytes();
    static double numberOfNodes();
};
