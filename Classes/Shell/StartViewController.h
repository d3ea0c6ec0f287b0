// StartViewController: the start page. It greets the operator and waits for Start; the press goes
// to the start block, and the screen that presented the page dismisses it.
#pragma once

#include <UIKit/UIApplication.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIViewController.h>

#include <functional>

class StartViewController : public UIViewController {
    NS_OBJECT(StartViewController, UIViewController)
public:
    StartViewController() = default;

    using StartBlock = std::function<void()>;

    // Makes the page, keeps the block and presents the page over `presenting`.
    static Ref<StartViewController> showStartViewControllerOnStart(const Ref<UIViewController>& presenting,
                                                                   StartBlock onStart);

    const StartBlock& onstart() const noexcept { return onstart_; }
    void setOnstart(StartBlock block) { onstart_ = std::move(block); }

    NS_WEAK_PROPERTY(UIButton, startButton, setStartButton)
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_WEAK_PROPERTY(UILabel, titleLabel, setTitleLabel)

    void viewDidLoad() override;
    // The page is dark: the status bar over it draws light.
    NSInteger preferredStatusBarStyle() override { return UIStatusBarStyleLightContent; }
    // The Start button's action: runs the start block when there is one.
    void onStart(const id& sender);

private:
    StartBlock onstart_;
};
