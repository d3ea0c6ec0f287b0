// ScriptedOperator: the person in front of the simulated device during a run. It sees the screen
// only through the test driver (start pages, YES/NO answer bars, alerts, the status bar) and the
// device only through its hands (OperatorHands: what it does with the device and what its senses take
// in: sounds heard, the light that shone, a vibration felt). On a question screen about the casing or the glass (liquid
// indicator, screen, decoration, engraving) it answers from what it sees of them, the looks it is handed: a look marked
// anything but "ok" or "working" is answered NO. Every other screen it works through the device: it does what the
// screen asks (turns the device, covers the proximity sensor, presses the keys, takes the picture) and answers from
// what the screen showed and the device did, never from the faults overlay, which it is never given. A script of
// answers by test key overrides both, to play a careless or dishonest operator.
#pragma once

#include "OperatorPatience.h"

#include <Core/DXBaseViewController.h>
#include <Core/DXStartViewController.h>

#include <map>
#include <set>
#include <string>
#include <vector>

class ScriptedOperator {
public:
    // `looks`: what the operator sees of the casing and the glass, look -> state (questionParts;
    // other names are passed over). `script`: test key -> true (YES) or false (NO). The operator
    // remembers nothing of an earlier operator's session.
    ScriptedOperator(std::map<std::string, std::string> looks, std::map<std::string, bool> script);

    // The looks the operator's questions ask about (liquidIndicator, screen, decoration, engraving):
    // what a person inspects by eye. Their states are the operator's answers, not a state of the
    // device.
    static std::vector<std::string> questionParts();
    // The states a look can be in: "working" and "ok" (answered YES) and its one fault ("tripped",
    // "cracked", "scratched", "engraved"); empty for a name that is no look.
    static std::vector<std::string> lookStates(const std::string& part);
    // The look a question screen asks about ("" when none is known).
    static std::string partAskedBy(const std::string& screenClass);
    // Whether the screen class is a question screen about no look (accessories, True Tone, the SIM
    // tray, the power key).
    static bool isPlainQuestionScreen(const std::string& screenClass);

    // The answer to the question of the test `key` shown by `screenClass`.
    bool answer(const std::string& key, const std::string& screenClass) const;

    // Tests whose screens the operator leaves alone (answers nothing, tries nothing): a screen with a
    // time limit then ends on its own.
    void leaveAlone(std::set<std::string> keys) { leftAlone_ = std::move(keys); }

    // One step of the operator on the screen shown now: starts a test from its start page, answers
    // a question, leaves a failed-test alert, or skips through the header's menu a screen that has
    // neither asked anything nor ended for a while (OperatorPatience). Answers whether it did
    // anything.
    bool act();
    // Why the operator cannot go on ("" while it can): a test's Start that does not answer a touch.
    // The run has then come to a stop, as it would in a person's hands.
    const std::string& stoppedBecause() const noexcept { return stopped_; }
    // The tests skipped because their screen never ended, in order.
    const std::vector<std::string>& skippedTests() const noexcept { return patience_.skipped(); }

    // Whether the screen class is a sensor screen the operator works through the device.
    static bool isSensorScreen(const std::string& screenClass);
    // Whether the screen class is a touch or key screen (OperatorTouchKeys.cpp; the power key's
    // question is answered there too).
    static bool isTouchKeyScreen(const std::string& screenClass);

private:
    bool actOnSensorScreen(const std::string& key, const std::string& screenClass,
                           const Ref<DXBaseViewController>& page);
    bool tapAnswer(const std::string& key, bool yes);
    bool actOnTouchKeyScreen(const std::string& screenClass, const Ref<DXBaseViewController>& page);
    bool actOnStartPage(const Ref<DXStartViewController>& start);

    std::map<std::string, std::string> looks_;
    // The sensor screen being worked on (by its test record): when it came, and what the operator
    // noted before acting.
    const void* sensorScreen_ = nullptr;
    double sensorScreenSince_ = 0;
    double arrowBefore_ = 0;
    double brightnessBefore_ = 0;
    bool brightnessFollowed_ = false;
    int sensorStep_ = 0;
    std::map<std::string, bool> script_;
    OperatorPatience patience_;
    // The touch or key screen being worked on, and how far the operator has got with it.
    const void* touchKeyScreen_ = nullptr;
    double touchKeyScreenSince_ = 0;
    int touchKeyStep_ = 0;
    bool powerKeyLocked_ = false; // the power key's press locked the screen
    std::set<std::string> leftAlone_;
    // The start page the operator tries to start from (held weakly: the next start page may take the
    // place in memory of one that has gone), since when, and why it gave up.
    Weak<DXStartViewController> startPage_;
    double startPageSince_ = 0;
    std::string stopped_;
};
