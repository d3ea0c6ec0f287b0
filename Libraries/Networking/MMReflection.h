// Reflection helpers of the model mapping: the record of a declared property read from its runtime
// attribute string, and the selectors built from a property key (`siteJSONTransformer`,
// `mergeSiteFromModel:`).
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/Runtime.h>

// How a property holds its object value.
enum mm_propertyMemoryManagementPolicy : uint32_t {
    mm_propertyMemoryManagementPolicyAssign = 0,
    mm_propertyMemoryManagementPolicyRetain = 1,
    mm_propertyMemoryManagementPolicyCopy = 2,
};

// One parsed property. Allocated in one piece (the type encoding sits at its end) by
// mm_parsePropertyAttributes; the caller releases it with free().
struct mm_propertyAttributes {
    BOOL readonly;
    BOOL nonatomic;
    BOOL weak;
    BOOL collectable;
    BOOL dynamic;
    mm_propertyMemoryManagementPolicy memoryPolicy;
    SEL getter;
    SEL setter;
    const char* ivarName; // points into the property's attribute string; nullptr when none
    Class objectClass;    // the class of an object property, when the encoding names a known class
    char typeEncoding[];  // NUL-terminated
};

// The record of a property, or nullptr (with a message on standard error) when its attribute
// string cannot be read. Release it with free().
mm_propertyAttributes* mm_parsePropertyAttributes(const ObjCProperty* property);

// Owns a parsed record for the length of a scope, so it is freed on every path.
struct MMPropertyAttributesDeleter {
    void operator()(mm_propertyAttributes* attributes) const noexcept;
};
using MMPropertyAttributesPtr = std::unique_ptr<mm_propertyAttributes, MMPropertyAttributesDeleter>;

// The selector named by the key followed by the suffix ("site", "JSONTransformer" ->
// siteJSONTransformer); a null selector when the key is nil.
SEL MMSelectorFromKeyAndSuffix(const Ref<NSString>& key, const char* suffix);
// The selector named by the prefix, the key with its first character upper-cased, and the suffix
// ("merge", "site", "FromModel:" -> mergeSiteFromModel:); a null selector when the key is nil.
SEL MMSelectorFromPrefixKeyAndSuffix(const char* prefix, const Ref<NSString>& key, const char* suffix);

// The end of the type encoding that starts at `type` (the platform's NSGetSizeAndAlignment walk),
// or nullptr when it is not a complete type.
const char* mm_skipTypeEncoding(const char* type);
