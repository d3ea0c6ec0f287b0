// NSProcessInfo: the running process (environment, arguments, name, id) and the machine it runs on.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <cstdint>
#include <mutex>

class NSProcessInfo : public NSObject {
    NS_OBJECT(NSProcessInfo, NSObject)
public:
    static Ref<NSProcessInfo> processInfo();

    // The environment variables as they are now (name to value).
    Ref<NSDictionary> environment() const;
    // The command line, the program first.
    Ref<NSArray> arguments() const;
    // The program's file name; settable, as on the platform.
    Ref<NSString> processName() const;
    void setProcessName(const Ref<NSString>& name);
    int processIdentifier() const;
    // A string that differs for every call, in this and any other process.
    Ref<NSString> globallyUniqueString() const;
    Ref<NSString> hostName() const;
    // The simulated device's figures: seconds since its system started (moving with the platform
    // clock, virtual in tests that use it), its memory and processors.
    double systemUptime() const;
    unsigned long long physicalMemory() const;
    NSUInteger processorCount() const;
    NSUInteger activeProcessorCount() const;
    // "Linux 6.1.0-18-amd64 #1 SMP ..." (kernel name, release and version).
    Ref<NSString> operatingSystemVersionString() const;

private:
    mutable std::mutex lock_;
    Ref<NSString> processName_;
};
