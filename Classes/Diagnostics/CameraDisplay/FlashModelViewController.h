// FlashModelViewController: the torch test. The default camera's torch is lit while the screen is
// shown and the application is in the foreground (off 1 s after going to the background, on again
// 1 s after coming back), and the operator answers whether the light is on. The torch is switched
// off before the test ends, when the screen goes, and a delayed switch-on never lands after the
// screen has gone. Without a camera or torch the switches do nothing; the answer still ends it.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class FlashModelViewController : public DXBaseViewController {
    NS_OBJECT(FlashModelViewController, DXBaseViewController)
public:
    FlashModelViewController() = default;
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)

    void viewDidLoad() override;
    // `toggleTorch:`.
    void toggleTorch(bool on);

protected:
    void willDealloc() override;

private:
    bool shown_ = false;
};
