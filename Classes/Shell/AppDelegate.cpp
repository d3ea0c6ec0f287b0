#include <Shell/AppDelegate.h>

#include <Categorys/DXUtility.h>
#include <Categorys/NSBundle+Language.h>
#include <Core/DXProfileManager.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSUserDefaults.h>
#include <Runtime/ClassBuilder.h>
#include <Shell/DXCrashRecord.h>
#include <Shell/DXRootTableViewController.h>
#include <Shell/DXURLSchemeEntry.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UILabel.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreen.h>

#include <cctype>
#include <cmath>

NS_IMPLEMENT_CLASS(AppDelegate, UIResponder) {
    b.conformsTo(UIApplicationDelegateProtocol());
    b.property("window", &AppDelegate::window, &AppDelegate::setWindow);
    b.method("application:didFinishLaunchingWithOptions:", &AppDelegate::applicationDidFinishLaunchingWithOptions);
    b.method("application:openURL:options:", &AppDelegate::applicationOpenURLOptions);
    b.method("application:handleOpenURL:", &AppDelegate::applicationHandleOpenURL);
    b.classMethod("languages", [] { return AppDelegate::languages(); });
}

namespace {

// Lower case with "_" read as "-": the form in which two spellings of one language compare equal.
std::string normalisedLanguage(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        out.push_back(c == '_' ? '-' : static_cast<char>(std::tolower(c)));
    }
    return out;
}

} // namespace

Ref<NSDictionary> AppDelegate::languages() {
    return NSDictionary::dictionaryWithEntries({{"zh-rCN"_ns, "zh-Hans"_ns},
                                                {"zh_rTW"_ns, "zh-Hant"_ns},
                                                {"ja"_ns, "ja"_ns},
                                                {"en_US"_ns, "en"_ns},
                                                {"es"_ns, "es"_ns},
                                                {"device"_ns, "device"_ns}});
}

Ref<NSString> AppDelegate::languageFolderForProfileLanguage(const Ref<NSString>& value) {
    if (!value) {
        return nullptr;
    }
    auto table = languages();
    if (auto folder = cast<NSString>(table->objectForKey(value))) {
        return folder;
    }
    auto wanted = normalisedLanguage(value->str());
    auto keys = table->allKeys();
    for (const id& key : *keys) {
        if (normalisedLanguage(cast<NSString>(key)->str()) == wanted) {
            return cast<NSString>(table->objectForKey(key));
        }
    }
    auto folders = table->allValues();
    for (const id& folder : *folders) {
        if (normalisedLanguage(cast<NSString>(folder)->str()) == wanted) {
            return cast<NSString>(folder);
        }
    }
    return nullptr;
}

void AppDelegate::changeLanguage() {
    auto profiles = DXProfileManager::sharedManager();
    if (!profiles->isProfileExist()) {
        return;
    }
    auto root = profiles->profileRoot();
    auto language = root ? cast<NSString>(root->objectForKey("language"_ns)) : nullptr;
    if (!language) {
        return;
    }
    auto folder = languageFolderForProfileLanguage(language);
    if (folder && folder->isEqualToString("device"_ns)) {
        return;
    }
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (folder) {
        defaults->setObjectForKey(folder, "profile_language"_ns);
    } else {
        NSLog("changeLanguage: no language folder for %@; texts follow the device", language);
        defaults->removeObjectForKey("profile_language"_ns);
    }
    if (!defaults->synchronize()) {
        NSLog("changeLanguage: the defaults could not be written; the language is kept in memory");
    }
    setLanguage(folder);
}

void AppDelegate::parseParamAndNotify(const Ref<NSString>& text) {
    NSLog("parseParamAndNotify:%@", text);
    auto parameters = DXURLSchemeParameters(text);
    if (!parameters) {
        return;
    }
    DXStoreDeviceIdentifiers(parameters);
    NSNotificationCenter::defaultCenter()->postNotificationNameObject(kReceiveimeiNotification(), nullptr);
}

bool AppDelegate::applicationOpenURLOptions(const Ref<UIApplication>&, const Ref<NSURL>& url,
                                            const Ref<NSDictionary>&) {
    parseParamAndNotify(url ? url->absoluteString() : nullptr);
    return true;
}

bool AppDelegate::applicationHandleOpenURL(const Ref<UIApplication>&, const Ref<NSURL>& url) {
    parseParamAndNotify(url ? url->absoluteString() : nullptr);
    return true;
}

bool AppDelegate::applicationDidFinishLaunchingWithOptions(const Ref<UIApplication>& application,
                                                           const Ref<NSDictionary>&) {
    changeLanguage();
    DXInstallUncaughtExceptionHandler();
    auto app = application ? application : UIApplication::sharedApplication();
    app->setIdleTimerDisabled(true);
    auto window = make<UIWindow>(UIScreen::mainScreen()->bounds());
    window->setBackgroundColor(UIColor::whiteColor());
    setWindow(window);
    auto navigation = make<UINavigationController>(initialViewController());
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    auto splash = addSplashPage();
    navigation->view()->addSubview(splash);
    navigation->view()->bringSubviewToFront(splash);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(NSEC_PER_SEC)), dispatch_get_main_queue(),
                   [splash] { splash->removeFromSuperview(); });
    return true;
}

Ref<UIViewController> AppDelegate::initialViewController() {
    return make<DXRootTableViewController>();
}

Ref<UIImageView> AppDelegate::addSplashPage() {
    CGSize windowSize = window_ ? window_->bounds().size : UIScreen::mainScreen()->bounds().size;
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    auto splash = make<UIImageView>(CGRectMake(0, 0, screen.width, screen.height));
    auto images = cast<NSArray>(NSBundle::mainBundle()->objectForInfoDictionaryKey("UILaunchImages"_ns));
    if (images) {
        for (const id& item : *images) {
            auto entry = cast<NSDictionary>(item);
            auto size = entry ? cast<NSString>(entry->objectForKey("UILaunchImageSize"_ns)) : nullptr;
            auto orientation = entry ? cast<NSString>(entry->objectForKey("UILaunchImageOrientation"_ns)) : nullptr;
            auto name = entry ? cast<NSString>(entry->objectForKey("UILaunchImageName"_ns)) : nullptr;
            if (!size || !orientation || !name) {
                continue;
            }
            CGSize imageSize = CGSizeFromString(size);
            if (imageSize.width == windowSize.width && imageSize.height == windowSize.height &&
                orientation->isEqualToString("Portrait"_ns)) {
                splash->setImage(UIImage::imageNamed(name));
                break;
            }
        }
    }
    const CGFloat width = 100;
    const CGFloat height = 32;
    auto label = make<UILabel>(CGRectMake(std::floor(screen.width / 2 - width / 2), std::floor(screen.height - 80),
                                          std::floor(width), std::floor(height)));
    label->setFont(UIFont::systemFontOfSize(22));
    label->setTextColor(UIColor::whiteColor());
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setText(NSString::stringWithFormat("v%@", DXUtility::clientVersionNoBuildVersion()));
    splash->addSubview(label);
    return splash;
}

int DXApplicationMain(int argc, char* argv[]) {
    return UIApplicationMain(argc, argv, nullptr, "AppDelegate"_ns);
}
