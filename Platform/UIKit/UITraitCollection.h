// UITraitCollection: the traits of the environment a screen runs in: idiom, scale, size classes and
// whether the display senses force (3D Touch).
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIDevice.h>

enum UIForceTouchCapability : NSInteger {
    UIForceTouchCapabilityUnknown = 0,
    UIForceTouchCapabilityUnavailable = 1,
    UIForceTouchCapabilityAvailable = 2,
};

enum UIUserInterfaceSizeClass : NSInteger {
    UIUserInterfaceSizeClassUnspecified = 0,
    UIUserInterfaceSizeClassCompact = 1,
    UIUserInterfaceSizeClassRegular = 2,
};

class UITraitCollection : public NSObject {
    NS_OBJECT(UITraitCollection, NSObject)
public:
    UITraitCollection() = default;
    // The traits of the simulated device's screen.
    static Ref<UITraitCollection> currentDeviceTraits();

    UIForceTouchCapability forceTouchCapability() const noexcept { return forceTouch_; }
    UIUserInterfaceIdiom userInterfaceIdiom() const noexcept { return idiom_; }
    CGFloat displayScale() const noexcept { return scale_; }
    UIUserInterfaceSizeClass horizontalSizeClass() const noexcept { return horizontal_; }
    UIUserInterfaceSizeClass verticalSizeClass() const noexcept { return vertical_; }

private:
    UIForceTouchCapability forceTouch_ = UIForceTouchCapabilityUnknown;
    UIUserInterfaceIdiom idiom_ = UIUserInterfaceIdiomUnspecified;
    CGFloat scale_ = 0;
    UIUserInterfaceSizeClass horizontal_ = UIUserInterfaceSizeClassUnspecified;
    UIUserInterfaceSizeClass vertical_ = UIUserInterfaceSizeClassUnspecified;
};
