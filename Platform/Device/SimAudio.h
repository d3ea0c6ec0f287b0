// SimAudio: the acoustic side of the simulated device. It holds
//   - the parts: microphones (bottom, front, the headset's), transducers (receiver, loudspeaker, the
//     headset's left and right earpieces), the ring/silent switch, the headset's keys and the
//     headset jack, each working, dead or absent (the headset's keys and the jack are never absent);
//   - the headset: its plug in the jack or not (the device sees it only through a working jack), and
//     its keys (a dead key set sends nothing);
//   - the output volume, moved by the volume keys (steps of 1/16) or by the system and applications;
//   - the ring/silent switch position;
//   - the microphone permission and the answer the operator gives to its prompt;
//   - scriptable failures of the audio system (session activation, data-source selection, the
//     voice-processing unit);
//   - the acoustic world: what each transducer really played, as samples at 44100 Hz on the platform
//     clock, and what each microphone picks up from it (the played signal attenuated by the path
//     from the transducer, plus the operator's voice when the operator speaks, plus a little noise).
//     A dead transducer plays silence whatever it is given; a dead microphone hears silence.
//
// The record (`played`, `playedLevel`, `heard`) is for tests and the scripted operator only. The
// platform (AVFoundation, AudioToolbox, MediaPlayer) reads the parts only through what it plays and
// records, as an application on a phone would.
//
// Times are platform clock uptimes in seconds (DispatchClock::uptime()), so tests run it all on
// virtual time. Thread-safe: the audio I/O thread, the main thread and tests call it at once.
// Listeners run on the thread that made the change, without a lock held.
#pragma once

#include <Device/SimListeners.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SimAudio {
public:
    enum class Part {
        BottomMicrophone,
        FrontMicrophone,
        HeadsetMicrophone,
        Receiver,
        Speaker,
        HeadphoneLeft,
        HeadphoneRight,
        RingerSwitch,
        HeadsetKeys,
        HeadsetJack,
    };
    static constexpr size_t kPartCount = 10;
    // A dead switch no longer moves: its position stays where it was.
    enum class State { Working, Absent, Dead };

    // Part and state names of profiles and faults overlays: "bottomMicrophone", "frontMicrophone",
    // "headsetMicrophone", "receiver", "speaker", "headphoneLeft", "headphoneRight", "ringerSwitch",
    // "headsetKeys", "headsetJack"; "working", "absent", "dead" ("headsetKeys" and "headsetJack": only
    // "working" and "dead").
    static const char* partName(Part part);
    static std::optional<Part> partNamed(const std::string& name);
    static const char* stateName(State state);
    static std::optional<State> stateNamed(const std::string& name);
    // The names of the states a faults overlay may give the part.
    static std::vector<std::string> states(Part part);
    static bool isMicrophone(Part part);
    // Whether a part may be in a state: the headset's keys and the jack are working or dead.
    static bool allows(Part part, State state);
    // Whether the device is built with the part (its profile; a tablet has no receiver), whatever a
    // faults overlay did to it since.
    bool fitted(Part part) const;

    // Why the output volume changed: a press of a hardware volume key, or a change the system or an
    // application made (a player's volume, a start-up adjustment).
    enum class VolumeReason { Key, App };
    enum class HeadsetKey { PlayPause, VolumeUp, VolumeDown };
    // The platform's numbering of the microphone permission is its own; this is the device's.
    enum class Permission { Undetermined, Denied, Granted };
    enum class PromptAnswer { Wait, Allow, Deny };

    enum class Change { Parts, Headset, HeadsetKey, Volume, Ringer, Permission };
    struct Event {
        Change change = Change::Parts;
        float volume = 0;                        // Volume: the new volume
        VolumeReason reason = VolumeReason::App; // Volume
        HeadsetKey key = HeadsetKey::PlayPause;  // HeadsetKey
        bool plugged = false;                    // Headset: plugged in now
    };

    static constexpr double kSampleRate = 44100.0;

    static SimAudio& current();

    // Parts.
    State state(Part part) const;
    bool isPresent(Part part) const { return state(part) != State::Absent; }
    bool isWorking(Part part) const { return state(part) == State::Working; }
    void setState(Part part, State state);
    // A faults overlay: {"speaker": "dead", ...}. Names this component does not own (other parts of
    // the device) are left to them; a state this component does not know for one of its parts is an
    // error and changes nothing.
    bool applyFaults(const std::string& json, std::string* error = nullptr);
    bool loadFaults(const std::string& path, std::string* error = nullptr);
    // Back to the profile in force: parts, volume, switch, headset out, permission, failures, record.
    void reset();

    // The headset. Plugging it into a working jack makes the headphones the device's audio route
    // (SimDevice); it carries the headset microphone and the keys. A dead jack leaves the device
    // without a headset however the plug sits. `headsetPlugged` is what the device sees,
    // `headsetInserted` where the operator's plug is. `scheduleHeadset` plugs or unplugs it `delay`
    // seconds from now on the platform clock.
    bool headsetPlugged() const;
    bool headsetInserted() const;
    void plugHeadset(bool plugged);
    void scheduleHeadset(double delay, bool plugged);
    // A press of a headset key; nothing happens while the device sees no headset, or when the keys
    // are dead. Answers whether the press reached the device.
    bool pressHeadsetKey(HeadsetKey key);

    // The output volume, 0..1.
    float outputVolume() const;
    // A change the system or an application makes (clamped to 0..1); announced when it changes.
    void setOutputVolume(float volume, VolumeReason reason = VolumeReason::App);
    // One press of a hardware volume key: a step of 1/16, clamped to 0..1. At a limit nothing changes,
    // nothing is announced, and false is returned.
    bool pressVolumeKey(bool up);

    // The ring/silent switch. A dead switch does not move.
    bool ringerSilent() const;
    void setRingerSilent(bool silent);

    // The microphone permission and its prompt: the operator's answer comes `delay` seconds after the
    // prompt shows (Allow, Deny) or by answerPermissionPrompt (Wait).
    Permission recordPermission() const;
    void setRecordPermission(Permission permission);
    void setPermissionPromptAnswer(PromptAnswer answer, double delay = 1.0);
    PromptAnswer permissionPromptAnswer(double* delay = nullptr) const;
    bool permissionPromptShowing() const;
    void setPermissionPromptShowing(bool showing);

    // Failures of the audio system, for tests: the session refuses activation (an OSStatus-like
    // code; 0 accepts), selecting a microphone's data source fails, the voice-processing unit is not
    // found or does not start.
    int activationError() const;
    void setActivationError(int code);
    bool dataSourceSelectionFails() const;
    void setDataSourceSelectionFails(bool fails);
    bool voiceProcessingAvailable() const;
    void setVoiceProcessingAvailable(bool available);
    bool audioUnitStartFails() const;
    void setAudioUnitStartFails(bool fails);
    // The device cuts every recording short after `seconds` (a full disk, an interruption); a
    // negative value (the default) lets recordings run.
    double recordingLimit() const;
    void setRecordingLimit(double seconds);

    // The acoustic world. Samples are mono floats (-1..1) at kSampleRate; instants are uptimes.
    //
    // A transducer plays `samples` from `start` (the sample at `start` first), `loops` extra times
    // (-1: until stopped), at `gain`. Answers an id for stopEmission. A dead or absent transducer
    // plays nothing, and so nothing of it is in the record.
    uint64_t startEmission(Part transducer, std::shared_ptr<const std::vector<float>> samples, double start,
                           int loops = 0, float gain = 1.0f);
    // Ends an emission at `at` (nothing of it is played from then on).
    void stopEmission(uint64_t id, double at);
    // What the transducer really played over [start, start + frames / kSampleRate).
    std::vector<float> played(Part transducer, double start, size_t frames) const;
    // The root-mean-square level of what the transducer played over [from, to).
    double playedLevel(Part transducer, double from, double to) const;
    // Whether a listener near the phone heard anything over [from, to): some working transducer
    // played at a level above `threshold` (RMS).
    bool heard(double from, double to, double threshold = kAudibleLevel) const;
    static constexpr double kAudibleLevel = 0.003;

    // The operator speaks from `start` for `duration` seconds (a voice-like signal reaching the
    // microphones near the mouth).
    void speak(double start, double duration);
    // What a microphone picks up over [start, start + frames / kSampleRate): the transducers'
    // signals attenuated by their paths, the voice, and noise. Silence from a dead or absent
    // microphone, and from the headset microphone while no headset is plugged in.
    std::vector<float> capture(Part microphone, double start, size_t frames) const;
    // The noise level every working microphone picks up (RMS).
    static constexpr double kNoiseLevel = 0.0005;

    uint64_t addListener(std::function<void(Event)> listener);
    void removeListener(uint64_t token);

