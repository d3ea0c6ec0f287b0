// DXTestClient, the command CTest runs for each test of a test binary (TestServer.h):
//   DXTestClient BINARY ARGS...     runs the test on BINARY's server, or BINARY itself when none serves
//   DXTestClient --start BINARY     starts BINARY's server and returns once it serves (or will not)
//   DXTestClient --stop BINARY      ends BINARY's server
#include "TestServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int startServer(const char* binary) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        std::perror("DXTestClient: pipe");
        return 1;
    }
    pid_t server = ::fork();
    if (server < 0) {
        std::perror("DXTestClient: fork");
        return 1;
    }
    if (server == 0) {
        // Its own session, away from CTest's output: CTest waits for this test's output to close.
        ::setsid();
        int quiet = ::open("/dev/null", O_RDWR);
        ::dup2(quiet, 0);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        ::fcntl(ready[1], F_SETFD, 0);
        ::setenv("DX_TEST_SERVER_READY_FD", std::to_string(ready[1]).c_str(), 1);
        ::execl(binary, binary, "--dx-serve", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    char answer = 0;
    ssize_t got;
    do {
        got = ::read(ready[0], &answer, 1);
    } while (got < 0 && errno == EINTR);
    ::close(ready[0]);
    if (answer != 'y') {
        // Not fatal: every test then starts the binary itself.
        std::printf("DXTestClient: %s does not serve; its tests start it each\n", binary);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--start") == 0) {
        return startServer(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "--stop") == 0) {
        dxtest::stopServer(dxtest::serverName(argv[2]));
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: DXTestClient BINARY [ARGS...] | --start BINARY | --stop BINARY\n");
        return 2;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    if (auto status = dxtest::runOnServer(dxtest::serverName(argv[1]), args, 0, 1, 2)) {
        if (WIFSIGNALED(*status)) {
            // End the way the test did, so that CTest reports the crash as such.
            ::signal(WTERMSIG(*status), SIG_DFL);
            ::raise(WTERMSIG(*status));
            return 128 + WTERMSIG(*status);
        }
        return WIFEXITED(*status) ? WEXITSTATUS(*status) : 1;
    }
    ::execv(argv[1], argv + 1);
    std::fprintf(stderr, "DXTestClient: cannot run %s: %s\n", argv[1], std::strerror(errno));
    return 127;
}
