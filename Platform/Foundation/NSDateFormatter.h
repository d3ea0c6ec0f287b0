// NSDateFormatter: dates to text and back by a fixed-format pattern, in the fixed POSIX form
// (Gregorian calendar, English month and day names, whatever the locale).
//
// Pattern letters: G (AD), y yy yyyy (year), M MM MMM MMMM (month), d dd (day), D (day of year),
// E EEE EEEE (weekday), a (AM/PM), H HH (0-23), h hh (1-12), k (1-24), K (0-11), m mm, s ss,
// S... (fraction of a second), Z ZZ ZZZ (+0800), ZZZZ (GMT+08:00), ZZZZZ / XXX (+08:00, Z for
// zero), X XX (+08, +0800), z (GMT+8). Text in single quotes is literal ('' is a quote); other
// characters stand for themselves. Parsing needs the whole text to match; fields the pattern
// lacks are taken from 2000-01-01 00:00:00 in the formatter's time zone.
#pragma once

#include <Foundation/NSDate.h>
#include <Foundation/NSLocale.h>
#include <Foundation/NSString.h>
#include <Foundation/NSTimeZone.h>

#include <mutex>

class NSDateFormatter : public NSObject {
    NS_OBJECT(NSDateFormatter, NSObject)
public:
    NSDateFormatter();

    Ref<NSString> dateFormat() const;
    void setDateFormat(const Ref<NSString>& format);
    // The local time zone unless set; nil restores it.
    Ref<NSTimeZone> timeZone() const;
    void setTimeZone(const Ref<NSTimeZone>& timeZone);
    Ref<NSLocale> locale() const;
    void setLocale(const Ref<NSLocale>& locale);

    Ref<NSString> stringFromDate(const Ref<NSDate>& date) const;
    // nil when the text does not match the pattern or names an impossible date.
    Ref<NSDate> dateFromString(const Ref<NSString>& string) const;

private:
    mutable std::mutex lock_;
    Ref<NSString> format_;
    Ref<NSTimeZone> timeZone_;
    Ref<NSLocale> locale_;
};
