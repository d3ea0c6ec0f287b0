#include <Device/SimFaults.h>
#include <Device/SimRadios.h>

#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

using json = nlohmann::json;
using Part = SimRadios::Part;
using State = SimRadios::State;

constexpr const char* kPartNames[] = {"wifi", "carrier", "bluetooth", "biometrics", "jailbroken"};
constexpr const char* kStateNames[] = {"working", "absent", "off", "dead", "notEnrolled", "noPasscode", "yes", "no"};
constexpr int kNotEnrolled = -7, kNoPasscode = -5, kNotAvailable = -6, kFailed = -1, kUserCancel = -2;
constexpr const char* kJailbreakFiles[] = {"/bin/bash", "/Applications/Cydia.app/Info.plist"};

size_t index(Part part) {
    return static_cast<size_t>(part);
}

bool allowed(Part part, State state) {
    switch (part) {
    case Part::WiFi:
    case Part::Bluetooth:
        return state == State::Working || state == State::Absent || state == State::Off || state == State::Dead;
    case Part::Carrier:
        return state == State::Working || state == State::Absent || state == State::Dead;
    case Part::Biometrics:
        return state == State::Working || state == State::Absent || state == State::Dead ||
               state == State::NotEnrolled || state == State::NoPasscode;
    case Part::Jailbroken:
        return state == State::Yes || state == State::No || state == State::Working;
    }
    return false;
}

dispatch_queue_t scriptQueue() {
    static dispatch_queue_t* queue = new dispatch_queue_t(dispatch_queue_create("SimRadios.script", nullptr));
    return *queue;
}

std::vector<SimRadios::BLEPeripheral> defaultPeripherals() {
    return {
        {"6F2C1A3E-8B1D-4C57-9E0A-52D3B7C41F08", "HMSoft", -58, {{"FFE0", {"FFE1"}}}},
        {"A41B7C92-3D5E-4F60-8172-9C0DE3F4A5B6", "Polar H7", -71, {{"180D", {"2A37", "2A38"}}, {"180F", {"2A19"}}}}};
}

// What the profile gave, to put back when a part works again.
struct Saved {
    std::vector<SimDevice::NetworkInterface> interfaces;
    SimDevice::WiFiNetwork wifi;
    std::optional<SimDevice::Carrier> carrier;
    std::string technology;
    std::vector<std::string> files;
};

Saved& saved() {
    static Saved* s = new Saved();
    return *s;
}

void saveProfile() {
    auto& d = SimDevice::current();
    saved() = {d.networkInterfaces(), d.wifiNetwork(), d.carrier(), d.radioAccessTechnology(), d.systemFiles()};
}

} // namespace

const char* SimRadios::partName(Part part) {
    return kPartNames[index(part)];
}

std::optional<SimRadios::Part> SimRadios::partNamed(const std::string& name) {
    return sim_faults::named<Part>(kPartNames, name);
}

const char* SimRadios::stateName(State state) {
    return kStateNames[static_cast<size_t>(state)];
}

std::optional<SimRadios::State> SimRadios::stateNamed(const std::string& name) {
    return sim_faults::named<State>(kStateNames, name);
}

std::vector<std::string> SimRadios::states(Part part) {
    return sim_faults::namesOf<State>(kStateNames, [part](State state) { return allowed(part, state); });
}

SimRadios& SimRadios::current() {
    static SimRadios* radios = new SimRadios();
    return *radios;
}

SimRadios::SimRadios() : peripherals_(defaultPeripherals()) {
    saveProfile();
    states_[index(Part::Jailbroken)] = State::No;
    deviceListener_ = SimDevice::current().addListener([this](SimDevice::Change change) {
        if (change == SimDevice::Change::Profile) {
            reset();
        }
    });
}

