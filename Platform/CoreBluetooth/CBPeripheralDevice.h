// The low-energy device behind a CBPeripheral, as the framework's own sources know it. It includes the
// device, which an app does not see: only Platform/CoreBluetooth includes this header.
#pragma once

#include <Device/SimRadios.h>

struct CBPeripheralDevice : SimRadios::BLEPeripheral {};
