#include <Foundation/NSDateFormatter.h>
#include <Runtime/ClassBuilder.h>

#include <cctype>
#include <cmath>
#include <optional>
#include <vector>

NS_IMPLEMENT_CLASS(NSDateFormatter, NSObject) {
    b.property("dateFormat", &NSDateFormatter::dateFormat, &NSDateFormatter::setDateFormat);
}

namespace {

const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                         "July",    "August",   "September", "October", "November", "December"};
const char* kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* kEras[] = {"AD", "BC"};
const char* kHalves[] = {"AM", "PM"};

struct Token {
    char letter = 0; // 0: literal
    int count = 0;
    std::string literal;
};

std::vector<Token> tokenize(const std::string& f) {
    std::vector<Token> tokens;
    auto literal = [&](const std::string& text) {
        if (!tokens.empty() && tokens.back().letter == 0) {
            tokens.back().literal += text;
        } else {
            tokens.push_back({0, 0, text});
        }
    };
    for (size_t i = 0; i < f.size();) {
        char c = f[i];
        if (c == '\'') {
            if (i + 1 < f.size() && f[i + 1] == '\'') {
                literal("'");
                i += 2;
                continue;
            }
            size_t end = i + 1;
            std::string text;
            while (end < f.size()) {
                if (f[end] == '\'') {
                    if (end + 1 < f.size() && f[end + 1] == '\'') {
                        text += '\'';
                        end += 2;
                        continue;
                    }
                    break;
                }
                text += f[end++];
            }
            literal(text);
            i = end + 1;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            size_t n = 1;
            while (i + n < f.size() && f[i + n] == c) {
                ++n;
            }
            tokens.push_back({c, static_cast<int>(n), {}});
            i += n;
        } else {
            literal(std::string(1, c));
            ++i;
        }
    }
    return tokens;
}

bool isNumeric(char letter, int count) {
    switch (letter) {
    case 'y':
    case 'd':
    case 'D':
    case 'H':
    case 'h':
    case 'k':
    case 'K':
    case 'm':
    case 's':
    case 'S':
        return true;
    case 'M':
    case 'L':
        return count <= 2;
    default:
        return false;
    }
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    auto yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    auto doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool isLeap(long long y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(long long y, unsigned m) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

std::string padded(long long v, int width) {
    std::string digits = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    }
    return v < 0 ? "-" + digits : digits;
}

std::string offsetText(NSInteger offset, bool colon, bool zForZero, bool withMinutes = true) {
    if (zForZero && offset == 0) {
        return "Z";
    }
    NSInteger a = offset < 0 ? -offset : offset;
    std::string out = offset < 0 ? "-" : "+";
    out += padded(a / 3600, 2);
    if (withMinutes || a % 3600) {
        out += colon ? ":" : "";
        out += padded(a % 3600 / 60, 2);
    }
    return out;
}

struct Fields {
    long long year = 2000;
    unsigned month = 1, day = 1;
    int dayOfYear = 0;
    int hour = 0, minute = 0, second = 0;
    long long millis = 0;
    int ampm = -1; // 0 AM, 1 PM
    bool twelveHour = false;
    std::optional<NSInteger> offset;
};

class Scanner {
public:
    explicit Scanner(const std::string& s) : s_(s) {}
    bool atEnd() const { return i_ >= s_.size(); }

    bool literal(const std::string& text) {
        if (s_.compare(i_, text.size(), text) != 0) {
            return false;
        }
        i_ += text.size();
        return true;
    }

    // Digits: exactly `exact` of them when exact > 0, else 1 to 10.
    bool number(int exact, long long& out, int* digitsRead = nullptr) {
        size_t start = i_;
        size_t limit = exact > 0 ? static_cast<size_t>(exact) : 10;
        while (i_ < s_.size() && i_ - start < limit && std::isdigit(static_cast<unsigned char>(s_[i_]))) {
            ++i_;
        }
        size_t n = i_ - start;
        if (n == 0 || (exact > 0 && n != static_cast<size_t>(exact))) {
            i_ = start;
            return false;
        }
        out = std::stoll(s_.substr(start, n));
        if (digitsRead) {
            *digitsRead = static_cast<int>(n);
        }
        return true;
    }

    // One of the names (case-insensitively), the longest match first; its index or -1.
    int name(const char* const* names, int count, size_t prefix) {
        int best = -1;
        size_t bestLength = 0;
        for (int k = 0; k < count; ++k) {
            std::string n = prefix ? std::string(names[k]).substr(0, prefix) : std::string(names[k]);
            if (n.size() > bestLength && i_ + n.size() <= s_.size()) {
                bool same = true;
                for (size_t j = 0; j < n.size() && same; ++j) {
                    same = std::tolower(static_cast<unsigned char>(s_[i_ + j])) ==
                           std::tolower(static_cast<unsigned char>(n[j]));
                }
                if (same) {
                    best = k;
                    bestLength = n.size();
                }
            }
        }
        i_ += bestLength;
        return best;
    }

    // "Z", "+08", "+0800", "+08:00", "GMT", "GMT+8", "GMT+08:00", "UTC..."
    bool offset(NSInteger& out) {
        if (literal("Z")) {
            out = 0;
            return true;
        }
        bool named = literal("GMT") || literal("UTC");
        if (atEnd() || (s_[i_] != '+' && s_[i_] != '-')) {
            out = 0;
            return named;
        }
        int sign = s_[i_++] == '-' ? -1 : 1;
        long long h = 0, m = 0;
        int digits = 0;
        if (!number(0, h, &digits) || digits > 4) {
            return false;
        }
        if (digits > 2) { // +0800
            m = h % 100;
            h /= 100;
        } else if (literal(":") && !number(2, m)) {
            return false;
        }
        if (h > 18 || m > 59) {
            return false;
        }
        out = sign * static_cast<NSInteger>(h * 3600 + m * 60);
        return true;
    }

private:
    const std::string& s_;
    size_t i_ = 0;
};

} // namespace

