// The biometric sensor tests: FaceIDViewController and FPSViewController (Touch ID). Each asks the
// platform to authenticate the device owner so that the operator sees the sensor work, sends the
// operator to the settings when no identity or passcode is enrolled (once, until the app comes
// back to the foreground), and then asks whether the check worked; the operator's answer is the
// result. The question and the prompt's reason follow the screen's size (Face ID sized: 375 x 812
// or 414 x 896 points); the title line names the screen's own sensor. When the settings page cannot
// be opened the question comes up at once, and an error code the platform does not list leads to
// the question too.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class FaceIDViewController : public DXBaseViewController {
    NS_OBJECT(FaceIDViewController, DXBaseViewController)
public:
    FaceIDViewController() = default;
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_PROPERTY(bool, hasEnterForeground, setHasEnterForeground)

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void checkFingPrinter();

    static bool isFaceIDSizedScreen();

protected:
    // The differences between the two screens.
    virtual const char* alertTitleKey() const { return "ROOTLIST_TITLE_FACEID"; }
    virtual const char* settingsPage() const { return "App-Prefs:root=FaceID"; }

private:
    void showQuestion();
};

class FPSViewController : public FaceIDViewController {
    NS_OBJECT(FPSViewController, FaceIDViewController)
public:
    FPSViewController() = default;

protected:
    const char* alertTitleKey() const override { return "ROOTLIST_TITLE_FINGERPRINT"; }
    const char* settingsPage() const override { return "App-Prefs:root=TouchID"; }
};
