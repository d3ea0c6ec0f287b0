#include <Categorys/NSBundle+Language.h>
#include <Categorys/NSBundleEx.h>

#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>

#include <mutex>

namespace {

// Key of the language bundle attached to the main bundle.
const char kLanguageBundleKey = 0;

std::once_flag installOnce;

} // namespace

Ref<NSBundle> NSBundleEx::attachedLanguageBundle() {
    return cast<NSBundle>(NSBundle::mainBundle()->associatedObject(&kLanguageBundleKey));
}

Ref<NSString> NSBundleEx::localizedStringForKeyValueTable(const Ref<NSString>& key, const Ref<NSString>& value,
                                                          const Ref<NSString>& tableName) const {
    if (auto language = attachedLanguageBundle(); language && language.get() != this) {
        return language->localizedStringForKeyValueTable(key, value, tableName);
    }
    return NSBundle::localizedStringForKeyValueTable(key, value, tableName);
}

void setLanguage(const Ref<NSString>& language) {
    auto main = NSBundle::mainBundle();
    // Once per process: the main bundle's look-ups start to follow the switch. The platform's
    // bundles consult its language override first, which stands in for making the main bundle an
    // NSBundleEx.
    std::call_once(installOnce, [] { NSLog("language switch installed"); });
    Ref<NSBundle> languageBundle;
    if (language && language->length() > 0) {
        if (auto path = main->pathForResourceOfType(language, "lproj"_ns)) {
            languageBundle = NSBundle::bundleWithPath(path);
        }
    }
    main->setAssociatedObject(&kLanguageBundleKey, languageBundle, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    NSBundle::setLanguageOverride(languageBundle ? language : nullptr);
}

NS_IMPLEMENT_CLASS(NSBundleEx, NSBundle) {}
