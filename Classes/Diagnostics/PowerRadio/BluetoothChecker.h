// BluetoothChecker: the process-wide watcher of the Bluetooth state. It owns one central manager,
// made without the system's "turn Bluetooth on" alert and reporting on the main queue, and logs
// each state it reports ("Bluetooth State: ..."). Nothing asks it for anything.
#pragma once

#include <CoreBluetooth/CBCentralManager.h>

class BluetoothChecker : public NSObject {
    NS_OBJECT(BluetoothChecker, NSObject)
public:
    BluetoothChecker() = default;

    // The one instance, made (and started) on first use.
    static Ref<BluetoothChecker> sharedChecker();
    // Makes `bluetoothManager` with the checker as its delegate.
    void init();

    Ref<CBCentralManager> bluetoothManager() const { return bluetoothManager_; }
    void setBluetoothManager(const Ref<CBCentralManager>& manager) { bluetoothManager_ = manager; }

    void centralManagerDidUpdateState(const Ref<CBCentralManager>& central);

private:
    Ref<CBCentralManager> bluetoothManager_;
};
