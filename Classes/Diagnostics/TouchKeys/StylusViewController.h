// StylusViewController: precise taps on the corners and the centre. A small arrow starts in the top
// left corner; each tap on it moves it to the next of four points (top right, bottom left, bottom
// right, centre), and the tap on it at the centre passes. No time limit and no failure of its own.
// The pass leaves the navigation bar hidden, as the run keeps it.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UIButton.h>

class StylusViewController : public DXBaseViewController {
    NS_OBJECT(StylusViewController, DXBaseViewController)
public:
    StylusViewController() = default;
    NS_PROPERTY(Ref<UIButton>, button, setButton)
    NS_PROPERTY(Ref<NSArray>, points, setPoints)
    NS_PROPERTY(int64_t, count, setCount)
    NS_PROPERTY(CGPoint, point, setPoint)

    void viewDidLoad() override;
    // The arrow's touch-up-inside.
    void tapped(const id& sender);
};
