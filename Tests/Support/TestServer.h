// The test server: a test binary that has started once (loaded, relocated, run its static
// initialisers) forks a fresh child for each CTest test (the whole binary, a shard of it, or one test
// of a road: cmake/Layers.cmake) instead of starting again for each one.
//
// CTest still runs one process per CTest test, but that process is the small client (DXTestClient): it
// hands the test's arguments, working folder, environment and its standard input, output and error to
// the server of its binary and exits with the status of the child that ran the test. The child is a
// copy of a process that has run no test, so it starts from a fresh process state, and it writes
// straight into the client's output. When no server answers, the client runs the binary
// itself, as CTest would.
//
// The server listens on an abstract local socket named after the binary's real path, serves only its
// own user, refuses to serve when started with more than one thread (a fork copies only the calling
// thread), and ends when asked to or after a long idle time. A test whose client goes away (CTest's
// time-out) is killed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dxtest {

// Runs one request in the forked child, after its standard streams, folder and environment are the
// client's; answers the child's exit code. args[0] is the program's name.
using TestRunner = std::function<int(std::vector<std::string> args)>;

// The socket name of the server for `executable`: its real path and the file's identity, so that a
// binary built again gets a server of its own.
[[nodiscard]] std::string serverName(const std::string& executable);

// Serves requests on `name` until stopped or idle for `idleSeconds`. Writes 'y' to readyFd once it
// listens, or 'n' when it will not serve (more than one thread, or the name already served); readyFd
// may be -1. Answers the process's exit code.
[[nodiscard]] int serveTests(const std::string& name, int readyFd, const TestRunner& run, int idleSeconds = 1800);

// Runs `args` on the server `name` with the given standard streams and answers the child's wait
// status (as waitpid gives it), or nothing when no server took the request.
[[nodiscard]] std::optional<int> runOnServer(const std::string& name, const std::vector<std::string>& args, int in,
                                             int out, int err);

// Asks the server `name` to end; answers whether one was there to ask.
bool stopServer(const std::string& name);

} // namespace dxtest
