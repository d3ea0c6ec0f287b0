#include <Device/SimDevice.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIScreen.h>

#include <Foundation/NSArray.h>

UIKIT_STRING_CONSTANT(UIScreenBrightnessDidChangeNotification)
UIKIT_STRING_CONSTANT(UIScreenDidConnectNotification)
UIKIT_STRING_CONSTANT(UIScreenDidDisconnectNotification)

NS_IMPLEMENT_CLASS(UIScreen, NSObject) {
    b.property("brightness", &UIScreen::brightness, &UIScreen::setBrightness);
    b.readonlyProperty("bounds", &UIScreen::bounds);
    b.readonlyProperty("scale", &UIScreen::scale);
    b.classMethod("mainScreen", [] { return UIScreen::mainScreen(); });
}

Ref<UIScreen> UIScreen::mainScreen() {
    static Ref<UIScreen>* screen = [] {
        auto* s = new Ref<UIScreen>(make<UIScreen>());
        return s;
    }();
    UIDevice::currentDevice(); // installs the bridge that posts the device's notifications
    return *screen;
}

Ref<NSArray> UIScreen::screens() {
    return NSArray::arrayWithObjects({mainScreen()});
}

CGRect UIScreen::bounds() const {
    auto s = SimDevice::current().screen();
    return CGRectMake(0, 0, s.width, s.height);
}

CGRect UIScreen::nativeBounds() const {
    auto s = SimDevice::current().screen();
    return CGRectMake(0, 0, s.width * s.nativeScale, s.height * s.nativeScale);
}

CGFloat UIScreen::scale() const {
    return SimDevice::current().screen().scale;
}

CGFloat UIScreen::nativeScale() const {
    return SimDevice::current().screen().nativeScale;
}

CGFloat UIScreen::brightness() const {
    return SimDevice::current().brightness();
}

void UIScreen::setBrightness(CGFloat brightness) {
    changeValueForKey("brightness", [&] { SimDevice::current().applyBrightness(brightness); });
}

UIEdgeInsets UIScreen::safeAreaInsets() const {
    auto s = SimDevice::current().screen();
    bool housing = (s.width == 375 && s.height == 812) || (s.width == 414 && s.height == 896);
    if (housing) {
        return UIEdgeInsetsMake(44, 0, 34, 0);
    }
    bool statusBar = !UIApplication::sharedApplication()->isStatusBarHidden();
    return UIEdgeInsetsMake(statusBar ? 20 : 0, 0, 0, 0);
}

Ref<NSString> UIScreen::description() const {
    CGRect b = bounds();
    return NSString::stringWithFormat("<UIScreen: %p; bounds = {{0, 0}, {%g, %g}}; mode = scale %g>",
                                      static_cast<const void*>(this), b.size.width, b.size.height, scale());
}
