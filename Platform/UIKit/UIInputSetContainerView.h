// UIInputSetContainerView: the system view that holds the keyboard inside the keyboard window
// (see UIRemoteKeyboardWindow).
#pragma once

#include <UIKit/UIView.h>

class UIInputSetContainerView : public UIView {
    NS_OBJECT(UIInputSetContainerView, UIView)
public:
    UIInputSetContainerView() = default;
    explicit UIInputSetContainerView(CGRect frame) : UIView(frame) {}
};
