#include <Foundation/NSTimeZone.h>

#include <Device/SimDevice.h>
#include <Runtime/ClassBuilder.h>

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

NS_IMPLEMENT_CLASS(NSTimeZone, NSObject) {
    b.readonlyProperty("name", &NSTimeZone::name);
}

struct NSTimeZone::Rules {
    enum class Kind { Fixed, Local, Database } kind = Kind::Fixed;
    NSInteger offset = 0;
    std::unique_ptr<icu::TimeZone> zone;

    NSInteger offsetAt(NSTimeInterval sinceReference) const {
        switch (kind) {
        case Kind::Fixed:
            return offset;
        case Kind::Local: {
            std::time_t t = static_cast<std::time_t>(sinceReference + NSTimeIntervalSince1970);
            std::tm local{};
            localtime_r(&t, &local);
            return static_cast<NSInteger>(local.tm_gmtoff);
        }
        case Kind::Database: {
            int32_t raw = 0, dst = 0;
            UErrorCode status = U_ZERO_ERROR;
            zone->getOffset((sinceReference + NSTimeIntervalSince1970) * 1000.0, false, raw, dst, status);
            return U_SUCCESS(status) ? static_cast<NSInteger>((raw + dst) / 1000) : 0;
        }
        }
        return 0;
    }
};

NSTimeZone::NSTimeZone(Ref<NSString> name, std::shared_ptr<const Rules> rules)
    : name_(std::move(name)), rules_(std::move(rules)) {}

NSTimeZone::~NSTimeZone() = default;

namespace {

std::string offsetName(NSInteger seconds) {
    if (seconds == 0) {
        return "GMT";
    }
    NSInteger a = seconds < 0 ? -seconds : seconds;
    char buffer[32];
    if (a % 3600 == 0) {
        std::snprintf(buffer, sizeof buffer, "GMT%c%ld", seconds < 0 ? '-' : '+', static_cast<long>(a / 3600));
    } else {
        std::snprintf(buffer, sizeof buffer, "GMT%c%02ld%02ld", seconds < 0 ? '-' : '+', static_cast<long>(a / 3600),
                      static_cast<long>(a % 3600 / 60));
    }
    return buffer;
}

// "+8", "-05:30", "+0100", "+1" after "GMT"/"UTC"; false when malformed.
bool parseOffset(const std::string& s, NSInteger& seconds) {
    if (s.empty()) {
        seconds = 0;
        return true;
    }
    if (s[0] != '+' && s[0] != '-') {
        return false;
    }
    std::string digits;
    int hours = 0, minutes = 0;
    size_t colon = s.find(':');
    std::string h = colon == std::string::npos ? s.substr(1) : s.substr(1, colon - 1);
    std::string m = colon == std::string::npos ? std::string() : s.substr(colon + 1);
    if (colon == std::string::npos && h.size() > 2) { // "+0530"
        if (h.size() != 4) {
            return false;
        }
        m = h.substr(2);
        h = h.substr(0, 2);
    }
    auto allDigits = [](const std::string& t) {
        return !t.empty() && t.size() <= 2 && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!allDigits(h) || (!m.empty() && (!allDigits(m) || m.size() != 2))) {
        return false;
    }
    hours = std::atoi(h.c_str());
    minutes = m.empty() ? 0 : std::atoi(m.c_str());
    if (hours > 18 || minutes > 59) {
        return false;
    }
    seconds = (s[0] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
    return true;
}

Ref<NSTimeZone> fixedZone(const std::string& name, NSInteger seconds) {
    auto rules = std::make_shared<NSTimeZone::Rules>();
    rules->offset = seconds;
    return make<NSTimeZone>(NSString::from(name), rules);
}

} // namespace

Ref<NSTimeZone> NSTimeZone::timeZoneWithName(const Ref<NSString>& name) {
    if (!name || name->length() == 0) {
        return nullptr;
    }
    const std::string& n = name->str();
    for (const char* prefix : {"GMT", "UTC"}) {
        if (n.rfind(prefix, 0) == 0) {
            NSInteger seconds = 0;
            if (parseOffset(n.substr(3), seconds)) {
                return fixedZone(n.size() == 3 ? n : offsetName(seconds), seconds);
            }
        }
    }
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(n)));
    icu::UnicodeString id;
    if (!zone || *zone == icu::TimeZone::getUnknown() || zone->getID(id) == icu::UnicodeString("Etc/Unknown")) {
        return nullptr;
    }
    auto rules = std::make_shared<Rules>();
    rules->kind = Rules::Kind::Database;
    rules->zone = std::move(zone);
    return make<NSTimeZone>(name, rules);
}

Ref<NSTimeZone> NSTimeZone::systemTimeZone() {
    auto name = SimDevice::current().locale().timeZone;
    auto zone = name.empty() ? nullptr : timeZoneWithName(NSString::from(name));
    return zone ? zone : localTimeZone();
}

Ref<NSTimeZone> NSTimeZone::timeZoneForSecondsFromGMT(NSInteger seconds) {
    if (seconds > 18 * 3600 || seconds < -18 * 3600) {
        return nullptr;
    }
    return fixedZone(offsetName(seconds), seconds);
}

Ref<NSTimeZone> NSTimeZone::localTimeZone() {
    auto rules = std::make_shared<Rules>();
    rules->kind = Rules::Kind::Local;
    const char* tz = std::getenv("TZ");
    return make<NSTimeZone>(NSString::from(tz && *tz ? (*tz == ':' ? tz + 1 : tz) : "Local"), rules);
}

NSInteger NSTimeZone::secondsFromGMTForDate(const Ref<NSDate>& date) const {
    return rules_->offsetAt(date ? date->timeIntervalSinceReferenceDate() : NSDate::now());
}

NSInteger NSTimeZone::secondsFromGMT() const {
    return rules_->offsetAt(NSDate::now());
}

bool NSTimeZone::isEqual(const id& other) const {
    auto z = cast<NSTimeZone>(other);
    return z && z->name_->isEqualToString(name_);
}

NSUInteger NSTimeZone::hash() const {
    return name_->hash();
}

Ref<NSString> NSTimeZone::description() const {
    return NSString::stringWithFormat("%@ (offset %ld)", name_, secondsFromGMT());
}

id NSTimeZone::copy() const {
    return Ref<NSObject>(const_cast<NSTimeZone*>(this));
}
