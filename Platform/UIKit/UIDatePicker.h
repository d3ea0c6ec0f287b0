// UIDatePicker: picks a date (or a time, or a count-down duration). The operator's choice arrives
// through selectDate, which sends value-changed.
#pragma once

#include <Foundation/NSDate.h>
#include <UIKit/UIControl.h>

enum UIDatePickerMode : NSInteger {
    UIDatePickerModeTime = 0,
    UIDatePickerModeDate = 1,
    UIDatePickerModeDateAndTime = 2,
    UIDatePickerModeCountDownTimer = 3,
};

class UIDatePicker : public UIControl {
    NS_OBJECT(UIDatePicker, UIControl)
public:
    UIDatePicker() : UIDatePicker(CGRectZero) {}
    explicit UIDatePicker(CGRect frame);

    Ref<NSDate> date() const { return date_; }
    // Clamped to the minimum and maximum dates.
    void setDate(const Ref<NSDate>& date);
    void setDateAnimated(const Ref<NSDate>& date, bool animated) { setDate(date); }
    UIDatePickerMode datePickerMode() const noexcept { return mode_; }
    void setDatePickerMode(UIDatePickerMode mode) { mode_ = mode; }
    Ref<NSDate> minimumDate() const { return minimumDate_; }
    void setMinimumDate(const Ref<NSDate>& date);
    Ref<NSDate> maximumDate() const { return maximumDate_; }
    void setMaximumDate(const Ref<NSDate>& date);
    double countDownDuration() const noexcept { return countDownDuration_; }
    void setCountDownDuration(double seconds);
    NSInteger minuteInterval() const noexcept { return minuteInterval_; }
    void setMinuteInterval(NSInteger interval) { minuteInterval_ = interval; }

    // What the operator does: sets the date and sends value-changed.
    void selectDate(const Ref<NSDate>& date);

private:
    Ref<NSDate> date_;
    Ref<NSDate> minimumDate_;
    Ref<NSDate> maximumDate_;
    UIDatePickerMode mode_ = UIDatePickerModeDateAndTime;
    double countDownDuration_ = 0;
    NSInteger minuteInterval_ = 1;
};
