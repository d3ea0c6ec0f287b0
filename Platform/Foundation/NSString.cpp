#include <Foundation/NSArray.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cctype>
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

// Decodes one code point at `i`; malformed bytes decode as U+FFFD, one byte each.
char32_t decodeAt(const std::string& s, size_t& i) {
    auto c = static_cast<unsigned char>(s[i]);
    auto cont = [&](size_t k) { return k < s.size() && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80; };
    if (c < 0x80) {
        ++i;
        return c;
    }
    if ((c & 0xE0) == 0xC0 && cont(i + 1)) {
        char32_t cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
        i += 2;
        return cp;
    }
    if ((c & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
        char32_t cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
        i += 3;
        return cp;
    }
    if ((c & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
        char32_t cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
        i += 4;
        return cp;
    }
    ++i;
    return 0xFFFD;
}

void appendUTF8(std::string& out, char32_t cp) {
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
        appendUTF8(out, c);
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

NSRange NSString::rangeOfComposedCharacterSequenceAtIndex(NSUInteger index) const {
    auto u = utf16();
    if (index >= u.size()) {
        raiseRange("rangeOfComposedCharacterSequenceAtIndex", index, u.size());
    }
    NSUInteger start = index;
    if (u[start] >= 0xDC00 && u[start] < 0xE000 && start > 0) {
        --start;
    }
    NSUInteger end = start + ((u[start] >= 0xD800 && u[start] < 0xDC00 && start + 1 < u.size()) ? 2 : 1);
    return {start, end - start};
}

// MARK: - Construction

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
} // namespace

NSRange NSString::rangeOfStringOptions(const Ref<NSString>& other, NSStringCompareOptions options) const {
    if (!other || other->s_.empty()) {
        return {static_cast<NSUInteger>(NSNotFound), 0};
    }
    std::string hay = (options & NSCaseInsensitiveSearch) ? foldCase(s_) : s_;
    std::string needle = (options & NSCaseInsensitiveSearch) ? foldCase(other->s_) : other->s_;
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
    NSUInteger start = utf16Index(s_, pos);
    return {start, utf16Index(s_, pos + needle.size()) - start};
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

Ref<NSString> NSString::lowercaseString() const {
    return from(foldCase(s_));
}

Ref<NSString> NSString::uppercaseString() const {
    std::string out = s_;
    for (auto& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return from(out);
}

Ref<NSString> NSString::capitalizedString() const {
    std::string out = foldCase(s_);
    bool start = true;
    for (auto& c : out) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (start) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            start = false;
        } else {
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

// MARK: - Format strings

std::string NSFormat(std::string_view format, const std::vector<NSFormatArgument>& args) {
    std::string out;
    size_t next = 0; // the next sequential argument
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t start = i++;
        // Positional argument: %N$
        size_t argIndex = next;
        bool positional = false;
        {
            size_t j = i;
            size_t n = 0;
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) {
                n = n * 10 + static_cast<size_t>(format[j] - '0');
                ++j;
            }
            if (j > i && j < format.size() && format[j] == '$' && n > 0) {
                argIndex = n - 1;
                positional = true;
                i = j + 1;
            }
        }
        std::string flags;
        while (i < format.size() && std::strchr("-+ #0'", format[i])) {
            flags += format[i++];
        }
        std::string width;
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) {
            width += format[i++];
        }
        std::string precision;
        if (i < format.size() && format[i] == '.') {
            precision += format[i++];
            while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) {
                precision += format[i++];
            }
        }
        while (i < format.size() && std::strchr("hlqLzjt", format[i])) {
            ++i; // length modifiers: every argument already carries its own width
        }
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        char conv = format[i];
        if (!positional) {
            ++next;
        }
        const NSFormatArgument* arg = argIndex < args.size() ? &args[argIndex] : nullptr;
        std::string spec = "%" + flags + width + precision;
        char buf[512];
        auto emit = [&](const std::string& fmt, auto value) {
            std::snprintf(buf, sizeof buf, fmt.c_str(), value);
            out += buf;
        };
        auto asSigned = [&]() -> long long {
            if (!arg) {
                return 0;
            }
            switch (arg->kind) {
            case NSFormatArgument::Signed:
                return arg->i;
            case NSFormatArgument::Unsigned:
                return static_cast<long long>(arg->u);
            case NSFormatArgument::Double:
                return static_cast<long long>(arg->d);
            default:
                return 0;
            }
        };
        auto asUnsigned = [&]() -> unsigned long long {
            if (arg && arg->kind == NSFormatArgument::Unsigned) {
                return arg->u;
            }
            if (arg && arg->kind == NSFormatArgument::Pointer) {
                return reinterpret_cast<uintptr_t>(arg->p);
            }
            return static_cast<unsigned long long>(asSigned());
        };
        auto asText = [&]() -> std::string {
            if (!arg) {
                return "(null)";
            }
            switch (arg->kind) {
            case NSFormatArgument::Object:
                return NSDescription(arg->object)->str();
            case NSFormatArgument::CString:
                return arg->s ? arg->s : "(null)";
            case NSFormatArgument::Signed:
                return std::to_string(arg->i);
            case NSFormatArgument::Unsigned:
                return std::to_string(arg->u);
            case NSFormatArgument::Double: {
                std::snprintf(buf, sizeof buf, "%g", arg->d);
                return buf;
            }
            case NSFormatArgument::Pointer: {
                std::snprintf(buf, sizeof buf, "%p", arg->p);
                return buf;
            }
            }
            return "";
        };
        switch (conv) {
        case '@':
        case 's': {
            std::string text = asText();
            if (!width.empty() || !precision.empty()) {
                emit(spec + "s", text.c_str());
            } else {
                out += text;
            }
            break;
        }
        case 'd':
        case 'i':
            emit(spec + "lld", asSigned());
            break;
        case 'u':
            emit(spec + "llu", asUnsigned());
            break;
        case 'x':
        case 'X':
        case 'o':
            emit(spec + "ll" + conv, asUnsigned());
            break;
        case 'c':
            emit(spec + "c", static_cast<int>(asSigned()));
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            double d = 0;
            if (arg && arg->kind == NSFormatArgument::Double) {
                d = arg->d;
            } else if (arg && arg->kind == NSFormatArgument::Unsigned) {
                d = static_cast<double>(arg->u);
            } else if (arg && arg->kind == NSFormatArgument::Object) {
                d = unbox<double>(arg->object);
            } else {
                d = static_cast<double>(asSigned());
            }
            emit(spec + conv, d);
            break;
        }
        case 'p':
            emit(spec + "p", arg && arg->kind == NSFormatArgument::Pointer ? arg->p
                             : arg && arg->kind == NSFormatArgument::Object
                                 ? static_cast<const void*>(arg->object.get())
                                 : nullptr);
            break;
        default:
            out.append(format.substr(start, i - start + 1));
            break;
        }
    }
    return out;
}
