#include <Runtime/ClassBuilder.h>
#include <UIKit/UIInputSetHostView.h>

NS_IMPLEMENT_CLASS(UIInputSetHostView, UIView) {}
