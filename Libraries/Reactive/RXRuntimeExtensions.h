// Runtime helpers of the key-value observation and selector bridges: the attributes of a declared
// property, parsed from its attribute string, and the look-up of a class's own instance method.
#pragma once

#include <Runtime/Runtime.h>

#include <memory>
#include <optional>
#include <string>

enum RXPropertyMemoryPolicy : int {
    RXPropertyPolicyAssign = 0,
    RXPropertyPolicyRetain = 1,
    RXPropertyPolicyCopy = 2,
};

struct rx_propertyAttributes {
    bool readonly = false;
    bool nonatomic = false;
    bool weak = false;
    bool canBeCollected = false;
    bool dynamic = false;
    RXPropertyMemoryPolicy memoryPolicy = RXPropertyPolicyAssign;
    SEL getter;
    SEL setter;
    std::optional<std::string> ivar; // none for a dynamic property or one without a backing variable
    Class objectClass = nullptr;     // the class named in an object type, when it exists
    std::string type;                // the type encoding
};

// Parses a platform property attribute string such as `T@"NSString",C,N,V_name` for the property
// `name`. Problems are reported on standard error, as the platform's parser does; a string that
// cannot be parsed gives nothing.
std::unique_ptr<rx_propertyAttributes> rx_parsePropertyAttributes(const char* attributes, const char* propertyName);
// The same for a property registered with the runtime (its attribute string is made from the record).
std::unique_ptr<rx_propertyAttributes> rx_parsePropertyAttributes(const ObjCProperty* property);
// The attribute string of a registered property.
std::string rx_propertyAttributeString(const ObjCProperty& property);

// The class's own method for the selector (superclasses are not searched), or nullptr.
const ObjCMethod* rx_findOwnInstanceMethod(Class cls, SEL selector);
