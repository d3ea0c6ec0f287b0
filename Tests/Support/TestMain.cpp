// The main of every test binary. Run as `<binary> --dx-serve`, it becomes the binary's test server
// (TestServer.h), which forks a child per test that goes through the same steps as a plain start.
#include "TestServer.h"

#include <Foundation/NSFileManager.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

int runTests(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    NSSandbox::useTemporaryRoot(); // a fresh sandbox (documents, defaults) per test process
    return RUN_ALL_TESTS();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--dx-serve") == 0) {
        const char* ready = std::getenv("DX_TEST_SERVER_READY_FD");
        int readyFd = ready != nullptr ? std::atoi(ready) : -1;
        ::unsetenv("DX_TEST_SERVER_READY_FD");
        return dxtest::serveTests(dxtest::serverName("/proc/self/exe"), readyFd, [](std::vector<std::string> args) {
            std::vector<char*> pointers;
            for (auto& arg : args) {
                pointers.push_back(arg.data());
            }
            pointers.push_back(nullptr);
            return runTests(static_cast<int>(args.size()), pointers.data());
        });
    }
    return runTests(argc, argv);
}
