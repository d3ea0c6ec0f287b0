// UIDevice: the device's identity, orientation, battery and proximity sensor, read from the
// simulated device. Monitoring follows the platform: the battery reads -1 and unknown, and the
// proximity sensor reads uncovered, until monitoring is switched on; notifications of a kind are
// posted only while its monitoring is on. Battery level, battery state, orientation and proximity
// state are observable with key-value observing.
#pragma once

#include <Foundation/NSString.h>
#include <Foundation/NSUUID.h>

enum UIDeviceOrientation : NSInteger {
    UIDeviceOrientationUnknown = 0,
    UIDeviceOrientationPortrait = 1,
    UIDeviceOrientationPortraitUpsideDown = 2,
    UIDeviceOrientationLandscapeLeft = 3,
    UIDeviceOrientationLandscapeRight = 4,
    UIDeviceOrientationFaceUp = 5,
    UIDeviceOrientationFaceDown = 6,
};

enum UIDeviceBatteryState : NSInteger {
    UIDeviceBatteryStateUnknown = 0,
    UIDeviceBatteryStateUnplugged = 1,
    UIDeviceBatteryStateCharging = 2,
    UIDeviceBatteryStateFull = 3,
};

enum UIUserInterfaceIdiom : NSInteger {
    UIUserInterfaceIdiomUnspecified = -1,
    UIUserInterfaceIdiomPhone = 0,
    UIUserInterfaceIdiomPad = 1,
};

const Ref<NSString>& UIDeviceOrientationDidChangeNotification();
const Ref<NSString>& UIDeviceBatteryStateDidChangeNotification();
const Ref<NSString>& UIDeviceBatteryLevelDidChangeNotification();
const Ref<NSString>& UIDeviceProximityStateDidChangeNotification();

class UIDevice : public NSObject {
    NS_OBJECT(UIDevice, NSObject)
public:
    UIDevice();
    ~UIDevice() override;
    static Ref<UIDevice> currentDevice();

    Ref<NSString> name() const;
    Ref<NSString> model() const;
    Ref<NSString> localizedModel() const;
    Ref<NSString> systemName() const;
    Ref<NSString> systemVersion() const;
    UIUserInterfaceIdiom userInterfaceIdiom() const;
    Ref<NSUUID> identifierForVendor() const;
    bool isMultitaskingSupported() const;

    UIDeviceOrientation orientation() const;
    bool isGeneratingDeviceOrientationNotifications() const noexcept { return orientationRequests_ > 0; }
    void beginGeneratingDeviceOrientationNotifications();
    void endGeneratingDeviceOrientationNotifications();

    bool isBatteryMonitoringEnabled() const noexcept { return batteryMonitoring_; }
    void setBatteryMonitoringEnabled(bool enabled);
    // 0 to 1, or -1 while monitoring is off or the device has no battery.
    float batteryLevel() const;
    UIDeviceBatteryState batteryState() const;

    // Switching on fails (stays NO) on a device without a proximity sensor.
    bool isProximityMonitoringEnabled() const noexcept { return proximityMonitoring_; }
    void setProximityMonitoringEnabled(bool enabled);
    bool proximityState() const;

    void playInputClick() {}

private:
    void deviceChanged(int change);
    void readDevice();
    uint64_t listener_ = 0;
    // The device's values as last announced, so that observers see old and new values.
    float level_ = -1;
    UIDeviceBatteryState state_ = UIDeviceBatteryStateUnknown;
    UIDeviceOrientation orientation_ = UIDeviceOrientationPortrait;
    bool covered_ = false;
    int orientationRequests_ = 1;
    bool batteryMonitoring_ = false;
    bool proximityMonitoring_ = false;
    mutable Ref<NSUUID> vendorIdentifier_;
};
