// ScriptedOperator: the person in front of the simulated device during a run of question tests.
// It sees the screen only through the test driver (start pages, YES/NO answer bars, alerts) and the
// device only through its faults overlay: a question about a part that the overlay marks as
// anything but "ok" is answered NO, any other YES. A script of answers by test key overrides that,
// to play a careless or dishonest operator.
#pragma once

#include <map>
#include <string>

class ScriptedOperator {
public:
    // `faults`: part name -> state, as in a faults overlay file. `script`: test key -> true (YES)
    // or false (NO).
    ScriptedOperator(std::map<std::string, std::string> faults, std::map<std::string, bool> script)
        : faults_(std::move(faults)), script_(std::move(script)) {}

    // Reads a faults overlay ({"part": "state", ...}); false with the reason in `error`.
    static bool readFaults(const std::string& path, std::map<std::string, std::string>& faults, std::string* error);

    // The part a question screen asks about ("" when none is known).
    static std::string partAskedBy(const std::string& screenClass);

    // The answer to the question of the test `key` shown by `screenClass`.
    bool answer(const std::string& key, const std::string& screenClass) const;

    // One step of the operator on the screen shown now: starts a test from its start page, answers
    // a question, or leaves a failed-test alert. Answers whether it did anything.
    bool act();

private:
    std::map<std::string, std::string> faults_;
    std::map<std::string, bool> script_;
};
