// ScriptedOperator: the person in front of the simulated device during a run of question tests.
// It sees the screen only through the test driver (start pages, YES/NO answer bars, alerts). On a
// question screen about a part it cannot try out (liquid indicator, casing, ...) it answers from
// the faults overlay: a part marked anything but "ok" is answered NO, any other YES. On a sensor
// screen it does what the screen asks with the device in its hands (turns it, covers the proximity
// sensor, changes the light, lays it flat) and answers from what it saw the device do (the compass
// arrow turned, the brightness followed the light, the motor shook the body), never from the
// overlay. A script of answers by test key overrides both, to play a careless or dishonest operator.
#pragma once

#include "OperatorPatience.h"

#include <Core/DXBaseViewController.h>

#include <map>
#include <set>
#include <string>
#include <vector>

class ScriptedOperator {
public:
    // `faults`: part name -> state, as in a faults overlay file. `script`: test key -> true (YES)
    // or false (NO). The operator remembers nothing of an earlier operator's session.
    ScriptedOperator(std::map<std::string, std::string> faults, std::map<std::string, bool> script);

    // Reads a faults overlay ({"part": "state", ...}); false with the reason in `error`.
    static bool readFaults(const std::string& path, std::map<std::string, std::string>& faults, std::string* error);

    // The parts the operator's questions ask about (liquidIndicator, screen, ...): faults of these
    // are the operator's answers, not a state of the device.
    static std::vector<std::string> questionParts();
    // The part a question screen asks about ("" when none is known).
    static std::string partAskedBy(const std::string& screenClass);

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
    // The tests skipped because their screen never ended, in order.
    const std::vector<std::string>& skippedTests() const noexcept { return patience_.skipped(); }

    // Whether the screen class is a sensor screen the operator works through the device.
    static bool isSensorScreen(const std::string& screenClass);
    // Whether the screen class is a touch or key screen (OperatorTouchKeys.cpp).
    static bool isTouchKeyScreen(const std::string& screenClass);

private:
    bool actOnSensorScreen(const std::string& key, const std::string& screenClass,
                           const Ref<DXBaseViewController>& page);
    bool tapAnswer(const std::string& key, bool yes);
    bool actOnTouchKeyScreen(const std::string& screenClass, const Ref<DXBaseViewController>& page);

    std::map<std::string, std::string> faults_;
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
    std::set<std::string> leftAlone_;
};
