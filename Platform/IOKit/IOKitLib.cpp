#include <IOKit/IOKitLib.h>

#include <Device/SimPower.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSRunLoop.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct Registration {
    io_object_t handle = 0;
    std::string service;
    IOServiceInterestCallback callback = nullptr;
    void* refCon = nullptr;
};

struct Registry {
    std::mutex mutex;
    io_object_t next = 0x1000;
    std::map<io_object_t, std::string> services;         // service handles -> service name
    std::map<io_object_t, IONotificationPort*> interest; // registration handles -> their port
};

Registry& registry() {
    static Registry* r = new Registry();
    return *r;
}

Ref<NSMutableDictionary> dictionaryFromJSON(const nlohmann::json& properties) {
    auto data = NSData::dataWithString(properties.dump());
    auto object = NSJSONSerialization::JSONObjectWithDataOptionsError(data, NSJSONReadingMutableContainers, nullptr);
    return cast<NSMutableDictionary>(object);
}

} // namespace

struct IONotificationPort {
    Ref<NSPort> port;
    uint64_t listener = 0;
    std::mutex mutex;
    std::vector<Registration> registrations;
};

namespace {

void deliver(IONotificationPort* notifyPort) {
    std::vector<Registration> registrations;
    {
        std::lock_guard lock(notifyPort->mutex);
        registrations = notifyPort->registrations;
    }
    for (const auto& r : registrations) {
        {
            // A registration released by an earlier callback of this round hears nothing more.
            std::lock_guard lock(registry().mutex);
            if (!registry().interest.count(r.handle)) {
                continue;
            }
        }
        if (r.callback) {
            r.callback(r.refCon, 0, kIOMessageServicePropertyChange, nullptr);
        }
    }
}

} // namespace

kern_return_t IOMasterPort(mach_port_t, mach_port_t* masterPort) {
    if (!masterPort) {
        return kIOReturnBadArgument;
    }
    *masterPort = kIOMasterPortDefault;
    return KERN_SUCCESS;
}

Ref<NSMutableDictionary> IOServiceMatching(const char* name) {
    if (!name) {
        return nullptr;
    }
    auto matching = NSMutableDictionary::dictionary();
    matching->setObjectForKey(NSString::from(name), "IOProviderClass"_ns);
    return matching;
}

io_service_t IOServiceGetMatchingService(mach_port_t, const Ref<NSDictionary>& matching) {
    auto name = matching ? cast<NSString>(matching->objectForKey("IOProviderClass"_ns)) : nullptr;
    if (!name) {
        return 0;
    }
    auto services = SimPower::current().services();
    if (std::find(services.begin(), services.end(), name->str()) == services.end()) {
        return 0;
    }
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    io_object_t handle = ++r.next;
    r.services[handle] = name->str();
    return handle;
}

kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, Ref<NSMutableDictionary>* properties,
                                                const void*, uint32_t) {
    if (!properties) {
        return kIOReturnBadArgument;
    }
    *properties = nullptr;
    std::string name;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.services.find(entry);
        if (it == r.services.end()) {
            return kIOReturnBadArgument;
        }
        name = it->second;
    }
    auto json = SimPower::current().serviceProperties(name);
    if (!json) {
        return kIOReturnNotFound; // the service has gone
    }
    // A registry that reports something other than a dictionary hands out an empty one.
    auto dictionary = json->is_object() ? dictionaryFromJSON(*json) : nullptr;
    *properties = dictionary ? dictionary : NSMutableDictionary::dictionary();
    return KERN_SUCCESS;
}

kern_return_t IOObjectRelease(io_object_t object) {
    IONotificationPort* port = nullptr;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        if (r.services.erase(object)) {
            return KERN_SUCCESS;
        }
        auto it = r.interest.find(object);
        if (it == r.interest.end()) {
            return kIOReturnBadArgument;
        }
        port = it->second;
        r.interest.erase(it);
    }
    std::lock_guard lock(port->mutex);
    std::erase_if(port->registrations, [&](const Registration& g) { return g.handle == object; });
    return KERN_SUCCESS;
}

IONotificationPortRef IONotificationPortCreate(mach_port_t) {
    auto* notifyPort = new IONotificationPort();
    notifyPort->port = NSMachPort::port();
    notifyPort->port->setMessageHandler([notifyPort] { deliver(notifyPort); });
    Weak<NSPort> weak(notifyPort->port);
    notifyPort->listener = SimPower::current().addListener([weak](SimPower::Change change) {
        if (change != SimPower::Change::Registry) {
            return;
        }
        if (auto port = weak.lock()) {
            (void)port->sendMessage();
        }
    });
    return notifyPort;
}

void IONotificationPortDestroy(IONotificationPortRef notifyPort) {
    if (!notifyPort) {
        return;
    }
    SimPower::current().removeListener(notifyPort->listener);
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        std::erase_if(r.interest, [&](const auto& entry) { return entry.second == notifyPort; });
    }
    notifyPort->port->invalidate();
    delete notifyPort;
}

Ref<NSPort> IONotificationPortGetRunLoopSource(IONotificationPortRef notifyPort) {
    return notifyPort ? notifyPort->port : nullptr;
}

kern_return_t IOServiceAddInterestNotification(IONotificationPortRef notifyPort, io_service_t service,
                                               const char* interestType, IOServiceInterestCallback callback,
                                               void* refCon, io_object_t* notification) {
    if (!notifyPort || !callback || !interestType || std::string(interestType) != kIOGeneralInterest) {
        return kIOReturnBadArgument;
    }
    Registration registration;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.services.find(service);
        if (it == r.services.end()) {
            return kIOReturnBadArgument;
        }
        registration.handle = ++r.next;
        registration.service = it->second;
        r.interest[registration.handle] = notifyPort;
    }
    registration.callback = callback;
    registration.refCon = refCon;
    {
        std::lock_guard lock(notifyPort->mutex);
        notifyPort->registrations.push_back(registration);
    }
    if (notification) {
        *notification = registration.handle;
    }
    return KERN_SUCCESS;
}
