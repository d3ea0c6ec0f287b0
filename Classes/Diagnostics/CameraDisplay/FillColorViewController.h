// The colour fill tests. Both fill the whole screen with plain colours, one after another, and ask
// whether the display shows each right.
//   - FillColorViewController: white, red, green, blue, black; each tap on the screen shows the next
//     colour; on black the question, Retry and the answer bar appear and taps stop. Retry starts
//     again from white. One answer for all colours.
//   - FillColor4ItouchuViewController (the step variant): white, then black; each colour shows alone
//     for 1.5 s, then its own question; YES moves on (or passes after black), NO fails at once and
//     drops the sub-items of the colours not shown; Retry shows the current colour alone again.
// While shown, the header bar (and for the step variant the status bar) is hidden.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITapGestureRecognizer.h>

class DXFillColorScreen : public DXBaseViewController {
    NS_OBJECT(DXFillColorScreen, DXBaseViewController)
public:
    DXFillColorScreen() = default;
    NS_PROPERTY(Ref<NSMutableArray>, colors, setColors)
    NS_PROPERTY(NSInteger, count, setCount)
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_WEAK_PROPERTY(UIButton, hideButtons, setHideButtons)
    NS_WEAK_PROPERTY(NSLayoutConstraint, retryButtonHeightConstaint, setRetryButtonHeightConstaint)

    // The fill colour of entry `index`.
    Ref<UIColor> colorAt(NSInteger index) const;

protected:
    // Builds `colors` and the sub-items from (colour, label colour, name key) triples, lays the
    // Retry button out for the screen size and hides the header (and status bar) while shown.
    void setUpFill(const std::vector<std::tuple<Ref<UIColor>, Ref<UIColor>, const char*>>& entries,
                   bool hidesStatusBar);
    void fill(NSInteger index);
};

class FillColorViewController : public DXFillColorScreen {
    NS_OBJECT(FillColorViewController, DXFillColorScreen)
public:
    FillColorViewController() = default;
    NS_PROPERTY(Ref<UITapGestureRecognizer>, tapGesture, setTapGesture)

    void viewDidLoad() override;

private:
    void tapped();
    void retry();
};

class FillColor4ItouchuViewController : public DXFillColorScreen {
    NS_OBJECT(FillColor4ItouchuViewController, DXFillColorScreen)
public:
    FillColor4ItouchuViewController() = default;

    void viewDidLoad() override;

private:
    void showControls(bool show);
    void showAfterPause();
    void answer(bool yes);
};
