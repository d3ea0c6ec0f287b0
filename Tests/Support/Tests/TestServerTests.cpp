// The test server and its client side, driven as CTest drives them: a server process per binary, a
// client per test, each test in a fresh forked child that writes into the client's streams.
#include <Support/TestServer.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::string readAll(int fd) {
    std::string text;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof(buffer))) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

// A server in a child process of the test, with its own socket name.
class ServerProcess {
public:
    explicit ServerProcess(const dxtest::TestRunner& run) {
        static std::atomic<int> counter{0};
        name = "dx-test-server-tests/" + std::to_string(::getpid()) + "/" + std::to_string(++counter);
        ready = start(run);
    }
    ~ServerProcess() {
        if (pid > 0) {
            dxtest::stopServer(name);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // Starts another server on the same name; answers its ready byte.
    char start(const dxtest::TestRunner& run) {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            ::_exit(dxtest::serveTests(name, pipeFds[1], run));
        }
        ::close(pipeFds[1]);
        std::string answer = readAll(pipeFds[0]);
        ::close(pipeFds[0]);
        if (pid == 0) {
            pid = child;
        } else {
            ::waitpid(child, nullptr, 0);
        }
        return answer.empty() ? '\0' : answer[0];
    }
    // Runs `args` and answers the status and what the test wrote to its standard output.
    std::pair<std::optional<int>, std::string> run(const std::vector<std::string>& args) {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        auto status = dxtest::runOnServer(name, args, 0, out[1], 2);
        ::close(out[1]);
        std::string text = readAll(out[0]);
        ::close(out[0]);
        return {status, text};
    }

    std::string name;
    pid_t pid = 0;
    char ready = '\0';
};

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

// The thread sanitizer starts a thread of its own in a process forked from one that has threads (a
// test process has), so a server forked from the test refuses there, as it should.
#define ASSERT_SERVING(server)                                                                                         \
    if ((server).ready != 'y' && kThreadSanitizer) {                                                                   \
        GTEST_SKIP() << "the thread sanitizer's own thread keeps a server forked from a test from serving";            \
    }                                                                                                                  \
    ASSERT_EQ((server).ready, 'y')

bool exitsWithin(pid_t pid, int milliseconds) {
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        return errno == ESRCH; // already gone
    }
    pollfd watched{fd, POLLIN, 0};
    bool gone = ::poll(&watched, 1, milliseconds) == 1;
    ::close(fd);
    return gone;
}

} // namespace

TEST(TestServer, RunsEachRequestInTheClientsStreamsFolderAndEnvironment) {
    ServerProcess server([](std::vector<std::string> args) {
        char folder[4096];
        std::string line = args[0] + " " + args[1] + " " + (::getcwd(folder, sizeof(folder)) ? folder : "?") + " " +
                           (std::getenv("DX_SERVER_TEST_VALUE") ? std::getenv("DX_SERVER_TEST_VALUE") : "unset");
        (void)!::write(1, line.data(), line.size());
        return 3;
    });
    ASSERT_SERVING(server);
    ::setenv("DX_SERVER_TEST_VALUE", "client's", 1);
    char folder[4096];
    ASSERT_NE(::getcwd(folder, sizeof(folder)), nullptr);
    ASSERT_EQ(::chdir("/tmp"), 0);
    auto [status, output] = server.run({"binary", "--gtest_filter=A.B"});
    ASSERT_EQ(::chdir(folder), 0);
    ::unsetenv("DX_SERVER_TEST_VALUE");
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 3);
    EXPECT_EQ(output, "binary --gtest_filter=A.B /tmp client's");
}

TEST(TestServer, EveryRequestStartsFromTheServersStateNotTheLastTests) {
    static int runs = 0;
    ServerProcess server([](std::vector<std::string>) { return ++runs; });
    ASSERT_SERVING(server);
    for (int i = 0; i < 3; ++i) {
        auto [status, output] = server.run({"binary"});
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(WEXITSTATUS(*status), 1);
    }
}

TEST(TestServer, ATestThatDiesBySignalIsReportedAsSuch) {
    ServerProcess server([](std::vector<std::string>) {
        ::signal(SIGTERM, SIG_DFL);
        ::raise(SIGTERM);
        return 0;
    });
    ASSERT_SERVING(server);
    auto [status, output] = server.run({"binary"});
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), SIGTERM);
}

