// UIView(Frame): one component of a view's frame at a time. Main thread only.
#pragma once

#include <UIKit/UIView.h>

CGFloat x(const Ref<UIView>& view);
CGFloat y(const Ref<UIView>& view);
CGFloat width(const Ref<UIView>& view);
CGFloat height(const Ref<UIView>& view);
// Each sets one component of the frame and keeps the other three.
void setX(const Ref<UIView>& view, CGFloat value);
void setY(const Ref<UIView>& view, CGFloat value);
void setWidth(const Ref<UIView>& view, CGFloat value);
void setHeight(const Ref<UIView>& view, CGFloat value);
