// The whole road of the app on the simulated device: the app is launched as on a phone
// (UIApplicationMain's launch with AppDelegate), opened by its URL scheme with the device
// identifiers, Start is pressed, the session is typed in, the start transaction goes to the
// transaction service, the run goes with the scripted operator answering each screen, the result
// screen sends the final transaction, and a table of the results is printed.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

class LoopbackTransactionService;

struct RoadOptions {
    std::string faultsFile;     // a faults overlay that breaks parts of the device
    std::string operatorFile;   // scripted answers {"KEY": "yes" | "no"}, over the faults
    std::string server;         // a real transaction service instead of the loopback one
    std::string screenshotsDir; // a text picture of the screen per step, or ""
    bool realTime = false;      // virtual time by default: a run takes seconds
    bool evaluate = false;      // evaluate instead of trade in
    std::string sessionId = "SIM-SESSION-1";
    // Tells the loopback service how to answer the start transaction (tests: refusals, time-outs).
    std::function<void(LoopbackTransactionService&)> beforeStartTransaction;
    // Tells the loopback service how to answer the final transaction (tests: refusals, time-outs).
    std::function<void(LoopbackTransactionService&)> beforeFinalTransaction;
};

// What a walk produced, for tests.
struct RoadReport {
    std::vector<std::pair<std::string, std::string>> table; // test key, result
    std::vector<nlohmann::ordered_json> transactions;       // as the loopback service received them
    std::vector<std::string> messages;                      // messages the operator was shown
    // Images a screen asked the bundle for that did not load, "<screen>: <image name>"; any of them
    // fails the road.
    std::vector<std::string> missingImages;
};

// The keys of the default session on the current device: every test it supports that the app has
// a screen for (supportedSessionKeys), null-terminated; or, while a narrower session is set, those of
// its keys the device supports.
const char* const* defaultSessionKeys();
// Narrows the default session to `keys` (in the device's order; keys the device does not support are
// left out), or, with an empty list, widens it again. Road tests walk the family they test with it:
// a whole session of every test costs minutes under the sanitizers.
void setSessionKeys(std::vector<std::string> keys);

// Whether a text on the screen is a failed request's message, "<description> (<code>)" with a
// whole number as the code.
bool showsErrorCode(const std::string& shown);

// Walks the road; the process's exit status (0 when the road completed).
int runAppRoad(const RoadOptions& options, RoadReport* report = nullptr);
