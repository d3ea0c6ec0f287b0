// OperatorPatience: what the scripted operator does about a test screen that neither asks anything
// nor ends (a GPS test that never gets a fix, a screen waiting for a part that never answers). A
// person waits a while, then opens the header's menu with its back button, takes Skip and confirms
// it; the run container then fails the test and goes on. The wait is counted on the platform clock
// from the moment the screen came up: `patience` seconds, after the record's own time limit when it
// has one (a screen with a limit ends by itself first). An answer bar or an alert on screen is
// something to answer, and holds the operator back, unless the operator has chosen to leave the
// screen alone. Works on any test screen; it sees the screen only through the test driver.
#pragma once

#include <Runtime/NSObject.h>

#include <string>
#include <vector>

class UIViewController;

class OperatorPatience {
public:
    static constexpr double kPatience = 30;

    explicit OperatorPatience(double patience = kPatience) : patience_(patience) {}

    // One step on the screen shown now: opens the header's menu, takes Skip, or confirms it.
    // Answers whether it did anything. `leaveAlone`: the operator will not answer this screen, so
    // an answer bar does not hold them back.
    bool act(bool leaveAlone = false);

    // The test keys skipped so far, in order.
    const std::vector<std::string>& skipped() const noexcept { return skipped_; }

private:
    enum class Step { Watching, MenuOpen, Confirming };

    double patience_;
    Step step_ = Step::Watching;
    Weak<UIViewController> screen_;
    std::string screenKey_;
    double since_ = 0;
    bool gaveUp_ = false; // the menu offered no Skip (a run of one test)
    std::vector<std::string> skipped_;
};
