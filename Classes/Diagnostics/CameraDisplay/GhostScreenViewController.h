// GhostScreenViewController: asks the operator whether the display is free of a ghost image (an
// after-image burnt into the panel). YES passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class GhostScreenViewController : public DXBaseViewController {
    NS_OBJECT(GhostScreenViewController, DXBaseViewController)
public:
    GhostScreenViewController() = default;
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)

    void viewDidLoad() override;
};

// Subscribes a question screen to its answer bar: YES gives result 1, NO result 2, then the test
// ends (one answer ends it).
void DXAnswerQuestionFromChoose(const Ref<DXBaseViewController>& screen);
