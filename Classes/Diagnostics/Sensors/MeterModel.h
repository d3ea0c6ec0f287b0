// MeterModel: one row of the meter table: the axis name ("x", "y", "z", "s"), the reading as text,
// the two colours and the two bars' progress as texts rounded to one decimal.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIColor.h>

class MeterModel : public NSObject {
    NS_OBJECT(MeterModel, NSObject)
public:
    MeterModel() = default;
    // `initWithProperties:`: every key of the dictionary is set as a property by key-value coding
    // (a key that is not a property raises, as key-value coding does).
    explicit MeterModel(const Ref<NSDictionary>& properties);
    static Ref<MeterModel> customClassWithProperties(const Ref<NSDictionary>& properties);
    static id info() { return nullptr; }
    void runTest() {}

    NS_PROPERTY(Ref<NSString>, coordinate, setCoordinate)
    NS_PROPERTY(Ref<NSString>, meterValue, setMeterValue)
    NS_PROPERTY(Ref<UIColor>, backColor, setBackColor)
    NS_PROPERTY(Ref<UIColor>, foreColor, setForeColor)
    NS_PROPERTY(Ref<NSString>, inverseProgressValue, setInverseProgressValue)
    NS_PROPERTY(Ref<NSString>, foreProgressValue, setForeProgressValue)
};
