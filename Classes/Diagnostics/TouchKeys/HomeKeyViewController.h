// HomeKeyViewController: the Home button test. The operator has ten seconds to press Home. A press
// is the application going to the background without a screen lock: the power key's lock
// notification sets "kDisplayStatusLocked" first. On a press the screen schedules a local
// notification that brings the operator back (1.0 second later) and passes when the application
// returns to the foreground; ten seconds without one fail.
//
// The lock notification may come a little after the background entry: a background entry without
// the flag counts as Home only when no lock notification has come kLateLockGrace seconds later;
// when the ten seconds run out during that wait, the press made in time still decides (Home
// passes, a late lock fails as the time limit does). A screen that is left before the end stops
// counting, removes its lock observer and neither ends the test nor schedules anything afterwards.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Diagnostics/TouchKeys/KeyEventSources.h>
#include <UIKit/UIImageView.h>

#include <memory>

class HomeKeyViewController : public DXBaseViewController {
    NS_OBJECT(HomeKeyViewController, DXBaseViewController)
public:
    // How long a background entry waits for a late lock notification before it counts as Home.
    static constexpr double kLateLockGrace = 1.0;

    HomeKeyViewController() = default;
    NS_PROPERTY(Ref<UILabel>, itemTitle, setItemTitle)
    NS_PROPERTY(Ref<UILabel>, countDownLabel, setCountDownLabel)
    NS_PROPERTY(Ref<UIImageView>, flagImage, setFlagImage)

    void viewDidLoad() override;
    void addORremoveLockObserver(bool add);
    Ref<RXSignal> enterToBackgound2();
    Ref<RXSignal> enterToForeground2();
    KeyEventSources& sources();

    // The name of the image shown by `flagImage` ("icon_right_n", "icon_fail_n"; empty before).
    const std::string& flagImageName() const noexcept { return flagName_; }

private:
    void showFlag(const char* name);
    Ref<RXSignal> countDown();
    std::unique_ptr<KeyEventSources> sources_;
    std::string flagName_;
};
