#include "AppRoad.h"
#include "DeviceSession.h"
#include "DeviceSetup.h"
#include "Drive.h"
#include "RoadPictures.h"
#include "RunSession.h"

#include "OperatorHands.h"
#include "OperatorPowerRadio.h"
#include "ScriptedOperator.h"

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Core/DXBaseViewController.h>
#include <Core/DXTestModel.h>
#include <Core/DXTestViewController.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSURL.h>
#include <LoopbackTransactionService.h>
#include <Shell/AppDelegate.h>
#include <Shell/DXCaptureScanner.h>
#include <Shell/DXResultViewController.h>
#include <Shell/DXRootTableViewController.h>
#include <Shell/EnterSessionIdViewController.h>
#include <Shell/StartViewController.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIImage.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIWindow.h>
#include <UISupport/QRScannerViewController.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace {

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

// Reads the operator's script: test key -> "yes" or "no" (the answer to give), or "none" (the
// operator leaves that test's screen alone). A key the app's catalogue does not know is an error.
bool readOperatorScript(const std::string& path, std::map<std::string, bool>& script, std::set<std::string>& none,
                        std::string* error) {
    nlohmann::ordered_json document;
    if (!readJSONObject(path, "test keys and answers", document, error)) {
        return false;
    }
    auto known = catalogueKeys();
    for (auto& [key, value] : document.items()) {
        if (std::find(known.begin(), known.end(), key) == known.end()) {
            *error = path + ": unknown test key \"" + key + "\" (--list prints this device's tests)";
            return false;
        }
        if (value.is_boolean()) {
            script[key] = value.get<bool>();
        } else if (value.is_string() && (value == "yes" || value == "no")) {
            script[key] = value == "yes";
        } else if (value.is_string() && value == "none") {
            none.insert(key);
        } else {
            *error = path + ": the answer for " + key + " is not yes, no or none";
            return false;
        }
    }
    return true;
}

} // namespace

bool showsErrorCode(const std::string& shown) {
    auto open = shown.rfind(" (");
    if (open == std::string::npos || shown.size() < open + 4 || shown.back() != ')') {
        return false;
    }
    auto code = shown.substr(open + 2, shown.size() - open - 3);
    if (code.front() == '-') {
        code.erase(0, 1);
    }
    return !code.empty() && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

// The screen the operator has before them: the test screen the run container shows (with its test's
// key), else the top controller; empty for the run container between two test screens.
std::string screenName() {
    auto top = UITestDriver::topViewController();
    if (!top) {
        return "no screen";
    }
    if (cast<DXTestViewController>(top)) {
        // The child added last lies in front (the one before it may still be leaving).
        Ref<DXBaseViewController> screen;
        for (const auto& child : top->childViewControllerList()) {
            if (auto base = cast<DXBaseViewController>(child)) {
                screen = base;
            }
        }
        if (!screen) {
            return "";
        }
        auto record = screen->info();
        return std::string(screen->getClass()->name()) +
               (record && record->profilekey() ? " (" + record->profilekey()->str() + ")" : "");
    }
    return top->getClass()->name();
}

// Images that do not load: each name the platform found no image for is put down to the screen up
// when it is first seen (between two test screens, to the one that just left).
class ImageWatch {
public:
    explicit ImageWatch(std::vector<std::string>& missing) : missing_(missing) { UIImage::clearNamesNotFound(); }
    void look() {
        std::string screen = screenName();
        if (screen.empty()) {
            screen = last_;
        }
        last_ = screen;
        auto names = UIImage::namesNotFound();
        for (size_t i = seen_; i < names.size(); ++i) {
            missing_.push_back(screen + ": " + names[i]);
            std::printf("%s asks for the image \"%s\", which does not load\n", screen.c_str(), names[i].c_str());
        }
        seen_ = names.size();
    }
    // Fails the road (false) when any image did not load, saying which and where.
    bool report() {
        look();
        for (const auto& missing : missing_) {
            std::fprintf(stderr, "image missing from the bundle: %s\n", missing.c_str());
        }
        return missing_.empty();
    }

private:
    std::vector<std::string>& missing_;
    size_t seen_ = 0;
    std::string last_;
};

Ref<UINavigationController> rootNavigation(const Ref<UIApplication>& app) {
    auto delegate = cast<AppDelegate>(app->delegate());
    auto window = delegate ? delegate->window() : nullptr;
    return window ? cast<UINavigationController>(window->rootViewController()) : nullptr;
}

template <class T>
Ref<T> presentedBy(const Ref<UINavigationController>& navigation) {
    return navigation ? cast<T>(navigation->presentedViewController()) : nullptr;
}

} // namespace

