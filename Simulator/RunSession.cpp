#include "RunSession.h"
#include "DeviceSetup.h"
#include "Drive.h"
#include "OperatorPowerRadio.h"
#include "RoadPictures.h"

#include "OperatorAudio.h"
#include "ScriptedOperator.h"

#include <Categorys/DXLocalizedString.h>
#include <Core/DXProfileManager.h>
#include <Core/DXTestModel.h>
#include <Core/DXTestModelManager.h>
#include <Core/DXTestViewController.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSUserDefaults.h>
#include <LoopbackTransactionService.h>
#include <Shell/DXResultViewController.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITestDriver.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

constexpr const char* kSession = "SIM-SESSION";

Ref<NSArray> buildTestList() {
    auto bundle = NSBundle::mainBundle();
    Ref<NSArray> list;
    bool done = false;
    DXTestModelManager::sharedInstrance()->loadTestModelWithPlistSupportmodelCompletion(
        bundle->pathForResourceOfType("ItemList"_ns, "plist"_ns),
        bundle->pathForResourceOfType("models"_ns, "plist"_ns), [&](const Ref<NSArray>& built, const Ref<NSError>&) {
            list = built;
            done = true;
        });
    driveUntil([&] { return done; }, 30);
    return list;
}

} // namespace

const char* resultName(long long result) {
    switch (result) {
    case DXTestResultPass:
        return "PASS";
    case DXTestResultFail:
        return "FAIL";
    case DXTestResultTimeout:
        return "TIMEOUT";
    default:
        return "NOT RUN";
    }
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        auto part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return parts;
}

bool parseAnswers(const std::string& text, std::map<std::string, bool>& answers) {
    for (const auto& entry : splitList(text)) {
        auto equals = entry.find('=');
        if (equals == std::string::npos) {
            return false;
        }
        auto value = entry.substr(equals + 1);
        if (value != "yes" && value != "no") {
            return false;
        }
        answers[entry.substr(0, equals)] = value == "yes";
    }
    return true;
}

