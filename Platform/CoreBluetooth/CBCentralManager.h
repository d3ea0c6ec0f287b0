// CBCentralManager: the Bluetooth Low Energy central role over the device's Bluetooth (SimRadios).
// Its state follows the radio: working (or on but dead) is powered on (5), off is powered off (4),
// absent is unsupported (2); it is unknown (0) until the first report. The first report comes on
// the manager's queue right after it is made, and another at each change, to the delegate's
// `centralManagerDidUpdateState:` (by selector, delegate held weakly). Leaving the powered-on state
// stops the scan and drops every connection.
//
// Powered on, a scan (`scanForPeripheralsWithServicesOptions`) reports each nearby peripheral once
// (`centralManager:didDiscoverPeripheral:advertisementData:RSSI:`), half a second apart, keeping
// those that advertise one of the services asked for (all when none are); a dead radio finds
// nobody. `connectPeripheralOptions` connects a peripheral in reach a moment later
// (`centralManager:didConnectPeripheral:`); one out of reach stays connecting, as the system's
// connections have no time limit, until `cancelPeripheralConnection`
// (`centralManager:didDisconnectPeripheral:error:`). Commands given while not powered on are
// logged as misuse and do nothing.
//
// The delegate is called on the queue given (the main queue when nil); use the manager there too.
#pragma once

#include <CoreBluetooth/CBPeripheral.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>

#include <atomic>

NS_DECLARE_PROTOCOL(CBCentralManagerDelegate);

enum CBCentralManagerState : NSInteger {
    CBCentralManagerStateUnknown = 0,
    CBCentralManagerStateResetting = 1,
    CBCentralManagerStateUnsupported = 2,
    CBCentralManagerStateUnauthorized = 3,
    CBCentralManagerStatePoweredOff = 4,
    CBCentralManagerStatePoweredOn = 5,
};

// Creation option: a false number keeps the system from asking the person to turn Bluetooth on.
const Ref<NSString>& CBCentralManagerOptionShowPowerAlertKey(); // "kCBInitOptionShowPowerAlert"
// Advertisement data keys.
const Ref<NSString>& CBAdvertisementDataLocalNameKey();    // "kCBAdvDataLocalName", NSString
const Ref<NSString>& CBAdvertisementDataServiceUUIDsKey(); // "kCBAdvDataServiceUUIDs", NSArray of CBUUID
const Ref<NSString>& CBAdvertisementDataIsConnectable();   // "kCBAdvDataIsConnectable", NSNumber

class CBCentralManager : public NSObject {
    NS_OBJECT(CBCentralManager, NSObject)
public:
    CBCentralManager() : CBCentralManager(nullptr, nullptr, nullptr) {}
    // `initWithDelegate:queue:options:`.
    CBCentralManager(const id& delegate, dispatch_queue_t queue, const Ref<NSDictionary>& options = nullptr);
    ~CBCentralManager() override;

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    CBCentralManagerState state() const noexcept { return state_.load(); }
    // Whether the system would ask the person to turn Bluetooth on (the creation option; yes unless
    // it is a false number).
    bool showsPowerAlert() const noexcept { return showPowerAlert_; }

    void scanForPeripheralsWithServicesOptions(const Ref<NSArray>& serviceUUIDs, const Ref<NSDictionary>& options);
    void stopScan();
    bool isScanning() const noexcept { return scanning_; }
    void connectPeripheralOptions(const Ref<CBPeripheral>& peripheral, const Ref<NSDictionary>& options);
    void cancelPeripheralConnection(const Ref<CBPeripheral>& peripheral);

    static constexpr double kDiscoveryInterval = 0.5;
    static constexpr double kConnectDelay = 0.3;

private:
    void update();
    bool poweredOn(const char* command) const;
    void discovered(const CBPeripheralDevice& device);
    void tell(const char* selector, std::vector<id> args);
    Ref<CBPeripheral> peripheralFor(const CBPeripheralDevice& device);

    Weak<NSObject> delegate_;
    dispatch_queue_t queue_;
    bool showPowerAlert_ = true;
    std::atomic<CBCentralManagerState> state_{CBCentralManagerStateUnknown};
    bool reported_ = false;
    bool scanning_ = false;
    uint64_t scan_ = 0;
    std::vector<Ref<CBPeripheral>> known_;
    uint64_t listener_ = 0;
};
