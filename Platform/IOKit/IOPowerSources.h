// The power-source dictionary that the system builds while battery monitoring is on: the charger
// service's registry properties ("IOClass", "AppleRawMaxCapacity", "AppleRawCurrentCapacity",
// "DesignCapacity", "CycleCount", "Voltage", "Temperature", "InstantAmperage", ...). The system
// reads it on the thread that observes UIDevice's battery level and state; this stand-in hands
// over a copy of it on request instead of leaving it in that thread's allocations.
#pragma once

#include <Foundation/NSDictionary.h>

// A new immutable dictionary; nil on a device without a battery.
Ref<NSDictionary> IOPSCopyPowerSourceDictionary();
