#include <CoreBluetooth/CBCentralManager.h>
#include <CoreBluetooth/CBPeripheralDevice.h>
#include <CoreBluetooth/CBUUIDList.h>
#include <Device/SimRadios.h>

#include <Dispatch/DispatchTime.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_PROTOCOL(CBCentralManagerDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("centralManagerDidUpdateState:", "v@:@");
    p.optional<void(Ref<CBCentralManager>, Ref<CBPeripheral>, Ref<NSDictionary>, Ref<NSNumber>)>(
        "centralManager:didDiscoverPeripheral:advertisementData:RSSI:");
    p.optional<void(Ref<CBCentralManager>, Ref<CBPeripheral>)>("centralManager:didConnectPeripheral:");
    p.optional<void(Ref<CBCentralManager>, Ref<CBPeripheral>, Ref<NSError>)>(
        "centralManager:didDisconnectPeripheral:error:");
    p.optional<void(Ref<CBCentralManager>, Ref<NSArray>)>("centralManager:didRetrievePeripherals:");
}

NS_IMPLEMENT_CLASS(CBCentralManager, NSObject) {
    using M = CBCentralManager;
    b.property("delegate", &M::delegate, &M::setDelegate, "weak");
    b.readonlyProperty("state", &M::state);
    b.readonlyProperty("isScanning", &M::isScanning);
}

namespace {

const Ref<NSString>& constant(const char* text) {
    return *new Ref<NSString>(NSString::from(text));
}

CBCentralManagerState stateOf(SimRadios::State state) {
    switch (state) {
    case SimRadios::State::Working:
    case SimRadios::State::Dead: // on, but finds and reaches nobody
        return CBCentralManagerStatePoweredOn;
    case SimRadios::State::Off:
        return CBCentralManagerStatePoweredOff;
    case SimRadios::State::Absent:
        return CBCentralManagerStateUnsupported;
    default:
        return CBCentralManagerStateUnknown;
    }
}

int64_t nanoseconds(double seconds) {
    return static_cast<int64_t>(seconds * NSEC_PER_SEC);
}

} // namespace

const Ref<NSString>& CBCentralManagerOptionShowPowerAlertKey() {
    static const Ref<NSString>& key = constant("kCBInitOptionShowPowerAlert");
    return key;
}

const Ref<NSString>& CBAdvertisementDataLocalNameKey() {
    static const Ref<NSString>& key = constant("kCBAdvDataLocalName");
    return key;
}

const Ref<NSString>& CBAdvertisementDataServiceUUIDsKey() {
    static const Ref<NSString>& key = constant("kCBAdvDataServiceUUIDs");
    return key;
}

const Ref<NSString>& CBAdvertisementDataIsConnectable() {
    static const Ref<NSString>& key = constant("kCBAdvDataIsConnectable");
    return key;
}

CBCentralManager::CBCentralManager(const id& delegate, dispatch_queue_t queue, const Ref<NSDictionary>& options)
    : delegate_(delegate), queue_(queue ? std::move(queue) : dispatch_get_main_queue()) {
    if (options) {
        auto alert = options->objectForKey(CBCentralManagerOptionShowPowerAlertKey());
        if (alert && !cast<NSNumber>(alert)) {
            NSException::raise(NSInvalidArgumentException,
                               "-[CBCentralManager initWithDelegate:queue:options:]: the power alert option is not a "
                               "number");
        }
        if (auto number = cast<NSNumber>(alert)) {
            showPowerAlert_ = number->boolValue();
        }
    }
    Weak<CBCentralManager> weak(this);
    auto update = [weak] {
        if (auto self = weak.lock()) {
            self->update();
        }
    };
    listener_ = SimRadios::current().addListener([queue = queue_, update](SimRadios::Change change) {
        if (change == SimRadios::Change::Parts) {
            dispatch_async(queue, update);
        }
    });
    dispatch_async(queue_, update);
}

CBCentralManager::~CBCentralManager() {
    SimRadios::current().removeListener(listener_);
}

void CBCentralManager::update() {
    auto now = stateOf(SimRadios::current().state(SimRadios::Part::Bluetooth));
    if (reported_ && now == state_.load()) {
        return;
    }
    reported_ = true;
    state_ = now;
    if (now != CBCentralManagerStatePoweredOn) {
        scanning_ = false;
        ++scan_;
        for (auto& p : known_) {
            p->setState(CBPeripheralStateDisconnected);
        }
    }
    tell("centralManagerDidUpdateState:", {Ref<CBCentralManager>(this)});
}

void CBCentralManager::tell(const char* selector, std::vector<id> args) {
    auto target = delegate();
    if (target && target->respondsToSelector(selector)) {
        target->performSelectorWithArguments(selector, args);
    }
}

