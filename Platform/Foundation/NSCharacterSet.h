// NSCharacterSet and NSMutableCharacterSet: sets of Unicode code points, kept as sorted, disjoint
// ranges. The standard sets (letters, digits, white space, the URL component sets of RFC 3986)
// are built once per process.
#pragma once

#include <Foundation/NSString.h>

#include <utility>
#include <vector>

using unichar = char16_t;
using UTF32Char = char32_t;

class NSCharacterSet : public NSObject {
    NS_OBJECT(NSCharacterSet, NSObject)
public:
    // An inclusive range of code points.
    using CodePointRange = std::pair<char32_t, char32_t>;

    NSCharacterSet() = default;
    // Takes any ranges; they are sorted and merged.
    explicit NSCharacterSet(std::vector<CodePointRange> ranges);

    static Ref<NSCharacterSet> characterSetWithCharactersInString(const Ref<NSString>& string);
    static Ref<NSCharacterSet> characterSetWithRange(NSRange range);

    static Ref<NSCharacterSet> alphanumericCharacterSet();
    static Ref<NSCharacterSet> letterCharacterSet();
    static Ref<NSCharacterSet> decimalDigitCharacterSet();
    static Ref<NSCharacterSet> uppercaseLetterCharacterSet();
    static Ref<NSCharacterSet> lowercaseLetterCharacterSet();
    static Ref<NSCharacterSet> punctuationCharacterSet();
    static Ref<NSCharacterSet> symbolCharacterSet();
    static Ref<NSCharacterSet> controlCharacterSet();
    static Ref<NSCharacterSet> nonBaseCharacterSet();
    // U+0020, U+0009 and the other space separators (Zs).
    static Ref<NSCharacterSet> whitespaceCharacterSet();
    // U+000A-U+000D, U+0085, U+2028, U+2029.
    static Ref<NSCharacterSet> newlineCharacterSet();
    static Ref<NSCharacterSet> whitespaceAndNewlineCharacterSet();

    // The characters allowed unescaped in each URL component (RFC 3986): unreserved characters plus
    // the component's delimiters. Query and fragment: unreserved, sub-delims, ":@/?"; path:
    // unreserved, sub-delims but ";", ":@/"; host: unreserved, sub-delims, ":[]"; user and password:
    // unreserved and sub-delims.
    static Ref<NSCharacterSet> URLQueryAllowedCharacterSet();
    static Ref<NSCharacterSet> URLPathAllowedCharacterSet();
    static Ref<NSCharacterSet> URLHostAllowedCharacterSet();
    static Ref<NSCharacterSet> URLFragmentAllowedCharacterSet();
    static Ref<NSCharacterSet> URLUserAllowedCharacterSet();
    static Ref<NSCharacterSet> URLPasswordAllowedCharacterSet();

    // A UTF-16 unit (a lone surrogate is tested as itself) / a code point.
    bool characterIsMember(unichar c) const noexcept;
    bool longCharacterIsMember(UTF32Char c) const noexcept;
    bool isSupersetOfSet(const Ref<NSCharacterSet>& other) const noexcept;
    Ref<NSCharacterSet> invertedSet() const;

    const std::vector<CodePointRange>& codePointRanges() const noexcept { return ranges_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    void normalize();
    void addRanges(const std::vector<CodePointRange>& ranges);
    void removeRanges(const std::vector<CodePointRange>& ranges);
    void invertInPlace();

    std::vector<CodePointRange> ranges_;
};

class NSMutableCharacterSet : public NSCharacterSet {
    NS_OBJECT(NSMutableCharacterSet, NSCharacterSet)
public:
    NSMutableCharacterSet() = default;
    explicit NSMutableCharacterSet(std::vector<CodePointRange> ranges) : NSCharacterSet(std::move(ranges)) {}

    void addCharactersInRange(NSRange range);
    void removeCharactersInRange(NSRange range);
    void addCharactersInString(const Ref<NSString>& string);
    void removeCharactersInString(const Ref<NSString>& string);
    void formUnionWithCharacterSet(const Ref<NSCharacterSet>& other);
    void formIntersectionWithCharacterSet(const Ref<NSCharacterSet>& other);
    void invert();

    id copy() const override;
};
