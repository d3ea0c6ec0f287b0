#include <Dispatch/Clock.h>
#include <Foundation/NSProcessInfo.h>

#include <Device/SimDevice.h>
#include <Foundation/NSUUID.h>
#include <Runtime/ClassBuilder.h>

#include <atomic>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>

extern char** environ;

NS_IMPLEMENT_CLASS(NSProcessInfo, NSObject) {
    b.readonlyProperty("processName", &NSProcessInfo::processName);
    b.readonlyProperty("processIdentifier", &NSProcessInfo::processIdentifier);
}

namespace {
std::vector<std::string> commandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        args.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return args;
}
} // namespace

Ref<NSProcessInfo> NSProcessInfo::processInfo() {
    static Ref<NSProcessInfo> info = make<NSProcessInfo>();
    return info;
}

Ref<NSDictionary> NSProcessInfo::environment() const {
    auto env = NSMutableDictionary::dictionary();
    for (char** e = environ; e && *e; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq == std::string::npos || eq == 0) {
            continue;
        }
        env->setObjectForKey(NSString::from(entry.substr(eq + 1)), NSString::from(entry.substr(0, eq)));
    }
    return cast<NSDictionary>(env->copy());
}

Ref<NSArray> NSProcessInfo::arguments() const {
    std::vector<id> items;
    for (auto& a : commandLine()) {
        items.push_back(NSString::from(a));
    }
    return NSArray::arrayWithVector(std::move(items));
}

Ref<NSString> NSProcessInfo::processName() const {
    std::lock_guard lock(lock_);
    if (processName_) {
        return processName_;
    }
    auto args = commandLine();
    std::string name = args.empty() ? std::string() : args[0];
    auto slash = name.rfind('/');
    if (slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    return NSString::from(name);
}

void NSProcessInfo::setProcessName(const Ref<NSString>& name) {
    std::lock_guard lock(lock_);
    processName_ = name;
}

int NSProcessInfo::processIdentifier() const {
    return static_cast<int>(::getpid());
}

Ref<NSString> NSProcessInfo::globallyUniqueString() const {
    static std::atomic<unsigned long long> counter{0};
    return NSString::stringWithFormat("%@-%d-%016llX", NSUUID::UUID()->UUIDString(), processIdentifier(),
                                      counter.fetch_add(1) + 1);
}

Ref<NSString> NSProcessInfo::hostName() const {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return NSString::from("localhost");
    }
    return NSString::from(name);
}

// The machine's figures are the simulated device's.
double NSProcessInfo::systemUptime() const {
    return SimDevice::current().systemUptime();
}

unsigned long long NSProcessInfo::physicalMemory() const {
    return SimDevice::current().systemFigures().physicalMemory;
}

NSUInteger NSProcessInfo::processorCount() const {
    return SimDevice::current().systemFigures().processorCount;
}

NSUInteger NSProcessInfo::activeProcessorCount() const {
    return SimDevice::current().systemFigures().activeProcessorCount;
}

Ref<NSString> NSProcessInfo::operatingSystemVersionString() const {
    utsname u{};
    if (::uname(&u) != 0) {
        return NSString::from("Linux");
    }
    return NSString::stringWithFormat("%s %s %s", u.sysname, u.release, u.version);
}
