// NSString and NSMutableString. What is where:
//   UTF-8 / UTF-16            conversions and the UTF-16 lengths that ranges count in
//   Construction              from bytes, UTF-16, files, formats (the format engine is NSFormat.cpp)
//   Comparison and search     equality, prefixes, rangeOfString (case folding, anchored, backwards), compare
//   Derived strings           appending, replacing, splitting, case mapping
//   Numeric values, Paths     intValue & co.; lastPathComponent, stringByAppendingPathComponent & co.
//   NSMutableString           the mutators
//   Encodings                 dataUsingEncoding, the strict UTF-8 check, Latin-1, UTF-16
//   Character sets, percent encoding, trimming, padding
//   Composed character sequences and text segments (ICU break iterators)
#include <Foundation/NSArray.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSData.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>
#include <Foundation/UTF8Decoding.h>
#include <Runtime/ClassBuilder.h>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

NS_IMPLEMENT_CLASS(NSString, NSObject) {
    b.readonlyProperty("length", &NSString::length);
}
NS_IMPLEMENT_CLASS(NSMutableString, NSString) {}

// MARK: - UTF-8 / UTF-16

namespace {

using foundation_detail::decodeAt;

std::string fromUTF16(const char16_t* chars, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        char32_t c = chars[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        NSAppendUTF8(out, c);
    }
    return out;
}

bool isASCII(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

[[noreturn]] void raiseRange(const char* what, NSUInteger index, NSUInteger length) {
    NSException::raise(NSRangeException, std::string(what) + ": index " + std::to_string(index) + " beyond bounds " +
                                             std::to_string(length));
}

} // namespace

void NSAppendUTF8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u16string NSString::utf16() const {
    std::u16string out;
    out.reserve(s_.size());
    for (size_t i = 0; i < s_.size();) {
        char32_t cp = decodeAt(s_, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

NSUInteger NSString::length() const {
    if (isASCII(s_)) {
        return s_.size();
    }
    NSUInteger n = 0;
    for (size_t i = 0; i < s_.size();) {
        n += decodeAt(s_, i) >= 0x10000 ? 2 : 1;
    }
    return n;
}

char16_t NSString::characterAtIndex(NSUInteger index) const {
    if (isASCII(s_)) {
        if (index >= s_.size()) {
            raiseRange("characterAtIndex", index, s_.size());
        }
        return static_cast<char16_t>(s_[index]);
    }
    auto u = utf16();
    if (index >= u.size()) {
        raiseRange("characterAtIndex", index, u.size());
    }
    return u[index];
}

Ref<NSString> NSString::substringWithRange(NSRange range) const {
    if (isASCII(s_)) {
        if (range.location > s_.size() || range.length > s_.size() - range.location) {
            raiseRange("substringWithRange", NSMaxRange(range), s_.size());
        }
        return from(std::string_view(s_).substr(range.location, range.length));
    }
    auto u = utf16();
    if (range.location > u.size() || range.length > u.size() - range.location) {
        raiseRange("substringWithRange", NSMaxRange(range), u.size());
    }
    return from(fromUTF16(u.data() + range.location, range.length));
}

Ref<NSString> NSString::substringFromIndex(NSUInteger from) const {
    NSUInteger n = length();
    if (from > n) {
        raiseRange("substringFromIndex", from, n);
    }
    return substringWithRange({from, n - from});
}

Ref<NSString> NSString::substringToIndex(NSUInteger to) const {
    NSUInteger n = length();
    if (to > n) {
        raiseRange("substringToIndex", to, n);
    }
    return substringWithRange({0, to});
}

// MARK: - Construction

NSString::NSString(std::string utf8) : s_(foundation_detail::wellFormedUTF8(std::move(utf8))) {}

Ref<NSString> NSString::string() {
    return make<NSString>();
}
Ref<NSString> NSString::from(std::string_view utf8) {
    return make<NSString>(std::string(utf8));
}
Ref<NSString> NSString::stringWithUTF8String(const char* utf8) {
    return utf8 ? from(utf8) : nullptr;
}
Ref<NSString> NSString::stringWithString(const Ref<NSString>& other) {
    if (!other) {
        NSException::raise(NSInvalidArgumentException, "stringWithString: nil argument");
    }
    return from(other->s_);
}
Ref<NSString> NSString::stringWithCharacters(const char16_t* chars, NSUInteger length) {
    return from(fromUTF16(chars, length));
}
Ref<NSString> NSString::stringWithContentsOfFile(const Ref<NSString>& path) {
    if (!path) {
        return nullptr;
    }
    std::ifstream in(path->str(), std::ios::binary);
    if (!in) {
        return nullptr;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    return from(ss.str());
}

Ref<NSString> operator""_ns(const char* s, size_t n) {
    return NSString::from(std::string_view(s, n));
}

Ref<NSString> NSDescription(const id& object) {
    return object ? object->description() : NSString::from("(null)");
}

// MARK: - Comparison and search

bool NSString::isEqualToString(const Ref<NSString>& other) const {
    return other && other->s_ == s_;
}

bool NSString::isEqual(const id& other) const {
    auto s = cast<NSString>(other);
    return s && s->s_ == s_;
}

NSUInteger NSString::hash() const {
    return std::hash<std::string>()(s_);
}

bool NSString::hasPrefix(const Ref<NSString>& prefix) const {
    return prefix && !prefix->s_.empty() && s_.compare(0, prefix->s_.size(), prefix->s_) == 0;
}

bool NSString::hasSuffix(const Ref<NSString>& suffix) const {
    return suffix && !suffix->s_.empty() && s_.size() >= suffix->s_.size() &&
           s_.compare(s_.size() - suffix->s_.size(), suffix->s_.size(), suffix->s_) == 0;
}

namespace {
std::string foldCase(const std::string& s) {
    std::string out = s;
    for (auto& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// Converts a byte offset of the UTF-8 text to a UTF-16 index.
NSUInteger utf16Index(const std::string& s, size_t byteOffset) {
    NSUInteger n = 0;
    for (size_t i = 0; i < byteOffset && i < s.size();) {
        n += decodeAt(s, i) >= 0x10000 ? 2 : 1;
    }
    return n;
}

// Case folding for a search, character by character (simple folding: "É" and "é" both become "é").
// Folding may change a character's UTF-8 length, so `origin`, when given, receives for each byte of the
// folded text the offset in `s` of the character it came from, plus one entry for the end.
std::string foldForSearch(const std::string& s, std::vector<size_t>* origin) {
    if (isASCII(s)) {
        return foldCase(s);
    }
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        size_t start = i;
        char32_t cp = decodeAt(s, i);
        size_t before = out.size();
        NSAppendUTF8(out, static_cast<char32_t>(u_foldCase(static_cast<UChar32>(cp), U_FOLD_CASE_DEFAULT)));
        if (origin) {
            origin->insert(origin->end(), out.size() - before, start);
        }
    }
    if (origin) {
        origin->push_back(s.size());
    }
    return out;
}
} // namespace

NSRange NSString::rangeOfStringOptions(const Ref<NSString>& other, NSStringCompareOptions options) const {
    if (!other || other->s_.empty()) {
        return {static_cast<NSUInteger>(NSNotFound), 0};
    }
    bool fold = options & NSCaseInsensitiveSearch;
    std::vector<size_t> origin; // stays empty while the folded text has the same offsets as s_
    std::string hay = fold ? foldForSearch(s_, &origin) : s_;
    std::string needle = fold ? foldForSearch(other->s_, nullptr) : other->s_;
    size_t pos;
    if (options & NSAnchoredSearch) {
        if (options & NSBackwardsSearch) {
            pos = hay.size() >= needle.size() && hay.compare(hay.size() - needle.size(), needle.size(), needle) == 0
                      ? hay.size() - needle.size()
                      : std::string::npos;
        } else {
            pos = hay.compare(0, needle.size(), needle) == 0 ? 0 : std::string::npos;
        }
    } else {
        pos = (options & NSBackwardsSearch) ? hay.rfind(needle) : hay.find(needle);
    }
    if (pos == std::string::npos) {
        return {static_cast<NSUInteger>(NSNotFound), 0};
    }
    size_t end = pos + needle.size();
    if (!origin.empty()) {
        pos = origin[pos];
        end = origin[end];
    }
    NSUInteger start = utf16Index(s_, pos);
    return {start, utf16Index(s_, end) - start};
}

NSRange NSString::rangeOfString(const Ref<NSString>& other) const {
    return rangeOfStringOptions(other, 0);
}

bool NSString::containsString(const Ref<NSString>& other) const {
    return rangeOfString(other).location != static_cast<NSUInteger>(NSNotFound);
}

NSComparisonResult NSString::compareOptions(const Ref<NSString>& other, NSStringCompareOptions options) const {
    if (!other) {
        return NSOrderedDescending;
    }
    std::string a = (options & NSCaseInsensitiveSearch) ? foldCase(s_) : s_;
    std::string b = (options & NSCaseInsensitiveSearch) ? foldCase(other->s_) : other->s_;
    if (options & NSNumericSearch) {
        size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
                size_t ei = i, ej = j;
                while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) {
                    ++ei;
                }
                while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) {
                    ++ej;
                }
                std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
                na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
                nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
                if (na.size() != nb.size()) {
                    return na.size() < nb.size() ? NSOrderedAscending : NSOrderedDescending;
                }
                if (int c = na.compare(nb)) {
                    return c < 0 ? NSOrderedAscending : NSOrderedDescending;
                }
                i = ei;
                j = ej;
            } else {
                if (a[i] != b[j]) {
                    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? NSOrderedAscending
                                                                                               : NSOrderedDescending;
                }
                ++i;
                ++j;
            }
        }
        if (i == a.size() && j == b.size()) {
            return NSOrderedSame;
        }
        return i == a.size() ? NSOrderedAscending : NSOrderedDescending;
    }
    int c = a.compare(b);
    return c < 0 ? NSOrderedAscending : (c > 0 ? NSOrderedDescending : NSOrderedSame);
}

NSComparisonResult NSString::compare(const Ref<NSString>& other) const {
    return compareOptions(other, 0);
}

NSComparisonResult NSString::caseInsensitiveCompare(const Ref<NSString>& other) const {
    return compareOptions(other, NSCaseInsensitiveSearch);
}

// MARK: - Derived strings

Ref<NSString> NSString::stringByAppendingString(const Ref<NSString>& other) const {
    if (!other) {
        NSException::raise(NSInvalidArgumentException, "stringByAppendingString: nil argument");
    }
    return from(s_ + other->s_);
}

Ref<NSString> NSString::stringByReplacingOccurrencesOfStringWithString(const Ref<NSString>& target,
                                                                       const Ref<NSString>& replacement) const {
    if (!target || !replacement) {
        NSException::raise(NSInvalidArgumentException, "stringByReplacingOccurrencesOfString: nil argument");
    }
    if (target->s_.empty()) {
        return from(s_);
    }
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t hit = s_.find(target->s_, pos);
        if (hit == std::string::npos) {
            out.append(s_, pos, std::string::npos);
            break;
        }
        out.append(s_, pos, hit - pos);
        out += replacement->s_;
        pos = hit + target->s_.size();
    }
    return from(out);
}

Ref<NSArray> NSString::componentsSeparatedByString(const Ref<NSString>& separator) const {
    if (!separator || separator->s_.empty()) {
        return NSArray::arrayWithObjects({from(s_)});
    }
    std::vector<id> parts;
    size_t pos = 0;
    for (;;) {
        size_t hit = s_.find(separator->s_, pos);
        if (hit == std::string::npos) {
            parts.push_back(from(s_.substr(pos)));
            break;
        }
        parts.push_back(from(s_.substr(pos, hit - pos)));
        pos = hit + separator->s_.size();
    }
    return NSArray::arrayWithVector(std::move(parts));
}

namespace {
// Full Unicode case mapping by ICU (root locale): "É" lowers to "é", "ß" uppers to "SS".
template <class Map>
std::string mapCase(const std::string& s, Map map) {
    std::u16string u;
    u.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t cp = decodeAt(s, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            u += static_cast<char16_t>(0xD800 + (cp >> 10));
            u += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            u += static_cast<char16_t>(cp);
        }
    }
    std::u16string out(u.size() + 16, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = map(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                    reinterpret_cast<const UChar*>(u.data()), static_cast<int32_t>(u.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(static_cast<size_t>(n), u'\0');
        status = U_ZERO_ERROR;
        n = map(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                reinterpret_cast<const UChar*>(u.data()), static_cast<int32_t>(u.size()), "", &status);
    }
    if (U_FAILURE(status)) {
        return s;
    }
    return fromUTF16(out.data(), static_cast<size_t>(n));
}

std::string lowered(const std::string& s) {
    return isASCII(s) ? foldCase(s) : mapCase(s, u_strToLower);
}

std::string uppered(const std::string& s) {
    if (!isASCII(s)) {
        return mapCase(s, u_strToUpper);
    }
    std::string out = s;
    for (auto& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}
} // namespace

Ref<NSString> NSString::lowercaseString() const {
    return from(lowered(s_));
}

Ref<NSString> NSString::uppercaseString() const {
    return from(uppered(s_));
}

Ref<NSString> NSString::capitalizedString() const {
    // A word starts after any character that is not a letter or digit; its first character is
    // upper-cased (title case), the rest lower-cased.
    std::string out;
    out.reserve(s_.size());
    bool start = true;
    for (size_t i = 0; i < s_.size();) {
        size_t begin = i;
        char32_t cp = decodeAt(s_, i);
        std::string piece = s_.substr(begin, i - begin);
        if (u_isalnum(static_cast<UChar32>(cp))) {
            if (start) {
                NSAppendUTF8(out, static_cast<char32_t>(u_totitle(static_cast<UChar32>(cp))));
            } else {
                out += lowered(piece);
            }
            start = false;
        } else {
            out += piece;
            start = true;
        }
    }
    return from(out);
}

// MARK: - Numeric values

int NSString::intValue() const {
    long long v = longLongValue();
    return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}
NSInteger NSString::integerValue() const {
    return static_cast<NSInteger>(longLongValue());
}
long long NSString::longLongValue() const {
    return std::strtoll(s_.c_str(), nullptr, 10);
}
double NSString::doubleValue() const {
    return std::strtod(s_.c_str(), nullptr);
}
float NSString::floatValue() const {
    return static_cast<float>(doubleValue());
}
bool NSString::boolValue() const {
    size_t i = s_.find_first_not_of(" \t\n\r");
    if (i == std::string::npos) {
        return false;
    }
    char c = s_[i];
    if (c == '+' || c == '-') {
        ++i;
        while (i < s_.size() && s_[i] == '0') {
            ++i;
        }
        return i < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i])) && s_[i] != '0';
    }
    if (c == 'Y' || c == 'y' || c == 'T' || c == 't') {
        return true;
    }
    while (i < s_.size() && s_[i] == '0') {
        ++i;
    }
    return i < s_.size() && s_[i] >= '1' && s_[i] <= '9';
}

