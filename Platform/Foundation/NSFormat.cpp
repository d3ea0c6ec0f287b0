// The format engine behind stringWithFormat:, stringByAppendingFormat: and NSLog: printf-style
// conversions (%d %i %u %x %X %o %c %s %p and the floating-point ones, with flags, width, precision,
// length modifiers and %N$ positions), %@ for an object's description, and %%. Width and precision
// count characters, not bytes, and are capped.
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>
#include <Foundation/UTF8Decoding.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using foundation_detail::decodeAt;

// Width and precision are capped, so a hostile format cannot ask for gigabytes of padding.
constexpr size_t kMaxFieldWidth = 4096;

long long clampToLongLong(double d) {
    if (std::isnan(d)) {
        return 0;
    }
    if (d >= 9.2233720368547758e18) {
        return LLONG_MAX;
    }
    if (d <= -9.2233720368547758e18) {
        return LLONG_MIN;
    }
    return static_cast<long long>(d);
}

// snprintf into a string of any length.
template <class T>
std::string cformat(const std::string& fmt, T value) {
    char buf[128];
    int n = std::snprintf(buf, sizeof buf, fmt.c_str(), value);
    if (n < 0) {
        return {};
    }
    if (static_cast<size_t>(n) < sizeof buf) {
        return std::string(buf, static_cast<size_t>(n));
    }
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt.c_str(), value);
    out.resize(static_cast<size_t>(n));
    return out;
}

size_t codePointCount(const std::string& s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size();) {
        decodeAt(s, i);
        ++n;
    }
    return n;
}

// Applies precision (a maximum count of characters) and width (padding with spaces) to text.
std::string padText(std::string text, bool leftAlign, size_t width, bool hasPrecision, size_t precision) {
    if (hasPrecision) {
        size_t i = 0, n = 0;
        while (i < text.size() && n < precision) {
            decodeAt(text, i);
            ++n;
        }
        text.resize(i);
    }
    size_t count = codePointCount(text);
    if (count < width) {
        std::string pad(width - count, ' ');
        text = leftAlign ? text + pad : pad + text;
    }
    return text;
}

} // namespace

