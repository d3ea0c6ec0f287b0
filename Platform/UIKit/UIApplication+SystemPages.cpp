// What the system does when the application opens one of the system's own pages: a "tel" URL
// places a call on the device (the phone comes to the front, so the application goes to the
// background, and comes back when the call ends); a settings URL shows the Settings application
// (the person may enrol a biometric identity there) and the person comes back after a while. The
// device's record (SimRadios) keeps the calls and pages.
#include "UIKitInternal.h"

#include <Device/SimRadios.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIStatusBar.h>

namespace uikit_detail {

// The status bar's key comes with the application class.
[[maybe_unused]] const bool statusBarKeyInstalled = installStatusBarKey();

void systemOpenedURL(UIApplication* app, const Ref<NSURL>& url) {
    auto scheme = url && url->scheme() ? url->scheme()->str() : std::string();
    auto& radios = SimRadios::current();
    double away = 0;
    bool settings = false;
    if (scheme == "tel" || scheme == "telprompt") {
        std::string text = url->absoluteString() ? url->absoluteString()->str() : std::string();
        auto colon = text.find(':');
        std::string number = colon == std::string::npos ? text : text.substr(colon + 1);
        while (number.rfind("/", 0) == 0) {
            number.erase(0, 1);
        }
        radios.placeCall(number);
        away = radios.callDuration();
    } else if (scheme == "App-Prefs" || scheme == "prefs" || scheme == "app-settings") {
        radios.noteSystemPage(url->absoluteString() ? url->absoluteString()->str() : scheme);
        away = radios.settingsDuration();
        settings = true;
    } else {
        return;
    }
    if (app->applicationState() == UIApplicationStateBackground) {
        return;
    }
    Weak<UIApplication> weak(app);
    after(0, [weak] {
        if (auto a = weak.lock()) {
            a->enterBackground();
        }
    });
    after(away, [weak, settings] {
        if (settings && SimRadios::current().enrolsInSettings()) {
            SimRadios::current().enrolBiometrics();
        }
        if (auto a = weak.lock()) {
            a->enterForeground();
        }
    });
}

} // namespace uikit_detail