NSDateFormatter::NSDateFormatter()
    : format_(NSString::string()), timeZone_(NSTimeZone::localTimeZone()), locale_(NSLocale::currentLocale()) {}

Ref<NSString> NSDateFormatter::dateFormat() const {
    std::lock_guard lock(lock_);
    return format_;
}

void NSDateFormatter::setDateFormat(const Ref<NSString>& format) {
    std::lock_guard lock(lock_);
    format_ = format ? cast<NSString>(format->copy()) : NSString::string();
}

Ref<NSTimeZone> NSDateFormatter::timeZone() const {
    std::lock_guard lock(lock_);
    return timeZone_;
}

void NSDateFormatter::setTimeZone(const Ref<NSTimeZone>& timeZone) {
    std::lock_guard lock(lock_);
    timeZone_ = timeZone ? timeZone : NSTimeZone::localTimeZone();
}

Ref<NSLocale> NSDateFormatter::locale() const {
    std::lock_guard lock(lock_);
    return locale_;
}

void NSDateFormatter::setLocale(const Ref<NSLocale>& locale) {
    std::lock_guard lock(lock_);
    locale_ = locale ? locale : NSLocale::currentLocale();
}

Ref<NSString> NSDateFormatter::stringFromDate(const Ref<NSDate>& date) const {
    if (!date) {
        return nullptr;
    }
    Ref<NSString> format = dateFormat();
    Ref<NSTimeZone> zone = timeZone();
    NSInteger offset = zone->secondsFromGMTForDate(date);
    auto localMillis = static_cast<long long>(std::floor((date->timeIntervalSince1970() + offset) * 1000.0 + 0.5));
    long long days = localMillis >= 0 ? localMillis / 86400000 : -((-localMillis + 86399999) / 86400000);
    long long inDay = localMillis - days * 86400000;
    long long y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    int hour = static_cast<int>(inDay / 3600000), minute = static_cast<int>(inDay / 60000 % 60),
        second = static_cast<int>(inDay / 1000 % 60), millis = static_cast<int>(inDay % 1000);
    int weekday = static_cast<int>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday (4)
    long long dayOfYear = days - daysFromCivil(y, 1, 1) + 1;

    std::string out;
    for (const auto& t : tokenize(format->str())) {
        switch (t.letter) {
        case 0:
            out += t.literal;
            break;
        case 'G':
            out += y > 0 ? "AD" : "BC";
            break;
        case 'y':
        case 'Y':
        case 'u':
            out += t.count == 2 ? padded(((y % 100) + 100) % 100, 2) : padded(y, t.count);
            break;
        case 'M':
        case 'L':
            out += t.count >= 4   ? std::string(kMonths[m - 1])
                   : t.count == 3 ? std::string(kMonths[m - 1]).substr(0, 3)
                                  : padded(m, t.count);
            break;
        case 'd':
            out += padded(d, t.count);
            break;
        case 'D':
            out += padded(dayOfYear, t.count);
            break;
        case 'E':
        case 'e':
        case 'c':
            out += t.count >= 4 ? std::string(kWeekdays[weekday]) : std::string(kWeekdays[weekday]).substr(0, 3);
            break;
        case 'a':
            out += hour < 12 ? "AM" : "PM";
            break;
        case 'H':
            out += padded(hour, t.count);
            break;
        case 'k':
            out += padded(hour == 0 ? 24 : hour, t.count);
            break;
        case 'h':
            out += padded(hour % 12 == 0 ? 12 : hour % 12, t.count);
            break;
        case 'K':
            out += padded(hour % 12, t.count);
            break;
        case 'm':
            out += padded(minute, t.count);
            break;
        case 's':
            out += padded(second, t.count);
            break;
        case 'S': {
            std::string fraction = padded(millis, 3);
            fraction.resize(static_cast<size_t>(t.count), '0');
            out += fraction;
            break;
        }
        case 'Z':
            out += t.count <= 3   ? offsetText(offset, false, false)
                   : t.count == 4 ? "GMT" + offsetText(offset, true, false)
                                  : offsetText(offset, true, true);
            break;
        case 'X':
        case 'x': {
            bool z = t.letter == 'X';
            out += t.count == 1   ? offsetText(offset, false, z, false)
                   : t.count == 2 ? offsetText(offset, false, z)
                                  : offsetText(offset, true, z);
            break;
        }
        case 'z':
        case 'O': {
            NSInteger a = offset < 0 ? -offset : offset;
            if (t.count >= 4) {
                out += "GMT" + offsetText(offset, true, false);
            } else if (offset == 0) {
                out += "GMT";
            } else {
                out += "GMT" + std::string(offset < 0 ? "-" : "+") + std::to_string(a / 3600) +
                       (a % 3600 ? ":" + padded(a % 3600 / 60, 2) : std::string());
            }
            break;
        }
        default:
            out.append(static_cast<size_t>(t.count), t.letter);
            break;
        }
    }
    return NSString::from(out);
}

