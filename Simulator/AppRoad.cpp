#include "AppRoad.h"
#include "RunSession.h"

#include "OperatorPowerRadio.h"
#include "ScriptedOperator.h"

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Core/DXBaseViewController.h>
#include <Core/DXTestModel.h>
#include <Core/DXTestViewController.h>
#include <Device/SimDevice.h>
#include <Device/SimSensors.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSURL.h>
#include <LoopbackTransactionService.h>
#include <Shell/AppDelegate.h>
#include <Shell/DXResultViewController.h>
#include <Shell/DXRootTableViewController.h>
#include <Shell/EnterSessionIdViewController.h>
#include <Shell/StartViewController.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIWindow.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

// Lets the app run until `done` holds: on virtual time the clock moves as the app waits, on real
// time the main loop turns in short steps.
bool drive(const std::function<bool()>& done, double seconds) {
    if (DispatchClock::isVirtual()) {
        auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= limit) {
                return done();
            }
            DispatchClock::advanceUntil(done, 0.05);
            // Replies of the transaction service come in real time: a short real pause keeps the
            // virtual clock from racing ahead while the app waits for one.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto loop = NSRunLoop::mainRunLoop();
    while (!done()) {
        if (std::chrono::steady_clock::now() >= limit) {
            return done();
        }
        loop->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::dateWithTimeIntervalSinceNow(0.02));
    }
    return true;
}

bool readOperatorScript(const std::string& path, std::map<std::string, bool>& script, std::string* error) {
    std::ifstream file(path);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    auto document = nlohmann::json::parse(file, nullptr, false);
    if (!document.is_object()) {
        *error = path + " is not a JSON object of test keys and answers";
        return false;
    }
    for (auto& [key, value] : document.items()) {
        if (value.is_boolean()) {
            script[key] = value.get<bool>();
        } else if (value.is_string() && (value == "yes" || value == "no")) {
            script[key] = value == "yes";
        } else {
            *error = path + ": the answer for " + key + " is neither yes nor no";
            return false;
        }
    }
    return true;
}

