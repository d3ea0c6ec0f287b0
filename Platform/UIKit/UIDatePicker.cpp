#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDatePicker.h>

#include <cmath>

NS_IMPLEMENT_CLASS(UIDatePicker, UIControl) {
    b.property("date", &UIDatePicker::date, &UIDatePicker::setDate);
    b.property("datePickerMode", &UIDatePicker::datePickerMode, &UIDatePicker::setDatePickerMode);
    b.property("minimumDate", &UIDatePicker::minimumDate, &UIDatePicker::setMinimumDate);
    b.property("maximumDate", &UIDatePicker::maximumDate, &UIDatePicker::setMaximumDate);
    b.property("countDownDuration", &UIDatePicker::countDownDuration, &UIDatePicker::setCountDownDuration);
}

UIDatePicker::UIDatePicker(CGRect frame)
    : UIControl(CGRectMake(frame.origin.x, frame.origin.y, frame.size.width > 0 ? frame.size.width : 320, 216)),
      date_(NSDate::date()) {}

void UIDatePicker::setDate(const Ref<NSDate>& date) {
    Ref<NSDate> d = date ? date : NSDate::date();
    if (minimumDate_ && d->compare(minimumDate_) == NSOrderedAscending) {
        d = minimumDate_;
    }
    if (maximumDate_ && d->compare(maximumDate_) == NSOrderedDescending) {
        d = maximumDate_;
    }
    changeValueForKey("date", [&] { date_ = d; });
}

void UIDatePicker::setMinimumDate(const Ref<NSDate>& date) {
    minimumDate_ = date;
    setDate(date_);
}

void UIDatePicker::setMaximumDate(const Ref<NSDate>& date) {
    maximumDate_ = date;
    setDate(date_);
}

void UIDatePicker::setCountDownDuration(double seconds) {
    // Whole minutes from one minute to just under a day, as the platform shows it.
    if (std::isnan(seconds)) {
        return;
    }
    double minutes = std::clamp(std::floor(seconds / 60), 1.0, 23 * 60 + 59.0);
    changeValueForKey("countDownDuration", [&] { countDownDuration_ = minutes * 60; });
}

void UIDatePicker::selectDate(const Ref<NSDate>& date) {
    setDate(date);
    sendActionsForControlEvents(UIControlEventValueChanged);
}
