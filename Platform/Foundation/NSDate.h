// NSDate: a point in time as seconds since the reference date, 1 January 2001 00:00:00 UTC.
// "Now" is read from the process clock (DispatchClock), so tests on virtual time see virtual dates.
#pragma once

#include <Foundation/NSString.h>

using NSTimeInterval = double;

// Seconds between 1 January 1970 and 1 January 2001 (UTC).
inline constexpr NSTimeInterval NSTimeIntervalSince1970 = 978307200.0;

class NSDate : public NSObject {
    NS_OBJECT(NSDate, NSObject)
public:
    // `init`: now.
    NSDate();
    // `initWithTimeIntervalSinceReferenceDate:`.
    explicit NSDate(NSTimeInterval sinceReferenceDate) : t_(sinceReferenceDate) {}

    static Ref<NSDate> date();
    static Ref<NSDate> dateWithTimeIntervalSinceNow(NSTimeInterval seconds);
    static Ref<NSDate> dateWithTimeIntervalSince1970(NSTimeInterval seconds);
    static Ref<NSDate> dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds);
    static Ref<NSDate> dateWithTimeIntervalSinceDate(NSTimeInterval seconds, const Ref<NSDate>& date);
    // Far in the future / past (about year 4001 / year 1), for "never" timeouts.
    static Ref<NSDate> distantFuture();
    static Ref<NSDate> distantPast();
    // Now, in seconds since the reference date (class method `timeIntervalSinceReferenceDate`).
    static NSTimeInterval now();

    NSTimeInterval timeIntervalSinceReferenceDate() const noexcept { return t_; }
    NSTimeInterval timeIntervalSince1970() const noexcept { return t_ + NSTimeIntervalSince1970; }
    NSTimeInterval timeIntervalSinceNow() const;
    // this - date; raises NSInvalidArgumentException for nil.
    NSTimeInterval timeIntervalSinceDate(const Ref<NSDate>& date) const;
    Ref<NSDate> dateByAddingTimeInterval(NSTimeInterval seconds) const;

    // Raises NSInvalidArgumentException for nil.
    NSComparisonResult compare(const Ref<NSDate>& other) const;
    // The earlier / later of the two (this one when equal or when `other` is nil).
    Ref<NSDate> earlierDate(const Ref<NSDate>& other) const;
    Ref<NSDate> laterDate(const Ref<NSDate>& other) const;
    bool isEqualToDate(const Ref<NSDate>& other) const noexcept;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    // "2001-01-01 00:00:00 +0000" (UTC).
    Ref<NSString> description() const override;
    id copy() const override;

private:
    NSTimeInterval t_ = 0;
};
