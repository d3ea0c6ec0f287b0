// NSLog: the system log as free text on standard error (or in a log file), one line per call:
//     2024-05-01 12:34:56.789 Celvix[4242:4243] text
// (local time, process id, thread id). Lines from different threads never interleave.
#pragma once

#include <Foundation/NSString.h>

#include <functional>
#include <string>
#include <string_view>

// Writes one message (a line end is added; a trailing one is not doubled).
void NSLogv(const std::string& message);

// `NSLog(@"%@ viewDidLoad.", self)`: the platform's format string and its arguments.
template <class... Args>
void NSLog(std::string_view format, const Args&... args) {
    NSLogv(NSFormat(format, {NSFormatArgument(args)...}));
}

// For tests: every message (without the time stamp prefix) is handed to `hook` as well as written to
// standard error; nullptr removes the hook. Returns the hook it replaced, once every call of it on
// other threads has returned (so what it points at may be freed then); a hook may replace the hook.
using NSLogHook = std::function<void(const std::string& message)>;
NSLogHook NSLogSetHook(NSLogHook hook);

// Where the lines go: standard error (the default), or the file at `path`, appended to (an empty path
// goes back to standard error). When the file cannot be opened, answers false with the reason in
// `error`, and the lines stay where they went. When a line cannot be written to the file (the disk is
// full), the log says so on standard error, writes that line there and stays there: no line is lost.
bool NSLogSetFile(const std::string& path, std::string* error = nullptr);
// The file the lines go to, or "" while they go to standard error.
std::string NSLogFile();
