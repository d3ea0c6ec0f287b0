// NSValueTransformer: turns one value into another and, for classes that allow it, back again;
// and the process-wide registry of transformers by name.
//
// A transformer class overrides transformedValue (and, when it reverses, allowsReverseTransformation
// and reverseTransformedValue). allowsReverseTransformation and transformedValueClass are class
// answers on the platform; here they are virtual members that every instance of a class answers
// alike.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

class NSValueTransformer : public NSObject {
    NS_OBJECT(NSValueTransformer, NSObject)
public:
    NSValueTransformer() = default;

    // `+transformedValueClass`: the class of the values transformedValue gives; NSObject here.
    virtual Class transformedValueClass() const;
    // `+allowsReverseTransformation`: NO here.
    virtual bool allowsReverseTransformation() const { return false; }
    // The value unchanged here.
    virtual id transformedValue(const id& value);
    // transformedValue when the class allows reverse transformation (the transformation is then its
    // own inverse); otherwise raises NSInternalInconsistencyException, as on the platform.
    virtual id reverseTransformedValue(const id& value);

    // The registry. A nil transformer removes the name. Safe from any thread.
    static void setValueTransformerForName(const Ref<NSValueTransformer>& transformer, const Ref<NSString>& name);
    static Ref<NSValueTransformer> valueTransformerForName(const Ref<NSString>& name);
    static Ref<NSArray> valueTransformerNames();
};
