#include <SystemInfo/SIDisk.h>

#include <Foundation/NSFileManager.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>

NS_IMPLEMENT_CLASS(SIDisk, NSObject) {}

namespace {

int64_t fileSystemValue(const Ref<NSString>& key) {
    auto attributes = NSFileManager::defaultManager()->attributesOfFileSystemForPathError(NSHomeDirectory(), nullptr);
    auto value = attributes ? cast<NSNumber>(attributes->objectForKey(key)) : nullptr;
    return value ? value->longLongValue() : 0;
}

} // namespace

Ref<NSString> SIDisk::memoryFormatter(int64_t bytes) {
    double b = static_cast<double>(bytes);
    if (std::ldexp(b, -30) >= 1.0) {
        return NSString::stringWithFormat("%.2f GB", std::ldexp(b, -30));
    }
    if (std::ldexp(b, -20) >= 1.0) {
        return NSString::stringWithFormat("%.2f MB", std::ldexp(b, -20));
    }
    return NSString::stringWithFormat("%.2f bytes", b);
}

Ref<NSString> SIDisk::totalDiskSpace() {
    return memoryFormatter(fileSystemValue(NSFileSystemSize()));
}

Ref<NSString> SIDisk::freeDiskSpace() {
    return memoryFormatter(fileSystemValue(NSFileSystemFreeSize()));
}

Ref<NSString> SIDisk::usedDiskSpace() {
    return memoryFormatter(static_cast<int64_t>(usedDiskSpaceInBytes()));
}

double SIDisk::totalDiskSpaceInBytes() {
    return static_cast<double>(fileSystemValue(NSFileSystemSize()));
}

double SIDisk::freeDiskSpaceInBytes() {
    return static_cast<double>(fileSystemValue(NSFileSystemFreeSize()));
}

double SIDisk::usedDiskSpaceInBytes() {
    return std::trunc(totalDiskSpaceInBytes() - freeDiskSpaceInBytes());
}

double SIDisk::numberOfNodes() {
    return static_cast<double>(fileSystemValue(NSFileSystemNodes()));
}
