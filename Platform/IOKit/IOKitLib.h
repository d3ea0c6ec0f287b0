// IOKitLib: the part of the system's I/O Kit registry the app reads: services matched by name,
// their property dictionaries, and interest notifications delivered on the run loop of the thread
// that added the notification port's source. The registry is the simulated device's power-service
// registry (SimPower): a service reports a change whenever the battery, a plug or its parts change.
//
// Handles are plain numbers (0 is none), as on the system; a released or unknown handle is refused
// with an error code, never a crash. Thread-safe.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSPort.h>

#include <cstdint>

using kern_return_t = int;
using mach_port_t = uint32_t;
using io_object_t = uint32_t;
using io_service_t = io_object_t;
using io_registry_entry_t = io_object_t;

inline constexpr kern_return_t KERN_SUCCESS = 0;
inline constexpr kern_return_t kIOReturnBadArgument = static_cast<kern_return_t>(0xe00002c2);
inline constexpr kern_return_t kIOReturnNotFound = static_cast<kern_return_t>(0xe00002f0);
inline constexpr mach_port_t MACH_PORT_NULL = 0;
inline constexpr mach_port_t bootstrap_port = 1;
inline constexpr mach_port_t kIOMasterPortDefault = 0;
// The message of a changed service's properties.
inline constexpr uint32_t kIOMessageServicePropertyChange = 0xe0000130;
// The interest type the battery listeners use.
inline constexpr const char* kIOGeneralInterest = "IOGeneralInterest";

kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t* masterPort);
// A matching dictionary for services of the class `name` ({"IOProviderClass": name}); nil for a
// null name.
Ref<NSMutableDictionary> IOServiceMatching(const char* name);
// The first service that matches, 0 when none does. The caller owns the handle (IOObjectRelease).
io_service_t IOServiceGetMatchingService(mach_port_t masterPort, const Ref<NSDictionary>& matching);
// All properties of a registry entry, as a new mutable dictionary. The allocator and options are
// accepted for the system's shape and not used.
kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, Ref<NSMutableDictionary>* properties,
                                                const void* allocator, uint32_t options);
kern_return_t IOObjectRelease(io_object_t object);

// Notification ports.
struct IONotificationPort;
using IONotificationPortRef = IONotificationPort*;
IONotificationPortRef IONotificationPortCreate(mach_port_t masterPort);
// Removes the port's notifications and frees it; its source stops delivering.
void IONotificationPortDestroy(IONotificationPortRef notifyPort);
// The port's run-loop source: add it to a run loop (NSRunLoop::addPortForMode) to receive the
// port's notifications on that run loop's thread.
Ref<NSPort> IONotificationPortGetRunLoopSource(IONotificationPortRef notifyPort);

using IOServiceInterestCallback = void (*)(void* refCon, io_service_t service, uint32_t messageType,
                                           void* messageArgument);
// Calls `callback` (on the run loop the port's source is in) each time the service changes.
// `notification` receives the registration's handle; releasing it ends the registration.
kern_return_t IOServiceAddInterestNotification(IONotificationPortRef notifyPort, io_service_t service,
                                               const char* interestType, IOServiceInterestCallback callback,
                                               void* refCon, io_object_t* notification);
