#include <Runtime/ClassBuilder.h>
#include <UIKit/UIMotionEffectGroup.h>

NS_IMPLEMENT_CLASS(UIMotionEffectGroup, UIMotionEffect) {
    b.property("motionEffects", &UIMotionEffectGroup::motionEffects, &UIMotionEffectGroup::setMotionEffects);
}

void UIMotionEffectGroup::setMotionEffects(const Ref<NSArray>& effects) {
    changeValueForKey("motionEffects", [&] { motionEffects_ = effects ? cast<NSArray>(effects->copy()) : nullptr; });
}

Ref<NSDictionary> UIMotionEffectGroup::keyPathsAndRelativeValuesForViewerOffset(UIOffset viewerOffset) const {
    if (!motionEffects_) {
        return nullptr;
    }
    auto out = NSMutableDictionary::dictionary();
    for (const auto& item : *motionEffects_) {
        auto effect = cast<UIMotionEffect>(item);
        auto values = effect ? effect->keyPathsAndRelativeValuesForViewerOffset(viewerOffset) : nullptr;
        if (!values) {
            continue;
        }
        auto keys = values->allKeys();
        for (const auto& key : *keys) {
            auto value = values->objectForKey(key);
            auto earlier = cast<NSNumber>(out->objectForKey(key));
            auto number = cast<NSNumber>(value);
            if (earlier && number) {
                out->setObjectForKey(box(earlier->doubleValue() + number->doubleValue()), key);
            } else {
                out->setObjectForKey(value, key);
            }
        }
    }
    return out->count() ? Ref<NSDictionary>(out) : nullptr;
}
