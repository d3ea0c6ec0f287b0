// Captive-network information: the Wi-Fi interfaces of the device and the network each has joined,
// read from the simulated device.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

// Keys of the current-network dictionary: "SSID" (text), "BSSID" (text), "SSIDDATA" (the SSID's bytes).
const Ref<NSString>& kCNNetworkInfoKeySSID();
const Ref<NSString>& kCNNetworkInfoKeyBSSID();
const Ref<NSString>& kCNNetworkInfoKeySSIDData();

// The names of the Wi-Fi interfaces ("en0" on a device that has Wi-Fi); nil when there is none.
Ref<NSArray> CNCopySupportedInterfaces();
// The network the interface has joined; nil when it has joined none, is down or is not a Wi-Fi
// interface.
Ref<NSDictionary> CNCopyCurrentNetworkInfo(const Ref<NSString>& interfaceName);
