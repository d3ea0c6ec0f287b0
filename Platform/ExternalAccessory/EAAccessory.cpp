#include <ExternalAccessory/EAAccessory.h>
#include <ExternalAccessory/EAAccessoryManager.h>

#include <Device/SimDevice.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(EAAccessory, NSObject) {
    using A = EAAccessory;
    b.readonlyProperty("connected", &A::isConnected);
    b.readonlyProperty("name", &A::name);
    b.readonlyProperty("manufacturer", &A::manufacturer);
    b.readonlyProperty("modelNumber", &A::modelNumber);
    b.readonlyProperty("serialNumber", &A::serialNumber);
    b.readonlyProperty("protocolStrings", &A::protocolStrings);
}

NS_IMPLEMENT_CLASS(EAAccessoryManager, NSObject) {
    b.readonlyProperty("connectedAccessories", &EAAccessoryManager::connectedAccessories);
}

EAAccessory::EAAccessory(NSUInteger connectionID, Ref<NSString> name, Ref<NSString> manufacturer,
                         Ref<NSString> modelNumber, Ref<NSString> serialNumber, Ref<NSArray> protocolStrings)
    : connectionID_(connectionID), name_(std::move(name)), manufacturer_(std::move(manufacturer)),
      modelNumber_(std::move(modelNumber)), serialNumber_(std::move(serialNumber)),
      protocolStrings_(std::move(protocolStrings)) {}

Ref<EAAccessoryManager> EAAccessoryManager::sharedAccessoryManager() {
    static const Ref<EAAccessoryManager>& shared = *new Ref<EAAccessoryManager>(make<EAAccessoryManager>());
    return shared;
}

Ref<NSArray> EAAccessoryManager::connectedAccessories() const {
    std::vector<id> out;
    NSUInteger connection = 1;
    for (const auto& a : SimDevice::current().accessories()) {
        std::vector<id> protocols;
        for (const auto& p : a.protocolStrings) {
            protocols.push_back(NSString::from(p));
        }
        out.push_back(make<EAAccessory>(connection++, NSString::from(a.name), NSString::from(a.manufacturer),
                                        NSString::from(a.modelNumber), NSString::from(a.serialNumber),
                                        NSArray::arrayWithVector(std::move(protocols))));
    }
    return NSArray::arrayWithVector(std::move(out));
}
