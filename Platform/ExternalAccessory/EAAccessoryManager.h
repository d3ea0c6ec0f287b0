// EAAccessoryManager: the external accessories connected to the simulated device.
#pragma once

#include <ExternalAccessory/EAAccessory.h>

class EAAccessoryManager : public NSObject {
    NS_OBJECT(EAAccessoryManager, NSObject)
public:
    static Ref<EAAccessoryManager> sharedAccessoryManager();

    // The accessories connected now (an array of EAAccessory), read from the device at each call.
    Ref<NSArray> connectedAccessories() const;
};
