#include <Device/SimDevice.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIScreen.h>

UIKIT_STRING_CONSTANT(UIDeviceOrientationDidChangeNotification)
UIKIT_STRING_CONSTANT(UIDeviceBatteryStateDidChangeNotification)
UIKIT_STRING_CONSTANT(UIDeviceBatteryLevelDidChangeNotification)
UIKIT_STRING_CONSTANT(UIDeviceProximityStateDidChangeNotification)

NS_IMPLEMENT_CLASS(UIDevice, NSObject) {
    b.readonlyProperty("name", &UIDevice::name);
    b.readonlyProperty("model", &UIDevice::model);
    b.readonlyProperty("localizedModel", &UIDevice::localizedModel);
    b.readonlyProperty("systemName", &UIDevice::systemName);
    b.readonlyProperty("systemVersion", &UIDevice::systemVersion);
    b.readonlyProperty("userInterfaceIdiom", &UIDevice::userInterfaceIdiom);
    b.readonlyProperty("orientation", &UIDevice::orientation);
    b.readonlyProperty("batteryLevel", &UIDevice::batteryLevel);
    b.readonlyProperty("batteryState", &UIDevice::batteryState);
    b.readonlyProperty("proximityState", &UIDevice::proximityState);
    b.property("batteryMonitoringEnabled", &UIDevice::isBatteryMonitoringEnabled,
               &UIDevice::setBatteryMonitoringEnabled);
    b.property("proximityMonitoringEnabled", &UIDevice::isProximityMonitoringEnabled,
               &UIDevice::setProximityMonitoringEnabled);
    b.manualNotification("batteryLevel");
    b.manualNotification("batteryState");
    b.manualNotification("orientation");
    b.manualNotification("proximityState");
    b.classMethod("currentDevice", [] { return UIDevice::currentDevice(); });
}

Ref<UIDevice> UIDevice::currentDevice() {
    static Ref<UIDevice>* device = new Ref<UIDevice>(make<UIDevice>());
    return *device;
}

UIDevice::UIDevice() {
    readDevice();
    Weak<UIDevice> weak(this);
    listener_ = SimDevice::current().addListener([weak](SimDevice::Change change) {
        uikit_detail::onMain([weak, change] {
            if (auto device = weak.lock()) {
                device->deviceChanged(static_cast<int>(change));
            }
        });
    });
}

UIDevice::~UIDevice() {
    SimDevice::current().removeListener(listener_);
}

void UIDevice::readDevice() {
    auto& device = SimDevice::current();
    level_ = device.hasBattery() ? device.batteryLevel() : -1.0f;
    state_ = static_cast<UIDeviceBatteryState>(device.batteryState());
    orientation_ = static_cast<UIDeviceOrientation>(device.orientation());
    covered_ = device.proximityCovered();
}

void UIDevice::deviceChanged(int change) {
    Ref<UIDevice> self(this);
    switch (static_cast<SimDevice::Change>(change)) {
    case SimDevice::Change::Brightness:
        uikit_detail::post(UIScreenBrightnessDidChangeNotification(), UIScreen::mainScreen());
        break;
    case SimDevice::Change::Proximity:
        if (proximityMonitoring_ && !SimDevice::current().hasProximitySensor()) {
            // The sensor has gone: monitoring cannot stay on, and nothing was sensed.
            changeValueForKey("proximityMonitoringEnabled", [&] { proximityMonitoring_ = false; });
            willChangeValueForKey("proximityState"_ns);
            readDevice();
            didChangeValueForKey("proximityState"_ns);
        } else if (proximityMonitoring_) {
            willChangeValueForKey("proximityState"_ns);
            readDevice();
            didChangeValueForKey("proximityState"_ns);
            uikit_detail::post(UIDeviceProximityStateDidChangeNotification(), self);
        }
        break;
    case SimDevice::Change::BatteryLevel:
        if (batteryMonitoring_) {
            willChangeValueForKey("batteryLevel"_ns);
            readDevice();
            didChangeValueForKey("batteryLevel"_ns);
            uikit_detail::post(UIDeviceBatteryLevelDidChangeNotification(), self);
        }
        break;
    case SimDevice::Change::BatteryState:
        if (batteryMonitoring_) {
            willChangeValueForKey("batteryState"_ns);
            readDevice();
            didChangeValueForKey("batteryState"_ns);
            uikit_detail::post(UIDeviceBatteryStateDidChangeNotification(), self);
        }
        break;
    case SimDevice::Change::Orientation:
        willChangeValueForKey("orientation"_ns);
        readDevice();
        didChangeValueForKey("orientation"_ns);
        if (isGeneratingDeviceOrientationNotifications()) {
            uikit_detail::post(UIDeviceOrientationDidChangeNotification(), self);
        }
        break;
    case SimDevice::Change::Profile:
    default:
        readDevice();
        break;
    }
    readDevice();
}

