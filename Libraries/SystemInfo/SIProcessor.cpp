#include <SystemInfo/SIProcessor.h>

#include <Darwin/Darwin.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSProcessInfo.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(SIProcessor, NSObject) {}

NSInteger SIProcessor::processorsNumber() {
    return static_cast<NSInteger>(NSProcessInfo::processInfo()->processorCount());
}

NSInteger SIProcessor::activeProcessorsNumber() {
    return static_cast<NSInteger>(NSProcessInfo::processInfo()->activeProcessorCount());
}

double SIProcessor::cpuUsageForApp() {
    std::vector<darwin::thread_basic_info> threads;
    if (darwin::task_threads(&threads) != 0) {
        return -1.0;
    }
    float total = 0;
    for (const auto& thread : threads) {
        if (thread.flags & darwin::TH_FLAGS_IDLE) {
            continue;
        }
        total += static_cast<float>(thread.cpu_usage) / 1000.0f;
    }
    return total;
}

Ref<NSArray> SIProcessor::activeProcesses() {
    std::vector<darwin::kinfo_proc> table;
    if (darwin::processTable(&table) != 0) {
        return nullptr;
    }
    std::vector<id> entries;
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
        entries.push_back(
            NSDictionary::dictionaryWithEntries({{"ProcessID"_ns, NSString::stringWithFormat("%d", it->p_pid)},
                                                 {"ProcessName"_ns, NSString::from(it->p_comm)}}));
    }
    return NSArray::arrayWithVector(std::move(entries));
}

NSInteger SIProcessor::numberOfActiveProcesses() {
    auto processes = activeProcesses();
    return processes ? static_cast<NSInteger>(processes->count()) : 0;
}
