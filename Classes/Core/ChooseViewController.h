// ChooseViewController: a modal screen with two buttons, "all tests" and "individual tests"; the
// choice goes to a block (YES for a button with a non-zero tag). The screen does not dismiss itself.
// Its view comes from the layout resource "ChooseViewController".
#pragma once

#include <UIKit/UIButton.h>
#include <UIKit/UIViewController.h>

#include <functional>

class ChooseViewController : public UIViewController {
    NS_OBJECT(ChooseViewController, UIViewController)
public:
    using OnChoose = std::function<void(bool)>;

    ChooseViewController() = default;

    // `+showChooseViewController:onChoose:`: presents a new chooser over `presenting` (cross
    // dissolve, over the current context so the presenting screen stays visible) and answers it.
    static Ref<ChooseViewController> showChooseViewControllerOnChoose(const Ref<UIViewController>& presenting,
                                                                      OnChoose onchoose);

    OnChoose onchoose() const { return onchoose_; }
    void setOnchoose(OnChoose block) { onchoose_ = std::move(block); }
    NS_WEAK_PROPERTY(UIButton, individualBtn, setIndividualBtn)
    NS_WEAK_PROPERTY(UIButton, allTestBtn, setAllTestBtn)

    // Gives both buttons a white 1-point border with rounded corners.
    void viewDidLoad() override;
    // The buttons' action.
    void onChoose(const Ref<UIButton>& sender);

private:
    OnChoose onchoose_;
};
