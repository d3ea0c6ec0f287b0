#include <SystemInfo/SIMemory.h>

#include <Darwin/Darwin.h>
#include <Foundation/NSProcessInfo.h>
#include <Runtime/ClassBuilder.h>

#include <functional>

NS_IMPLEMENT_CLASS(SIMemory, NSObject) {}

namespace {

double megabytes(const std::function<uint32_t(const darwin::vm_statistics&)>& pages) {
    darwin::vm_statistics statistics;
    if (darwin::host_statistics(&statistics) != 0) {
        return -1.0;
    }
    uint64_t bytes = darwin::vm_page_size() * static_cast<uint64_t>(pages(statistics));
    return static_cast<double>(bytes >> 20);
}

} // namespace

NSInteger SIMemory::totalMemory() {
    uint64_t m = NSProcessInfo::processInfo()->physicalMemory() >> 20;
    uint64_t low = m & 0xFF;
    m &= ~uint64_t{0xFF};
    if (low >= 128) {
        m += 256;
    }
    return static_cast<NSInteger>(m);
}

double SIMemory::freeMemory() {
    return megabytes([](const darwin::vm_statistics& s) { return s.free_count; });
}

double SIMemory::usedMemory() {
    return megabytes([](const darwin::vm_statistics& s) {
        return static_cast<uint32_t>(s.active_count + s.inactive_count + s.wire_count);
    });
}

double SIMemory::activeMemory() {
    return megabytes([](const darwin::vm_statistics& s) { return s.active_count; });
}

double SIMemory::wiredMemory() {
    return megabytes([](const darwin::vm_statistics& s) { return s.wire_count; });
}

double SIMemory::inactiveMemory() {
    return megabytes([](const darwin::vm_statistics& s) { return s.inactive_count; });
}
