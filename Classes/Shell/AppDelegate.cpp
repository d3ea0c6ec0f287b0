#include <Shell/AppDelegate.h>

#include <Categorys/NSBundle+Language.h>
#include <Core/DXProfileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSUserDefaults.h>
#include <Runtime/ClassBuilder.h>
#include <Shell/DXURLSchemeEntry.h>
#include <UIKit/UIKitProtocols.h>

#include <cctype>

NS_IMPLEMENT_CLASS(AppDelegate, UIResponder) {
    b.conformsTo(UIApplicationDelegateProtocol());
    b.property("window", &AppDelegate::window, &AppDelegate::setWindow);
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
    defaults->synchronize();
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