void SimRadios::reset() {
    saveProfile();
    {
        std::lock_guard lock(mutex_);
        for (auto& s : states_) {
            s = State::Working;
        }
        states_[index(Part::Jailbroken)] = State::No;
        interfaceTableReadable_ = true;
        forcedError_.reset();
        promptAnswer_ = PromptAnswer::Wait;
        promptDelay_ = kPromptDelay;
        peripherals_ = defaultPeripherals();
        // The record starts again; a prompt still waiting is never answered.
        firstPromptId_ += prompts_.size();
        prompts_.clear();
        replies_.clear();
        calls_.clear();
        callDuration_ = kCallDuration;
        settingsDuration_ = kSettingsDuration;
        enrolInSettings_ = true;
        systemPages_.clear();
        messages_.clear();
    }
    notify(Change::Parts);
}

SimRadios::State SimRadios::state(Part part) const {
    std::lock_guard lock(mutex_);
    return states_[index(part)];
}

bool SimRadios::setState(Part part, State state) {
    if (!allowed(part, state)) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        states_[index(part)] = state;
    }
    // The device changes as the world would (outside our lock: the device tells its listeners).
    auto& device = SimDevice::current();
    const Saved& s = saved();
    switch (part) {
    case Part::WiFi: {
        auto interfaces = s.interfaces;
        if (state == State::Absent) {
            std::erase_if(interfaces, [](const auto& i) { return i.name == "en0"; });
        } else if (state != State::Working) {
            for (auto& i : interfaces) {
                if (i.name == "en0") {
                    i.up = false;
                    i.addresses.clear();
                    i.gateway.clear();
                }
            }
        }
        // Keep the cellular side as it stands now.
        auto now = device.networkInterfaces();
        for (auto& i : interfaces) {
            if (i.name == "pdp_ip0") {
                auto it = std::find_if(now.begin(), now.end(), [](const auto& n) { return n.name == "pdp_ip0"; });
                if (it != now.end()) {
                    i = *it;
                }
            }
        }
        device.setNetworkInterfaces(interfaces);
        device.setWiFiNetwork(state == State::Working ? s.wifi : SimDevice::WiFiNetwork{});
        break;
    }
    case Part::Carrier: {
        device.setCarrier(state == State::Absent ? std::nullopt : s.carrier);
        device.setRadioAccessTechnology(state == State::Working ? s.technology : std::string());
        auto interfaces = device.networkInterfaces();
        for (auto& i : interfaces) {
            if (i.name == "pdp_ip0") {
                auto original = std::find_if(s.interfaces.begin(), s.interfaces.end(),
                                             [](const auto& n) { return n.name == "pdp_ip0"; });
                if (state == State::Working && original != s.interfaces.end()) {
                    i = *original;
                } else {
                    i.addresses.clear();
                    i.up = false;
                }
            }
        }
        device.setNetworkInterfaces(interfaces);
        break;
    }
    case Part::Jailbroken: {
        auto files = s.files;
        if (state == State::Yes) {
            files.insert(files.end(), std::begin(kJailbreakFiles), std::end(kJailbreakFiles));
        }
        device.setSystemFiles(files);
        break;
    }
    case Part::Bluetooth:
    case Part::Biometrics:
        break;
    }
    notify(Change::Parts);
    return true;
}

bool SimRadios::applyFaults(const std::string& text, std::string* error) {
    std::vector<std::pair<Part, State>> changes;
    if (!sim_faults::changes<Part, State>(text, &partNamed, &stateNamed, &states, changes, error)) {
        return false;
    }
    for (auto [part, state] : changes) {
        (void)setState(part, state);
    }
    return true;
}

bool SimRadios::loadFaults(const std::string& path, std::string* error) {
    return sim_faults::load(path, error,
                            [this](const std::string& text, std::string* why) { return applyFaults(text, why); });
}

bool SimRadios::interfaceTableReadable() const {
    std::lock_guard lock(mutex_);
    return interfaceTableReadable_;
}

void SimRadios::setInterfaceTableReadable(bool readable) {
    std::lock_guard lock(mutex_);
    interfaceTableReadable_ = readable;
}

int SimRadios::signalStrengthDBm() const {
    bool working = state(Part::Carrier) == State::Working && SimDevice::current().carrier() &&
                   !SimDevice::current().radioAccessTechnology().empty();
    return working ? -85 : -140;
}

