// The app's own log (NSLog: its lines and the property lists it dumps) during a simulator run. A
// person at the terminal follows the run, not the device's console: by default the log goes to a
// file beside the run, and the run's last line says where; --verbose leaves it on the terminal.
#pragma once

#include <string>

// The log's file in `folder`.
std::string appLogPath(const std::string& folder);

// Sends the app's log to appLogPath(folder), made afresh; the log of the run before is kept beside it
// as "<file>.1". When the file cannot be written, says so on standard error and leaves the log on
// the terminal. Answers the file's path, or "" when the log stays on the terminal.
std::string writeAppLogTo(const std::string& folder);

// The run's closing line on standard output: where the log went ("app log: <path>"), or, when the
// file stopped taking lines during the run, that the rest of the log is on the terminal. Nothing when
// the log was not sent to a file.
void printAppLogPath(const std::string& path);