namespace {
std::vector<std::string>& narrowedSession() {
    static std::vector<std::string> keys;
    return keys;
}
} // namespace

void setSessionKeys(std::vector<std::string> keys) {
    narrowedSession() = std::move(keys);
}

const char* const* defaultSessionKeys() {
    // Kept per device and session for the life of the process, so the pointers stay valid.
    static std::map<std::string, std::pair<std::vector<std::string>, std::vector<const char*>>> sessions;
    const auto& narrowed = narrowedSession();
    std::string id = deviceHardwareIdentifier();
    for (const auto& key : narrowed) {
        id += "," + key;
    }
    auto& [keys, pointers] = sessions[id];
    if (pointers.empty()) {
        for (auto& key : supportedSessionKeys()) {
            if (narrowed.empty() || std::find(narrowed.begin(), narrowed.end(), key) != narrowed.end()) {
                keys.push_back(std::move(key));
            }
        }
        for (const auto& key : keys) {
            pointers.push_back(key.c_str());
        }
        pointers.push_back(nullptr);
    }
    return pointers.data();
}

int runAppRoad(const RoadOptions& options, RoadReport* report) {
    RoadReport local;
    RoadReport& out = report ? *report : local;
    // Every message the operator is shown while the app runs.
    std::vector<std::string> watched;
    for (const char* key : {"MT_LOGIN_HAS_USELESS_ID_ERROR", "MT_REPORT_TRANSCATION_ERROR", "ROOT_SESSION_NO_TESTS",
                            "ROOT_SESSION_BAD_REPLY", "REPORT_TRANSACTION_SUCCESS"}) {
        watched.push_back(DXLocalizedString(key)->str());
    }
    auto watch = [&] {
        // A failed request shows "<description> (<code>)"; a title such as "Display colours (step
        // by step)" is no message.
        for (const auto& shown : UITestDriver::visibleTexts()) {
            if (showsErrorCode(shown) && std::find(watched.begin(), watched.end(), shown) == watched.end()) {
                watched.push_back(shown);
            }
        }
        for (const auto& message : watched) {
            if (UITestDriver::isTextVisible(message) &&
                std::find(out.messages.begin(), out.messages.end(), message) == out.messages.end()) {
                out.messages.push_back(message);
                std::printf("operator sees: %s\n", message.c_str());
            }
        }
    };
    std::map<std::string, std::string> looks;
    std::map<std::string, bool> script;
    std::string error;
    // The overlay breaks the device's own parts too (sensors, the vibration motor, ...): the screens
    // then see them broken, and the operator finds out by trying them.
    if (!options.faultsFile.empty() && !loadFaultsForRun(options.faultsFile, looks, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    std::set<std::string> leftAlone;
    if (!options.operatorFile.empty() && !readOperatorScript(options.operatorFile, script, leftAlone, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    ImageWatch images(out.missingImages);
    ScriptedOperator person(looks, script);
    person.leaveAlone(leftAlone);
    RoadPictures screenshots(options.screenshotsDir, "road");

    std::unique_ptr<LoopbackTransactionService> service;
    std::string server = options.server;
    if (server.empty()) {
        service = std::make_unique<LoopbackTransactionService>();
        std::vector<std::string> keys;
        for (auto key = defaultSessionKeys(); *key; ++key) {
            keys.emplace_back(*key);
        }
        service->setCompanySettings(LoopbackTransactionService::companySettingsFor(keys));
        service->setModelList(shippedModelList());
        service->start();
        server = service->baseURL();
        operator_power_radio::useAddressPage(service->addressPageURL());
        // The model list is asked of the same host, as of the back office on the road.
        DXUtility::setModelListServer(NSString::from(server));
    }
    if (!service) {
        // A back office on the road serves the model list beside the transactions.
        DXUtility::setModelListServer(NSString::from(server));
    }
    std::printf("transaction service: %s\n", server.c_str());
    if (!options.realTime) {
        startVirtualClock();
    }

    std::optional<int> exitStatus;
    DXResultViewController::setProcessExitHandler([&](int status) { exitStatus = status; });
    // The device's camera joins sessions by their QR code.
    DXUseCaptureScanner();
    auto app = UIApplicationLaunch(nullptr, "AppDelegate"_ns);
    auto navigation = rootNavigation(app);
    if (!navigation || !driveUntil([&] { return presentedBy<StartViewController>(navigation) != nullptr; }, 10)) {
        std::fprintf(stderr, "the start page did not come up\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    settle(1.2); // the splash goes after a second
    images.look();
    if (!screenshots.take("start")) {
        return 1;
    }
    std::printf("launched: the start page is up\n");

    // The device-id lookup page answers through the URL scheme.
    auto identifiers = "enoxm://imei=356789012345678&serial=SIMSERIAL0001&product=" + deviceHardwareIdentifier();
    app->openURLFromSystem(NSURL::URLWithString(NSString::from(identifiers)));
    std::printf("opened %s\n", identifiers.c_str());
    settle(0.5);

    auto startTitle = text(DXLocalizedString("STARTVIEWCONTROLLER_STARTBUTTON"));
    if (!UITestDriver::tapButtonTitled(startTitle)) {
        if (UITestDriver::isTextVisible(startTitle)) {
            // The button is there, but the screen senses no finger on it: the road ends here, as it
            // would in a person's hands.
            auto first = service ? defaultSessionKeys()[0] : nullptr;
            std::fprintf(stderr, "the road stopped: the start page's Start button does not answer a touch; %s\n",
                         first ? (std::string("no test has run, ") + first + " was next").c_str() : "no test has run");
        } else {
            std::fprintf(stderr, "cannot press Start\n%s", UITestDriver::describeScreen().c_str());
        }
        return 1;
    }
    // The scanner comes up: the operator holds the session's QR code card before the camera. A camera
    // that cannot read it (or none) leaves the operator to cancel and type the session in.
    driveUntil(
        [&] {
            return presentedBy<QRScannerViewController>(navigation) ||
                   presentedBy<EnterSessionIdViewController>(navigation);
        },
        10);
    bool byCode = false;
    bool primed = false;
    auto prime = [&] {
        // The service's behaviour for the start transaction is set once, just before it can come.
        if (service && options.beforeStartTransaction && !primed) {
            options.beforeStartTransaction(*service);
        }
        primed = true;
    };
    if (auto scanner = presentedBy<QRScannerViewController>(navigation)) {
        if (!screenshots.take("scanner")) {
            return 1;
        }
        prime();
        hands::holdCodeCardBeforeCamera(server + "/download_app/?sessionid=" + options.sessionId);
        std::printf("holding the session's QR code before the camera\n");
        byCode = driveUntil([&] { return !presentedBy<QRScannerViewController>(navigation); }, 5);
        if (!byCode) {
            UITestDriver::tapView(scanner->cancelButton());
            std::printf("the camera did not read the code: typing the session in\n");
        }
        hands::holdCodeCardBeforeCamera("");
    }
    if (byCode) {
        std::printf("joining session %s by its QR code\n", options.sessionId.c_str());
    } else if (!driveUntil([&] { return presentedBy<EnterSessionIdViewController>(navigation) != nullptr; }, 10)) {
        std::fprintf(stderr, "the session form did not come up\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    if (auto form = presentedBy<EnterSessionIdViewController>(navigation)) {
        settle(0.5);
        images.look();
        UITestDriver::typeIntoField(form->serverTextField(), server);
        UITestDriver::typeIntoField(form->sessionidTextField(), options.sessionId);
        settle(0.1);
        if (!screenshots.take("session")) {
            return 1;
        }
        prime();
        UITestDriver::tapView(form->sendBtn());
        std::printf("joining session %s at %s\n", options.sessionId.c_str(), server.c_str());
    }

    auto container = [&] { return cast<DXTestViewController>(navigation->topViewController()); };
    auto results = [&] { return cast<DXResultViewController>(navigation->topViewController()); };
    // A refused or failed start transaction shows the operator a message: the road ends there, at
    // once, with that message (the app's own 15-second time-out decides when a silent service fails).
    bool joined = driveUntil(
        [&] {
            watch();
            return container() != nullptr || results() != nullptr || !out.messages.empty();
        },
        60);
    if (!out.messages.empty() && !container() && !results()) {
        std::fprintf(stderr, "the session did not start: the operator sees \"%s\"\n", out.messages.front().c_str());
        return 1;
    }
    if (!joined) {
        std::fprintf(stderr, "the run did not start\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    auto run = container() ? container()->testModels() : nullptr;
    size_t total = run ? run->count() : 0;
    std::printf("session joined: %zu tests\n", total);

    // The run: the operator answers each screen; one line per finished test. A test is finished
    // when the container has stored its result and moved on (or the result screen is up): until
    // then its screen may still change the record (a screen covered by the system camera screen
    // marks itself failed until the answers come).
    std::map<const void*, double> started;
    // What each test of the run took, by its place in the run, once reported (looked at on every step
    // of the drive: a vector, not a map).
    std::vector<std::optional<double>> took(total);
    size_t reported = 0;
    double clockStart = DispatchClock::uptime();
    auto isFinal = [&](size_t i) {
        if (results()) {
            return true;
        }
        auto current = container();
        return current && i < current->indexOfHandle();
    };
    auto reportFinished = [&] {
        if (!run) {
            return;
        }
        took.resize(std::max(took.size(), run->count()));
        for (size_t i = 0; i < run->count(); ++i) {
            auto record = cast<DXTestModel>(run->objectAtIndex(i));
            if (record->result() == DXTestResultNotRun && took[i]) {
                // Back cleared it: it runs again and is reported again.
                took[i].reset();
                started.erase(record.get());
                --reported;
            }
            if (record->result() != DXTestResultNotRun && !took[i] && isFinal(i)) {
                auto begin = started.find(record.get());
                took[i] = DispatchClock::uptime() - (begin != started.end() ? begin->second : clockStart);
                std::printf("[%zu/%zu] %-24s %-7s %5.1f s\n", ++reported, total, text(record->profilekey()).c_str(),
                            resultName(record->result()), *took[i]);
                std::fflush(stdout);
            }
        }
    };
    bool finished = driveUntil(
        [&] {
            if (results()) {
                return true;
            }
            if (auto current = container()) {
                if (auto screen = cast<DXBaseViewController>(current->oldViewController())) {
                    auto record = screen->info();
                    if (record && !started.count(record.get())) {
                        started[record.get()] = DispatchClock::uptime();
                        if (!screenshots.take(text(record->profilekey()))) {
                            return true;
                        }
                    }
                }
            }
            images.look();
            reportFinished();
            if (!screenshots.failure().empty()) {
                return true;
            }
            person.act();
            images.look();
            return !person.stoppedBecause().empty();
        },
        3600);
    if (screenshots.reportLoss()) {
        return 1;
    }
    if (!person.stoppedBecause().empty()) {
        std::fprintf(stderr, "the run stopped after %zu of %zu tests: %s\n", reported, total,
                     person.stoppedBecause().c_str());
        return 1;
    }
    if (!finished) {
        std::fprintf(stderr, "the run did not reach the result screen\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    reportFinished();
    settle(0.5);
    images.look();
    if (!screenshots.take("results")) {
        return 1;
    }

    std::printf("\n%-26s %-8s %s\n", "test", "result", "time");
    if (run) {
        for (size_t i = 0; i < run->count(); ++i) {
            auto record = cast<DXTestModel>(run->objectAtIndex(i));
            double seconds = i < took.size() && took[i] ? *took[i] : 0;
            std::printf("%-26s %-8s %5.1f s\n", text(record->profilekey()).c_str(), resultName(record->result()),
                        seconds);
        }
    }

    if (run) {
        for (const id& item : *run) {
            auto record = cast<DXTestModel>(item);
            out.table.emplace_back(text(record->profilekey()), resultName(record->result()));
        }
    }
    if (service && options.beforeFinalTransaction) {
        options.beforeFinalTransaction(*service);
    }
    auto button = DXLocalizedString(options.evaluate ? "RESULT_CONTROLLER_EVALUATE" : "RESULT_CONTROLLER_TRADE_IN");
    if (!UITestDriver::tapButtonTitled(button->str())) {
        std::fprintf(stderr, "cannot tap %s\n%s", button->str().c_str(), UITestDriver::describeScreen().c_str());
        return 1;
    }
    auto sent = DXLocalizedString("REPORT_TRANSACTION_SUCCESS")->str();
    auto refused = [&] {
        return std::any_of(out.messages.begin(), out.messages.end(), [&](const std::string& m) { return m != sent; });
    };
    bool replied = driveUntil(
        [&] {
            watch();
            return UITestDriver::isTextVisible(sent) || exitStatus.has_value() || refused();
        },
        60);
    if (service) {
        auto records = service->records();
        out.transactions = records;
        std::printf("\ntransactions received by the service: %zu\n", records.size());
        if (!records.empty()) {
            std::printf("final transaction (%s):\n%s\n", options.evaluate ? "evaluate" : "trade-in",
                        records.back().dump(2).c_str());
        }
    }
    if (!replied || refused()) {
        std::fprintf(stderr, "the final transaction was not accepted\n%s", UITestDriver::describeScreen().c_str());
        if (service) {
            service->stop();
        }
        return 1;
    }
    // The app shows the same message whichever service answered it: accepted means that this run's
    // own service holds this session's final transaction of the kind asked for. A service of one's
    // own (--server) is seen only through its answer to the app, which is all that is said of it.
    const char* kind = options.evaluate ? "evaluation" : "trade-in";
    if (service && std::none_of(out.transactions.begin(), out.transactions.end(), [&](const auto& record) {
            return isFinalTransaction(record, options.sessionId, options.evaluate);
        })) {
        std::fprintf(stderr,
                     "the app shows the %s accepted, but this run's service at %s did not receive it (session %s): "
                     "the app sent it elsewhere\n",
                     kind, server.c_str(), options.sessionId.c_str());
        service->stop();
        return 1;
    }
    std::string by = service ? std::string() : " by " + server + ", as it answered";
    if (!options.evaluate) {
        driveUntil([&] { return exitStatus.has_value(); }, 10);
        std::printf("trade-in accepted%s: the app ends (status %d)\n", by.c_str(), exitStatus.value_or(-1));
    } else {
        std::printf("evaluation accepted%s: the result screen stays open\n", by.c_str());
    }
    if (service) {
        service->stop();
    }
    // A screen that asked for a picture the bundle lacks shows a person an empty space there; the
    // pictures of the last screens may have failed since the results were pictured.
    bool imagesLoaded = images.report();
    if (screenshots.reportLoss()) {
        return 1;
    }
    return imagesLoaded ? 0 : 1;
}
