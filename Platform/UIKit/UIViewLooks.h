// The plain look of the platform's controls and bars, drawn live each time the layer tree renders
// (so that it always shows the control's current state): switches, sliders, steppers, segmented
// controls, progress views, activity indicators, image views, text fields, navigation bars and
// tool bars. Labels (and so buttons, cells, alerts and sheets, whose texts are labels) draw
// through their own drawRect:; table separators and backgrounds are views and layer colours.
#pragma once

#include <CoreGraphics/CGContext.h>

class UIView;

namespace uikit_detail {
void drawLook(UIView* view, const CGContextRef& context);
}