// MARK: - Paths

Ref<NSString> NSString::lastPathComponent() const {
    std::string s = s_;
    while (s.size() > 1 && s.back() == '/') {
        s.pop_back();
    }
    auto slash = s.rfind('/');
    if (slash == std::string::npos || s == "/") {
        return from(s);
    }
    return from(s.substr(slash + 1));
}

Ref<NSString> NSString::pathExtension() const {
    std::string last = lastPathComponent()->s_;
    auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return from("");
    }
    return from(last.substr(dot + 1));
}

Ref<NSString> NSString::stringByDeletingLastPathComponent() const {
    std::string s = s_;
    while (s.size() > 1 && s.back() == '/') {
        s.pop_back();
    }
    auto slash = s.rfind('/');
    if (slash == std::string::npos) {
        return from("");
    }
    if (slash == 0) {
        return from("/");
    }
    return from(s.substr(0, slash));
}

Ref<NSString> NSString::stringByDeletingPathExtension() const {
    auto slash = s_.rfind('/');
    auto dot = s_.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0 ||
        (slash != std::string::npos && dot == slash + 1)) {
        return from(s_);
    }
    return from(s_.substr(0, dot));
}

Ref<NSString> NSString::stringByAppendingPathComponent(const Ref<NSString>& component) const {
    if (!component || component->s_.empty()) {
        return from(s_);
    }
    if (s_.empty()) {
        return from(component->s_);
    }
    std::string base = s_;
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    std::string c = component->s_;
    size_t start = c.find_first_not_of('/');
    c = start == std::string::npos ? "" : c.substr(start);
    if (base == "/") {
        return from("/" + c);
    }
    return from(c.empty() ? base : base + "/" + c);
}

