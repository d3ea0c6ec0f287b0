// What the simulator prints: the terminal shows the run (the header, a line per test, the table and
// the final transaction), the app's own log goes to a file beside the run whose path the last line
// names, --verbose prints the log on the terminal, and a log file that cannot be written loses nothing.
// Each case starts the simulator program on a loopback service that asks for the questions.
#include "../Simulator/RoadSessions.h"
#include "DeviceSession.h"
#include "SimulatorProcess.h"

#include <Device/SimDevice.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <LoopbackTransactionService.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Printed {
    int status = -1; // the exit status, -1 when the program did not exit by itself
    std::vector<std::string> out;
    std::vector<std::string> err;
};

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::ostringstream text;
    for (const auto& line : lines) {
        text << line << "\n";
    }
    return text.str();
}

// A line as NSLog stamps it: "2024-05-01 12:34:56.789 Celvix[4242:4243] text".
bool isLogLine(const std::string& line) {
    static const std::regex stamped(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} Celvix\[\d+:\d+\] )");
    return std::regex_search(line, stamped);
}

size_t logLines(const std::vector<std::string>& lines) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), isLogLine));
}

class RunOutputTest : public testing::Test {
protected:
    void SetUp() override {
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
        service_.setCompanySettings(LoopbackTransactionService::companySettingsFor(road_sessions::questions()));
        service_.setModelList(shippedModelList());
        service_.start();
        folder_ = NSSandbox::rootPath()->str() + "/output";
        std::filesystem::create_directories(folder_);
        root_ = NSSandbox::rootPath()->str() + "/device";
    }
    void TearDown() override { service_.stop(); }

    struct Started {
        pid_t pid = -1;
        std::string out;
        std::string err;
    };
    // Starts the simulator with `args` after --server (unless `withServer` is false), standard output
    // into a file (or `out`, a pipe's end) and standard error into a file; on the device root unless
    // `changes` changes the environment otherwise (spawnSimulatorWith).
    Started start(const std::vector<std::string>& args, bool withServer = true, std::vector<std::string> changes = {},
                  int out = -1) {
        Started run{-1, folder_ + "/out-" + std::to_string(runs_) + ".txt",
                    folder_ + "/err-" + std::to_string(runs_) + ".txt"};
        ++runs_;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (out >= 0) {
            posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, run.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644);
        }
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, run.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> words;
        if (withServer) {
            words = {"--server", service_.baseURL()};
        }
        words.insert(words.end(), args.begin(), args.end());
        run.pid = end_to_end::spawnSimulatorWith(
            changes.empty() ? std::vector<std::string>{"DX_SANDBOX_ROOT=" + root_} : changes, words, &actions);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_GE(run.pid, 0) << "cannot start " << DX_SIMULATOR_PATH;
        return run;
    }
    // Waits for a started run.
    static Printed finish(const Started& run) {
        Printed printed;
        int status = 0;
        if (run.pid >= 0 && waitpid(run.pid, &status, 0) == run.pid) {
            printed.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        printed.out = readLines(run.out);
        printed.err = readLines(run.err);
        return printed;
    }
    Printed run(const std::vector<std::string>& args, bool withServer = true) {
        return finish(start(args, withServer));
    }

    // The closing line of a trade-in on the service of the test's own (--server): the simulator sees
    // only the service's answer.
    std::string accepted() const {
        return "trade-in accepted by " + service_.baseURL() + ", as it answered: the app ends (status 0)";
    }

    LoopbackTransactionService service_;
    std::string folder_;
    std::string root_;
    int runs_ = 0;
};

} // namespace

