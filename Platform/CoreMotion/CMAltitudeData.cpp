#include <CoreMotion/CMAltitudeData.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CMAltitudeData, CMLogItem) {
    b.readonlyProperty("relativeAltitude", &CMAltitudeData::relativeAltitude);
    b.readonlyProperty("pressure", &CMAltitudeData::pressure);
}

CMAltitudeData::CMAltitudeData(double timestamp, double relativeAltitude, double pressure)
    : CMLogItem(timestamp), relativeAltitude_(NSNumber::numberWithDouble(relativeAltitude)),
      pressure_(NSNumber::numberWithDouble(pressure)) {}
