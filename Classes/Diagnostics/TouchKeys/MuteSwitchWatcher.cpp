// MuteSwitchWatcher over the audio tests' MuteSwitchDetector.
#include <Diagnostics/TouchKeys/MuteSwitchWatcher.h>

#include <Diagnostics/Audio/MuteSwitchDetector.h>

MuteSwitchWatcher::MuteSwitchWatcher(std::function<void(bool silent)> report) {
    auto detector = make<MuteSwitchDetector>();
    detector->setSilentNotify(std::move(report));
    detector_ = detector;
}

MuteSwitchWatcher::~MuteSwitchWatcher() {
    stop();
}

void MuteSwitchWatcher::stop() {
    if (auto detector = cast<MuteSwitchDetector>(detector_)) {
        detector->stopDetect();
    }
    detector_ = nullptr;
}
