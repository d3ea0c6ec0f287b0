#include <Runtime/ClassBuilder.h>
#include <UIKit/UIMotionEffect.h>

NS_IMPLEMENT_CLASS(UIMotionEffect, NSObject) {
    b.method("keyPathsAndRelativeValuesForViewerOffset:", &UIMotionEffect::keyPathsAndRelativeValuesForViewerOffset);
}

Ref<NSDictionary> UIMotionEffect::keyPathsAndRelativeValuesForViewerOffset(UIOffset) const {
    return nullptr;
}