Ref<NSString> NSString::stringByAppendingPathExtension(const Ref<NSString>& extension) const {
    if (!extension) {
        return from(s_);
    }
    return from(s_ + "." + extension->s_);
}

Ref<NSArray> NSString::pathComponents() const {
    std::vector<id> parts;
    if (!s_.empty() && s_[0] == '/') {
        parts.push_back(from("/"));
    }
    size_t pos = 0;
    while (pos < s_.size()) {
        size_t slash = s_.find('/', pos);
        std::string part = s_.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (!part.empty()) {
            parts.push_back(from(part));
        }
        if (slash == std::string::npos) {
            break;
        }
        pos = slash + 1;
    }
    return NSArray::arrayWithVector(std::move(parts));
}

Ref<NSString> NSString::description() const {
    return Ref<NSString>(const_cast<NSString*>(this));
}

id NSString::copy() const {
    return id(const_cast<NSString*>(this));
}

id NSString::mutableCopy() const {
    return make<NSMutableString>(s_);
}

// MARK: - NSMutableString

Ref<NSMutableString> NSMutableString::string() {
    return make<NSMutableString>();
}

Ref<NSMutableString> NSMutableString::stringWithString(const Ref<NSString>& other) {
    return make<NSMutableString>(other ? other->str() : std::string());
}

