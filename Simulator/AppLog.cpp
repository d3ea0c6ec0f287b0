#include "AppLog.h"

#include <Foundation/NSLog.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

std::string appLogPath(const std::string& folder) {
    return (std::filesystem::path(folder) / "app.log").string();
}

std::string writeAppLogTo(const std::string& folder) {
    auto path = appLogPath(folder);
    std::string reason;
    std::error_code failed;
    std::filesystem::create_directories(folder, failed);
    bool opened = false;
    if (failed) {
        reason = failed.message();
    } else {
        // The log of the run before stays readable (a run that was killed is often the one to look at).
        std::error_code ignored;
        if (std::filesystem::is_regular_file(path, ignored)) {
            std::filesystem::rename(path, path + ".1", ignored);
        }
        opened = NSLogSetFile(path, &reason);
    }
    if (!opened) {
        std::fprintf(stderr, "cannot write the app's log to %s (%s): it goes to the terminal\n", path.c_str(),
                     reason.c_str());
        std::fflush(stderr);
        return "";
    }
    return path;
}

void printAppLogPath(const std::string& path) {
    if (path.empty()) {
        return;
    }
    if (NSLogFile() == path) {
        std::printf("app log: %s\n", path.c_str());
    } else {
        std::printf("app log: %s (up to a line it could not take; the rest went to the terminal)\n", path.c_str());
    }
    std::fflush(stdout);
}