private:
    SimAudio();
    void loadProfile();
    void notify(Event event);
    // Puts the device's audio route where the plug and the jack say.
    void routeHeadset();

    struct Emission {
        uint64_t id = 0;
        Part transducer = Part::Speaker;
        int64_t startSample = 0; // global sample index (uptime * kSampleRate)
        int64_t endSample = INT64_MAX;
        int loops = 0;
        float gain = 1.0f;
        std::shared_ptr<const std::vector<float>> samples;
    };
    void addPlayedLocked(Part transducer, int64_t first, std::vector<float>& out) const;
    void pruneLocked(int64_t nowSample);

    mutable std::mutex mutex_;
    std::array<State, kPartCount> states_{};
    std::array<bool, kPartCount> fitted_{};
    bool headsetInserted_ = false;
    float volume_ = 0.5f;
    float profileVolume_ = 0.5f;
    bool ringerSilent_ = false;
    bool profileRingerSilent_ = false;
    Permission permission_ = Permission::Undetermined;
    PromptAnswer promptAnswer_ = PromptAnswer::Allow;
    double promptDelay_ = 1.0;
    bool promptShowing_ = false;
    int activationError_ = 0;
    bool dataSourceFails_ = false;
    bool voiceProcessing_ = true;
    bool unitStartFails_ = false;
    double recordingLimit_ = -1;
    uint64_t nextEmission_ = 1;
    uint64_t headsetGeneration_ = 0;
    bool headsetWasIn_ = false;
    std::vector<Emission> emissions_;
    std::vector<std::pair<int64_t, int64_t>> speech_; // [start, end) sample ranges
    SimListeners<Event> listeners_;
    uint64_t deviceListener_ = 0;
};