TEST_F(RunOutputTest, TheTerminalShowsTheRunAndTheLogGoesToAFileItNames) {
    auto printed = run({});
    ASSERT_EQ(printed.status, 0) << joined(printed.out) << joined(printed.err);
    auto log = readLines(root_ + "/app.log");

    // The terminal: the simulator's own lines, and nothing of the log.
    EXPECT_EQ(logLines(printed.out), 0u) << joined(printed.out);
    EXPECT_EQ(logLines(printed.err), 0u) << joined(printed.err);
    std::set<std::string> terminal(printed.out.begin(), printed.out.end());
    terminal.insert(printed.err.begin(), printed.err.end());
    for (const auto& line : log) {
        // The lines of the dumps the log holds (a property list's "}" may be on the terminal too).
        if (line.size() > 12 && !isLogLine(line)) {
            EXPECT_EQ(terminal.count(line), 0u) << "a line of the log on the terminal: " << line;
        }
    }
    EXPECT_EQ(printed.out.front(), "Celvix device diagnostics simulator");
    auto starts = [&](const std::string& prefix) {
        return std::any_of(printed.out.begin(), printed.out.end(),
                           [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(starts("[1/")) << "a line per test";
    EXPECT_TRUE(starts("test                       result   time")) << "the table";
    ASSERT_GE(printed.out.size(), 2u);
    EXPECT_EQ(printed.out[printed.out.size() - 2], accepted());
    EXPECT_EQ(printed.out.back(), "app log: " + root_ + "/app.log");

    // The file: the app's log, the lines it dumps with it included.
    EXPECT_GT(logLines(log), 20u) << joined(log);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return isLogLine(line) && line.find("viewDidLoad") != std::string::npos;
    })) << joined(log);
    EXPECT_GT(log.size(), logLines(log)) << "the property lists the app dumps";
    EXPECT_FALSE(std::filesystem::exists(root_ + "/app.log.1"));

    // The next run starts the file afresh and keeps this run's log beside it.
    auto again = run({});
    ASSERT_EQ(again.status, 0) << joined(again.out) << joined(again.err);
    EXPECT_EQ(readLines(root_ + "/app.log.1"), log);
    EXPECT_EQ(again.out.back(), "app log: " + root_ + "/app.log");
    EXPECT_GT(logLines(readLines(root_ + "/app.log")), 20u);
}

TEST_F(RunOutputTest, VerbosePrintsTheLogOnTheTerminal) {
    auto printed = run({"--verbose"});
    ASSERT_EQ(printed.status, 0) << joined(printed.out) << joined(printed.err);
    EXPECT_GT(logLines(printed.err), 20u) << joined(printed.err);
    EXPECT_EQ(logLines(printed.out), 0u) << "the run's own lines stay on standard output";
    EXPECT_EQ(printed.out.back(), accepted());
    EXPECT_FALSE(std::filesystem::exists(root_ + "/app.log"));
}

TEST_F(RunOutputTest, WithScreenshotsTheLogGoesWithThem) {
    auto shots = folder_ + "/shots";
    auto printed = run({"--screenshots", shots});
    ASSERT_EQ(printed.status, 0) << joined(printed.out) << joined(printed.err);
    EXPECT_EQ(printed.out.back(), "app log: " + shots + "/app.log");
    EXPECT_GT(logLines(readLines(shots + "/app.log")), 20u);
    EXPECT_FALSE(std::filesystem::exists(root_ + "/app.log"));
    EXPECT_EQ(logLines(printed.out) + logLines(printed.err), 0u);
}

// A log file that cannot be opened loses no line: the run says so and the log stays on the terminal.
TEST_F(RunOutputTest, ALogFileThatCannotBeWrittenLeavesTheLogOnTheTerminal) {
    std::filesystem::create_directories(root_ + "/app.log"); // a folder where the file would be
    auto printed = run({});
    ASSERT_EQ(printed.status, 0) << joined(printed.out) << joined(printed.err);
    ASSERT_FALSE(printed.err.empty());
    EXPECT_EQ(printed.err.front(),
              "cannot write the app's log to " + root_ + "/app.log (Is a directory): it goes to the terminal");
    EXPECT_GT(logLines(printed.err), 20u) << joined(printed.err);
    EXPECT_EQ(printed.out.back(), accepted()) << "no log file to name";
}

// A screenshots folder that cannot be made is bad input: the run does not start, and says why.
TEST_F(RunOutputTest, AScreenshotsFolderThatCannotBeMadeIsBadInput) {
    auto file = folder_ + "/taken";
    std::ofstream(file) << "a file, not a folder";
    auto printed = run({"--screenshots", file + "/shots"});
    EXPECT_EQ(printed.status, 2);
    ASSERT_FALSE(printed.err.empty());
    EXPECT_EQ(printed.err.front().rfind("cannot write screenshots to \"" + file + "/shots\": ", 0), 0u)
        << joined(printed.err);
}

