#include <Networking/HCQueryStringPair.h>

#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSSet.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(HCQueryStringPair, NSObject) {
    b.property("field", &HCQueryStringPair::field, &HCQueryStringPair::setField);
    b.property("value", &HCQueryStringPair::value, &HCQueryStringPair::setValue);
}

namespace {

bool keepsUnescaped(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/' || c == '?';
}

void escapeInto(std::string& out, const std::string& utf8) {
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : utf8) {
        if (keepsUnescaped(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
}

Ref<NSArray> sortedByDescription(const std::vector<id>& objects) {
    return NSArray::arrayWithVector(objects)->sortedArrayUsingComparator(
        [](const id& a, const id& b) { return NSDescription(a)->compare(NSDescription(b)); });
}

void flatten(const Ref<NSString>& key, const id& value, const Ref<NSMutableArray>& out) {
    if (auto dictionary = cast<NSDictionary>(value)) {
        auto keys = sortedByDescription(dictionary->allKeys()->objects());
        for (const auto& nestedKey : *keys) {
            id nestedValue = dictionary->objectForKey(nestedKey);
            if (!nestedValue) {
                continue;
            }
            auto name = key ? NSString::stringWithFormat("%@[%@]", key, nestedKey) : NSDescription(nestedKey);
            flatten(name, nestedValue, out);
        }
    } else if (auto array = cast<NSArray>(value)) {
        auto name = NSString::stringWithFormat("%@[]", key);
        for (const auto& element : *array) {
            flatten(name, element, out);
        }
    } else if (auto set = cast<NSSet>(value)) {
        auto elements = sortedByDescription(set->objects());
        for (const auto& element : *elements) {
            flatten(key, element, out);
        }
    } else {
        out->addObject(make<HCQueryStringPair>(key, value));
    }
}

} // namespace

Ref<NSString> HCEscapeQueryComponent(const Ref<NSString>& string) {
    if (!string) {
        return NSString::string();
    }
    // Slices of at most 50 UTF-16 units, widened to whole composed characters.
    constexpr NSUInteger kBatch = 50;
    std::string escaped;
    NSUInteger length = string->length();
    NSUInteger index = 0;
    while (index < length) {
        NSUInteger end = std::min(length, index + kBatch);
        NSRange range = NSMakeRange(index, end - index);
        NSRange first = string->rangeOfComposedCharacterSequenceAtIndex(range.location);
        NSRange last = string->rangeOfComposedCharacterSequenceAtIndex(NSMaxRange(range) - 1);
        range = NSMakeRange(first.location, NSMaxRange(last) - first.location);
        escapeInto(escaped, string->substringWithRange(range)->str());
        index = NSMaxRange(range);
    }
    return NSString::from(escaped);
}

Ref<NSString> HCQueryStringPair::URLEncodedStringValue() const {
    if (!value_ || value_->isKindOfClass(NSNull::class_())) {
        return HCEscapeQueryComponent(NSDescription(field_));
    }
    return NSString::stringWithFormat("%@=%@", HCEscapeQueryComponent(NSDescription(field_)),
                                      HCEscapeQueryComponent(NSDescription(value_)));
}

Ref<NSArray> HCFlattenQueryPairs(const Ref<NSString>& key, const id& value) {
    auto out = NSMutableArray::array();
    flatten(key, value, out);
    return out;
}

Ref<NSString> HCJoinQueryPairs(const id& parameters) {
    auto parts = NSMutableArray::array();
    auto pairs = HCFlattenQueryPairs(nullptr, parameters);
    for (const auto& pair : *pairs) {
        parts->addObject(cast<HCQueryStringPair>(pair)->URLEncodedStringValue());
    }
    return parts->componentsJoinedByString("&"_ns);
}
