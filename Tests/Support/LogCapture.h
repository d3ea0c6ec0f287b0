// LogCapture: collects what NSLog writes while it lives, for tests that check a log line.
//
// The hook runs on whichever thread logs (the audio, camera and network threads, the dispatch pool
// log too), possibly on several at once, so the lines are kept under a lock. The capture puts back
// the hook it replaced when it goes, so a fixture's capture and a test's own nest.
//
// Header-only, so DXTestSupport need not link the platform.
#pragma once

#include <Foundation/NSLog.h>

#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class LogCapture {
public:
    LogCapture() {
        previous_ = NSLogSetHook([this](const std::string& line) {
            std::lock_guard guard(lock_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { finish(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The lines logged so far, in the order they were logged.
    std::vector<std::string> lines() const {
        std::lock_guard guard(lock_);
        return lines_;
    }
    // Whether a line logged so far holds `text`.
    bool contains(std::string_view text) const {
        std::lock_guard guard(lock_);
        for (const auto& line : lines_) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    // How many lines hold `text`.
    size_t count(std::string_view text) const {
        std::lock_guard guard(lock_);
        size_t n = 0;
        for (const auto& line : lines_) {
            n += line.find(text) != std::string::npos ? 1 : 0;
        }
        return n;
    }
    void clear() {
        std::lock_guard guard(lock_);
        lines_.clear();
    }
    // Ends the capture and answers its lines: puts back the hook it replaced, once the calls of its
    // own hook on other threads have returned (NSLogSetHook). Later calls only answer the lines.
    std::vector<std::string> finish() {
        if (!finished_) {
            finished_ = true;
            NSLogSetHook(std::move(previous_));
        }
        return lines();
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
    NSLogHook previous_;
    bool finished_ = false;
};
