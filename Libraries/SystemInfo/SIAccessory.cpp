#include <SystemInfo/SIAccessory.h>

#include <AVFoundation/AVAudioSession.h>
#include <ExternalAccessory/EAAccessoryManager.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(SIAccessory, NSObject) {}

bool SIAccessory::accessoriesPluggedIn() {
    return numberOfAccessoriesPluggedIn() > 0;
}

NSInteger SIAccessory::numberOfAccessoriesPluggedIn() {
    auto accessories = EAAccessoryManager::sharedAccessoryManager()->connectedAccessories();
    return accessories ? static_cast<NSInteger>(accessories->count()) : 0;
}

bool SIAccessory::isHeadphonesAttached() {
    auto route = AVAudioSession::sharedInstance()->currentRoute();
    if (!route || !route->outputs()) {
        return false;
    }
    Ref<NSArray> outputs = route->outputs();
    for (const auto& output : *outputs) {
        auto port = cast<AVAudioSessionPortDescription>(output);
        if (port && port->portType() && port->portType()->isEqualToString(AVAudioSessionPortHeadphones())) {
            return true;
        }
    }
    return false;
}