Ref<NSDate> NSDateFormatter::dateFromString(const Ref<NSString>& string) const {
    if (!string) {
        return nullptr;
    }
    Ref<NSString> format = dateFormat();
    Ref<NSTimeZone> zone = timeZone();
    auto tokens = tokenize(format->str());
    Scanner in(string->str());
    Fields f;
    for (size_t k = 0; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        bool adjacent =
            k + 1 < tokens.size() && tokens[k + 1].letter && isNumeric(tokens[k + 1].letter, tokens[k + 1].count);
        int exact = adjacent ? std::max(t.count, t.letter == 'y' && t.count == 1 ? 4 : t.count) : 0;
        if (t.count == 2 && t.letter != 'S') {
            exact = 2;
        }
        long long v = 0;
        switch (t.letter) {
        case 0:
            if (!in.literal(t.literal)) {
                return nullptr;
            }
            break;
        case 'G':
            if (in.name(kEras, 2, 0) < 0) {
                return nullptr;
            }
            break;
        case 'y':
        case 'Y':
        case 'u':
            if (!in.number(exact, v)) {
                return nullptr;
            }
            if (t.count == 2) {
                v += v < 70 ? 2000 : 1900;
            }
            f.year = v;
            break;
        case 'M':
        case 'L':
            if (t.count >= 3) {
                int index = in.name(kMonths, 12, t.count == 3 ? 3 : 0);
                if (index < 0) {
                    return nullptr;
                }
                f.month = static_cast<unsigned>(index + 1);
            } else {
                if (!in.number(exact, v) || v < 1 || v > 12) {
                    return nullptr;
                }
                f.month = static_cast<unsigned>(v);
            }
            break;
        case 'd':
            if (!in.number(exact, v) || v < 1 || v > 31) {
                return nullptr;
            }
            f.day = static_cast<unsigned>(v);
            break;
        case 'D':
            if (!in.number(exact, v) || v < 1 || v > 366) {
                return nullptr;
            }
            f.dayOfYear = static_cast<int>(v);
            break;
        case 'E':
        case 'e':
        case 'c':
            if (in.name(kWeekdays, 7, t.count >= 4 ? 0 : 3) < 0) {
                return nullptr;
            }
            break;
        case 'a': {
            int index = in.name(kHalves, 2, 0);
            if (index < 0) {
                return nullptr;
            }
            f.ampm = index;
            break;
        }
        case 'H':
        case 'k':
            if (!in.number(exact, v) || v > (t.letter == 'k' ? 24 : 23) || (t.letter == 'k' && v == 0)) {
                return nullptr;
            }
            f.hour = static_cast<int>(t.letter == 'k' && v == 24 ? 0 : v);
            break;
        case 'h':
        case 'K':
            if (!in.number(exact, v) || v > 12 || (t.letter == 'h' && v == 0) || (t.letter == 'K' && v > 11)) {
                return nullptr;
            }
            f.hour = static_cast<int>(v % 12);
            f.twelveHour = true;
            break;
        case 'm':
            if (!in.number(exact, v) || v > 59) {
                return nullptr;
            }
            f.minute = static_cast<int>(v);
            break;
        case 's':
            if (!in.number(exact, v) || v > 59) {
                return nullptr;
            }
            f.second = static_cast<int>(v);
            break;
        case 'S': {
            int digits = 0;
            if (!in.number(adjacent ? t.count : 0, v, &digits)) {
                return nullptr;
            }
            double fraction = static_cast<double>(v) / std::pow(10.0, digits);
            f.millis = static_cast<long long>(std::floor(fraction * 1000.0 + 0.5));
            break;
        }
        case 'Z':
        case 'X':
        case 'x':
        case 'z':
        case 'O': {
            NSInteger offset = 0;
            if (!in.offset(offset)) {
                return nullptr;
            }
            f.offset = offset;
            break;
        }
        default:
            if (!in.literal(std::string(static_cast<size_t>(t.count), t.letter))) {
                return nullptr;
            }
            break;
        }
    }
    if (!in.atEnd()) {
        return nullptr;
    }
    if (f.twelveHour && f.ampm == 1) {
        f.hour += 12;
    }
    long long days = 0;
    if (f.dayOfYear) {
        if (f.dayOfYear > (isLeap(f.year) ? 366 : 365)) {
            return nullptr;
        }
        days = daysFromCivil(f.year, 1, 1) + f.dayOfYear - 1;
    } else {
        if (f.day > daysInMonth(f.year, f.month)) {
            return nullptr;
        }
        days = daysFromCivil(f.year, f.month, f.day);
    }
    double local = static_cast<double>(days) * 86400.0 + f.hour * 3600.0 + f.minute * 60.0 + f.second +
                   static_cast<double>(f.millis) / 1000.0;
    double sinceReference = local - NSTimeIntervalSince1970;
    if (f.offset) {
        return NSDate::dateWithTimeIntervalSinceReferenceDate(sinceReference - static_cast<double>(*f.offset));
    }
    // The zone's offset at that moment: found by trying the offset of the first guess.
    auto guess = NSDate::dateWithTimeIntervalSinceReferenceDate(sinceReference);
    NSInteger offset = zone->secondsFromGMTForDate(guess);
    offset = zone->secondsFromGMTForDate(
        NSDate::dateWithTimeIntervalSinceReferenceDate(sinceReference - static_cast<double>(offset)));
    return NSDate::dateWithTimeIntervalSinceReferenceDate(sinceReference - static_cast<double>(offset));
}
