// LAPromptViewController: the system's biometric prompt, which the platform shows in a window of its
// own above the application (alert level) while an evaluation runs (LAContext). A centred card: the
// sensor's glyph, its name ("Face ID" or "Touch ID"), the application's reason and a Cancel button.
// When the sensor has read a face or finger the card shows the outcome ("Face Recognized" with a
// check mark, or "Face Not Recognized"; "Fingerprint ..." for Touch ID) until the prompt closes.
// Platform-private: the application never makes one.
#pragma once

#include <LocalAuthentication/LAContext.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIViewController.h>

#include <functional>

class LAPromptGlyphView;

class LAPromptViewController : public UIViewController {
    NS_OBJECT(LAPromptViewController, UIViewController)
public:
    LAPromptViewController() = default;
    // `cancelled` runs on the main thread when the person taps Cancel while the sensor still looks.
    LAPromptViewController(LABiometryType type, const Ref<NSString>& reason, std::function<void()> cancelled);

    void viewDidLoad() override;

    // The sensor has read: the card shows whether it recognised the face or finger, and Cancel no
    // longer answers.
    void showOutcome(bool recognised);
    // Cancel's action.
    void cancel();

    // The texts the card shows for an outcome.
    static Ref<NSString> outcomeText(LABiometryType type, bool recognised);

private:
    LABiometryType type_ = LABiometryTypeFaceID;
    Ref<NSString> reason_;
    std::function<void()> cancelled_;
    bool answered_ = false;
    Ref<LAPromptGlyphView> glyph_;
    Ref<UILabel> outcome_;
    Ref<UIButton> cancelButton_;
};
