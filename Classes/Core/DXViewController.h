// DXViewController: the base of every screen. It hides the navigation bar and puts its own header
// bar (DXNavigationHeaderView) across the top, at the header height; screens choose which header
// buttons show and make themselves, or the run container, the header's delegate.
//
// DXTestModelsViewController: a screen that holds a list of test records; nothing creates it.
#pragma once

#include <Core/DXNavigationHeaderView.h>
#include <Foundation/NSArray.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIViewController.h>

// The header height: 88 points on a main screen of exactly 375 x 812 or 414 x 896 points, 64 on
// every other. Screens move their content down by it.
CGFloat DXHeaderHeight();

class DXViewController : public UIViewController {
    NS_OBJECT(DXViewController, UIViewController)
public:
    DXViewController();
    DXViewController(const Ref<NSString>& nibName, const id& bundle);

    NS_PROPERTY(Ref<DXNavigationHeaderView>, headerView, setHeaderView)
    NS_PROPERTY(Ref<UIAlertView>, alertView, setAlertView)
    NS_PROPERTY(Ref<UILabel>, testlabel, setTestlabel)
    NS_PROPERTY(Ref<UILabel>, testlabel2, setTestlabel2)

    // Makes the header (the full screen width, the header height), adds it to the root view, hides
    // its save button and makes the root view white. The header gets no delegate here.
    void viewDidLoad() override;
    // Shows the status bar.
    void viewWillAppear(bool animated) override;
    bool prefersHomeIndicatorAutoHidden() override { return true; }

    // DXNavigationHeaderViewDelegate, the default answer: an alert "Celvix" / "Hello" with "Cancel"
    // and "Ok"; a tap does nothing more.
    virtual void navigationHeaderViewDidClickButtonType(const Ref<DXNavigationHeaderView>& headerView,
                                                        const Ref<UIButton>& button, NSUInteger type);

protected:
    // Called while the screen is being deallocated, still whole: logs "%@ dealloc.". Subclasses log
    // their own line first, then call the base.
    virtual void willDealloc();

private:
    void logDealloc();
};

class DXTestModelsViewController : public DXViewController {
    NS_OBJECT(DXTestModelsViewController, DXViewController)
public:
    DXTestModelsViewController() = default;
    // `initWithTestModels:`.
    explicit DXTestModelsViewController(const Ref<NSArray>& testModels) : testModels_(testModels) {}
    Ref<NSArray> testModels() const { return testModels_; }

private:
    Ref<NSArray> testModels_;
};
