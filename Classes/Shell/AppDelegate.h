// AppDelegate: the application's delegate. At launch it applies the profile's language, installs
// the crash record, keeps the screen awake, opens the window over the root screen and shows the
// splash view for a second; afterwards it takes the device identifiers that the lookup page hands
// over through the "enoxm://" scheme.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSURL.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIResponder.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

class AppDelegate : public UIResponder {
    NS_OBJECT(AppDelegate, UIResponder)
public:
    AppDelegate() = default;

    NS_PROPERTY(Ref<UIWindow>, window, setWindow)

    // The launch sequence; answers YES.
    bool applicationDidFinishLaunchingWithOptions(const Ref<UIApplication>& application,
                                                  const Ref<NSDictionary>& options);
    // Both URL entries pass the URL's text to parseParamAndNotify and answer YES.
    bool applicationOpenURLOptions(const Ref<UIApplication>& application, const Ref<NSURL>& url,
                                   const Ref<NSDictionary>& options);
    bool applicationHandleOpenURL(const Ref<UIApplication>& application, const Ref<NSURL>& url);

    // A new root screen.
    Ref<UIViewController> initialViewController();
    // The splash view (launch image and version label), not yet placed.
    Ref<UIImageView> addSplashPage();
    // Stores the identifiers of an "enoxm://" link and posts kReceiveimeiNotification; a link with
    // nothing after the prefix changes nothing.
    void parseParamAndNotify(const Ref<NSString>& text);
    // Applies the profile's "language" through the language switch.
    void changeLanguage();

    // The profile's "language" values and the language folders they stand for.
    static Ref<NSDictionary> languages();
    // The folder for a profile's "language": the table's row, also when the profile writes the key
    // with "-" and "_" swapped or in another letter case ("zh_rCN", "EN-us"); a value that already
    // names one of the folders ("zh-Hans", "en") is that folder. nil for anything else.
    static Ref<NSString> languageFolderForProfileLanguage(const Ref<NSString>& value);
};

// The application's entry: runs the platform's application loop with AppDelegate as the delegate.
int DXApplicationMain(int argc, char* argv[]);
