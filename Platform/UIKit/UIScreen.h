// UIScreen: the device's display, read from the simulated device: bounds in points, scale and
// brightness. Brightness changes made by the device (the operator, automatic brightness) post
// UIScreenBrightnessDidChangeNotification; the application's own changes do not.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIGeometry.h>

const Ref<NSString>& UIScreenBrightnessDidChangeNotification();
const Ref<NSString>& UIScreenDidConnectNotification();
const Ref<NSString>& UIScreenDidDisconnectNotification();

class UIScreen : public NSObject {
    NS_OBJECT(UIScreen, NSObject)
public:
    UIScreen() = default;
    static Ref<UIScreen> mainScreen();
    static Ref<NSArray> screens();

    CGRect bounds() const;
    CGRect nativeBounds() const;
    CGFloat scale() const;
    CGFloat nativeScale() const;
    CGFloat brightness() const;
    void setBrightness(CGFloat brightness);
    bool wantsSoftwareDimming() const noexcept { return wantsSoftwareDimming_; }
    void setWantsSoftwareDimming(bool wants) { wantsSoftwareDimming_ = wants; }
    // The parts of the screen that the sensor housing and the home indicator cover (or the status
    // bar on screens without a housing).
    UIEdgeInsets safeAreaInsets() const;

    Ref<NSString> description() const override;

private:
    bool wantsSoftwareDimming_ = false;
};
