// CBPeripheral, CBService and CBCharacteristic: a Bluetooth Low Energy device that a central
// manager found (SimRadios' nearby peripherals), its services and their characteristics. A
// peripheral is made only by its manager, which reports the same object each time it finds the
// device. Once connected, `discoverServices` and `discoverCharacteristicsForService` ask the device;
// the answers come to the peripheral's delegate (`peripheral:didDiscoverServices:`,
// `peripheral:didDiscoverCharacteristicsForService:error:`, by selector, held weakly) on the
// manager's queue a moment later, with a CBErrorNotConnected error when the peripheral is not
// connected (or no longer in reach) by then.
//
// Use a peripheral on its manager's queue.
#pragma once

#include <CoreBluetooth/CBUUID.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSError.h>
#include <Foundation/NSUUID.h>
#include <Runtime/ProtocolBuilder.h>

#include <functional>
#include <memory>
#include <vector>

NS_DECLARE_PROTOCOL(CBPeripheralDelegate);

class CBCentralManager;
class CBPeripheral;
class CBService;
struct CBPeripheralDevice; // the device a peripheral stands for (CBPeripheralDevice.h, inside the framework)

const Ref<NSString>& CBErrorDomain(); // "CBErrorDomain"
enum CBError : NSInteger {
    CBErrorUnknown = 0,
    CBErrorNotConnected = 3,
};

enum CBPeripheralState : NSInteger {
    CBPeripheralStateDisconnected = 0,
    CBPeripheralStateConnecting = 1,
    CBPeripheralStateConnected = 2,
};

class CBCharacteristic : public NSObject {
    NS_OBJECT(CBCharacteristic, NSObject)
public:
    CBCharacteristic() = default;
    CBCharacteristic(Ref<CBUUID> uuid, const Ref<CBService>& service);

    Ref<CBUUID> UUID() const { return uuid_; }
    Ref<CBService> service() const { return service_.lock(); }
    Ref<NSString> description() const override;

private:
    Ref<CBUUID> uuid_;
    Weak<CBService> service_;
};

class CBService : public NSObject {
    NS_OBJECT(CBService, NSObject)
public:
    CBService() = default;
    CBService(Ref<CBUUID> uuid, const Ref<CBPeripheral>& peripheral);

    Ref<CBUUID> UUID() const { return uuid_; }
    Ref<CBPeripheral> peripheral() const { return peripheral_.lock(); }
    bool isPrimary() const noexcept { return true; }
    // The characteristics found so far (nil before their discovery).
    Ref<NSArray> characteristics() const { return characteristics_; }
    Ref<NSString> description() const override;

private:
    friend class CBPeripheral;
    Ref<CBUUID> uuid_;
    Weak<CBPeripheral> peripheral_;
    Ref<NSArray> characteristics_;
};

class CBPeripheral : public NSObject {
    NS_OBJECT(CBPeripheral, NSObject)
    struct Key {
        explicit Key() = default;
    };

public:
    CBPeripheral() = default;
    // Made by CBCentralManager only.
    CBPeripheral(Key, const CBPeripheralDevice& device, dispatch_queue_t queue);

    Ref<NSUUID> identifier() const { return identifier_; }
    Ref<NSString> name() const;
    CBPeripheralState state() const noexcept { return state_; }
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    // The services found so far (nil before their discovery).
    Ref<NSArray> services() const { return services_; }

    // `discoverServices:` and `discoverCharacteristics:forService:`: nil (or empty) asks for all.
    void discoverServices(const Ref<NSArray>& serviceUUIDs);
    void discoverCharacteristicsForService(const Ref<NSArray>& characteristicUUIDs, const Ref<CBService>& service);

    Ref<NSString> description() const override;

    static constexpr double kAnswerDelay = 0.1;

private:
    friend class CBCentralManager;
    void setState(CBPeripheralState state) { state_ = state; }
    bool reachable() const;
    void answerLater(std::function<void(CBPeripheral&)> answer);
    void tell(const char* selector, const std::vector<id>& args);

    std::shared_ptr<const CBPeripheralDevice> device_;
    dispatch_queue_t queue_;
    Ref<NSUUID> identifier_;
    Weak<NSObject> delegate_;
    CBPeripheralState state_ = CBPeripheralStateDisconnected;
    Ref<NSArray> services_;
};