Ref<NSString> UIDevice::name() const {
    return NSString::from(SimDevice::current().identity().name);
}

Ref<NSString> UIDevice::model() const {
    return NSString::from(SimDevice::current().identity().model);
}

Ref<NSString> UIDevice::localizedModel() const {
    return NSString::from(SimDevice::current().identity().localizedModel);
}

Ref<NSString> UIDevice::systemName() const {
    return NSString::from(SimDevice::current().identity().systemName);
}

Ref<NSString> UIDevice::systemVersion() const {
    return NSString::from(SimDevice::current().identity().systemVersion);
}

UIUserInterfaceIdiom UIDevice::userInterfaceIdiom() const {
    return SimDevice::current().identity().idiom == SimDevice::Idiom::Pad ? UIUserInterfaceIdiomPad
                                                                          : UIUserInterfaceIdiomPhone;
}

Ref<NSUUID> UIDevice::identifierForVendor() const {
    if (!vendorIdentifier_) {
        vendorIdentifier_ = make<NSUUID>();
    }
    return vendorIdentifier_;
}

UIDeviceOrientation UIDevice::orientation() const {
    return orientation_;
}

void UIDevice::beginGeneratingDeviceOrientationNotifications() {
    ++orientationRequests_;
}

void UIDevice::endGeneratingDeviceOrientationNotifications() {
    if (orientationRequests_ > 0) {
        --orientationRequests_;
    }
}

void UIDevice::setBatteryMonitoringEnabled(bool enabled) {
    if (enabled == batteryMonitoring_) {
        return;
    }
    willChangeValueForKey("batteryLevel"_ns);
    willChangeValueForKey("batteryState"_ns);
    changeValueForKey("batteryMonitoringEnabled", [&] { batteryMonitoring_ = enabled; });
    didChangeValueForKey("batteryState"_ns);
    didChangeValueForKey("batteryLevel"_ns);
}

float UIDevice::batteryLevel() const {
    return batteryMonitoring_ ? level_ : -1.0f;
}

UIDeviceBatteryState UIDevice::batteryState() const {
    return batteryMonitoring_ ? state_ : UIDeviceBatteryStateUnknown;
}

void UIDevice::setProximityMonitoringEnabled(bool enabled) {
    if (enabled && !SimDevice::current().hasProximitySensor()) {
        enabled = false;
    }
    if (enabled == proximityMonitoring_) {
        return;
    }
    bool wasCovered = proximityState();
    changeValueForKey("proximityMonitoringEnabled", [&] { proximityMonitoring_ = enabled; });
    if (proximityState() != wasCovered) {
        willChangeValueForKey("proximityState"_ns);
        didChangeValueForKey("proximityState"_ns);
    }
}

bool UIDevice::proximityState() const {
    return proximityMonitoring_ && covered_;
}

bool UIDevice::isMultitaskingSupported() const {
    return SimDevice::current().systemFigures().multitasking;
}
