// UIInputSetHostView: the system view that stands for the keyboard itself, with the keyboard's
// frame (see UIRemoteKeyboardWindow).
#pragma once

#include <UIKit/UIView.h>

class UIInputSetHostView : public UIView {
    NS_OBJECT(UIInputSetHostView, UIView)
public:
    UIInputSetHostView() = default;
    explicit UIInputSetHostView(CGRect frame) : UIView(frame) {}
};