int SimRadios::signalBars() const {
    int dbm = signalStrengthDBm();
    return dbm >= -90 ? 4 : dbm >= -100 ? 3 : dbm >= -110 ? 2 : dbm >= -120 ? 1 : 0;
}

bool SimRadios::bluetoothPoweredOn() const {
    auto s = state(Part::Bluetooth);
    return s == State::Working || s == State::Dead; // a dead radio is on, but finds and reaches nobody
}

std::vector<std::string> SimRadios::nearbyPeers() const {
    if (state(Part::Bluetooth) != State::Working) {
        return {};
    }
    return {"Store iPad"};
}

std::vector<SimRadios::BLEPeripheral> SimRadios::nearbyPeripherals() const {
    std::lock_guard lock(mutex_);
    if (states_[index(Part::Bluetooth)] != State::Working) {
        return {};
    }
    return peripherals_;
}

void SimRadios::setNearbyPeripherals(std::vector<BLEPeripheral> peripherals) {
    std::lock_guard lock(mutex_);
    peripherals_ = std::move(peripherals);
}

SimRadios::Biometry SimRadios::biometry() const {
    if (state(Part::Biometrics) == State::Absent) {
        return Biometry::None;
    }
    std::string id = SimDevice::current().identity().hardwareIdentifier;
    static const std::regex phone("iPhone(\\d+),(\\d+)");
    std::smatch m;
    if (std::regex_search(id, m, phone)) {
        int major = std::stoi(m[1]), minor = std::stoi(m[2]);
        if (major > 10 || (major == 10 && (minor == 3 || minor == 6))) {
            return Biometry::FaceID;
        }
        return major >= 6 ? Biometry::TouchID : Biometry::None;
    }
    return id.rfind("iPad", 0) == 0 ? Biometry::TouchID : Biometry::None;
}

int SimRadios::canEvaluateError() const {
    {
        std::lock_guard lock(mutex_);
        if (forcedError_) {
            return *forcedError_;
        }
    }
    if (biometry() == Biometry::None) {
        return kNotAvailable;
    }
    switch (state(Part::Biometrics)) {
    case State::NotEnrolled:
        return kNotEnrolled;
    case State::NoPasscode:
        return kNoPasscode;
    default:
        return 0;
    }
}

void SimRadios::forceCanEvaluateError(std::optional<int> code) {
    std::lock_guard lock(mutex_);
    forcedError_ = code;
}

uint64_t SimRadios::evaluateBiometrics(const std::string& reason, std::function<void(bool, int)> reply) {
    uint64_t id;
    PromptAnswer answer;
    double delay;
    {
        std::lock_guard lock(mutex_);
        prompts_.push_back({reason, DispatchClock::uptime(), false, false});
        replies_.push_back(std::move(reply));
        id = firstPromptId_ + prompts_.size() - 1;
        answer = promptAnswer_;
        delay = promptDelay_;
    }
    notify(Change::BiometricPrompt);
    if (answer != PromptAnswer::Wait) {
        bool present = answer == PromptAnswer::Present;
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(std::max(0.0, delay) * 1e9)),
                       scriptQueue(), [id, present] { SimRadios::current().finishPrompt(id, present); });
    }
    return id;
}

void SimRadios::finishPrompt(uint64_t id, bool present) {
    std::function<void(bool, int)> reply;
    bool matched;
    {
        std::lock_guard lock(mutex_);
        if (id < firstPromptId_ || id - firstPromptId_ >= prompts_.size()) {
            return; // a prompt of before a reset
        }
        size_t i = id - firstPromptId_;
        if (prompts_[i].answered) {
            return;
        }
        matched = present && states_[index(Part::Biometrics)] == State::Working;
        prompts_[i].answered = true;
        prompts_[i].matched = matched;
        reply = std::move(replies_[i]);
    }
    notify(Change::BiometricPrompt);
    if (reply) {
        reply(matched, matched ? 0 : present ? kFailed : kUserCancel);
    }
}

void SimRadios::setPromptAnswer(PromptAnswer answer, double delay) {
    std::lock_guard lock(mutex_);
    promptAnswer_ = answer;
    promptDelay_ = std::isfinite(delay) ? delay : 1.0;
}

