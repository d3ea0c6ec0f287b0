// Crash safety of whole runs: the simulator is killed (SIGKILL) at seeded points of a session and
// started again on the same device. After every kill the run stored on the device is readable,
// the relaunch completes a whole new run, every transaction the service received is well formed,
// and no run ever sends its final transaction twice. The kill points are spread over the lines the
// simulator prints (launch, join, each finished test, the result screen), each with a seeded delay.
#include "../Simulator/RoadSessions.h"
#include "DeviceSession.h"
#include "SimulatorProcess.h"

#include <Device/SimDevice.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <LoopbackTransactionService.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kShards = 8;
constexpr int kPointsPerShard = 3; // 24 kill points in all
constexpr unsigned kSeed = 20261207;

struct Launch {
    pid_t pid = -1;
    FILE* out = nullptr;
};

// Starts the simulator on the loopback service with its sandbox at `root`.
Launch launch(const std::string& root, const std::string& server) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    Launch l;
    l.pid = end_to_end::spawnSimulator(root, {"--server", server}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (l.pid < 0) {
        close(fds[0]);
        return {};
    }
    l.out = fdopen(fds[0], "r");
    return l;
}

int waitFor(const Launch& l) {
    int status = 0;
    waitpid(l.pid, &status, 0);
    if (l.out) {
        fclose(l.out);
    }
    return status;
}

// Reads the simulator's output line by line; `line` answers whether to read on.
void readLines(const Launch& l, const std::function<bool(const std::string&)>& line) {
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, l.out)) {
        if (!line(buffer)) {
            return;
        }
    }
}

// Every property list of the device's preferences parses as a whole; the stored run, when there is
// one, is an array of archived records.
void expectStoredRunReadable(const std::string& root) {
    auto folder = std::filesystem::path(root) / "Library" / "Preferences";
    if (!std::filesystem::exists(folder)) {
        return; // killed before anything was stored
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".plist") {
            continue; // an atomic write's temporary file may be left by a kill
        }
        auto data = NSData::dataWithContentsOfFile(NSString::from(entry.path().string()));
        ASSERT_TRUE(data) << entry.path();
        auto plist = cast<NSDictionary>(
            NSPropertyListSerialization::propertyListWithDataOptionsFormatError(data, 0, nullptr, nullptr));
        ASSERT_TRUE(plist) << entry.path() << " is not a whole property list";
        if (auto tasks = plist->objectForKey("tasks"_ns)) {
            auto array = cast<NSArray>(tasks);
            ASSERT_TRUE(array) << "tasks is not an array";
            for (const id& item : *array) {
                EXPECT_TRUE(cast<NSData>(item)) << "a stored record is not an archive";
            }
        }
    }
}

class CrashSafetyTest : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
        // The questions: a session whose every test stores its result, cheap enough to walk 48 times.
        service_.setCompanySettings(LoopbackTransactionService::companySettingsFor(road_sessions::questions()));
        service_.setModelList(shippedModelList());
        service_.start();
    }
    void TearDown() override { service_.stop(); }

    LoopbackTransactionService service_;
};

} // namespace

TEST_P(CrashSafetyTest, AKilledRunLeavesNothingHalfWrittenAndNothingSentTwice) {
    std::mt19937 random(kSeed + GetParam());
    auto root = NSSandbox::rootPath()->str() + "/device";
    for (int point = 0; point < kPointsPerShard; ++point) {
        SCOPED_TRACE("kill point " + std::to_string(point) + " of shard " + std::to_string(GetParam()));
        // The kill point: after a seeded number of printed lines, and a seeded delay after it.
        int afterLines = std::uniform_int_distribution<int>(0, 26)(random);
        int delayMs = std::uniform_int_distribution<int>(0, 40)(random);
        auto run = launch(root, service_.baseURL());
        ASSERT_GT(run.pid, 0);
        int lines = 0;
        readLines(run, [&](const std::string&) { return ++lines < afterLines; });
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(run.pid, SIGKILL);
        waitFor(run);
        expectStoredRunReadable(root);

        // The relaunch on the same device completes a whole new run.
        size_t before = service_.recordCount();
        auto again = launch(root, service_.baseURL());
        ASSERT_GT(again.pid, 0);
        bool accepted = false;
        readLines(again, [&](const std::string& line) {
            accepted = accepted || line.find("trade-in accepted") != std::string::npos;
            return true;
        });
        int status = waitFor(again);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the relaunch did not complete";
        EXPECT_TRUE(accepted);
        EXPECT_GE(service_.recordCount(), before + 2) << "a start and a final transaction";
        expectStoredRunReadable(root);
    }

    // Every transaction is a whole record; each run (from its start transaction) sends at most one
    // final transaction.
    int finalsInRun = 0;
    for (const auto& record : service_.records()) {
        ASSERT_TRUE(record.is_object()) << record.dump();
        EXPECT_EQ(record.size(), 19u) << record.dump();
        ASSERT_TRUE(record.contains("result"));
        if (record["result"] == 2) {
            finalsInRun = 0;
            continue;
        }
        EXPECT_EQ(++finalsInRun, 1) << "a final transaction sent twice for one run";
        EXPECT_TRUE(nlohmann::json::parse(record["result_value"].get<std::string>(), nullptr, false).is_object());
    }
}

INSTANTIATE_TEST_SUITE_P(Shards, CrashSafetyTest, testing::Range(0, kShards));