void NSMutableString::appendString(const Ref<NSString>& other) {
    if (!other) {
        NSException::raise(NSInvalidArgumentException, "appendString: nil argument");
    }
    s_ += other->str();
}

void NSMutableString::setString(const Ref<NSString>& other) {
    s_ = other ? other->str() : std::string();
}

void NSMutableString::replaceCharactersInRangeWithString(NSRange range, const Ref<NSString>& other) {
    auto u = utf16();
    if (range.location > u.size() || range.length > u.size() - range.location) {
        raiseRange("replaceCharactersInRange", NSMaxRange(range), u.size());
    }
    std::u16string replacement = other ? other->utf16() : std::u16string();
    u.replace(range.location, range.length, replacement);
    s_ = fromUTF16(u.data(), u.size());
}

void NSMutableString::insertStringAtIndex(const Ref<NSString>& other, NSUInteger index) {
    replaceCharactersInRangeWithString({index, 0}, other);
}

void NSMutableString::deleteCharactersInRange(NSRange range) {
    replaceCharactersInRangeWithString(range, nullptr);
}

id NSMutableString::copy() const {
    return NSString::from(s_);
}

// MARK: - Encodings

namespace {

// Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF, no truncation.
bool isValidUTF8(const uint8_t* p, size_t n) {
    std::string_view s(reinterpret_cast<const char*>(p), n);
    for (size_t i = 0; i < n;) {
        size_t length = foundation_detail::sequenceLengthAt(s, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// UTF-16 units to UTF-8; false for an unpaired surrogate.
bool strictFromUTF16(const std::u16string& u, std::string& out) {
    for (size_t i = 0; i < u.size(); ++i) {
        char32_t c = u[i];
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 1 >= u.size() || u[i + 1] < 0xDC00 || u[i + 1] >= 0xE000) {
                return false;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c < 0xE000) {
            return false;
        }
        NSAppendUTF8(out, c);
    }
    return true;
}

} // namespace

Ref<NSString> NSString::stringWithDataEncoding(const Ref<NSData>& data, NSStringEncoding encoding) {
    if (!data) {
        return nullptr;
    }
    return stringWithBytesLengthEncoding(data->bytes(), data->length(), encoding);
}

Ref<NSString> NSString::stringWithBytesLengthEncoding(const void* bytes, NSUInteger length, NSStringEncoding encoding) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    if (length && !p) {
        return nullptr;
    }
    switch (encoding) {
    case NSUTF8StringEncoding:
        if (!isValidUTF8(p, length)) {
            return nullptr;
        }
        return from(std::string_view(reinterpret_cast<const char*>(p), length));
    case NSASCIIStringEncoding:
        for (NSUInteger i = 0; i < length; ++i) {
            if (p[i] >= 0x80) {
                return nullptr;
            }
        }
        return from(std::string_view(reinterpret_cast<const char*>(p), length));
    case NSISOLatin1StringEncoding: {
        std::string out;
        out.reserve(length);
        for (NSUInteger i = 0; i < length; ++i) {
            NSAppendUTF8(out, p[i]);
        }
        return from(out);
    }
    case NSUTF16StringEncoding:
    case NSUTF16BigEndianStringEncoding:
    case NSUTF16LittleEndianStringEncoding: {
        if (length % 2) {
            return nullptr;
        }
        bool little = encoding == NSUTF16LittleEndianStringEncoding;
        NSUInteger start = 0;
        if (encoding == NSUTF16StringEncoding && length >= 2) {
            if (p[0] == 0xFF && p[1] == 0xFE) {
                little = true;
                start = 2;
            } else if (p[0] == 0xFE && p[1] == 0xFF) {
                start = 2;
            }
        }
        std::u16string u;
        u.reserve((length - start) / 2);
        for (NSUInteger i = start; i < length; i += 2) {
            u += static_cast<char16_t>(little ? (p[i] | (p[i + 1] << 8)) : ((p[i] << 8) | p[i + 1]));
        }
        std::string out;
        if (!strictFromUTF16(u, out)) {
            return nullptr;
        }
        return from(out);
    }
    }
    return nullptr;
}

Ref<NSData> NSString::dataUsingEncoding(NSStringEncoding encoding) const {
    return dataUsingEncodingAllowLossyConversion(encoding, false);
}

Ref<NSData> NSString::dataUsingEncodingAllowLossyConversion(NSStringEncoding encoding, bool lossy) const {
    std::vector<uint8_t> out;
    switch (encoding) {
    case NSUTF8StringEncoding:
        return NSData::dataWithString(s_);
    case NSASCIIStringEncoding:
    case NSISOLatin1StringEncoding: {
        char32_t limit = encoding == NSASCIIStringEncoding ? 0x80 : 0x100;
        out.reserve(s_.size());
        for (size_t i = 0; i < s_.size();) {
            char32_t cp = decodeAt(s_, i);
            if (cp >= limit) {
                if (!lossy) {
                    return nullptr;
                }
                cp = '?';
            }
            out.push_back(static_cast<uint8_t>(cp));
        }
        return NSData::dataWithVector(std::move(out));
    }
    case NSUTF16StringEncoding:
    case NSUTF16BigEndianStringEncoding:
    case NSUTF16LittleEndianStringEncoding: {
        bool little = encoding != NSUTF16BigEndianStringEncoding;
        if (encoding == NSUTF16StringEncoding) {
            out = {0xFF, 0xFE};
        }
        for (char16_t c : utf16()) {
            if (little) {
                out.push_back(static_cast<uint8_t>(c & 0xFF));
                out.push_back(static_cast<uint8_t>(c >> 8));
            } else {
                out.push_back(static_cast<uint8_t>(c >> 8));
                out.push_back(static_cast<uint8_t>(c & 0xFF));
            }
        }
        return NSData::dataWithVector(std::move(out));
    }
    }
    return nullptr;
}

bool NSString::canBeConvertedToEncoding(NSStringEncoding encoding) const {
    return dataUsingEncoding(encoding) != nullptr;
}

NSUInteger NSString::lengthOfBytesUsingEncoding(NSStringEncoding encoding) const {
    switch (encoding) {
    case NSUTF8StringEncoding:
        return s_.size();
    case NSUTF16BigEndianStringEncoding:
    case NSUTF16LittleEndianStringEncoding:
    case NSUTF16StringEncoding:
        return length() * 2;
    default: {
        auto d = dataUsingEncoding(encoding);
        return d ? d->length() : 0;
    }
    }
}

// MARK: - Character sets and percent encoding

Ref<NSString> NSString::stringByTrimmingCharactersInSet(const Ref<NSCharacterSet>& set) const {
    if (!set) {
        return from(s_);
    }
    size_t begin = 0;
    while (begin < s_.size()) {
        size_t next = begin;
        if (!set->longCharacterIsMember(decodeAt(s_, next))) {
            break;
        }
        begin = next;
    }
    // Walk the code points once and remember where the last non-member ends.
    size_t end = begin;
    for (size_t i = begin; i < s_.size();) {
        if (!set->longCharacterIsMember(decodeAt(s_, i))) {
            end = i;
        }
    }
    return from(std::string_view(s_).substr(begin, end - begin));
}

Ref<NSArray> NSString::componentsSeparatedByCharactersInSet(const Ref<NSCharacterSet>& separators) const {
    std::vector<id> parts;
    size_t start = 0;
    for (size_t i = 0; i < s_.size();) {
        size_t at = i;
        char32_t cp = decodeAt(s_, i);
        if (separators && separators->longCharacterIsMember(cp)) {
            parts.push_back(from(std::string_view(s_).substr(start, at - start)));
            start = i;
        }
    }
    parts.push_back(from(std::string_view(s_).substr(start)));
    return NSArray::arrayWithVector(std::move(parts));
}

NSRange NSString::rangeOfCharacterFromSet(const Ref<NSCharacterSet>& set) const {
    return rangeOfCharacterFromSetOptions(set, 0);
}

NSRange NSString::rangeOfCharacterFromSetOptions(const Ref<NSCharacterSet>& set, NSStringCompareOptions options) const {
    NSRange found{static_cast<NSUInteger>(NSNotFound), 0};
    if (!set) {
        return found;
    }
    NSUInteger index = 0;
    for (size_t i = 0; i < s_.size();) {
        char32_t cp = decodeAt(s_, i);
        NSUInteger width = cp >= 0x10000 ? 2 : 1;
        if (set->longCharacterIsMember(cp)) {
            found = {index, width};
            if (!(options & NSBackwardsSearch)) {
                return found;
            }
        }
        index += width;
    }
    return found;
}

Ref<NSString> NSString::stringByPaddingToLengthWithStringStartingAtIndex(NSUInteger newLength,
                                                                         const Ref<NSString>& padString,
                                                                         NSUInteger padIndex) const {
    auto u = utf16();
    if (newLength <= u.size()) {
        return from(fromUTF16(u.data(), newLength));
    }
    std::u16string pad = padString ? padString->utf16() : std::u16string();
    if (padIndex >= pad.size()) {
        raiseRange("stringByPaddingToLength:withString:startingAtIndex:", padIndex, pad.size());
    }
    size_t k = padIndex;
    while (u.size() < newLength) {
        u += pad[k];
        k = (k + 1) % pad.size();
    }
    return from(fromUTF16(u.data(), u.size()));
}

Ref<NSString> NSString::stringByAddingPercentEncodingWithAllowedCharacters(const Ref<NSCharacterSet>& allowed) const {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s_.size());
    for (size_t i = 0; i < s_.size();) {
        size_t start = i;
        char32_t cp = decodeAt(s_, i);
        if (allowed && cp != 0xFFFD && allowed->longCharacterIsMember(cp)) {
            out.append(s_, start, i - start);
            continue;
        }
        for (size_t k = start; k < i; ++k) {
            auto b = static_cast<unsigned char>(s_[k]);
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
    return from(out);
}

Ref<NSString> NSString::stringByRemovingPercentEncoding() const {
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::string out;
    out.reserve(s_.size());
    for (size_t i = 0; i < s_.size(); ++i) {
        if (s_[i] != '%') {
            out += s_[i];
            continue;
        }
        if (i + 2 >= s_.size()) {
            return nullptr;
        }
        int hi = hexValue(s_[i + 1]), lo = hexValue(s_[i + 2]);
        if (hi < 0 || lo < 0) {
            return nullptr;
        }
        out += static_cast<char>((hi << 4) | lo);
        i += 2;
    }
    if (!isValidUTF8(reinterpret_cast<const uint8_t*>(out.data()), out.size())) {
        return nullptr;
    }
    return from(out);
}

// MARK: - Composed character sequences and text segments

namespace {

struct BreakIterator {
    UBreakIterator* it = nullptr;
    BreakIterator(UBreakIteratorType type, const std::u16string& text) {
        UErrorCode status = U_ZERO_ERROR;
        it = ubrk_open(type, "en_US_POSIX", reinterpret_cast<const UChar*>(text.data()),
                       static_cast<int32_t>(text.size()), &status);
        if (U_FAILURE(status)) {
            it = nullptr;
            NSException::raise(NSInternalInconsistencyException, "text segmentation is unavailable");
        }
    }
    ~BreakIterator() {
        if (it) {
            ubrk_close(it);
        }
    }
    BreakIterator(const BreakIterator&) = delete;
    BreakIterator& operator=(const BreakIterator&) = delete;
};

// The grapheme clusters of UTF-16 text, as [start, end) pairs.
std::vector<NSRange> graphemeRanges(const std::u16string& u) {
    std::vector<NSRange> out;
    if (u.empty()) {
        return out;
    }
    BreakIterator bi(UBRK_CHARACTER, u);
    int32_t start = ubrk_first(bi.it);
    for (int32_t end = ubrk_next(bi.it); end != UBRK_DONE; start = end, end = ubrk_next(bi.it)) {
        out.push_back({static_cast<NSUInteger>(start), static_cast<NSUInteger>(end - start)});
    }
    return out;
}

bool isLineBreak(char16_t c, bool paragraphsOnly) {
    if (c == u'\n' || c == u'\r' || c == 0x2029) {
        return true;
    }
    return !paragraphsOnly && (c == 0x2028 || c == 0x0085);
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x00A0 || c == 0x2028 || c == 0x2029 ||
           c == 0x0085 || (c >= 0x2000 && c <= 0x200A) || c == 0x3000;
}

struct Segment {
    NSRange range;
    NSRange enclosing;
};

std::vector<Segment> lineSegments(const std::u16string& u, bool paragraphsOnly) {
    std::vector<Segment> out;
    size_t start = 0;
    while (start < u.size()) {
        size_t end = start;
        while (end < u.size() && !isLineBreak(u[end], paragraphsOnly)) {
            ++end;
        }
        size_t next = end;
        if (next < u.size()) {
            next += (u[next] == u'\r' && next + 1 < u.size() && u[next + 1] == u'\n') ? 2 : 1;
        }
        out.push_back({{start, end - start}, {start, next - start}});
        start = next;
    }
    return out;
}

std::vector<Segment> wordSegments(const std::u16string& u) {
    std::vector<Segment> out;
    if (u.empty()) {
        return out;
    }
    BreakIterator bi(UBRK_WORD, u);
    std::vector<NSRange> words;
    int32_t start = ubrk_first(bi.it);
    for (int32_t end = ubrk_next(bi.it); end != UBRK_DONE; start = end, end = ubrk_next(bi.it)) {
        if (ubrk_getRuleStatus(bi.it) != UBRK_WORD_NONE) {
            words.push_back({static_cast<NSUInteger>(start), static_cast<NSUInteger>(end - start)});
        }
    }
    // Each word's enclosing range runs to the next word (the first one also takes what precedes it).
    for (size_t i = 0; i < words.size(); ++i) {
        NSUInteger from = i == 0 ? 0 : words[i].location;
        NSUInteger to = i + 1 < words.size() ? words[i + 1].location : u.size();
        out.push_back({words[i], {from, to - from}});
    }
    return out;
}

std::vector<Segment> sentenceSegments(const std::u16string& u) {
    std::vector<Segment> out;
    if (u.empty()) {
        return out;
    }
    BreakIterator bi(UBRK_SENTENCE, u);
    int32_t start = ubrk_first(bi.it);
    for (int32_t end = ubrk_next(bi.it); end != UBRK_DONE; start = end, end = ubrk_next(bi.it)) {
        auto e = static_cast<NSUInteger>(end);
        auto s = static_cast<NSUInteger>(start);
        while (e > s && isSpace(u[e - 1])) {
            --e;
        }
        if (e > s) {
            out.push_back({{s, e - s}, {s, static_cast<NSUInteger>(end) - s}});
        }
    }
    return out;
}

} // namespace

// The composed character sequence holding the UTF-16 index, found by walking the boundaries from
// the start. (ICU moves an offset inside a surrogate pair to the pair's start before it looks for a
// preceding boundary, so preceding/following alone give the sequence before.)
static NSRange composedSequenceAt(UBreakIterator* it, NSUInteger index, NSUInteger length) {
    int32_t start = ubrk_first(it);
    for (int32_t b = ubrk_next(it); b != UBRK_DONE; b = ubrk_next(it)) {
        if (static_cast<NSUInteger>(b) > index) {
            return {static_cast<NSUInteger>(start), static_cast<NSUInteger>(b - start)};
        }
        start = b;
    }
    return {static_cast<NSUInteger>(start), length - static_cast<NSUInteger>(start)};
}

NSRange NSString::rangeOfComposedCharacterSequenceAtIndex(NSUInteger index) const {
    auto u = utf16();
    if (index >= u.size()) {
        raiseRange("rangeOfComposedCharacterSequenceAtIndex", index, u.size());
    }
    BreakIterator bi(UBRK_CHARACTER, u);
    return composedSequenceAt(bi.it, index, u.size());
}

NSRange NSString::rangeOfComposedCharacterSequencesForRange(NSRange range) const {
    auto u = utf16();
    if (range.location > u.size() || range.length > u.size() - range.location) {
        raiseRange("rangeOfComposedCharacterSequencesForRange", NSMaxRange(range), u.size());
    }
    if (range.location == u.size()) {
        return {u.size(), 0};
    }
    BreakIterator bi(UBRK_CHARACTER, u);
    // The last boundary at or before the location, the first at or after the end.
    NSUInteger start = composedSequenceAt(bi.it, range.location, u.size()).location;
    if (range.length == 0) {
        return {start, 0};
    }
    NSUInteger end = NSMaxRange(composedSequenceAt(bi.it, NSMaxRange(range) - 1, u.size()));
    return {start, end - start};
}

void NSString::enumerateSubstringsInRangeOptionsUsingBlock(NSRange range, NSStringEnumerationOptions options,
                                                           const NSStringEnumerationBlock& block) const {
    auto all = utf16();
    if (range.location > all.size() || range.length > all.size() - range.location) {
        raiseRange("enumerateSubstringsInRange:options:usingBlock:", NSMaxRange(range), all.size());
    }
    std::u16string u = all.substr(range.location, range.length);
    std::vector<Segment> segments;
    switch (options & 0xFF) {
    case NSStringEnumerationByLines:
        segments = lineSegments(u, false);
        break;
    case NSStringEnumerationByParagraphs:
        segments = lineSegments(u, true);
        break;
    case NSStringEnumerationByComposedCharacterSequences:
        for (const auto& r : graphemeRanges(u)) {
            segments.push_back({r, r});
        }
        break;
    case NSStringEnumerationByWords:
        segments = wordSegments(u);
        break;
    case NSStringEnumerationBySentences:
        segments = sentenceSegments(u);
        break;
    default:
        NSException::raise(NSInvalidArgumentException, "enumerateSubstringsInRange: unknown enumeration option");
    }
    if (options & NSStringEnumerationReverse) {
        std::reverse(segments.begin(), segments.end());
    }
    bool stop = false;
    for (const auto& seg : segments) {
        Ref<NSString> sub;
        if (!(options & NSStringEnumerationSubstringNotRequired)) {
            sub = from(fromUTF16(u.data() + seg.range.location, seg.range.length));
        }
        block(sub, {seg.range.location + range.location, seg.range.length},
              {seg.enclosing.location + range.location, seg.enclosing.length}, &stop);
        if (stop) {
            break;
        }
    }
}

Ref<NSArray> NSString::composedCharacterSequences() const {
    auto u = utf16();
    std::vector<id> out;
    for (const auto& r : graphemeRanges(u)) {
        out.push_back(from(fromUTF16(u.data() + r.location, r.length)));
    }
    return NSArray::arrayWithVector(std::move(out));
}
