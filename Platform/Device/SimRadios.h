// SimRadios: the radios and the identity hardware of the simulated device beyond what SimDevice
// holds (interfaces, Wi-Fi network, carrier): the parts a faults overlay breaks ("wifi",
// "carrier", "bluetooth", "biometrics", "jailbroken"), the cellular signal, Bluetooth's power and
// the nearby peers and Bluetooth Low Energy peripherals, the biometric sensor (Face ID or Touch ID by model) with its
// enrolment and the person's answer to its prompt, the telephone calls and text messages the device really made, and
// the system pages the app opened (the phone, the settings).
//
// Breaking a part changes the device as the world would: Wi-Fi switched off loses its address and
// network, a missing SIM leaves no carrier and no cellular link, and so on; nothing is a flag the
// app could read. Times are platform clock uptimes.
//
// Thread-safe. Listeners run on the thread that made the change, without a lock held.
#pragma once

#include <Device/SimListeners.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SimRadios {
public:
    enum class Part { WiFi, Carrier, Bluetooth, Biometrics, Jailbroken };
    // "working"; "absent" (the part is not there); "off" (Wi-Fi or Bluetooth switched off); "dead"
    // (there, but gives nothing: no signal, a sensor that never matches); "notEnrolled" and
    // "noPasscode" (biometrics); "yes" and "no" (jailbroken).
    enum class State { Working, Absent, Off, Dead, NotEnrolled, NoPasscode, Yes, No };
    enum class Biometry { None = 0, TouchID = 1, FaceID = 2 };
    enum class Change { Parts, BiometricPrompt, Calls, Messages };
    // How the person answers the biometric prompt: not at all, by presenting a face or finger, by
    // cancelling.
    enum class PromptAnswer { Wait, Present, Cancel };
    // How the person finishes the message composer.
    enum class ComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

    static const char* partName(Part part);
    static std::optional<Part> partNamed(const std::string& name);
    static const char* stateName(State state);
    static std::optional<State> stateNamed(const std::string& name);
    // The names of the states a faults overlay may give the part.
    static std::vector<std::string> states(Part part);

    struct Call {
        std::string number;
        double at = 0;
        bool connected = false; // the cellular radio really carried it
    };
    struct Message {
        std::vector<std::string> recipients;
        std::string body;
        bool sent = false;
    };
    struct BiometricPrompt {
        std::string reason;
        double at = 0;
        bool answered = false;
        bool matched = false;
    };

    static SimRadios& current();

    State state(Part part) const;
    // Applies the state to the device (interfaces, carrier, files) and tells the listeners. A state
    // a part cannot have is refused (false).
    bool setState(Part part, State state);
    bool applyFaults(const std::string& json, std::string* error = nullptr);
    bool loadFaults(const std::string& path, std::string* error = nullptr);
    // Back to the profile in force, with every part working, the scripted answers at their defaults
    // and an empty record (prompts, calls, pages opened, messages).
    void reset();

    // The interface table: when unreadable, getifaddrs fails.
    bool interfaceTableReadable() const;
    void setInterfaceTableReadable(bool readable);

    // The cellular signal: a level in dBm (below 0) and in bars (0 to 4); no signal without a
    // working carrier.
    int signalStrengthDBm() const;
    int signalBars() const;

    // Bluetooth is on, and the nearby devices a search finds.
    bool bluetoothPoweredOn() const;
    std::vector<std::string> nearbyPeers() const;

    // A Bluetooth Low Energy device in reach: its fixed identifier (a UUID text), advertised name,
    // signal (dBm), and services by UUID text ("FFE0"), each with its characteristics' UUIDs.
    struct BLEService {
        std::string uuid;
        std::vector<std::string> characteristics;
    };
    struct BLEPeripheral {
        std::string identifier;
        std::string name;
        int rssi = -60;
        std::vector<BLEService> services;
    };
    // The low-energy devices a scan finds: none unless Bluetooth works (off, absent or dead finds
    // nobody). The profile's list is a serial-port module and a heart-rate belt; a test may set its own
    // (a scan reads the list when it starts).
    std::vector<BLEPeripheral> nearbyPeripherals() const;
    void setNearbyPeripherals(std::vector<BLEPeripheral> peripherals);

    // Biometrics. `canEvaluateError` is 0 when the device can evaluate the owner policy, else the
    // platform's error code (-7 not enrolled, -5 no passcode, -6 not available); a test may force
    // any code, known or not.
    Biometry biometry() const;
    int canEvaluateError() const;
    void forceCanEvaluateError(std::optional<int> code);
    // Shows the prompt; `reply` (matched, error code) runs on the script queue once the person
    // answers. Answers are scripted (by default the person presents after 1 s).
    void evaluateBiometrics(const std::string& reason, std::function<void(bool, int)> reply);
    void setPromptAnswer(PromptAnswer answer, double delay = 1.0);
    bool promptShowing() const;
    void answerPrompt(bool present);
    std::vector<BiometricPrompt> prompts() const;
    // Enrols an identity (the person in the settings page).
    void enrolBiometrics();

    // Telephony: the device dials (the app goes to the background); the call ends after
    // `callDuration` seconds and the person comes back to the app.
    Call placeCall(const std::string& number);
    std::vector<Call> calls() const;
    double callDuration() const;
    void setCallDuration(double seconds);
    // Seconds the person spends in the settings app before coming back; while there, a person
    // enrols a missing biometric identity when `enrolInSettings` is set.
    double settingsDuration() const;
    void setSettingsDuration(double seconds, bool enrolInSettings);
    bool enrolsInSettings() const;
    std::vector<std::string> openedSystemPages() const;
    void noteSystemPage(const std::string& url);

    // Messages: whether the device can send text (it has a SIM: the composer comes up); whether a
    // message really goes out (only over a working carrier's network, as calls); how the person
    // finishes the composer; what was really sent.
    bool canSendText() const;
    bool carriesText() const;
    ComposeResult composeResult() const;
    void setComposeResult(ComposeResult result);
    void recordMessage(Message message);
    std::vector<Message> messages() const;

    uint64_t addListener(std::function<void(Change)> listener);
    void removeListener(uint64_t token);

private:
    SimRadios();
    void applyLocked(Part part, State state);
    void notify(Change change);
    void finishPrompt(uint64_t id, bool present);

    // The scripted answers' defaults, where a fresh device and every reset start.
    static constexpr double kPromptDelay = 1.0;
    static constexpr double kCallDuration = 5.0;
    static constexpr double kSettingsDuration = 3.0;

    mutable std::mutex mutex_;
    State states_[5] = {};
    bool interfaceTableReadable_ = true;
    std::optional<int> forcedError_;
    PromptAnswer promptAnswer_ = PromptAnswer::Present;
    double promptDelay_ = kPromptDelay;
    std::vector<BiometricPrompt> prompts_;
    uint64_t firstPromptId_ = 0; // the id of prompts_[0]: ids stay unique across resets
    std::vector<std::function<void(bool, int)>> replies_;
    std::vector<Call> calls_;
    double callDuration_ = kCallDuration;
    double settingsDuration_ = kSettingsDuration;
    bool enrolInSettings_ = true;
    std::vector<std::string> systemPages_;
    ComposeResult composeResult_ = ComposeResult::Sent;
    std::vector<Message> messages_;
    std::vector<BLEPeripheral> peripherals_;
    SimListeners<Change> listeners_;
    uint64_t deviceListener_ = 0;
};
