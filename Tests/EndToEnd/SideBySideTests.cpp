// Runs side by side, as a person starts them in two terminals: each device keeps its own sandbox by
// default, so two devices run at once and each completes its own session; two runs on one sandbox
// cannot both run, so the second is refused at once while the first completes. Each run is the
// simulator program itself, on a loopback service of the test's that asks for a short session.
#include "../Simulator/RoadSessions.h"
#include "DeviceSession.h"
#include "SimulatorProcess.h"

#include <Device/SimDevice.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <LoopbackTransactionService.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The line of `text` that starts with `prefix`, without the prefix; "<none>" when there is none.
std::string lineAfter(const std::string& text, const std::string& prefix) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) {
            return line.substr(prefix.size());
        }
    }
    return "<none>";
}

// The keys of `session` that `device` runs: the session it joins when a service asks for them.
std::vector<std::string> sessionOn(const std::string& device, const std::vector<std::string>& session) {
    EXPECT_TRUE(SimDevice::current().loadProfile(device));
    setSessionKeys(session);
    std::vector<std::string> keys;
    for (auto key = defaultSessionKeys(); *key; ++key) {
        keys.emplace_back(*key);
    }
    setSessionKeys({});
    return keys;
}

// A run of the simulator program, its standard output and error each into a file.
struct Launched {
    pid_t pid = -1;
    std::string out;
    std::string err;
    int status = -1; // the exit status once waited for; -1 when it did not exit by itself

    void wait() {
        int raw = 0;
        waitpid(pid, &raw, 0);
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string printed() const { return readFile(out); }
    std::string errors() const { return readFile(err); }
};

class SideBySideTest : public testing::Test {
protected:
    void SetUp() override {
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        folder_ = NSSandbox::rootPath()->str();
    }

    // Starts the simulator on `device` against `service` with the environment changed by `changes`
    // (spawnSimulatorWith); `out` receives standard output when given (a pipe's end), else a file.
    Launched start(const std::vector<std::string>& changes, const std::string& device,
                   LoopbackTransactionService& service, int out = -1) {
        Launched run;
        int n = runs_++;
        run.out = folder_ + "/out-" + std::to_string(n) + ".txt";
        run.err = folder_ + "/err-" + std::to_string(n) + ".txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (out >= 0) {
            posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, run.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644);
        }
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, run.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        run.pid =
            end_to_end::spawnSimulatorWith(changes, {"--device", device, "--server", service.baseURL()}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_GT(run.pid, 0) << "cannot start " << DX_SIMULATOR_PATH;
        return run;
    }

    static std::unique_ptr<LoopbackTransactionService> serviceFor(const std::vector<std::string>& session) {
        auto service = std::make_unique<LoopbackTransactionService>();
        service->setCompanySettings(LoopbackTransactionService::companySettingsFor(session));
        service->setModelList(shippedModelList());
        service->start();
        return service;
    }

    std::string folder_;
    int runs_ = 0;
};

} // namespace

TEST_F(SideBySideTest, TwoDevicesAtOnceOnTheDefaultLocationEachCompleteTheirOwnSession) {
    // "Default" is private to the test: a home of its own, no sandbox named.
    std::string home = folder_ + "/home";
    std::vector<std::string> defaults = {"DX_SANDBOX_ROOT", "XDG_DATA_HOME", "HOME=" + home};
    struct Device {
        std::string id;
        std::vector<std::string> session;
        std::unique_ptr<LoopbackTransactionService> service;
        Launched run;
    };
    // Sessions that differ, so that one device's stored run is not the other's.
    Device devices[] = {{"iPhone7,2", road_sessions::questions(), nullptr, {}},
                        {"iPad7,5", road_sessions::with({"ACCELEROMETER_TEST", "GYROSCOPE_TEST"}), nullptr, {}}};
    for (auto& device : devices) {
        device.session = sessionOn(device.id, device.session);
        device.service = serviceFor(device.session);
    }
    for (auto& device : devices) {
        device.run = start(defaults, device.id, *device.service);
    }
    for (auto& device : devices) {
        device.run.wait();
    }
    for (auto& device : devices) {
        SCOPED_TRACE(device.id);
        auto printed = device.run.printed();
        ASSERT_EQ(device.run.status, 0) << printed << device.run.errors();
        EXPECT_EQ(lineAfter(printed, "sandbox: "), home + "/.local/share/celvix/" + device.id);
        EXPECT_EQ(lineAfter(printed, "session joined: "), std::to_string(device.session.size()) + " tests");
        auto records = device.service->records();
        ASSERT_EQ(records.size(), 2u) << "a start and a final transaction, both this device's";
        EXPECT_EQ(records[1]["modelnumber"], device.id);
        auto values = nlohmann::json::parse(records[1]["result_value"].get<std::string>());
        EXPECT_EQ(values.size(), device.session.size());
        for (const auto& key : device.session) {
            EXPECT_EQ(values[key], "SUCCESS") << key;
        }
    }
}

TEST_F(SideBySideTest, ASecondRunOnASandboxInUseIsRefusedAtOnceAndTheFirstCompletes) {
    auto service = serviceFor(road_sessions::questions());
    std::string root = folder_ + "/device";
    std::vector<std::string> sandbox = {"DX_SANDBOX_ROOT=" + root};
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    auto first = start(sandbox, SimDevice::defaultProfile, *service, fds[1]);
    close(fds[1]);
    FILE* firstOut = fdopen(fds[0], "r");
    ASSERT_TRUE(firstOut);
    // The first run has printed (it holds the sandbox from before its first line): it is held still
    // while the second tries, so that it cannot have ended by then.
    std::string printed;
    char buffer[4096];
    ASSERT_TRUE(std::fgets(buffer, sizeof buffer, firstOut));
    printed += buffer;
    ASSERT_EQ(kill(first.pid, SIGSTOP), 0);

    auto second = start(sandbox, SimDevice::defaultProfile, *service);
    second.wait();
    EXPECT_EQ(second.status, 2) << second.printed() << second.errors();
    EXPECT_EQ(second.errors(), "another run is using this sandbox: The sandbox \u201C" + root +
                                   "\u201D is in use by another process (process " + std::to_string(first.pid) +
                                   ").\none run at a time on a sandbox: wait for it to end, or set DX_SANDBOX_ROOT "
                                   "to another folder (each device has its own by default)\n");
    EXPECT_EQ(second.printed(), "") << "refused before anything ran";

    ASSERT_EQ(kill(first.pid, SIGCONT), 0);
    while (std::fgets(buffer, sizeof buffer, firstOut)) {
        printed += buffer;
    }
    fclose(firstOut);
    first.wait();
    EXPECT_EQ(first.status, 0) << printed << first.errors();
    EXPECT_NE(printed.find("trade-in accepted"), std::string::npos) << printed;
    EXPECT_EQ(service->recordCount(), 2u) << "the first run's start and final transactions, nothing of the second";
}
