// ProximityViewController: checks the proximity sensor. With monitoring on, the operator covers
// and uncovers the sensor; each return to uncovered after a cover counts, and the second passes.
// After the time limit (0: the long default) Skip and a question appear and counting goes on;
// Skip fails the test as skipped. The screen brightness the screen found is put back when it
// goes, and every subscription ends with the screen.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>

class ProximityViewController : public DXBaseViewController {
    NS_OBJECT(ProximityViewController, DXBaseViewController)
public:
    ProximityViewController() = default;
    NS_PROPERTY(NSInteger, count, setCount)
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)
    NS_WEAK_PROPERTY(UILabel, questionLabel, setQuestionLabel)
    NS_WEAK_PROPERTY(UIButton, skipButton, setSkipButton)

    void viewDidLoad() override;

private:
    Ref<RXSignal> proximitySignal();
    void countState(const id& covered);
    void showTitle();
    bool covered_ = false;
    double brightness_ = -1;
};