class Screenshots {
public:
    explicit Screenshots(std::string dir) : dir_(std::move(dir)) {
        if (!dir_.empty()) {
            std::filesystem::create_directories(dir_);
            // Every new screen as the device shows it, rendered at its scale.
            UIScreenshotRecordToDirectory(dir_);
        }
    }
    ~Screenshots() {
        if (!dir_.empty()) {
            UIScreenshotRecordToDirectory("");
        }
    }
    void take(const std::string& name) {
        if (dir_.empty()) {
            return;
        }
        char file[32];
        std::snprintf(file, sizeof file, "%03d-", ++count_);
        std::ofstream(dir_ + "/" + file + name + ".txt") << UITestDriver::describeScreen();
    }

private:
    std::string dir_;
    int count_ = 0;
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

const char* const* defaultSessionKeys() {
    static const char* const keys[] = {
        "DECORATION_TEST", "CRASH_SCREEN_TEST", "WATER_DAMAGE_TEST", "ENGRAVING_TEST", "REMOVE_ACCESSORY_TEST",
        "POWER_ON_OFF_TEST", "SIM_TRAY_TEST",
        // The motion and environment sensors, which the operator tries out on the device.
        "COMPASS_TEST", "MOTION_SENSOR_TEST", "ACCELEROMETER_TEST", "GYROSCOPE_TEST", "BAROMETER_TEST",
        "PROXIMITY_TEST", "AMBIENT_LIGHT_TEST", "GPS_TEST", "VIBRATION",
        // Power, radios and the device's status, which the operator tries out on the device.
        "JAILBREAK_TEST", "WIFI_TEST", "AC_USB_PLUG_TEST", "COMPUTER_USB_PLUG_TEST", "DEVICE_INFO_TEST", "BATTERY_TEST",
        "WIRELESS_CHARGING_TEST", "SMS_TEST", "FACEID", "RF", "BLUETOOTH_TEST", nullptr};
    return keys;
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
        // A failed request shows "<description> (<code>)".
        for (const auto& shown : UITestDriver::visibleTexts()) {
            auto open = shown.rfind(" (");
            if (open != std::string::npos && shown.size() > open + 3 && shown.back() == ')' &&
                std::find(watched.begin(), watched.end(), shown) == watched.end()) {
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
    std::map<std::string, std::string> faults;
    std::map<std::string, bool> script;
    std::string error;
    if (!options.faultsFile.empty() && !ScriptedOperator::readFaults(options.faultsFile, faults, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    // The overlay breaks the device's own parts too (sensors, the vibration motor): the screens then
    // see them broken, and the operator finds out by trying them.
    if (!options.faultsFile.empty() && !SimSensors::current().loadFaults(options.faultsFile, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!operator_power_radio::loadFaults(options.faultsFile, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!options.operatorFile.empty() && !readOperatorScript(options.operatorFile, script, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    ScriptedOperator person(faults, script);
    Screenshots screenshots(options.screenshotsDir);

    std::unique_ptr<LoopbackTransactionService> service;
    std::string server = options.server;
    if (server.empty()) {
        service = std::make_unique<LoopbackTransactionService>();
        std::vector<std::string> keys;
        for (auto key = defaultSessionKeys(); *key; ++key) {
            keys.emplace_back(*key);
        }
        service->setCompanySettings(LoopbackTransactionService::companySettingsFor(keys));
        service->start();
        server = service->baseURL();
        operator_power_radio::useAddressPage(service->addressPageURL());
        // The model list is asked of the same host; it has none, so the look-up ends at once.
        DXUtility::setModelListServer(NSString::from(server));
    }
    std::printf("transaction service: %s\n", server.c_str());
    if (!options.realTime) {
        DispatchClock::useVirtualTime(NSDate::date()->timeIntervalSinceReferenceDate());
    }

    std::optional<int> exitStatus;
    DXResultViewController::setProcessExitHandler([&](int status) { exitStatus = status; });
    auto app = UIApplicationLaunch(nullptr, "AppDelegate"_ns);
    auto navigation = rootNavigation(app);
    if (!navigation || !drive([&] { return presentedBy<StartViewController>(navigation) != nullptr; }, 10)) {
        std::fprintf(stderr, "the start page did not come up\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    drive([] { return false; }, 1.2); // the splash goes after a second
    screenshots.take("start");
    std::printf("launched: the start page is up\n");

    // The device-id lookup page answers through the URL scheme.
    auto identifiers = "enoxm://imei=356789012345678&serial=SIMSERIAL0001&product=" +
                       SimDevice::current().identity().hardwareIdentifier;
    app->openURLFromSystem(NSURL::URLWithString(NSString::from(identifiers)));
    std::printf("opened %s\n", identifiers.c_str());
    drive([] { return false; }, 0.5);

    if (!UITestDriver::tapButtonTitled(text(DXLocalizedString("STARTVIEWCONTROLLER_STARTBUTTON")))) {
        std::fprintf(stderr, "cannot press Start\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    // No camera on this device: the session is typed in.
    if (!drive([&] { return presentedBy<EnterSessionIdViewController>(navigation) != nullptr; }, 10)) {
        std::fprintf(stderr, "the session form did not come up\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    drive([] { return false; }, 0.5);
    auto form = presentedBy<EnterSessionIdViewController>(navigation);
    UITestDriver::typeIntoField(form->serverTextField(), server);
    UITestDriver::typeIntoField(form->sessionidTextField(), options.sessionId);
    drive([] { return false; }, 0.1);
    screenshots.take("session");
    UITestDriver::tapView(form->sendBtn());
    std::printf("joining session %s at %s\n", options.sessionId.c_str(), server.c_str());

    auto container = [&] { return cast<DXTestViewController>(navigation->topViewController()); };
    auto results = [&] { return cast<DXResultViewController>(navigation->topViewController()); };
    if (!drive([&] { return container() != nullptr || results() != nullptr; }, 60)) {
        std::fprintf(stderr, "the run did not start\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    auto run = container() ? container()->testModels() : nullptr;
    size_t total = run ? run->count() : 0;
    std::printf("session joined: %zu tests\n", total);

    // The run: the operator answers each screen; one line per finished test.
    std::map<const void*, double> started;
    std::map<const void*, double> took;
    size_t reported = 0;
    double clockStart = DispatchClock::uptime();
    auto reportFinished = [&] {
        if (!run) {
            return;
        }
        for (size_t i = 0; i < run->count(); ++i) {
            auto record = cast<DXTestModel>(run->objectAtIndex(i));
            if (record->result() != DXTestResultNotRun && !took.count(record.get())) {
                double begin = started.count(record.get()) ? started[record.get()] : clockStart;
                took[record.get()] = DispatchClock::uptime() - begin;
                std::printf("[%zu/%zu] %-24s %-7s %5.1f s\n", ++reported, total, text(record->profilekey()).c_str(),
                            resultName(record->result()), took[record.get()]);
                std::fflush(stdout);
            }
        }
    };
    bool finished = drive(
        [&] {
            if (results()) {
                return true;
            }
            if (auto current = container()) {
                if (auto screen = cast<DXBaseViewController>(current->oldViewController())) {
                    auto record = screen->info();
                    if (record && !started.count(record.get())) {
                        started[record.get()] = DispatchClock::uptime();
                        screenshots.take(text(record->profilekey()));
                    }
                }
            }
            reportFinished();
            person.act();
            return false;
        },
        300);
    if (!finished) {
        std::fprintf(stderr, "the run did not reach the result screen\n%s", UITestDriver::describeScreen().c_str());
        return 1;
    }
    reportFinished();
    drive([] { return false; }, 0.5);
    screenshots.take("results");

    std::printf("\n%-26s %-8s %s\n", "test", "result", "time");
    if (run) {
        for (const id& item : *run) {
            auto record = cast<DXTestModel>(item);
            double seconds = took.count(record.get()) ? took[record.get()] : 0;
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
    bool replied = drive(
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
    if (!options.evaluate) {
        drive([&] { return exitStatus.has_value(); }, 10);
        std::printf("trade-in accepted: the app ends (status %d)\n", exitStatus.value_or(-1));
    } else {
        std::printf("evaluation accepted: the result screen stays open\n");
    }
    if (service) {
        service->stop();
    }
    return 0;
}
