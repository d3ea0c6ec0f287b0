// NSAttributedString and NSMutableAttributedString: a string with attributes (a dictionary of
// attribute name to value) over ranges. Indexes and ranges count UTF-16 code units, as NSString's.
// The attributes are kept as runs that cover the string with no gap; neighbouring runs with equal
// attributes are merged, so every effective range is as long as it can be. Dictionaries are copied
// when set, so a later change to the caller's dictionary does not reach the string.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <vector>

class NSAttributedString : public NSObject {
    NS_OBJECT(NSAttributedString, NSObject)
public:
    // One run of equal attributes.
    struct Run {
        NSRange range;
        Ref<NSDictionary> attributes;
    };

    NSAttributedString() = default;
    explicit NSAttributedString(const Ref<NSString>& string, const Ref<NSDictionary>& attributes = nullptr);
    NSAttributedString(const NSAttributedString& other);

    static Ref<NSAttributedString> attributedStringWithString(const Ref<NSString>& string);
    static Ref<NSAttributedString> attributedStringWithStringAttributes(const Ref<NSString>& string,
                                                                        const Ref<NSDictionary>& attributes);
    static Ref<NSAttributedString> attributedStringWithAttributedString(const Ref<NSAttributedString>& other);

    Ref<NSString> string() const { return string_; }
    NSUInteger length() const { return length_; }

    // The attributes at `index` (never nil) and, when `range` is given, the run they hold over.
    // Raises NSRangeException for an index at or past the end.
    Ref<NSDictionary> attributesAtIndexEffectiveRange(NSUInteger index, NSRange* range) const;
    id attributeAtIndexEffectiveRange(const Ref<NSString>& name, NSUInteger index, NSRange* range) const;
    // The runs in order (none for an empty string).
    std::vector<Run> runs() const;
    Ref<NSAttributedString> attributedSubstringFromRange(NSRange range) const;

    bool isEqualToAttributedString(const Ref<NSAttributedString>& other) const;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    struct Segment {
        NSUInteger length;
        Ref<NSDictionary> attributes;
    };
    // The segment holding `index` and its start.
    size_t segmentAt(NSUInteger index, NSUInteger* start) const;
    // Makes a segment start at `index` (0 <= index <= length) and returns its position.
    size_t splitAt(NSUInteger index);
    // Merges neighbours with equal attributes and drops empty segments.
    void normalise();
    void checkRange(const char* what, NSRange range) const;

    Ref<NSString> string_ = NSString::string();
    NSUInteger length_ = 0;
    std::vector<Segment> segments_;
};

class NSMutableAttributedString : public NSAttributedString {
    NS_OBJECT(NSMutableAttributedString, NSAttributedString)
public:
    using NSAttributedString::NSAttributedString;
    NSMutableAttributedString(const NSAttributedString& other) : NSAttributedString(other) {}

    static Ref<NSMutableAttributedString> attributedStringWithString(const Ref<NSString>& string);
    static Ref<NSMutableAttributedString> attributedStringWithStringAttributes(const Ref<NSString>& string,
                                                                               const Ref<NSDictionary>& attributes);

    // Range arguments past the end raise NSRangeException.
    void setAttributesRange(const Ref<NSDictionary>& attributes, NSRange range);
    void addAttributeValueRange(const Ref<NSString>& name, const id& value, NSRange range);
    void addAttributesRange(const Ref<NSDictionary>& attributes, NSRange range);
    void removeAttributeRange(const Ref<NSString>& name, NSRange range);
    // New characters take the attributes of the first one they replace, or of the character before
    // them when they replace none (of the first character at index 0).
    void replaceCharactersInRangeWithString(NSRange range, const Ref<NSString>& string);
    void replaceCharactersInRangeWithAttributedString(NSRange range, const Ref<NSAttributedString>& string);
    void insertAttributedStringAtIndex(const Ref<NSAttributedString>& string, NSUInteger index);
    void appendAttributedString(const Ref<NSAttributedString>& string);
    void deleteCharactersInRange(NSRange range);
    void setAttributedString(const Ref<NSAttributedString>& string);

    id copy() const override;

private:
    void edit(NSRange range, const std::function<Ref<NSDictionary>(const Ref<NSDictionary>&)>& change);
};
