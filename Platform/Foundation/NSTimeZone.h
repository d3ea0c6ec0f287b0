// NSTimeZone: a fixed offset from GMT ("GMT+8", "UTC"), a named zone of the time-zone database
// ("Asia/Shanghai", through ICU) or the machine's local zone.
#pragma once

#include <Foundation/NSDate.h>
#include <Foundation/NSString.h>

#include <memory>

class NSTimeZone : public NSObject {
    NS_OBJECT(NSTimeZone, NSObject)
public:
    struct Rules;
    NSTimeZone(Ref<NSString> name, std::shared_ptr<const Rules> rules);
    ~NSTimeZone() override;

    // "UTC", "GMT", "GMT+8", "GMT-05:30", "UTC+0100", or a database name; nil when unknown.
    static Ref<NSTimeZone> timeZoneWithName(const Ref<NSString>& name);
    // nil beyond 18 hours either way.
    static Ref<NSTimeZone> timeZoneForSecondsFromGMT(NSInteger seconds);
    static Ref<NSTimeZone> localTimeZone();
    // The simulated device's time zone (its profile's), else the local one.
    static Ref<NSTimeZone> systemTimeZone();

    const Ref<NSString>& name() const noexcept { return name_; }
    NSInteger secondsFromGMTForDate(const Ref<NSDate>& date) const;
    NSInteger secondsFromGMT() const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSString> name_;
    std::shared_ptr<const Rules> rules_;
};
