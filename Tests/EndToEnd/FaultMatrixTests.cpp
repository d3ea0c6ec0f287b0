// The fault matrix: on every shipped device, a clean run of the whole default session where every
// test passes (but those dependents.json lists as failing on that device with nothing broken), and
// one run per breakable part (dependents.json) where exactly the tests that depend
// on the part fail and all others pass. A part's run walks the operator's questions plus the family
// of tests the part belongs to (a whole session of every test costs minutes under the sanitizers);
// dependents outside the session walked are not expected. Each run is checked three ways: the table
// the simulator prints, the run stored on the device, and the final transaction the loopback
// service received.
#include "../Simulator/RoadSessions.h"
#include "AppRoad.h"
#include "DeviceFaults.h"
#include "DeviceSession.h"
#include "ScreenshotChecks.h"

#include <Core/DXProfileManager.h>
#include <Core/DXTestModel.h>
#include <Device/SimAudio.h>
#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Device/SimSensors.h>
#include <Device/SimTouchKeys.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <map>
#include <ostream>
#include <regex>
#include <set>

namespace {

struct MatrixCase {
    std::string device;
    std::string part;   // "" for the clean run
    std::string fault;  // the part's state in the overlay
    bool namedByFault;  // the part has rows for more than one fault: the case's name says which
    std::string family; // the family of tests the run walks besides the questions
    std::set<std::string> dependents;
    std::set<std::string> leftOut; // tests the app drops from the run with the part broken
};

void PrintTo(const MatrixCase& c, std::ostream* out) {
    *out << c.device << " " << (c.part.empty() ? "clean" : c.part + "=" + c.fault);
}

nlohmann::json dependentsTable() {
    std::ifstream file(std::string(DX_SOURCE_DIR) + "/Tests/EndToEnd/dependents.json");
    return nlohmann::json::parse(file, nullptr, false);
}

std::vector<MatrixCase> matrixCases() {
    std::vector<MatrixCase> cases;
    auto table = dependentsTable();
    for (const auto& device : SimDevice::availableProfiles()) {
        // What fails on this device with nothing broken: in every run of it.
        std::set<std::string> failsClean;
        if (table.is_object() && table.contains("failsClean") && table["failsClean"].contains(device)) {
            for (const auto& key : table["failsClean"][device]) {
                failsClean.insert(key.get<std::string>());
            }
        }
        cases.push_back({device, "", "", false, "", failsClean, {}});
        if (!table.is_object()) {
            continue;
        }
        bool everyDevice = table.value("everyDevice", false);
        std::map<std::string, int> rowsOfPart;
        for (const auto& row : table["parts"]) {
            ++rowsOfPart[row["part"].get<std::string>()];
        }
        for (const auto& row : table["parts"]) {
            if (row.value("question", false) && device != SimDevice::defaultProfile) {
                continue; // the operator's answer does not depend on the device
            }
            auto notOn = row.value("notOn", nlohmann::json::array());
            if (std::find(notOn.begin(), notOn.end(), device) != notOn.end()) {
                continue; // the device is built without the part
            }
            bool ownPath = row.contains("devices") && row["devices"].contains(device);
            if (!everyDevice && !ownPath && device != SimDevice::defaultProfile) {
                continue; // the same path as on the default device, which runs it
            }
            MatrixCase c{device, row["part"], row["fault"], false, row.value("family", ""), failsClean, {}};
            c.namedByFault = rowsOfPart[c.part] > 1;
            auto tests = row["tests"];
            if (row.contains("devices") && row["devices"].contains(device)) {
                tests = row["devices"][device];
            }
            for (const auto& key : tests) {
                c.dependents.insert(key.get<std::string>());
            }
            for (const auto& key : row.value("leavesOut", nlohmann::json::array())) {
                c.leftOut.insert(key.get<std::string>());
            }
            cases.push_back(c);
        }
    }
    return cases;
}

std::string caseName(const testing::TestParamInfo<MatrixCase>& info) {
    std::string name = info.param.device + "_" + (info.param.part.empty() ? "clean" : info.param.part);
    if (info.param.namedByFault) {
        name += "_" + info.param.fault;
    }
    for (auto& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return name;
}

// The result on the key's row of the printed final table.
std::string printedResult(const std::string& printed, const std::string& key) {
    auto at = printed.rfind("test                       result");
    if (at == std::string::npos) {
        return "<no table>";
    }
    std::smatch match;
    std::regex row("\n" + key + " +([A-Z ]+?) +[0-9.]+ s\n");
    std::string table = printed.substr(at);
    return std::regex_search(table, match, row) ? match[1].str() : "<absent>";
}

std::string resultCodeName(long long code) {
    switch (code) {
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

class FaultMatrixTest : public testing::TestWithParam<MatrixCase> {
protected:
    void SetUp() override {
        // The clean run walks the whole session of the device.
        setSessionKeys(GetParam().part.empty() ? std::vector<std::string>{} : road_sessions::family(GetParam().family));
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(SimDevice::current().loadProfile(GetParam().device));
    }
    void TearDown() override {
        road_sessions::endTest();
        setSessionKeys({});
        SimSensors::current().reset();
        SimAudio::current().reset();
        SimCamera::current().reset();
        SimTouchKeys::current().reset();
    }
};

} // namespace

TEST_P(FaultMatrixTest, ExactlyTheDependentTestsFail) {
    const auto& c = GetParam();
    RoadOptions options;
    if (!c.part.empty()) {
        options.faultsFile = NSSandbox::rootPath()->str() + "/faults.json";
        std::ofstream(options.faultsFile) << nlohmann::json{{c.part, c.fault}}.dump();
    }
    std::vector<std::string> session;
    for (auto key = defaultSessionKeys(); *key; ++key) {
        if (!c.leftOut.count(*key)) {
            session.emplace_back(*key);
        }
    }
    ASSERT_FALSE(session.empty());
    for (const auto& key : session) {
        EXPECT_NE(std::find(supportedSessionKeys().begin(), supportedSessionKeys().end(), key),
                  supportedSessionKeys().end())
            << key;
    }

    // The clean run of a device also takes a picture of every screen, and checks that a person
    // can see what each one shows.
    std::string pictures;
    if (c.part.empty()) {
        pictures = NSSandbox::rootPath()->str() + "/screenshots/";
        options.screenshotsDir = pictures;
    }

    RoadReport report;
    testing::internal::CaptureStdout();
    int status = runAppRoad(options, &report);
    auto printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0) << printed;

    // The final transaction the service received.
    ASSERT_EQ(report.transactions.size(), 2u) << printed;
    const auto& final = report.transactions.back();
    auto values = nlohmann::json::parse(final["result_value"].get<std::string>(), nullptr, false);
    ASSERT_TRUE(values.is_object());
    EXPECT_EQ(values.size(), session.size());
    EXPECT_FALSE(final["sourceModel"].empty()) << "the model look-up found this device";

    // The run stored on the device.
    std::map<std::string, std::string> stored;
    std::set<std::string> screens;
    auto tasks = DXProfileManager::sharedManager()->loadPersistentTasks();
    for (const auto& item : *tasks) {
        auto record = cast<DXTestModel>(item);
        stored[record->profilekey()->str()] = resultCodeName(record->result());
        if (record->controllerName()) {
            screens.insert(record->controllerName()->str());
        }
    }
    EXPECT_EQ(stored.size(), session.size());
    if (!pictures.empty()) {
        screenshot_checks::expectUsablePictures(pictures, screens);
    }

    bool anyFails = false;
    ASSERT_EQ(report.table.size(), session.size());
    for (const auto& [key, result] : report.table) {
        EXPECT_EQ(c.leftOut.count(key), 0u) << key << " was to be left out of the run";
        // A dependent outside the session is not walked and not expected.
        bool fails = c.dependents.count(key) != 0;
        anyFails = anyFails || fails;
        EXPECT_EQ(result != "PASS", fails) << key << " " << result;
        EXPECT_EQ(printedResult(printed, key), result) << key;
        EXPECT_EQ(stored[key], result) << key;
        EXPECT_EQ(values[key], fails ? "FAIL" : "SUCCESS") << key;
    }
    EXPECT_EQ(final["result"], anyFails ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Devices, FaultMatrixTest, testing::ValuesIn(matrixCases()), caseName);

TEST(FaultMatrixTableTest, EveryPartIsKnownToTheSimulatorAndEveryTestToTheCatalogue) {
    dispatch_adopt_current_thread_as_main();
    NSSandbox::useTemporaryRoot();
    auto table = dependentsTable();
    ASSERT_TRUE(table.is_object()) << "dependents.json does not parse";
    auto known = knownFaultParts();
    auto keys = catalogueKeys();
    auto devices = SimDevice::availableProfiles();
    auto isKey = [&](const nlohmann::json& key) {
        return std::find(keys.begin(), keys.end(), key.get<std::string>()) != keys.end();
    };
    std::set<std::string> parts;
    std::set<std::pair<std::string, std::string>> rows;
    for (const auto& row : table["parts"]) {
        auto part = row["part"].get<std::string>();
        parts.insert(part);
        EXPECT_TRUE(rows.insert({part, row["fault"].get<std::string>()}).second)
            << part << " is listed twice with the fault " << row["fault"];
        EXPECT_NE(std::find(known.begin(), known.end(), part), known.end()) << part;
        EXPECT_FALSE(road_sessions::family(row.value("family", "")).empty()) << part << ": no such family";
        EXPECT_FALSE(row["tests"].empty()) << part;
        for (const auto& key : row["tests"]) {
            EXPECT_TRUE(isKey(key)) << key;
        }
        for (const auto& key : row.value("leavesOut", nlohmann::json::array())) {
            EXPECT_TRUE(isKey(key)) << key;
        }
        auto overrides = row.value("devices", nlohmann::json::object());
        for (const auto& [device, tests] : overrides.items()) {
            EXPECT_NE(std::find(devices.begin(), devices.end(), device), devices.end()) << part << ": " << device;
            for (const auto& key : tests) {
                EXPECT_TRUE(isKey(key)) << key;
            }
        }
    }
    auto failsClean = table.value("failsClean", nlohmann::json::object());
    for (const auto& [device, tests] : failsClean.items()) {
        EXPECT_NE(std::find(devices.begin(), devices.end(), device), devices.end()) << device;
        for (const auto& key : tests) {
            EXPECT_TRUE(isKey(key)) << key;
        }
    }
    // Every part the simulator can break has its row, or says why a run cannot be walked with it.
    auto unwalkable = table.value("unwalkable", nlohmann::json::object());
    for (const auto& part : known) {
        EXPECT_TRUE(parts.count(part) || unwalkable.contains(part)) << part << " has no row";
    }
}

namespace {

// Each part's notOn row: the devices built without it (a part with rows for several faults lists
// the same devices in each).
std::map<std::string, std::set<std::string>> notOnRows(const nlohmann::json& table) {
    std::map<std::string, std::set<std::string>> rows;
    for (const auto& row : table["parts"]) {
        std::set<std::string> devices;
        for (const auto& device : row.value("notOn", nlohmann::json::array())) {
            devices.insert(device.get<std::string>());
        }
        auto [at, first] = rows.emplace(row["part"].get<std::string>(), devices);
        EXPECT_EQ(at->second, devices) << at->first << ": its rows list different devices without it";
    }
    return rows;
}

} // namespace

TEST(FaultMatrixTableTest, ThePartsEachDeviceIsBuiltWithoutAreItsNotOnRows) {
    dispatch_adopt_current_thread_as_main();
    NSSandbox::useTemporaryRoot();
    auto table = dependentsTable();
    ASSERT_TRUE(table.is_object()) << "dependents.json does not parse";
    auto notOn = notOnRows(table);
    for (const auto& device : SimDevice::availableProfiles()) {
        ASSERT_TRUE(SimDevice::current().loadProfile(device)) << device;
        for (const auto& domain : faultDomains()) {
            for (const auto& part : domain.partNames()) {
                bool listed = notOn.count(part) && notOn[part].count(device);
                EXPECT_EQ(!domain.fitted(part), listed)
                    << part << " on " << device << ": "
                    << (listed ? "its notOn row lists a device the profile builds with it"
                               : "the profile builds the device without it, and its notOn row does not say so");
            }
        }
    }
    for (const auto& [part, devices] : notOn) {
        for (const auto& device : devices) {
            auto all = SimDevice::availableProfiles();
            EXPECT_NE(std::find(all.begin(), all.end(), device), all.end()) << part << ": no device " << device;
        }
    }
    ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
}

TEST(FaultMatrixTableTest, TheSimulatorRefusesToBreakAPartTheDeviceIsBuiltWithout) {
    // Refused before the road starts: the session does not matter, the questions are the cheapest.
    setSessionKeys(road_sessions::questions());
    dispatch_adopt_current_thread_as_main();
    NSSandbox::useTemporaryRoot();
    NSUserDefaults::resetStandardUserDefaults();
    auto table = dependentsTable();
    ASSERT_TRUE(table.is_object()) << "dependents.json does not parse";
    std::set<std::string> tried;
    for (const auto& row : table["parts"]) {
        auto part = row["part"].get<std::string>();
        for (const auto& entry : row.value("notOn", nlohmann::json::array())) {
            auto device = entry.get<std::string>();
            if (!tried.insert(part + " " + device).second) {
                continue;
            }
            ASSERT_TRUE(SimDevice::current().loadProfile(device)) << device;
            RoadOptions options;
            options.faultsFile = NSSandbox::rootPath()->str() + "/lacking.json";
            std::ofstream(options.faultsFile) << nlohmann::json{{part, row["fault"]}}.dump();
            RoadReport report;
            testing::internal::CaptureStderr();
            int status = runAppRoad(options, &report);
            auto errors = testing::internal::GetCapturedStderr();
            EXPECT_EQ(status, 2) << part << " on " << device;
            EXPECT_EQ(errors, options.faultsFile + ": the " + device + " has no part \"" + part + "\" to break\n");
            EXPECT_TRUE(report.transactions.empty());
        }
    }
    EXPECT_FALSE(tried.empty());
    road_sessions::endTest();
    setSessionKeys({});
    ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
}
