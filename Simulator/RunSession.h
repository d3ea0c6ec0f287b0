// A run of question tests in the simulator: the run container walks the tests with the scripted
// operator, the result screen sends the final transaction to a loopback transaction service, and
// each test's result and the transaction are printed.
#pragma once

#include <map>
#include <string>
#include <vector>

struct RunOptions {
    std::vector<std::string> keys;       // test keys, in run order
    std::map<std::string, bool> answers; // scripted answers by test key
    std::string faultsFile;              // a faults overlay, or ""
    bool evaluate = false;               // evaluate instead of trade in
    std::string screenshotsDir;          // where to write the pictures of the screens, or ""
};

std::vector<std::string> splitList(const std::string& text);
// "KEY=yes,KEY=no" -> answers; false for a malformed entry.
bool parseAnswers(const std::string& text, std::map<std::string, bool>& answers);
// Runs the tests; the process's exit status.
int runQuestionTests(const RunOptions& options);

// "PASS", "FAIL", "TIMEOUT" or "NOT RUN" for a test record's result code.
const char* resultName(long long result);
