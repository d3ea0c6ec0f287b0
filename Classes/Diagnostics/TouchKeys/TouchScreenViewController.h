// The touch screen tests. TouchScreenViewController: every cell of the touch grid must be touched
// (no time limit; Skip fails). XTouchViewController: every target of the border canvas must be
// crossed (no time limit; Skip fails). TPViewController: the grid, then the canvas, each phase under
// the record's time limit (Skip fails, the limit ends with result 3). Each hides the status bar and
// the screen's bars while shown.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Diagnostics/TouchKeys/SJTouchView.h>
#include <Diagnostics/TouchKeys/XCanvas.h>

class TouchScreenViewController : public DXBaseViewController {
    NS_OBJECT(TouchScreenViewController, DXBaseViewController)
public:
    TouchScreenViewController() = default;
    NS_PROPERTY(Ref<SJTouchView>, touchView, setTouchView)
    NS_PROPERTY(Ref<UIView>, panelView, setPanelView)
    NS_PROPERTY(Ref<UIButton>, skipButton, setSkipButton)
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
};

class XTouchViewController : public DXBaseViewController {
    NS_OBJECT(XTouchViewController, DXBaseViewController)
public:
    XTouchViewController() = default;
    NS_PROPERTY(Ref<XCanvas>, touchView, setTouchView)
    NS_PROPERTY(Ref<UIButton>, skipButton, setSkipButton)
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
};

class TPViewController : public DXBaseViewController {
    NS_OBJECT(TPViewController, DXBaseViewController)
public:
    TPViewController() = default;
    NS_PROPERTY(Ref<SJTouchView>, touchView, setTouchView)
    NS_PROPERTY(Ref<UIView>, panelView, setPanelView)
    NS_PROPERTY(Ref<XCanvas>, xView, setXView)
    NS_PROPERTY(Ref<UIButton>, gridSkipButton, setGridSkipButton)
    NS_PROPERTY(Ref<UIButton>, skipButton, setSkipButton)
    NS_PROPERTY(Ref<RXSubject>, subject, setSubject)
    NS_PROPERTY(Ref<RXSubject>, subject2, setSubject2)
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

private:
    void watchPhase(const Ref<RXSubject>& phase, bool last);
};

// The canvas frame for a screen view's rectangle: 30 points down and 40 shorter on the tall
// screens.
CGRect dx_canvasFrame(CGRect rect);
// The height of the panel below the grid: the screen height modulo the cell side, in whole points.
double dx_panelHeight();
