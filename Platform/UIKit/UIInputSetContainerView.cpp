#include <Runtime/ClassBuilder.h>
#include <UIKit/UIInputSetContainerView.h>

NS_IMPLEMENT_CLASS(UIInputSetContainerView, UIView) {}
