#include <Networking/MMJSONAdapter.h>
#include <Networking/NSDictionary+MMJSONKeyPath.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSNumber.h>

id mm_valueForJSONKeyPathSuccessError(const Ref<NSDictionary>& self, const Ref<NSString>& keyPath, bool* success,
                                      Ref<NSError>* error) {
    Ref<NSArray> components = keyPath ? keyPath->componentsSeparatedByString("."_ns) : NSArray::array();
    id value = self;
    for (const id& component : *components) {
        if (!value || value.get() == NSNull::null().get()) {
            break;
        }
        auto dictionary = cast<NSDictionary>(value);
        if (!dictionary) {
            if (error) {
                auto bundle = NSBundle::mainBundle();
                auto description =
                    bundle->localizedStringForKeyValueTable("Invalid JSON dictionary"_ns, ""_ns, nullptr);
                auto format = bundle->localizedStringForKeyValueTable(
                    "JSON key path %1$@ could not resolved because an incompatible JSON dictionary was supplied: \"%2$@\""_ns,
                    ""_ns, nullptr);
                *error = make<NSError>(
                    MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONDictionary,
                    NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), description},
                                                         {NSLocalizedFailureReasonErrorKey(),
                                                          NSString::stringWithFormat(format->str(), keyPath, self)}}));
            }
            if (success) {
                *success = false;
            }
            return nullptr;
        }
        value = dictionary->objectForKey(component);
    }
    if (success) {
        *success = true;
    }
    return value;
}
