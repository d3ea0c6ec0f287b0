#include <Device/SimDevice.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UITraitCollection.h>

NS_IMPLEMENT_CLASS(UITraitCollection, NSObject) {
    b.readonlyProperty("forceTouchCapability", &UITraitCollection::forceTouchCapability);
    b.readonlyProperty("userInterfaceIdiom", &UITraitCollection::userInterfaceIdiom);
    b.readonlyProperty("displayScale", &UITraitCollection::displayScale);
}

Ref<UITraitCollection> UITraitCollection::currentDeviceTraits() {
    auto& device = SimDevice::current();
    auto t = make<UITraitCollection>();
    auto screen = device.screen();
    bool pad = device.identity().idiom == SimDevice::Idiom::Pad;
    t->forceTouch_ = screen.forceTouch ? UIForceTouchCapabilityAvailable : UIForceTouchCapabilityUnavailable;
    t->idiom_ = pad ? UIUserInterfaceIdiomPad : UIUserInterfaceIdiomPhone;
    t->scale_ = screen.scale;
    t->horizontal_ = pad ? UIUserInterfaceSizeClassRegular : UIUserInterfaceSizeClassCompact;
    t->vertical_ = UIUserInterfaceSizeClassRegular;
    return t;
}