int runQuestionTests(const RunOptions& options) {
    std::map<std::string, std::string> looks;
    std::string error;
    if (!options.faultsFile.empty() && !loadFaultsForRun(options.faultsFile, looks, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    ScriptedOperator person(looks, options.answers);

    LoopbackTransactionService service;
    service.start();
    operator_power_radio::useAddressPage(service.addressPageURL());
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(NSString::from(service.baseURL()), "webservice"_ns);
    defaults->setObjectForKey(NSString::from(kSession), "sessionid"_ns);
    defaults->setObjectForKey("356789012345678"_ns, "uniqueid"_ns);
    defaults->setObjectForKey("SIMSERIAL0001"_ns, "serial"_ns);
    std::printf("transaction service: %s\n", service.baseURL().c_str());
    startVirtualClock();

    buildTestList();
    auto manager = DXTestModelManager::sharedInstrance();
    auto run = NSMutableArray::array();
    for (const auto& key : options.keys) {
        auto record = manager->findTestModelWithKey(NSString::from(key));
        if (!record) {
            std::printf("  %-28s not on this device\n", key.c_str());
            continue;
        }
        auto screenClass = text(record->controllerName());
        if (ScriptedOperator::partAskedBy(screenClass).empty() && screenClass != "ManualTestViewController" &&
            !ScriptedOperator::isPlainQuestionScreen(screenClass) && !ScriptedOperator::isSensorScreen(screenClass) &&
            !isAudioScreen(screenClass) && !operator_power_radio::isPowerRadioScreen(screenClass) &&
            !ScriptedOperator::isTouchKeyScreen(screenClass)) {
            std::printf("  %-28s not a question test (%s)\n", key.c_str(), screenClass.c_str());
            continue;
        }
        record->setResult(DXTestResultNotRun);
        record->setShowInstruction(true);
        record->setShowTestFailedScreen(false);
        record->setSubTestItemsResult(NSMutableDictionary::dictionary());
        run->addObject(record);
    }
    if (run->count() == 0) {
        std::fprintf(stderr, "no question or sensor test to run\n");
        return 1;
    }
    if (!DXProfileManager::sharedManager()->storeTasksInPersistent(run)) {
        std::fprintf(stderr, "cannot store the run\n");
        return 1;
    }

    std::optional<int> exitStatus;
    DXResultViewController::setProcessExitHandler([&](int status) { exitStatus = status; });

    // Every screen of the run, once it has settled, and what comes over it (the recorder stops when
    // the run ends, however it ends); a picture that cannot be written ends the run.
    RoadPictures recording(options.screenshotsDir, "run");

    auto navigation = make<UINavigationController>(make<UIViewController>());
    auto window = UITestDriver::showRootViewController(navigation);
    auto container = make<DXTestViewController>();
    container->setTestModels(run);
    container->setRunType(DXRunTypeProfile);
    navigation->pushViewControllerAnimated(container, false);
    std::printf("running %lu tests...\n", static_cast<unsigned long>(run->count()));

    auto results = [&] { return cast<DXResultViewController>(navigation->topViewController()); };
    bool finished = driveUntil(
        [&] {
            if (results() || !recording.failure().empty()) {
                return true;
            }
            person.act();
            return false;
        },
        120);
    if (recording.reportLoss()) {
        return 1;
    }
    if (!finished) {
        std::fprintf(stderr, "the run did not reach the result screen\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    settle(0.5);
    auto screen = results();
    std::printf("\nresults:\n");
    for (const auto& item : *run) {
        auto record = cast<DXTestModel>(item);
        std::printf("  %-28s %s\n", text(record->profilekey()).c_str(), resultName(record->result()));
    }
    auto header = screen->resultHeaderView();
    std::printf("result screen: %ld passed, %ld failed\n", static_cast<long>(header->passCount()),
                static_cast<long>(header->failureCount()));

    auto button = DXLocalizedString(options.evaluate ? "RESULT_CONTROLLER_EVALUATE" : "RESULT_CONTROLLER_TRADE_IN");
    if (!UITestDriver::tapButtonTitled(button->str())) {
        std::fprintf(stderr, "cannot tap %s\n", button->str().c_str());
        return 1;
    }
    // Waited for by driving the app, never by blocking the main thread: on virtual time the app's own
    // work (a queue's block that sends the request) takes turns with it.
    if (!driveUntil([&] { return service.recordCount() >= 1; }, 20)) {
        std::fprintf(stderr, "the final transaction did not arrive\n");
        return 1;
    }
    auto sent = DXLocalizedString("REPORT_TRANSACTION_SUCCESS")->str();
    bool replied = driveUntil([&] { return UITestDriver::isTextVisible(sent) || exitStatus.has_value(); }, 20);
    // Only this run's own final transaction of the kind asked for counts: a record of another session
    // (an app that read this service's address from a store it shares) does not.
    auto records = service.records();
    auto mine = std::find_if(records.begin(), records.end(), [&](const nlohmann::ordered_json& record) {
        return isFinalTransaction(record, kSession, options.evaluate);
    });
    if (!records.empty()) {
        const auto& record = mine != records.end() ? *mine : records.back();
        std::printf("\nfinal transaction (%s):\n%s\n", options.evaluate ? "evaluate" : "trade-in",
                    record.dump(2).c_str());
    }
    if (!replied) {
        std::fprintf(stderr, "no reply reached the operator\n");
        return 1;
    }
    if (mine == records.end()) {
        std::fprintf(stderr, "the service received no final %s transaction of session %s\n",
                     options.evaluate ? "evaluation" : "trade-in", kSession);
        return 1;
    }
    if (!options.evaluate) {
        driveUntil([&] { return exitStatus.has_value(); }, 10);
        std::printf("trade-in accepted: the app ends (status %d)\n", exitStatus.value_or(-1));
    } else {
        std::printf("evaluation accepted: the result screen stays open\n");
    }
    service.stop();
    for (const auto& file : UIScreenshotWrittenFiles()) {
        std::printf("screenshot: %s\n", file.c_str());
    }
    (void)window;
    return recording.reportLoss() ? 1 : 0;
}
