// MuteSwitchWatcher over the audio tests' MuteSwitchDetector, when the build has it.
#include <Diagnostics/TouchKeys/MuteSwitchWatcher.h>

#if __has_include(<Diagnostics/Audio/MuteSwitchDetector.h>)
#include <Diagnostics/Audio/MuteSwitchDetector.h>
#define DX_HAS_MUTE_SWITCH_DETECTOR 1
#else
#define DX_HAS_MUTE_SWITCH_DETECTOR 0
#endif

MuteSwitchWatcher::MuteSwitchWatcher(std::function<void(bool silent)> report) {
#if DX_HAS_MUTE_SWITCH_DETECTOR
    auto detector = make<MuteSwitchDetector>();
    detector->setSilentNotify(std::move(report));
    detector_ = detector;
#else
    (void)report;
#endif
}

MuteSwitchWatcher::~MuteSwitchWatcher() {
    stop();
}

bool MuteSwitchWatcher::isAvailable() {
    return DX_HAS_MUTE_SWITCH_DETECTOR != 0;
}

void MuteSwitchWatcher::stop() {
#if DX_HAS_MUTE_SWITCH_DETECTOR
    if (auto detector = cast<MuteSwitchDetector>(detector_)) {
        detector->stopDetect();
    }
#endif
    detector_ = nullptr;
}
