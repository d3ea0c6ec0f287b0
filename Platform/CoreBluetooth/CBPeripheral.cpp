#include <CoreBluetooth/CBPeripheral.h>
#include <CoreBluetooth/CBPeripheralDevice.h>
#include <CoreBluetooth/CBUUIDList.h>
#include <Device/SimRadios.h>

#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDictionary.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_PROTOCOL(CBPeripheralDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.optional<void(Ref<CBPeripheral>, Ref<NSError>)>("peripheral:didDiscoverServices:");
    p.optional<void(Ref<CBPeripheral>, Ref<CBService>, Ref<NSError>)>(
        "peripheral:didDiscoverCharacteristicsForService:error:");
}

NS_IMPLEMENT_CLASS(CBCharacteristic, NSObject) {
    b.readonlyProperty("UUID", &CBCharacteristic::UUID);
    b.readonlyProperty("service", &CBCharacteristic::service);
}

NS_IMPLEMENT_CLASS(CBService, NSObject) {
    b.readonlyProperty("UUID", &CBService::UUID);
    b.readonlyProperty("peripheral", &CBService::peripheral);
    b.readonlyProperty("characteristics", &CBService::characteristics);
}

NS_IMPLEMENT_CLASS(CBPeripheral, NSObject) {
    using P = CBPeripheral;
    b.property("delegate", &P::delegate, &P::setDelegate, "weak");
    b.readonlyProperty("identifier", &P::identifier);
    b.readonlyProperty("name", &P::name);
    b.readonlyProperty("services", &P::services);
}

const Ref<NSString>& CBErrorDomain() {
    static const Ref<NSString>& domain = *new Ref<NSString>(NSString::from("CBErrorDomain"));
    return domain;
}

namespace cb_detail {

std::vector<std::string> uuidTexts(const Ref<NSArray>& list, const char* caller) {
    std::vector<std::string> texts;
    if (!list) {
        return texts;
    }
    for (NSUInteger i = 0; i < list->count(); ++i) {
        auto uuid = cast<CBUUID>(list->objectAtIndex(i));
        if (!uuid) {
            NSException::raise(NSInvalidArgumentException, std::string(caller) + ": the UUID list holds a non-CBUUID");
        }
        texts.push_back(uuid->str());
    }
    return texts;
}

bool passes(const std::vector<std::string>& filter, const std::string& uuid) {
    return filter.empty() || std::find(filter.begin(), filter.end(), CBUUID::canonical(uuid)) != filter.end();
}

} // namespace cb_detail

namespace {

Ref<NSError> notConnected() {
    return NSError::errorWithDomainCodeUserInfo(
        CBErrorDomain(), CBErrorNotConnected,
        NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), "The device is not connected."_ns}}));
}

} // namespace

CBCharacteristic::CBCharacteristic(Ref<CBUUID> uuid, const Ref<CBService>& service)
    : uuid_(std::move(uuid)), service_(service) {}

Ref<NSString> CBCharacteristic::description() const {
    return NSString::stringWithFormat("<CBCharacteristic: UUID = %@>", uuid_);
}

CBService::CBService(Ref<CBUUID> uuid, const Ref<CBPeripheral>& peripheral)
    : uuid_(std::move(uuid)), peripheral_(peripheral) {}

Ref<NSString> CBService::description() const {
    return NSString::stringWithFormat("<CBService: isPrimary = YES, UUID = %@>", uuid_);
}

CBPeripheral::CBPeripheral(Key, const CBPeripheralDevice& device, dispatch_queue_t queue)
    : device_(std::make_shared<const CBPeripheralDevice>(device)), queue_(std::move(queue)) {
    identifier_ = NSUUID::UUIDWithUUIDString(NSString::from(device_->identifier));
    if (!identifier_) {
        identifier_ = NSUUID::UUID(); // a device without a well-formed identifier still gets one
    }
}

Ref<NSString> CBPeripheral::name() const {
    return device_->name.empty() ? nullptr : NSString::from(device_->name);
}

Ref<NSString> CBPeripheral::description() const {
    static const char* const states[] = {"disconnected", "connecting", "connected"};
    return NSString::stringWithFormat("<CBPeripheral: identifier = %@, name = %@, state = %s>", identifier_,
                                      name() ? name() : "(null)"_ns, states[state_]);
}

bool CBPeripheral::reachable() const {
    auto nearby = SimRadios::current().nearbyPeripherals();
    return std::any_of(nearby.begin(), nearby.end(),
                       [&](const auto& d) { return d.identifier == device_->identifier; });
}

void CBPeripheral::answerLater(std::function<void(CBPeripheral&)> answer) {
    Weak<CBPeripheral> weak(this);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kAnswerDelay * NSEC_PER_SEC)), queue_,
                   [weak, answer = std::move(answer)] {
                       if (auto self = weak.lock()) {
                           answer(*self);
                       }
                   });
}

void CBPeripheral::tell(const char* selector, const std::vector<id>& args) {
    auto target = delegate();
    if (target && target->respondsToSelector(selector)) {
        target->performSelectorWithArguments(selector, args);
    }
}

void CBPeripheral::discoverServices(const Ref<NSArray>& serviceUUIDs) {
    auto filter = cb_detail::uuidTexts(serviceUUIDs, "-[CBPeripheral discoverServices:]");
    answerLater([filter](CBPeripheral& self) {
        Ref<CBPeripheral> me(&self);
        Ref<NSError> error;
        if (self.state_ != CBPeripheralStateConnected || !self.reachable()) {
            error = notConnected();
        } else {
            auto list = NSMutableArray::array();
            for (const auto& s : self.device_->services) {
                auto uuid = CBUUID::UUIDWithString(NSString::from(s.uuid));
                if (uuid && cb_detail::passes(filter, uuid->str())) {
                    list->addObject(make<CBService>(uuid, me));
                }
            }
            self.services_ = list;
        }
        self.tell("peripheral:didDiscoverServices:", {me, error});
    });
}

void CBPeripheral::discoverCharacteristicsForService(const Ref<NSArray>& characteristicUUIDs,
                                                     const Ref<CBService>& service) {
    auto filter = cb_detail::uuidTexts(characteristicUUIDs, "-[CBPeripheral discoverCharacteristics:forService:]");
    if (!service || service->peripheral().get() != this) {
        NSException::raise(NSInvalidArgumentException,
                           "-[CBPeripheral discoverCharacteristics:forService:]: not a service of this peripheral");
    }
    answerLater([filter, service](CBPeripheral& self) {
        Ref<CBPeripheral> me(&self);
        Ref<NSError> error;
        if (self.state_ != CBPeripheralStateConnected || !self.reachable()) {
            error = notConnected();
        } else {
            auto list = NSMutableArray::array();
            for (const auto& s : self.device_->services) {
                if (CBUUID::canonical(s.uuid) != service->UUID()->str()) {
                    continue;
                }
                for (const auto& c : s.characteristics) {
                    auto uuid = CBUUID::UUIDWithString(NSString::from(c));
                    if (uuid && cb_detail::passes(filter, uuid->str())) {
                        list->addObject(make<CBCharacteristic>(uuid, service));
                    }
                }
            }
            service->characteristics_ = list;
        }
        self.tell("peripheral:didDiscoverCharacteristicsForService:error:", {me, service, error});
    });
}