// A folder that exists but takes no file (the kernel's own, which even root cannot write) is bad input
// too, for the road and for a run of chosen tests.
TEST_F(RunOutputTest, AScreenshotsFolderThatTakesNoFileIsBadInput) {
    for (const auto& args : {std::vector<std::string>{"--screenshots", "/proc"},
                             std::vector<std::string>{"--run", "WATER_DAMAGE_TEST", "--screenshots", "/proc"}}) {
        auto printed = run(args, args.front() != "--run");
        EXPECT_EQ(printed.status, 2) << joined(printed.out);
        EXPECT_EQ(joined(printed.err).rfind("cannot write screenshots to \"/proc\": no file can be made in it (", 0),
                  0u)
            << joined(printed.err);
        EXPECT_TRUE(printed.out.empty()) << "refused before the run";
    }
}

// A run of chosen tests takes its own options only: the session road's are refused rather than
// ignored, and its pictures go where --screenshots says, with the app's log.
TEST_F(RunOutputTest, ARunOfChosenTestsRefusesTheRoadsOptionsAndTakesPictures) {
    auto script = folder_ + "/operator.json";
    std::ofstream(script) << R"({"WATER_DAMAGE_TEST": "no"})";
    EXPECT_EQ(run({"--run", "WATER_DAMAGE_TEST", "--operator", script}, false).status, 2);
    EXPECT_EQ(run({"--run", "WATER_DAMAGE_TEST"}).status, 2); // with --server
    EXPECT_EQ(run({"--answers", "WATER_DAMAGE_TEST=no"}).status, 2);

    auto shots = folder_ + "/run-shots";
    auto printed =
        run({"--run", "WATER_DAMAGE_TEST", "--answers", "WATER_DAMAGE_TEST=no", "--screenshots", shots}, false);
    ASSERT_EQ(printed.status, 0) << joined(printed.err);
    std::set<std::string> pictures;
    for (const auto& entry : std::filesystem::directory_iterator(shots)) {
        pictures.insert(entry.path().filename().string());
    }
    EXPECT_TRUE(std::any_of(pictures.begin(), pictures.end(), [](const std::string& name) {
        return name.ends_with("-WaterDamgeViewController.png");
    })) << joined(printed.out);
    EXPECT_TRUE(pictures.count("app.log"));
}

// Two devices started together on the default location each keep their own sandbox and complete
// their whole session; a second run on a sandbox in use is refused at once, naming it, while the
// first (held still meanwhile, so that it cannot have ended) completes; so is a run of another
// sandbox given the first one's pictures folder.
TEST_F(RunOutputTest, RunsSideBySideEachHaveTheirOwnSandboxAndShareNone) {
    auto home = folder_ + "/home"; // "default" private to the test
    std::vector<Started> runs;
    for (const char* device : {"iPhone7,2", "iPad7,5"}) {
        runs.push_back(start({"--device", device}, true, {"DX_SANDBOX_ROOT", "XDG_DATA_HOME", "HOME=" + home}));
    }
    size_t i = 0;
    for (const char* device : {"iPhone7,2", "iPad7,5"}) {
        auto printed = finish(runs[i++]);
        ASSERT_EQ(printed.status, 0) << joined(printed.out) << joined(printed.err);
        auto has = [&](const std::string& line) {
            return std::find(printed.out.begin(), printed.out.end(), line) != printed.out.end();
        };
        EXPECT_TRUE(has("sandbox: " + home + "/.local/share/celvix/" + device)) << joined(printed.out);
        ASSERT_TRUE(SimDevice::current().loadProfile(device));
        setSessionKeys(road_sessions::questions());
        size_t tests = 0;
        for (auto key = defaultSessionKeys(); *key; ++key) {
            ++tests;
        }
        setSessionKeys({});
        EXPECT_TRUE(has("session joined: " + std::to_string(tests) + " tests")) << joined(printed.out);
    }
    EXPECT_EQ(service_.recordCount(), 4u) << "a start and a final transaction of each";

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    auto shots = folder_ + "/shots";
    auto first = start({"--screenshots", shots}, true, {}, fds[1]);
    close(fds[1]);
    FILE* out = fdopen(fds[0], "r");
    char line[4096];
    ASSERT_TRUE(out && std::fgets(line, sizeof line, out)); // it holds the sandbox from before its first line
    kill(first.pid, SIGSTOP);
    auto second = run({});
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(joined(second.err), "another run is using this sandbox: The sandbox \u201C" + root_ +
                                      "\u201D is in use by another process (process " + std::to_string(first.pid) +
                                      ").\none run at a time on a sandbox: wait for it to end, or set DX_SANDBOX_ROOT "
                                      "to another folder (each device has its own by default)\n");
    EXPECT_TRUE(second.out.empty()) << joined(second.out);
    // A sandbox of its own, but the first run's pictures folder: refused as well.
    auto third = finish(start({"--screenshots", shots}, true, {"DX_SANDBOX_ROOT=" + folder_ + "/other"}));
    EXPECT_EQ(third.status, 2);
    EXPECT_EQ(joined(third.err), "another run is writing its screenshots there: The folder \u201C" +
                                     std::filesystem::canonical(shots).string() +
                                     "\u201D is in use by another process.\n");
    kill(first.pid, SIGCONT);
    std::string printed = line;
    while (std::fgets(line, sizeof line, out)) {
        printed += line;
    }
    fclose(out);
    EXPECT_EQ(finish(first).status, 0) << printed;
    EXPECT_NE(printed.find(accepted()), std::string::npos) << printed;
}

