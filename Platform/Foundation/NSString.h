// NSString and NSMutableString: UTF-8 inside; lengths, indexes and ranges count UTF-16 code units,
// as the platform's do. Bytes that are not UTF-8 are read once, when the string is made: each
// malformed byte becomes one U+FFFD, so every operation (and the regular-expression engine) sees
// the same characters.
#pragma once

#include <Runtime/NSObject.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class NSArray;
class NSData;
class NSCharacterSet;

struct NSRange {
    NSUInteger location = 0;
    NSUInteger length = 0;
    bool operator==(const NSRange&) const = default;
};
inline NSRange NSMakeRange(NSUInteger location, NSUInteger length) {
    return {location, length};
}
inline NSUInteger NSMaxRange(NSRange r) {
    return r.location + r.length;
}

enum NSStringEncoding : NSUInteger {
    NSASCIIStringEncoding = 1,
    NSUTF8StringEncoding = 4,
    NSISOLatin1StringEncoding = 5,
    NSUTF16StringEncoding = 10,
    NSUnicodeStringEncoding = 10,
    NSUTF16BigEndianStringEncoding = 0x90000100,
    NSUTF16LittleEndianStringEncoding = 0x94000100,
};

using NSStringCompareOptions = NSUInteger;
inline constexpr NSStringCompareOptions NSCaseInsensitiveSearch = 1;
inline constexpr NSStringCompareOptions NSLiteralSearch = 2;
inline constexpr NSStringCompareOptions NSBackwardsSearch = 4;
inline constexpr NSStringCompareOptions NSAnchoredSearch = 8;
inline constexpr NSStringCompareOptions NSNumericSearch = 64;

// How enumerateSubstringsInRangeOptionsUsingBlock cuts the text (one of the first five, optionally
// combined with the flags).
using NSStringEnumerationOptions = NSUInteger;
inline constexpr NSStringEnumerationOptions NSStringEnumerationByLines = 0;
inline constexpr NSStringEnumerationOptions NSStringEnumerationByParagraphs = 1;
inline constexpr NSStringEnumerationOptions NSStringEnumerationByComposedCharacterSequences = 2;
inline constexpr NSStringEnumerationOptions NSStringEnumerationByWords = 3;
inline constexpr NSStringEnumerationOptions NSStringEnumerationBySentences = 4;
inline constexpr NSStringEnumerationOptions NSStringEnumerationReverse = 1UL << 8;
inline constexpr NSStringEnumerationOptions NSStringEnumerationSubstringNotRequired = 1UL << 9;

// The block of enumerateSubstringsInRangeOptionsUsingBlock: the substring (nil with
// NSStringEnumerationSubstringNotRequired), its range, the range that includes its separators
// (line ends, spaces after a word), and the stop flag.
using NSStringEnumerationBlock =
    std::function<void(const Ref<NSString>& substring, NSRange substringRange, NSRange enclosingRange, bool* stop)>;

enum NSComparisonResult : NSInteger { NSOrderedAscending = -1, NSOrderedSame = 0, NSOrderedDescending = 1 };

// One argument of a format string, kept with its kind so that a mismatch is caught, not undefined.
struct NSFormatArgument {
    enum Kind { Object, Signed, Unsigned, Double, CString, Pointer } kind;
    id object;
    long long i = 0;
    unsigned long long u = 0;
    double d = 0;
    const char* s = nullptr;
    const void* p = nullptr;

    NSFormatArgument(const id& o) : kind(Object), object(o) {}
    template <class T>
    NSFormatArgument(const Ref<T>& o) : kind(Object), object(o) {}
    NSFormatArgument(std::nullptr_t) : kind(Object) {}
    NSFormatArgument(bool v) : kind(Signed), i(v) {}
    NSFormatArgument(char v) : kind(Signed), i(v) {}
    NSFormatArgument(signed char v) : kind(Signed), i(v) {}
    NSFormatArgument(short v) : kind(Signed), i(v) {}
    NSFormatArgument(int v) : kind(Signed), i(v) {}
    NSFormatArgument(long v) : kind(Signed), i(v) {}
    NSFormatArgument(long long v) : kind(Signed), i(v) {}
    NSFormatArgument(unsigned char v) : kind(Unsigned), u(v) {}
    NSFormatArgument(unsigned short v) : kind(Unsigned), u(v) {}
    NSFormatArgument(unsigned int v) : kind(Unsigned), u(v) {}
    NSFormatArgument(unsigned long v) : kind(Unsigned), u(v) {}
    NSFormatArgument(unsigned long long v) : kind(Unsigned), u(v) {}
    NSFormatArgument(float v) : kind(Double), d(v) {}
    NSFormatArgument(double v) : kind(Double), d(v) {}
    NSFormatArgument(const char* v) : kind(CString), s(v) {}
    NSFormatArgument(const std::string& v) : kind(CString), s(v.c_str()) {}
    NSFormatArgument(const void* v) : kind(Pointer), p(v) {}
    NSFormatArgument(void* v) : kind(Pointer), p(v) {}
    NSFormatArgument(SEL v) : kind(CString), s(v.isNull() ? nullptr : v.c_str()) {}
};

