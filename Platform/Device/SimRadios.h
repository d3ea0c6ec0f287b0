// SimRadios: the radios and the identity hardware of the simulated device beyond what SimDevice
// holds (interfaces, Wi-Fi network, carrier): the parts a faults overlay breaks ("wifi",
// "carrier", "bluetooth", "biometrics", "jailbroken"), the cellular signal, Bluetooth's power and
// the nearby peers and Bluetooth Low Energy peripherals, the biometric sensor (Face ID or Touch ID by model) with its
// enrolment and what is presented to it, the telephone calls and text messages the device really made, the carrier's
// network that carries a message to other phones, and the system pages the app opened (the phone, the settings).
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
    // A script of the person in front of the device, for tests: when a prompt shows, nobody acts
    // (the default: the person, or the simulator's operator, acts on the prompt itself), a face or
    // finger is presented, or the prompt is cancelled.
    enum class PromptAnswer { Wait, Present, Cancel };

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
    // The system's prompt is up: the sensor looks for the owner until a face or finger is presented
    // (it matches only on a working sensor) or the prompt is cancelled; `reply` (matched, error code:
    // 0, -1 not recognised, -2 cancelled) then runs on the script queue. Answers the prompt's id.
    uint64_t evaluateBiometrics(const std::string& reason, std::function<void(bool, int)> reply);
    // The person presents a face or finger to the sensor (a physical act): the sensor reads it for the
    // oldest prompt still waiting; nothing happens when none is.
    void presentToSensor();
    // The prompt's Cancel: ends prompt `id`, if it still waits, as cancelled.
    void cancelPrompt(uint64_t id);
    // The script for tests: what happens `delay` seconds after each prompt shows.
    void setPromptAnswer(PromptAnswer answer, double delay = 1.0);
    bool promptShowing() const;
    std::vector<BiometricPrompt> prompts() const;
    // Enrols an identity (the person in the settings page).
    void enrolBiometrics();

    // Telephony: the device dials (the app goes to the background); the call ends after
    // `callDuration` seconds and the person comes back to the app. A call the cellular radio carried
    // goes out on the carrier's network (addCallReceiver).
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
    // message really goes out (only over a working carrier's network, as calls); what was sent.
    bool canSendText() const;
    bool carriesText() const;
    // The person sent `message` from the composer: it goes out when the carrier carries text, and the
    // network then hands it to every receiver. The record keeps it either way; answers whether it
    // went out.
    bool sendMessage(Message message);
    std::vector<Message> messages() const;
    // The carrier's network beyond this device (other phones): a receiver is handed every message that
    // went out, and every call that went out (a receiver rings for the numbers that are its own), on
    // the sending or dialling thread, with no lock held. A message or call the device could not send
    // never reaches the network. Receivers are not part of the device: they stay across resets until
    // removed.
    uint64_t addMessageReceiver(std::function<void(Message)> receiver);
    void removeMessageReceiver(uint64_t token);
    uint64_t addCallReceiver(std::function<void(Call)> receiver);
    void removeCallReceiver(uint64_t token);

    uint64_t addListener(std::function<void(Change)> listener);
    void removeListener(uint64_t token);

private:
    SimRadios();
    void applyLocked(Part part, State state);
    void notify(Change change);
    // Ends prompt `id` if it still waits: the sensor reads what was presented, or (not `present`)
    // the prompt was cancelled.
    void finishPrompt(uint64_t id, bool present);

    // The scripted answers' defaults, where a fresh device and every reset start.
    static constexpr double kPromptDelay = 1.0;
    static constexpr double kCallDuration = 5.0;
    static constexpr double kSettingsDuration = 3.0;

    mutable std::mutex mutex_;
    State states_[5] = {};
    bool interfaceTableReadable_ = true;
    std::optional<int> forcedError_;
    PromptAnswer promptAnswer_ = PromptAnswer::Wait;
    double promptDelay_ = kPromptDelay;
    std::vector<BiometricPrompt> prompts_;
    uint64_t firstPromptId_ = 0; // the id of prompts_[0]: ids stay unique across resets
    std::vector<std::function<void(bool, int)>> replies_;
    std::vector<Call> calls_;
    double callDuration_ = kCallDuration;
    double settingsDuration_ = kSettingsDuration;
    bool enrolInSettings_ = true;
    std::vector<std::string> systemPages_;
    std::vector<Message> messages_;
    SimListeners<Message> network_;
    SimListeners<Call> callNetwork_;
    std::vector<BLEPeripheral> peripherals_;
    SimListeners<Change> listeners_;
    uint64_t deviceListener_ = 0;
};
