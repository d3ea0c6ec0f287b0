// Starting the simulator program itself, for the end-to-end tests that watch it as a process.
#pragma once

#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <vector>

extern char** environ;

namespace end_to_end {

// Starts the simulator with its sandbox at `root` and `args` after the program's name, its standard
// streams set up by `actions`; the rest of the environment is this process's own. Returns the
// process id, or -1 when the program could not be started.
inline pid_t spawnSimulator(const std::string& root, const std::vector<std::string>& args,
                            const posix_spawn_file_actions_t* actions) {
    std::string sandbox = "DX_SANDBOX_ROOT=" + root;
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("DX_SANDBOX_ROOT=", 0) != 0) {
            env.push_back(*e);
        }
    }
    env.push_back(sandbox.data());
    env.push_back(nullptr);
    std::vector<std::string> words = {DX_SIMULATOR_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), env.data()) != 0) {
        return -1;
    }
    return pid;
}

} // namespace end_to_end
