// The constraint builder's attributes of a view controller's top and bottom layout guides; their
// view is the controller's view.
#pragma once

#include <UISupport/LCViewAttribute.h>

#include <UIKit/UIViewController.h>

Ref<LCViewAttribute> lc_topLayoutGuide(const Ref<UIViewController>& controller);
Ref<LCViewAttribute> lc_topLayoutGuideTop(const Ref<UIViewController>& controller);
Ref<LCViewAttribute> lc_topLayoutGuideBottom(const Ref<UIViewController>& controller);
Ref<LCViewAttribute> lc_bottomLayoutGuide(const Ref<UIViewController>& controller);
Ref<LCViewAttribute> lc_bottomLayoutGuideTop(const Ref<UIViewController>& controller);
Ref<LCViewAttribute> lc_bottomLayoutGuideBottom(const Ref<UIViewController>& controller);