// On virtual time the same device gives the same run every time, however the threads are scheduled:
// two runs of a session side by side (the screens whose times and pictures once moved: the
// backlight's sweep, the compass's readings, the accelerometer, the advanced front camera) print the
// same table and write the same text pictures and the same pictures. Only the status bar's clock
// follows the wall clock.
TEST_F(RunOutputTest, TwoRunsSideBySideGiveTheSameTableAndPictures) {
    service_.setCompanySettings(LoopbackTransactionService::companySettingsFor(
        {"LCD_BACKLIGHT_TEST", "ACCELEROMETER_TEST", "COMPASS_TEST", "FRONT_CAMERA_ADV_TEST"}));
    struct Run {
        std::string name, shots, out;
        pid_t pid = -1;
    };
    std::vector<Run> runs(2);
    for (size_t i = 0; i < runs.size(); ++i) {
        auto& r = runs[i];
        r.name = std::string(1, static_cast<char>('a' + i));
        r.shots = folder_ + "/shots-" + r.name;
        r.out = folder_ + "/out-" + r.name + ".txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, r.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        r.pid = end_to_end::spawnSimulator(root_ + "-" + r.name,
                                           {"--server", service_.baseURL(), "--screenshots", r.shots}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_GT(r.pid, 0) << "cannot start " << DX_SIMULATOR_PATH;
    }
    for (auto& r : runs) {
        int status = 0;
        waitpid(r.pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << joined(readLines(r.out));
    }
    // What a run printed and pictured, without what names its own folders and the wall clock.
    auto seen = [](const Run& r) {
        static const std::regex own(R"(^(sandbox|transaction service|app log): |"timeCreated")");
        static const std::regex clock(R"(^Status bar: \d+:\d\d)");
        std::ostringstream text;
        for (const auto& line : readLines(r.out)) {
            if (!std::regex_search(line, own)) {
                text << line << "\n";
            }
        }
        std::set<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(r.shots)) {
            files.insert(entry.path().filename().string());
        }
        for (const auto& file : files) {
            text << "== " << file << "\n";
            if (file.ends_with(".txt")) {
                for (const auto& line : readLines(r.shots + "/" + file)) {
                    text << std::regex_replace(line, clock, "Status bar: <clock>") << "\n";
                }
            }
        }
        return text.str();
    };
    auto first = seen(runs[0]);
    EXPECT_NE(first.find("FRONT_CAMERA_ADV_TEST"), std::string::npos) << first;
    EXPECT_NE(first.find("Cell: \"x\" \""), std::string::npos) << "the compass's readings are in the text picture";
    EXPECT_EQ(seen(runs[1]), first);
}
