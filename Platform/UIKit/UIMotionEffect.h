// UIMotionEffect: a change to a view's properties that follows how the viewer tilts the device.
// Headless, effects are recorded on their views (UIView's motionEffects) and compute their values
// for a viewer offset when asked; nothing tilts views by itself.
#pragma once

#include <Foundation/NSDictionary.h>
#include <UIKit/UIGeometry.h>

class UIMotionEffect : public NSObject {
    NS_OBJECT(UIMotionEffect, NSObject)
public:
    UIMotionEffect() = default;

    // The key paths of the view to change and the values to add to them for a viewer offset
    // (each axis from -1 to 1, 0 looking straight at the screen); nil when there are none.
    virtual Ref<NSDictionary> keyPathsAndRelativeValuesForViewerOffset(UIOffset viewerOffset) const;
};
