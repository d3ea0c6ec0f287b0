// ForwardProgressView: the platform's progress view under a name of its own.
#pragma once

#include <UIKit/UIProgressView.h>

class ForwardProgressView : public UIProgressView {
    NS_OBJECT(ForwardProgressView, UIProgressView)
public:
    ForwardProgressView() = default;
    explicit ForwardProgressView(CGRect frame) : UIProgressView(frame) {}
};
