// HCQueryStringPair: one field and value of a flattened parameter tree, and the functions that
// flatten trees, escape text for a query and join pairs into a query string.
#pragma once

#include <Foundation/NSArray.h>

class HCQueryStringPair : public NSObject {
    NS_OBJECT(HCQueryStringPair, NSObject)
public:
    // `initWithField:value:`.
    HCQueryStringPair(const id& field, const id& value) : field_(field), value_(value) {}

    const id& field() const noexcept { return field_; }
    void setField(const id& field) { field_ = field; }
    const id& value() const noexcept { return value_; }
    void setValue(const id& value) { value_ = value; }

    // "field=value", both escaped; the field alone for a nil or null value.
    Ref<NSString> URLEncodedStringValue() const;

private:
    id field_;
    id value_;
};

// Percent-encodes everything but ASCII letters, digits and "-._~/?", never splitting a composed
// character.
Ref<NSString> HCEscapeQueryComponent(const Ref<NSString>& string);
// The pairs of a parameter tree: dictionary keys sorted by description ("key[nested]"), array
// elements in order ("key[]"), set members sorted (the key itself).
Ref<NSArray> HCFlattenQueryPairs(const Ref<NSString>& key, const id& value);
// The escaped pairs of the parameters joined with "&".
Ref<NSString> HCJoinQueryPairs(const id& parameters);
