#include <Diagnostics/PowerRadio/BluetoothChecker.h>

#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(BluetoothChecker, NSObject) {
    using C = BluetoothChecker;
    b.conformsTo(NS_PROTOCOL(CBCentralManagerDelegate));
    b.property("bluetoothManager", &C::bluetoothManager, &C::setBluetoothManager);
    b.method("centralManagerDidUpdateState:", &C::centralManagerDidUpdateState);
    b.classMethod("sharedChecker", [] { return BluetoothChecker::sharedChecker(); });
}

Ref<BluetoothChecker> BluetoothChecker::sharedChecker() {
    static Ref<BluetoothChecker>* shared = [] {
        auto checker = make<BluetoothChecker>();
        checker->init();
        return new Ref<BluetoothChecker>(checker);
    }();
    return *shared;
}

void BluetoothChecker::init() {
    auto options = NSDictionary::dictionaryWithEntries(
        {{CBCentralManagerOptionShowPowerAlertKey(), NSNumber::numberWithBool(false)}});
    setBluetoothManager(make<CBCentralManager>(Ref<BluetoothChecker>(this), dispatch_get_main_queue(), options));
}

void BluetoothChecker::centralManagerDidUpdateState(const Ref<CBCentralManager>& central) {
    const char* text;
    switch (central ? central->state() : CBCentralManagerStateUnknown) {
    case CBCentralManagerStateResetting:
        text = "The connection with the system service was momentarily lost, update imminent.";
        break;
    case CBCentralManagerStateUnsupported:
        text = "The platform doesn't support Bluetooth Low Energy.";
        break;
    case CBCentralManagerStateUnauthorized:
        text = "The app is not authorized to use Bluetooth Low Energy.";
        break;
    case CBCentralManagerStatePoweredOff:
        text = "Bluetooth is currently powered off.";
        break;
    case CBCentralManagerStatePoweredOn:
        text = "Bluetooth is currently powered on and available to use.";
        break;
    default:
        text = "State unknown, update imminent.";
        break;
    }
    NSLog("Bluetooth State: %@", NSString::from(text));
}