TEST(TestServer, ServesTestsSideBySide) {
    // The first test waits for the second: a server that ran one test at a time would never answer.
    int handOff[2];
    ASSERT_EQ(::pipe(handOff), 0);
    ServerProcess server([&](std::vector<std::string> args) {
        if (args[1] == "first") {
            char byte;
            return ::read(handOff[0], &byte, 1) == 1 ? 0 : 1;
        }
        return ::write(handOff[1], "x", 1) == 1 ? 0 : 1;
    });
    ASSERT_SERVING(server);
    pid_t first = ::fork();
    if (first == 0) {
        auto status = dxtest::runOnServer(server.name, {"binary", "first"}, 0, 1, 2);
        ::_exit(status && WIFEXITED(*status) ? WEXITSTATUS(*status) : 9);
    }
    auto [status, output] = server.run({"binary", "second"});
    int firstStatus = 0;
    ::waitpid(first, &firstStatus, 0);
    ::close(handOff[0]);
    ::close(handOff[1]);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(WEXITSTATUS(firstStatus), 0);
}

TEST(TestServer, ATestWhoseClientGoesAwayIsKilled) {
    int pids[2];
    ASSERT_EQ(::pipe(pids), 0);
    ServerProcess server([&](std::vector<std::string>) {
        pid_t self = ::getpid();
        (void)!::write(pids[1], &self, sizeof(self));
        for (;;) {
            ::pause();
        }
        return 0;
    });
    ASSERT_SERVING(server);
    pid_t client = ::fork();
    if (client == 0) {
        auto status = dxtest::runOnServer(server.name, {"binary"}, 0, 1, 2);
        ::_exit(status ? 0 : 1);
    }
    pid_t test = 0;
    ASSERT_EQ(::read(pids[0], &test, sizeof(test)), static_cast<ssize_t>(sizeof(test)));
    ::kill(client, SIGKILL); // as CTest does at a time-out
    ::waitpid(client, nullptr, 0);
    EXPECT_TRUE(exitsWithin(test, 30000));
    ::close(pids[0]);
    ::close(pids[1]);
}

TEST(TestServer, WithoutAServerTheClientHearsNothing) {
    std::string name = "dx-test-server-tests/none/" + std::to_string(::getpid());
    EXPECT_FALSE(dxtest::runOnServer(name, {"binary"}, 0, 1, 2).has_value());
    EXPECT_FALSE(dxtest::stopServer(name));
}

TEST(TestServer, StopEndsTheServerAndLaterClientsRunTheBinaryThemselves) {
    ServerProcess server([](std::vector<std::string>) { return 0; });
    ASSERT_SERVING(server);
    EXPECT_TRUE(dxtest::stopServer(server.name));
    int status = 0;
    ASSERT_EQ(::waitpid(server.pid, &status, 0), server.pid);
    server.pid = 0;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(server.run({"binary"}).first.has_value());
}

TEST(TestServer, ASecondServerForTheSameBinaryStandsAside) {
    ServerProcess server([](std::vector<std::string>) { return 0; });
    ASSERT_SERVING(server);
    EXPECT_EQ(server.start([](std::vector<std::string>) { return 0; }), 'n');
    EXPECT_TRUE(server.run({"binary"}).first.has_value());
}

TEST(TestServer, RefusesToServeFromAProcessWithThreads) {
    // A fork copies only the forking thread: a test forked from such a process could wait forever on
    // a thread that is not there.
    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::close(answer[0]);
        int block[2];
        if (::pipe(block) != 0) {
            ::_exit(2);
        }
        std::thread waiting([&] {
            char byte;
            (void)!::read(block[0], &byte, 1);
        });
        int code = dxtest::serveTests("dx-test-server-tests/threads/" + std::to_string(::getpid()), answer[1],
                                      [](std::vector<std::string>) { return 0; });
        (void)!::write(block[1], "x", 1);
        waiting.join();
        ::_exit(code);
    }
    ::close(answer[1]);
    EXPECT_EQ(readAll(answer[0]), "n");
    ::close(answer[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TestServer, NamesFollowTheBinarysRealPath) {
    EXPECT_EQ(dxtest::serverName("/proc/self/exe"), dxtest::serverName("/proc/" + std::to_string(::getpid()) + "/exe"));
    EXPECT_NE(dxtest::serverName("/bin/sh"), dxtest::serverName("/proc/self/exe"));
}

TEST(TestServer, ABinaryBuiltAgainAtTheSamePathGetsAServerOfItsOwn) {
    // A server of the old build may still be about (an interrupted run): it must not serve the new one.
    std::string path = "/tmp/dx-test-server-name-" + std::to_string(::getpid());
    { std::ofstream(path) << "first build"; }
    auto before = dxtest::serverName(path);
    EXPECT_EQ(dxtest::serverName(path), before);
    ::unlink(path.c_str());
    { std::ofstream(path) << "second build, longer"; }
    EXPECT_NE(dxtest::serverName(path), before);
    ::unlink(path.c_str());
}