// Fills a platform format string ("%@", "%d", "%ld", "%lu", "%llu", "%f", "%.2f", "%g", "%p",
// "%s", "%x", "%%", positional "%1$@"). A missing argument or one of another kind is written as
// a placeholder, never read as garbage.
std::string NSFormat(std::string_view format, const std::vector<NSFormatArgument>& args);

class NSString : public NSObject {
    NS_OBJECT(NSString, NSObject)
public:
    NSString() = default;
    explicit NSString(std::string utf8);

    static Ref<NSString> string();
    static Ref<NSString> from(std::string_view utf8);
    static Ref<NSString> stringWithUTF8String(const char* utf8);
    static Ref<NSString> stringWithString(const Ref<NSString>& other);
    template <class... Args>
    static Ref<NSString> stringWithFormat(std::string_view format, const Args&... args) {
        return from(NSFormat(format, {NSFormatArgument(args)...}));
    }
    static Ref<NSString> stringWithCharacters(const char16_t* chars, NSUInteger length);
    // `initWithData:encoding:`; nil when the bytes are not valid in the encoding (UTF-8 is checked
    // strictly: no overlong forms, surrogates or truncated sequences; UTF-16 honours a byte-order
    // mark and is big-endian without one).
    static Ref<NSString> stringWithDataEncoding(const Ref<NSData>& data, NSStringEncoding encoding);
    static Ref<NSString> stringWithBytesLengthEncoding(const void* bytes, NSUInteger length, NSStringEncoding encoding);
    static Ref<NSString> stringWithContentsOfFile(const Ref<NSString>& path);

    // The UTF-8 text (always well formed).
    const std::string& str() const noexcept { return s_; }
    const char* UTF8String() const noexcept { return s_.c_str(); }
    std::u16string utf16() const;

    // The length in UTF-16 code units ("é" is 1, "😀" is 2, "e" + U+0301 is 2).
    NSUInteger length() const;
    // Raises NSRangeException past the end.
    char16_t characterAtIndex(NSUInteger index) const;
    // The user-perceived character (grapheme cluster, by ICU) that contains the UTF-16 index: a
    // surrogate pair, a base with its combining marks, an emoji sequence, a regional-indicator flag.
    // Raises NSRangeException past the end.
    NSRange rangeOfComposedCharacterSequenceAtIndex(NSUInteger index) const;
    // The smallest range of whole composed character sequences that covers `range`.
    NSRange rangeOfComposedCharacterSequencesForRange(NSRange range) const;
    // Cuts `range` into lines, paragraphs, composed character sequences, words or sentences and
    // calls the block for each, in order (or reverse). Raises NSRangeException for a bad range.
    void enumerateSubstringsInRangeOptionsUsingBlock(NSRange range, NSStringEnumerationOptions options,
                                                     const NSStringEnumerationBlock& block) const;
    // Every composed character sequence of the string, in order (the substrings the enumeration by
    // composed character sequences visits).
    Ref<NSArray> composedCharacterSequences() const;
    Ref<NSString> substringFromIndex(NSUInteger from) const;
    Ref<NSString> substringToIndex(NSUInteger to) const;
    Ref<NSString> substringWithRange(NSRange range) const;

    bool isEqualToString(const Ref<NSString>& other) const;
    bool hasPrefix(const Ref<NSString>& prefix) const;
    bool hasSuffix(const Ref<NSString>& suffix) const;
    NSRange rangeOfString(const Ref<NSString>& other) const;
    NSRange rangeOfStringOptions(const Ref<NSString>& other, NSStringCompareOptions options) const;
    bool containsString(const Ref<NSString>& other) const;
    NSComparisonResult compare(const Ref<NSString>& other) const;
    NSComparisonResult compareOptions(const Ref<NSString>& other, NSStringCompareOptions options) const;
    NSComparisonResult caseInsensitiveCompare(const Ref<NSString>& other) const;

