// MuteSwitchDetector: tells the position of the ring/silent switch by timing a short user-interface
// system sound (the bundle's "mute.caf"), which the switch silences: a probe that completes less
// than 0.1 second after it started means silent. One probe runs at a time, each 1.0 second after the
// previous one completed. Reports go to `silentNotify` on the main thread: the first completed probe
// (and the first after a new block is set) always, later ones only when the state changes.
//
// Each detector keeps its own stopped state: stopping one (or the application going to the
// background) never holds up another. A probe whose completion came while the application was in
// the background is cleared on the return to the foreground, so the cycle goes on. No probe runs
// after `stopDetect` or after the detector is released.
//
// Main thread only.
#pragma once

#include <AudioToolbox/AudioServices.h>
#include <Foundation/NSTimer.h>
#include <Runtime/NSObject.h>

#include <functional>

class MuteSwitchDetector : public NSObject {
    NS_OBJECT(MuteSwitchDetector, NSObject)
public:
    using SilentNotify = std::function<void(bool silent)>;
    static constexpr SystemSoundID kNoSound = 0xFFFFFFFF;
    static constexpr double kSilentLimit = 0.1;
    static constexpr double kProbeDelay = 1.0;

    // `init`: makes the probe sound and arms the first probe 1.0 second later.
    MuteSwitchDetector();
    ~MuteSwitchDetector() override;
    // A lazily made process-wide detector.
    static Ref<MuteSwitchDetector> shared();

    bool isMute() const noexcept { return isMute_; }
    const SilentNotify& silentNotify() const noexcept { return silentNotify_; }
    // Stores the block; the next completed probe is reported whatever its state.
    void setSilentNotify(SilentNotify notify);
    NS_PROPERTY(bool, forceEmit, setForceEmit)
    NS_PROPERTY(bool, isPaused, setIsPaused)
    NS_PROPERTY(bool, isPlaying, setIsPlaying)
    NS_PROPERTY(SystemSoundID, soundId, setSoundId)
    NS_PROPERTY(double, interval, setInterval)
    // Whether this detector ignores probe completions now (stopped, or in the background).
    bool isStopped() const noexcept { return stopped_ || finished_; }

    void stopDetect();
    void didEnterBackground();
    void willReturnToForeground();
    void loopCheck();
    void complete();
    void scheduleCall();

private:
    static void muteSoundCompletionCallback(SystemSoundID soundID, void* clientData);
    void completionArrived();
    void release();

    bool isMute_ = false;
    SilentNotify silentNotify_;
    bool stopped_ = false;  // in the background
    bool finished_ = false; // stopDetect or release
    Ref<NSTimer> pending_;
    id backgroundObserver_;
    id foregroundObserver_;
};
