// NSBundleEx: the main bundle's look-up once the in-application language switch is installed.
// When a language bundle is attached to the main bundle (setLanguage), its texts answer; otherwise
// the plain look-up of the main bundle does.
#pragma once

#include <Foundation/NSBundle.h>

class NSBundleEx : public NSBundle {
    NS_OBJECT(NSBundleEx, NSBundle)
public:
    explicit NSBundleEx(Ref<NSString> path) : NSBundle(std::move(path)) {}

    Ref<NSString> localizedStringForKeyValueTable(const Ref<NSString>& key, const Ref<NSString>& value,
                                                  const Ref<NSString>& tableName) const override;

    // The language bundle attached to the main bundle, nil when none.
    static Ref<NSBundle> attachedLanguageBundle();
};