bool SimRadios::promptShowing() const {
    std::lock_guard lock(mutex_);
    return std::any_of(prompts_.begin(), prompts_.end(), [](const auto& p) { return !p.answered; });
}

void SimRadios::presentToSensor() {
    uint64_t id = UINT64_MAX;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < prompts_.size(); ++i) {
            if (!prompts_[i].answered) {
                id = firstPromptId_ + i;
                break;
            }
        }
    }
    if (id != UINT64_MAX) {
        dispatch_async(scriptQueue(), [id] { SimRadios::current().finishPrompt(id, true); });
    }
}

void SimRadios::cancelPrompt(uint64_t id) {
    dispatch_async(scriptQueue(), [id] { SimRadios::current().finishPrompt(id, false); });
}

std::vector<SimRadios::BiometricPrompt> SimRadios::prompts() const {
    std::lock_guard lock(mutex_);
    return prompts_;
}

void SimRadios::enrolBiometrics() {
    {
        std::lock_guard lock(mutex_);
        auto& s = states_[index(Part::Biometrics)];
        if (s != State::NotEnrolled && s != State::NoPasscode) {
            return;
        }
        s = State::Working;
    }
    notify(Change::Parts);
}

SimRadios::Call SimRadios::placeCall(const std::string& number) {
    Call call{number, DispatchClock::uptime(), false};
    auto& device = SimDevice::current();
    call.connected = state(Part::Carrier) == State::Working && device.carrier() &&
                     !device.radioAccessTechnology().empty() && !number.empty();
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }
    notify(Change::Calls);
    if (call.connected) {
        callNetwork_.notify(call);
    }
    return call;
}

std::vector<SimRadios::Call> SimRadios::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

double SimRadios::callDuration() const {
    std::lock_guard lock(mutex_);
    return callDuration_;
}

void SimRadios::setCallDuration(double seconds) {
    std::lock_guard lock(mutex_);
    callDuration_ = std::isfinite(seconds) ? std::max(0.0, seconds) : 5.0;
}

double SimRadios::settingsDuration() const {
    std::lock_guard lock(mutex_);
    return settingsDuration_;
}

void SimRadios::setSettingsDuration(double seconds, bool enrolInSettings) {
    std::lock_guard lock(mutex_);
    settingsDuration_ = std::isfinite(seconds) ? std::max(0.0, seconds) : 3.0;
    enrolInSettings_ = enrolInSettings;
}

bool SimRadios::enrolsInSettings() const {
    std::lock_guard lock(mutex_);
    return enrolInSettings_;
}

std::vector<std::string> SimRadios::openedSystemPages() const {
    std::lock_guard lock(mutex_);
    return systemPages_;
}

void SimRadios::noteSystemPage(const std::string& url) {
    std::lock_guard lock(mutex_);
    systemPages_.push_back(url);
}

bool SimRadios::canSendText() const {
    return state(Part::Carrier) != State::Absent && SimDevice::current().carrier().has_value();
}

bool SimRadios::carriesText() const {
    return state(Part::Carrier) == State::Working && SimDevice::current().carrier().has_value();
}

bool SimRadios::sendMessage(Message message) {
    message.sent = carriesText() && !message.recipients.empty();
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
    }
    notify(Change::Messages);
    if (message.sent) {
        network_.notify(message);
    }
    return message.sent;
}

uint64_t SimRadios::addMessageReceiver(std::function<void(Message)> receiver) {
    return network_.add(std::move(receiver));
}

void SimRadios::removeMessageReceiver(uint64_t token) {
    network_.remove(token);
}

uint64_t SimRadios::addCallReceiver(std::function<void(Call)> receiver) {
    return callNetwork_.add(std::move(receiver));
}

void SimRadios::removeCallReceiver(uint64_t token) {
    callNetwork_.remove(token);
}

std::vector<SimRadios::Message> SimRadios::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

uint64_t SimRadios::addListener(std::function<void(Change)> listener) {
    return listeners_.add(std::move(listener));
}

void SimRadios::removeListener(uint64_t token) {
    listeners_.remove(token);
}

void SimRadios::notify(Change change) {
    listeners_.notify(change);
}
