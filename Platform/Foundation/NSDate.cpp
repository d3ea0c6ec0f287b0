#include <Foundation/NSDate.h>
#include <Runtime/ClassBuilder.h>

#include <Dispatch/Clock.h>

#include <cmath>
#include <cstdio>
#include <functional>

NS_IMPLEMENT_CLASS(NSDate, NSObject) {
    b.readonlyProperty("timeIntervalSinceReferenceDate", &NSDate::timeIntervalSinceReferenceDate);
    b.readonlyProperty("timeIntervalSince1970", &NSDate::timeIntervalSince1970);
    b.classMethod("date", [] { return NSDate::date(); });
}

namespace {
// 4001-01-01 and 0001-01-01 00:00:00 UTC (proleptic Gregorian), in seconds since the reference date.
constexpr NSTimeInterval kDistantFuture = 63113904000.0;
constexpr NSTimeInterval kDistantPast = -63113904000.0 - 172800.0;

void requireDate(const Ref<NSDate>& date, const char* op) {
    if (!date) {
        NSException::raise(NSInvalidArgumentException, std::string("-[NSDate ") + op + "]: nil argument");
    }
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}
} // namespace

NSDate::NSDate() : t_(DispatchClock::now()) {}

NSTimeInterval NSDate::now() {
    return DispatchClock::now();
}

Ref<NSDate> NSDate::date() {
    return make<NSDate>();
}
Ref<NSDate> NSDate::dateWithTimeIntervalSinceNow(NSTimeInterval seconds) {
    return make<NSDate>(now() + seconds);
}
Ref<NSDate> NSDate::dateWithTimeIntervalSince1970(NSTimeInterval seconds) {
    return make<NSDate>(seconds - NSTimeIntervalSince1970);
}
Ref<NSDate> NSDate::dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds) {
    return make<NSDate>(seconds);
}
Ref<NSDate> NSDate::dateWithTimeIntervalSinceDate(NSTimeInterval seconds, const Ref<NSDate>& date) {
    requireDate(date, "initWithTimeInterval:sinceDate:");
    return make<NSDate>(date->t_ + seconds);
}
Ref<NSDate> NSDate::distantFuture() {
    static const Ref<NSDate>& d = *new Ref<NSDate>(make<NSDate>(kDistantFuture)); // never destroyed
    return d;
}
Ref<NSDate> NSDate::distantPast() {
    static const Ref<NSDate>& d = *new Ref<NSDate>(make<NSDate>(kDistantPast)); // never destroyed
    return d;
}

NSTimeInterval NSDate::timeIntervalSinceNow() const {
    return t_ - now();
}

NSTimeInterval NSDate::timeIntervalSinceDate(const Ref<NSDate>& date) const {
    requireDate(date, "timeIntervalSinceDate:");
    return t_ - date->t_;
}

Ref<NSDate> NSDate::dateByAddingTimeInterval(NSTimeInterval seconds) const {
    return make<NSDate>(t_ + seconds);
}

NSComparisonResult NSDate::compare(const Ref<NSDate>& other) const {
    requireDate(other, "compare:");
    if (t_ < other->t_) {
        return NSOrderedAscending;
    }
    return t_ > other->t_ ? NSOrderedDescending : NSOrderedSame;
}

Ref<NSDate> NSDate::earlierDate(const Ref<NSDate>& other) const {
    if (other && other->t_ < t_) {
        return other;
    }
    return Ref<NSDate>(const_cast<NSDate*>(this));
}

Ref<NSDate> NSDate::laterDate(const Ref<NSDate>& other) const {
    if (other && other->t_ > t_) {
        return other;
    }
    return Ref<NSDate>(const_cast<NSDate*>(this));
}

bool NSDate::isEqualToDate(const Ref<NSDate>& other) const noexcept {
    return other && other->t_ == t_;
}

bool NSDate::isEqual(const id& other) const {
    auto d = cast<NSDate>(other);
    return d && isEqualToDate(d);
}

NSUInteger NSDate::hash() const {
    // +0.0 and -0.0 are equal dates and must hash alike.
    return std::hash<double>()(t_ == 0 ? 0.0 : t_);
}

Ref<NSString> NSDate::description() const {
    if (!std::isfinite(t_) || std::fabs(t_) > 1e15) {
        // Beyond any calendar year that fits the format.
        char raw[40];
        std::snprintf(raw, sizeof raw, "%g", t_);
        return NSString::from(raw);
    }
    double unix = std::floor(t_ + NSTimeIntervalSince1970);
    auto secs = static_cast<long long>(unix);
    long long days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    long long rem = secs - days * 86400;
    long long y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld +0000", y, m, d, rem / 3600, (rem / 60) % 60,
                  rem % 60);
    return NSString::from(buf);
}

id NSDate::copy() const {
    return id(const_cast<NSDate*>(this));
}