    Ref<NSString> stringByAppendingString(const Ref<NSString>& other) const;
    template <class... Args>
    Ref<NSString> stringByAppendingFormat(std::string_view format, const Args&... args) const {
        return from(s_ + NSFormat(format, {NSFormatArgument(args)...}));
    }
    Ref<NSString> stringByReplacingOccurrencesOfStringWithString(const Ref<NSString>& target,
                                                                 const Ref<NSString>& replacement) const;
    Ref<NSString> stringByTrimmingCharactersInSet(const Ref<NSCharacterSet>& set) const;
    Ref<NSArray> componentsSeparatedByString(const Ref<NSString>& separator) const;
    Ref<NSArray> componentsSeparatedByCharactersInSet(const Ref<NSCharacterSet>& separators) const;
    // The first (last, with NSBackwardsSearch) character of the set, {NSNotFound, 0} when none.
    NSRange rangeOfCharacterFromSet(const Ref<NSCharacterSet>& set) const;
    NSRange rangeOfCharacterFromSetOptions(const Ref<NSCharacterSet>& set, NSStringCompareOptions options) const;
    // Cut or padded (with `padString` repeated from `padIndex`) to `newLength` UTF-16 units.
    Ref<NSString> stringByPaddingToLengthWithStringStartingAtIndex(NSUInteger newLength, const Ref<NSString>& padString,
                                                                   NSUInteger padIndex) const;

    // Percent encoding: every UTF-8 byte of a character outside `allowed` becomes "%XX" (upper-case
    // hex). Removing answers nil for a malformed escape or escapes that do not decode to UTF-8.
    Ref<NSString> stringByAddingPercentEncodingWithAllowedCharacters(const Ref<NSCharacterSet>& allowed) const;
    Ref<NSString> stringByRemovingPercentEncoding() const;
    Ref<NSString> lowercaseString() const;
    Ref<NSString> uppercaseString() const;
    Ref<NSString> capitalizedString() const;

    // Numeric values, read as the platform does: leading white space skipped, 0 when none.
    int intValue() const;
    NSInteger integerValue() const;
    long long longLongValue() const;
    double doubleValue() const;
    float floatValue() const;
    bool boolValue() const;

    // nil when a character cannot be represented (ASCII, Latin-1). UTF-16 is little-endian with a
    // byte-order mark, as the platform writes it.
    Ref<NSData> dataUsingEncoding(NSStringEncoding encoding) const;
    // `dataUsingEncoding:allowLossyConversion:`: unrepresentable characters become "?".
    Ref<NSData> dataUsingEncodingAllowLossyConversion(NSStringEncoding encoding, bool lossy) const;
    bool canBeConvertedToEncoding(NSStringEncoding encoding) const;
    NSUInteger lengthOfBytesUsingEncoding(NSStringEncoding encoding) const;

    // Path helpers.
    Ref<NSString> lastPathComponent() const;
    Ref<NSString> pathExtension() const;
    Ref<NSString> stringByDeletingLastPathComponent() const;
    Ref<NSString> stringByDeletingPathExtension() const;
    Ref<NSString> stringByAppendingPathComponent(const Ref<NSString>& component) const;
    Ref<NSString> stringByAppendingPathExtension(const Ref<NSString>& extension) const;
    Ref<NSArray> pathComponents() const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    std::string s_;
};

class NSMutableString : public NSString {
    NS_OBJECT(NSMutableString, NSString)
public:
    NSMutableString() = default;
    explicit NSMutableString(std::string utf8) : NSString(std::move(utf8)) {}
    static Ref<NSMutableString> string();
    static Ref<NSMutableString> stringWithString(const Ref<NSString>& other);

    void appendString(const Ref<NSString>& other);
    template <class... Args>
    void appendFormat(std::string_view format, const Args&... args) {
        appendString(from(NSFormat(format, {NSFormatArgument(args)...})));
    }
    void setString(const Ref<NSString>& other);
    void insertStringAtIndex(const Ref<NSString>& other, NSUInteger index);
    void deleteCharactersInRange(NSRange range);
    void replaceCharactersInRangeWithString(NSRange range, const Ref<NSString>& other);

    id copy() const override;
};

// Appends one code point to UTF-8 text.
void NSAppendUTF8(std::string& out, char32_t codePoint);

// "text"_ns makes an NSString.
Ref<NSString> operator""_ns(const char* s, size_t n);

// The description of any object, "(null)" for nil.
Ref<NSString> NSDescription(const id& object);
