// MuteSwitchWatcher: the key screens' handle on the ring/silent switch detector of the audio tests
// (MuteSwitchDetector): created while a screen is shown, it reports each state the detector
// reports, and stops with `stop` (or when it goes).
#pragma once

#include <Runtime/NSObject.h>

#include <functional>

class MuteSwitchWatcher {
public:
    explicit MuteSwitchWatcher(std::function<void(bool silent)> report);
    ~MuteSwitchWatcher();
    MuteSwitchWatcher(const MuteSwitchWatcher&) = delete;
    MuteSwitchWatcher& operator=(const MuteSwitchWatcher&) = delete;

    // `stopDetect`.
    void stop();

private:
    id detector_;
};
