// Starting the simulator program itself, for the end-to-end tests that watch it as a process.
#pragma once

#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <vector>

extern char** environ;

namespace end_to_end {

// Starts the simulator with `args` after the program's name, its standard streams set up by
// `actions`, in this process's environment changed by `changes`: "NAME=value" sets a variable,
// "NAME" removes it. Returns the process id, or -1 when the program could not be started.
inline pid_t spawnSimulatorWith(std::vector<std::string> changes, const std::vector<std::string>& args,
                                const posix_spawn_file_actions_t* actions) {
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) {
        bool changed = false;
        for (const auto& change : changes) {
            changed = changed || nameOf(*e) == nameOf(change);
        }
        if (!changed) {
            env.push_back(*e);
        }
    }
    for (auto& change : changes) {
        if (change.find('=') != std::string::npos) {
            env.push_back(change.data());
        }
    }
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

// Starts the simulator with its sandbox at `root`; the rest as spawnSimulatorWith.
inline pid_t spawnSimulator(const std::string& root, const std::vector<std::string>& args,
                            const posix_spawn_file_actions_t* actions) {
    return spawnSimulatorWith({"DX_SANDBOX_ROOT=" + root}, args, actions);
}

} // namespace end_to_end
