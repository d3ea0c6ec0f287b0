#include <Diagnostics/Sensors/MeterModel.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(MeterModel, NSObject) {
    using M = MeterModel;
    b.property("coordinate", &M::coordinate, &M::setCoordinate, "copy");
    b.property("meterValue", &M::meterValue, &M::setMeterValue, "copy");
    b.property("backColor", &M::backColor, &M::setBackColor);
    b.property("foreColor", &M::foreColor, &M::setForeColor);
    b.property("inverseProgressValue", &M::inverseProgressValue, &M::setInverseProgressValue, "copy");
    b.property("foreProgressValue", &M::foreProgressValue, &M::setForeProgressValue, "copy");
    b.classMethod("customClassWithProperties:",
                  [](Ref<NSDictionary> properties) { return MeterModel::customClassWithProperties(properties); });
}

MeterModel::MeterModel(const Ref<NSDictionary>& properties) {
    if (!properties) {
        return;
    }
    Ref<NSArray> keys = properties->allKeys();
    for (const id& key : *keys) {
        setValueForKey(properties->objectForKey(key), cast<NSString>(key));
    }
}

Ref<MeterModel> MeterModel::customClassWithProperties(const Ref<NSDictionary>& properties) {
    return make<MeterModel>(properties);
}
