// CMAltitudeData: a reading of the altimeter: the change in altitude since updates started
// (metres) and the air pressure (kilopascals).
#pragma once

#include <CoreMotion/CMLogItem.h>
#include <Foundation/NSNumber.h>

class CMAltitudeData : public CMLogItem {
    NS_OBJECT(CMAltitudeData, CMLogItem)
public:
    CMAltitudeData(double timestamp = 0, double relativeAltitude = 0, double pressure = 0);
    const Ref<NSNumber>& relativeAltitude() const noexcept { return relativeAltitude_; }
    const Ref<NSNumber>& pressure() const noexcept { return pressure_; }

private:
    Ref<NSNumber> relativeAltitude_;
    Ref<NSNumber> pressure_;
};
