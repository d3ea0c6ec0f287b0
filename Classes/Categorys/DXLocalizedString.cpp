#include <Categorys/DXLocalizedString.h>

#include <Foundation/NSBundle.h>

Ref<NSString> DXLocalizedString(const Ref<NSString>& key) {
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(key, NSString::string(), nullptr);
}

Ref<NSString> DXLocalizedString(const char* key) {
    return DXLocalizedString(NSString::from(key));
}

Ref<NSString> DXLocalizedStringWithArguments(const Ref<NSString>& key, const std::vector<NSFormatArgument>& arguments) {
    auto text = DXLocalizedString(key);
    return NSString::from(NSFormat(text ? text->str() : std::string(), arguments));
}