bool CBCentralManager::poweredOn(const char* command) const {
    if (state_.load() == CBCentralManagerStatePoweredOn) {
        return true;
    }
    NSLog("CoreBluetooth[API MISUSE] %s while not powered on (state %ld) does nothing", command,
          static_cast<long>(state_.load()));
    return false;
}

Ref<CBPeripheral> CBCentralManager::peripheralFor(const CBPeripheralDevice& device) {
    for (const auto& p : known_) {
        if (p->device_->identifier == device.identifier) {
            return p;
        }
    }
    auto peripheral = make<CBPeripheral>(CBPeripheral::Key{}, device, queue_);
    known_.push_back(peripheral);
    return peripheral;
}

void CBCentralManager::scanForPeripheralsWithServicesOptions(const Ref<NSArray>& serviceUUIDs,
                                                             const Ref<NSDictionary>&) {
    auto filter = cb_detail::uuidTexts(serviceUUIDs, "-[CBCentralManager scanForPeripheralsWithServices:options:]");
    if (!poweredOn("scanForPeripheralsWithServices:options:")) {
        return;
    }
    scanning_ = true;
    uint64_t scan = ++scan_;
    auto nearby = SimRadios::current().nearbyPeripherals();
    std::erase_if(nearby, [&](const auto& device) {
        return std::none_of(device.services.begin(), device.services.end(),
                            [&](const auto& s) { return cb_detail::passes(filter, s.uuid); });
    });
    Weak<CBCentralManager> weak(this);
    for (size_t i = 0; i < nearby.size(); ++i) {
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, nanoseconds(kDiscoveryInterval * static_cast<double>(i + 1))),
                       queue_, [weak, scan, device = nearby[i]] {
                           auto self = weak.lock();
                           if (self && self->scanning_ && self->scan_ == scan) {
                               self->discovered(CBPeripheralDevice{device});
                           }
                       });
    }
}

void CBCentralManager::discovered(const CBPeripheralDevice& device) {
    auto peripheral = peripheralFor(device);
    auto uuids = NSMutableArray::array();
    for (const auto& s : device.services) {
        if (auto uuid = CBUUID::UUIDWithString(NSString::from(s.uuid))) {
            uuids->addObject(uuid);
        }
    }
    auto advertisement = NSMutableDictionary::dictionary();
    if (!device.name.empty()) {
        advertisement->setObjectForKey(NSString::from(device.name), CBAdvertisementDataLocalNameKey());
    }
    advertisement->setObjectForKey(uuids, CBAdvertisementDataServiceUUIDsKey());
    advertisement->setObjectForKey(NSNumber::numberWithBool(true), CBAdvertisementDataIsConnectable());
    tell("centralManager:didDiscoverPeripheral:advertisementData:RSSI:",
         {Ref<CBCentralManager>(this), peripheral, advertisement, NSNumber::numberWithInt(device.rssi)});
}

void CBCentralManager::stopScan() {
    scanning_ = false;
    ++scan_;
}

void CBCentralManager::connectPeripheralOptions(const Ref<CBPeripheral>& peripheral, const Ref<NSDictionary>&) {
    if (!peripheral || std::find(known_.begin(), known_.end(), peripheral) == known_.end()) {
        NSException::raise(NSInvalidArgumentException,
                           "-[CBCentralManager connectPeripheral:options:]: not a peripheral this manager found");
    }
    if (!poweredOn("connectPeripheral:options:") || peripheral->state() != CBPeripheralStateDisconnected) {
        return;
    }
    peripheral->setState(CBPeripheralStateConnecting);
    Weak<CBCentralManager> weak(this);
    Weak<CBPeripheral> weakPeripheral(peripheral);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, nanoseconds(kConnectDelay)), queue_, [weak, weakPeripheral] {
        auto self = weak.lock();
        auto p = weakPeripheral.lock();
        // Out of reach it stays connecting.
        if (self && p && p->state() == CBPeripheralStateConnecting && p->reachable()) {
            p->setState(CBPeripheralStateConnected);
            self->tell("centralManager:didConnectPeripheral:", {self, p});
        }
    });
}

void CBCentralManager::cancelPeripheralConnection(const Ref<CBPeripheral>& peripheral) {
    if (!peripheral || peripheral->state() == CBPeripheralStateDisconnected) {
        return;
    }
    peripheral->setState(CBPeripheralStateDisconnected);
    Weak<CBCentralManager> weak(this);
    dispatch_async(queue_, [weak, peripheral] {
        if (auto self = weak.lock()) {
            self->tell("centralManager:didDisconnectPeripheral:error:", {self, peripheral, id()});
        }
    });
}