std::string NSFormat(std::string_view format, const std::vector<NSFormatArgument>& args) {
    std::string out;
    size_t next = 0; // the next sequential argument
    auto takeInt = [&](size_t index) -> long long {
        if (index >= args.size()) {
            return 0;
        }
        const auto& a = args[index];
        switch (a.kind) {
        case NSFormatArgument::Signed:
            return a.i;
        case NSFormatArgument::Unsigned:
            return a.u > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(a.u);
        case NSFormatArgument::Double:
            return clampToLongLong(a.d);
        case NSFormatArgument::Object:
            return unbox<long long>(a.object);
        default:
            return 0;
        }
    };
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
        auto readNumber = [&](size_t& j) {
            size_t n = 0;
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) {
                n = std::min<size_t>(n * 10 + static_cast<size_t>(format[j] - '0'), 1'000'000);
                ++j;
            }
            return n;
        };
        // Positional argument: %N$
        size_t argIndex = 0;
        bool positional = false;
        {
            size_t j = i;
            size_t n = readNumber(j);
            if (j > i && j < format.size() && format[j] == '$' && n > 0) {
                argIndex = n - 1;
                positional = true;
                i = j + 1;
            }
        }
        std::string flags;
        while (i < format.size() && std::strchr("-+ #0'", format[i])) {
            if (flags.find(format[i]) == std::string::npos) {
                flags += format[i];
            }
            ++i;
        }
        // Width: digits, "*" (the next argument) or "*N$".
        size_t width = 0;
        bool leftAlign = flags.find('-') != std::string::npos;
        auto starArgument = [&](size_t& j) -> long long {
            ++j; // '*'
            size_t k = j;
            size_t n = readNumber(k);
            if (k > j && k < format.size() && format[k] == '$' && n > 0) {
                j = k + 1;
                return takeInt(n - 1);
            }
            return takeInt(next++);
        };
        if (i < format.size() && format[i] == '*') {
            long long w = starArgument(i);
            if (w < 0) {
                leftAlign = true;
                w = -w;
            }
            width = static_cast<size_t>(std::min<long long>(w, static_cast<long long>(kMaxFieldWidth)));
        } else {
            width = std::min(readNumber(i), kMaxFieldWidth);
        }
        bool hasPrecision = false;
        size_t precision = 0;
        if (i < format.size() && format[i] == '.') {
            ++i;
            hasPrecision = true;
            if (i < format.size() && format[i] == '*') {
                long long p = starArgument(i);
                hasPrecision = p >= 0;
                precision = static_cast<size_t>(std::clamp<long long>(p, 0, static_cast<long long>(kMaxFieldWidth)));
            } else {
                precision = std::min(readNumber(i), kMaxFieldWidth);
            }
        }
        bool wide = false; // a length modifier of 64 bits (l, ll, q, z, j, t)
        while (i < format.size() && std::strchr("hlqLzjt", format[i])) {
            wide = wide || format[i] != 'h';
            ++i;
        }
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        char conv = format[i];
        if (!std::strchr("@sdiuxXocCfFeEgGaAp", conv)) {
            // Unknown (or unsafe, such as %n): written as it stands, no argument consumed.
            out.append(format.substr(start, i - start + 1));
            continue;
        }
        if (!positional) {
            argIndex = next++;
        }
        const NSFormatArgument* arg = argIndex < args.size() ? &args[argIndex] : nullptr;
        std::string numberFlags = flags;
        if (leftAlign && numberFlags.find('-') == std::string::npos) {
            numberFlags += '-';
        }
        std::string spec = "%" + numberFlags + (width ? std::to_string(width) : std::string()) +
                           (hasPrecision ? "." + std::to_string(precision) : std::string());
        auto asSigned = [&]() -> long long { return arg ? takeInt(argIndex) : 0; };
        auto asUnsigned = [&]() -> unsigned long long {
            if (!arg) {
                return 0;
            }
            if (arg->kind == NSFormatArgument::Unsigned) {
                return arg->u;
            }
            if (arg->kind == NSFormatArgument::Pointer) {
                return reinterpret_cast<uintptr_t>(arg->p);
            }
            if (arg->kind == NSFormatArgument::Object) {
                if (auto n = cast<NSNumber>(arg->object); n && n->isUnsigned()) {
                    return n->unsignedLongLongValue();
                }
            }
            long long v = asSigned();
            // An int printed with %x or %u reads as the 32-bit unsigned value, as in C.
            if (!wide && v >= INT_MIN && v <= INT_MAX) {
                return static_cast<unsigned int>(static_cast<int>(v));
            }
            return static_cast<unsigned long long>(v);
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
            case NSFormatArgument::Double:
                return cformat("%g", arg->d);
            case NSFormatArgument::Pointer:
                return arg->p ? cformat("%p", arg->p) : "0x0";
            }
            return "";
        };
        switch (conv) {
        case '@':
        case 's':
            out += padText(asText(), leftAlign, width, hasPrecision, precision);
            break;
        case 'd':
        case 'i':
            out += cformat(spec + "lld", asSigned());
            break;
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            out += cformat(spec + "ll" + conv, asUnsigned());
            break;
        case 'c':
        case 'C': {
            long long v = asSigned();
            std::string ch;
            auto cp = static_cast<char32_t>(conv == 'c' ? (v & 0xFF) : (v & 0xFFFF));
            if (cp == 0) {
                ch = "";
            } else {
                NSAppendUTF8(ch, (cp >= 0xD800 && cp < 0xE000) ? 0xFFFD : cp);
            }
            out += padText(ch, leftAlign, width, false, 0);
            break;
        }
        case 'p': {
            const void* p = nullptr;
            if (arg && arg->kind == NSFormatArgument::Pointer) {
                p = arg->p;
            } else if (arg && arg->kind == NSFormatArgument::Object) {
                p = arg->object.get();
            } else if (arg && arg->kind == NSFormatArgument::CString) {
                p = arg->s;
            }
            out += padText(cformat("0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p))),
                           leftAlign, width, false, 0);
            break;
        }
        default: { // floating point
            double d = 0;
            if (arg) {
                switch (arg->kind) {
                case NSFormatArgument::Double:
                    d = arg->d;
                    break;
                case NSFormatArgument::Signed:
                    d = static_cast<double>(arg->i);
                    break;
                case NSFormatArgument::Unsigned:
                    d = static_cast<double>(arg->u);
                    break;
                case NSFormatArgument::Object:
                    d = unbox<double>(arg->object);
                    break;
                default:
                    break;
                }
            }
            out += cformat(spec + conv, d);
            break;
        }
        }
    }
    return out;
}
