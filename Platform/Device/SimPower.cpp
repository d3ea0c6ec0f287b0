#include <Device/SimFaults.h>
#include <Device/SimPower.h>

#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

using json = nlohmann::json;
using Part = SimPower::Part;
using State = SimPower::State;
using Source = SimPower::Source;

constexpr const char* kPartNames[] = {"battery", "charger", "computerUSB", "wirelessCharging"};
constexpr const char* kStateNames[] = {"working", "worn", "absent", "dead"};

// What the phone draws while it is on, and what each feed gives (mA).
constexpr double kConsumption = 250;
constexpr double kFeedCurrent[] = {1500, 500, 750};
// A worn battery holds this share of its design capacity, after this many cycles.
constexpr double kWornHealth = 0.68;
constexpr int kWornCycles = 1100;

size_t index(Part part) {
    return static_cast<size_t>(part);
}
size_t index(Source source) {
    return static_cast<size_t>(source);
}
Part partOf(Source source) {
    return static_cast<Part>(index(source) + 1);
}

// Design capacities (mAh) of the supplied models.
double designCapacityOf(const std::string& identifier) {
    if (identifier == "iPhone10,3" || identifier == "iPhone10,6") {
        return 2716;
    }
    if (identifier == "iPhone7,2") {
        return 1810;
    }
    if (identifier == "iPad7,5" || identifier == "iPad7,6") {
        return 8827;
    }
    return 2000;
}

// Newer phones (iPhone10,x and later) have the smart battery gauge.
bool hasSmartBattery(const std::string& identifier) {
    static const std::regex pattern("iPhone(\\d+),(\\d+)");
    std::smatch m;
    return std::regex_search(identifier, m, pattern) && std::stoi(m[1]) > 9;
}

dispatch_queue_t powerQueue() {
    static dispatch_queue_t* queue = new dispatch_queue_t(dispatch_queue_create("SimPower.clock", nullptr));
    return *queue;
}

double now() {
    return DispatchClock::uptime();
}

} // namespace

const char* SimPower::partName(Part part) {
    return kPartNames[index(part)];
}

std::optional<SimPower::Part> SimPower::partNamed(const std::string& name) {
    return sim_faults::named<Part>(kPartNames, name);
}

const char* SimPower::stateName(State state) {
    return kStateNames[static_cast<size_t>(state)];
}

std::optional<SimPower::State> SimPower::stateNamed(const std::string& name) {
    return sim_faults::named<State>(kStateNames, name);
}

std::vector<std::string> SimPower::states(Part part) {
    // Only a battery wears.
    return sim_faults::namesOf<State>(kStateNames,
                                      [part](State state) { return state != State::Worn || part == Part::Battery; });
}

SimPower& SimPower::current() {
    static SimPower* power = new SimPower();
    return *power;
}

SimPower::SimPower() {
    {
        std::lock_guard lock(mutex_);
        loadProfileLocked(SimDevice::current().profileJSON());
    }
    deviceListener_ = SimDevice::current().addListener([this](SimDevice::Change change) {
        if (change == SimDevice::Change::Profile) {
            reset();
        }
    });
    pushToDevice();
}

void SimPower::loadProfileLocked(const std::string& profileText) {
    auto identity = SimDevice::current().identity();
    identifier_ = identity.hardwareIdentifier;
    battery_ = Battery{};
    battery_.present = SimDevice::current().hasBattery();
    battery_.designCapacity = designCapacityOf(identifier_);
    battery_.maxCapacity = std::round(battery_.designCapacity * 0.97);
    battery_.cycleCount = 120;
    double level = SimDevice::current().batteryLevel();
    try {
        json root = json::parse(profileText);
        if (auto b = root.find("battery"); b != root.end() && b->is_object()) {
            battery_.designCapacity = b->value("designCapacity", battery_.designCapacity);
            battery_.maxCapacity = b->value("maxCapacity", std::round(battery_.designCapacity * 0.97));
            battery_.cycleCount = b->value("cycleCount", battery_.cycleCount);
            battery_.temperature = b->value("temperature", battery_.temperature);
        }
    } catch (const std::exception&) {
        // The device checked the profile when it loaded it; a battery section of another shape keeps
        // the defaults.
    }
    battery_.charge = battery_.maxCapacity * std::clamp(level, 0.0, 1.0);
    for (auto& s : states_) {
        s = State::Working;
    }
    if (!battery_.present) {
        states_[index(Part::Battery)] = State::Absent;
    }
    for (auto& p : plugged_) {
        p = false;
    }
    plugHistory_.clear();
    overrides_.clear();
    updatedAt_ = now();
    ++generation_;
    advanceLocked(updatedAt_);
}

void SimPower::reset() {
    {
        std::lock_guard lock(mutex_);
        loadProfileLocked(SimDevice::current().profileJSON());
    }
    pushToDevice();
    notify(Change::Parts);
}

SimPower::State SimPower::state(Part part) const {
    std::lock_guard lock(mutex_);
    return states_[index(part)];
}

void SimPower::setState(Part part, State state) {
    if (state == State::Worn && part != Part::Battery) {
        state = State::Dead; // a worn feed is one that gives nothing
    }
    {
        std::lock_guard lock(mutex_);
        if (states_[index(part)] == state) {
            return;
        }
        advanceLocked(now());
        State before = states_[index(part)];
        states_[index(part)] = state;
        if (part == Part::Battery) {
            double level = battery_.level();
            if (state == State::Worn) {
                battery_.maxCapacity = std::round(battery_.designCapacity * kWornHealth);
                battery_.cycleCount = std::max(battery_.cycleCount, kWornCycles);
            } else if (state == State::Dead) {
                // A dead cell holds nothing: its gauge reads no capacity, no charge and no voltage.
                battery_.maxCapacity = 0;
            } else if (before == State::Worn || before == State::Dead) {
                battery_.maxCapacity = std::round(battery_.designCapacity * 0.97);
            }
            battery_.present = state != State::Absent;
            battery_.charge = state == State::Dead ? 0 : battery_.maxCapacity * level;
        }
        ++generation_;
        advanceLocked(now());
    }
    pushToDevice();
    notify(Change::Parts);
    notify(Change::Registry);
}

bool SimPower::applyFaults(const std::string& text, std::string* error) {
    std::vector<std::pair<Part, State>> changes;
    if (!sim_faults::changes<Part, State>(text, &partNamed, &stateNamed, &states, changes, error)) {
        return false;
    }
    for (auto [part, state] : changes) {
        setState(part, state);
    }
    return true;
}

bool SimPower::loadFaults(const std::string& path, std::string* error) {
    return sim_faults::load(path, error,
                            [this](const std::string& text, std::string* why) { return applyFaults(text, why); });
}

// The clock.

double SimPower::feedCurrentLocked() const {
    double feed = 0;
    for (Source s : {Source::Charger, Source::ComputerUSB, Source::WirelessPad}) {
        if (plugged_[index(s)] && states_[index(partOf(s))] == State::Working) {
            feed = std::max(feed, kFeedCurrent[index(s)]);
        }
    }
    return feed;
}

void SimPower::advanceLocked(double t) {
    double dt = std::max(0.0, t - updatedAt_);
    updatedAt_ = t;
    Battery& b = battery_;
    State bs = states_[index(Part::Battery)];
    double feed = feedCurrentLocked();
    b.externalConnected = feed > 0;
    if (!b.present) {
        b.charging = b.full = false;
        b.amperage = b.voltage = b.charge = 0;
        return;
    }
    if (bs == State::Dead) {
        // Present, but it holds nothing and takes nothing.
        b.charge = 0;
        b.charging = b.full = false;
        b.amperage = 0;
        b.voltage = 0;
        return;
    }
    double before = b.charge;
    double net = feed - kConsumption;
    b.charge = std::clamp(b.charge + net * dt / 3600.0, 0.0, b.maxCapacity);
    if (b.charge < before && b.maxCapacity > 0) {
        // A cycle is a full capacity's worth of discharge, in parts.
        double cycles = (before - b.charge) / b.maxCapacity;
        cycleCarry_ += cycles;
        while (cycleCarry_ >= 1) {
            ++b.cycleCount;
            cycleCarry_ -= 1;
        }
    }
    b.full = b.externalConnected && b.charge >= b.maxCapacity * 0.999;
    b.charging = b.externalConnected && !b.full;
    b.amperage = b.full ? 0 : net;
    b.temperature = (b.charging ? 33.5 : 29.5);
    b.voltage = std::round(3450 + 750 * b.level() + (b.charging ? 100 : 0));
}

void SimPower::scheduleNextStepLocked(double t) {
    // The next whole percent the level crosses (or the moment it becomes full or empty).
    double rate = feedCurrentLocked() - kConsumption; // mA
    Battery& b = battery_;
    if (!b.present || states_[index(Part::Battery)] == State::Dead || b.maxCapacity <= 0 || rate == 0 || b.full ||
        (rate < 0 && b.charge <= 0)) {
        return;
    }
    double percent = b.level() * 100;
    double target = rate > 0 ? std::floor(percent + 1e-9) + 1 : std::ceil(percent - 1e-9) - 1;
    target = std::clamp(target, 0.0, 100.0);
    double mAh = std::fabs(target / 100 * b.maxCapacity - b.charge);
    double seconds = std::max(1.0, mAh / std::fabs(rate) * 3600.0);
    uint64_t generation = ++generation_;
    (void)t;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * 1e9)), powerQueue(), [generation] {
        auto& power = SimPower::current();
        {
            std::lock_guard lock(power.mutex_);
            if (power.generation_ != generation) {
                return;
            }
        }
        power.pushToDevice();
        power.notify(Change::Battery);
        power.notify(Change::Registry);
    });
}

void SimPower::pushToDevice() {
    float level;
    SimDevice::BatteryState state;
    bool present;
    {
        std::lock_guard lock(mutex_);
        double t = now();
        advanceLocked(t);
        present = battery_.present;
        level = static_cast<float>(std::round(battery_.level() * 100) / 100);
        state = !present            ? SimDevice::BatteryState::Unknown
                : battery_.full     ? SimDevice::BatteryState::Full
                : battery_.charging ? SimDevice::BatteryState::Charging
                                    : SimDevice::BatteryState::Unplugged;
        scheduleNextStepLocked(t);
    }
    auto& device = SimDevice::current();
    if (present) {
        device.setBatteryLevel(level);
    }
    device.setBatteryState(state);
}

// Plugging.

void SimPower::plug(Source source) {
    {
        std::lock_guard lock(mutex_);
        if (plugged_[index(source)]) {
            return;
        }
        advanceLocked(now());
        plugged_[index(source)] = true;
        plugHistory_.push_back({source, now(), true});
        ++generation_;
    }
    pushToDevice();
    notify(Change::Plugs);
    notify(Change::Registry);
}

void SimPower::unplug(Source source) {
    {
        std::lock_guard lock(mutex_);
        if (!plugged_[index(source)]) {
            return;
        }
        advanceLocked(now());
        plugged_[index(source)] = false;
        plugHistory_.push_back({source, now(), false});
        ++generation_;
    }
    pushToDevice();
    notify(Change::Plugs);
    notify(Change::Registry);
}

bool SimPower::isPlugged(Source source) const {
    std::lock_guard lock(mutex_);
    return plugged_[index(source)];
}

std::vector<SimPower::PlugEvent> SimPower::plugHistory() const {
    std::lock_guard lock(mutex_);
    return plugHistory_;
}

SimPower::Battery SimPower::battery() {
    std::lock_guard lock(mutex_);
    advanceLocked(now());
    return battery_;
}

void SimPower::setBattery(double designCapacity, double maxCapacity, int cycleCount, double level) {
    {
        std::lock_guard lock(mutex_);
        advanceLocked(now());
        battery_.designCapacity = designCapacity;
        battery_.maxCapacity = maxCapacity;
        battery_.cycleCount = cycleCount;
        battery_.charge = std::max(0.0, maxCapacity) * std::clamp(level, 0.0, 1.0);
        ++generation_;
        advanceLocked(now());
    }
    pushToDevice();
    notify(Change::Battery);
    notify(Change::Registry);
}

// The registry.

std::string SimPower::serviceNameLocked() const {
    return hasSmartBattery(identifier_) ? "AppleSmartBattery" : "AppleARMPMUCharger";
}

json SimPower::propertiesLocked(const std::string& service) const {
    const Battery& b = battery_;
    bool smart = service == "AppleSmartBattery";
    long current = std::lround(b.charge);
    long max = std::lround(b.maxCapacity);
    json p = json::object();
    p["IOClass"] = service;
    p["BatteryInstalled"] = b.present;
    p["ExternalConnected"] = b.externalConnected;
    p["IsCharging"] = b.charging;
    p["FullyCharged"] = b.full;
    p["Voltage"] = std::lround(b.voltage);
    if (smart) {
        // The smart gauge gives its capacities as percentages; the raw figures are in mAh.
        p["CurrentCapacity"] = std::lround(b.level() * 100);
        p["MaxCapacity"] = std::lround(b.health() * 100);
    } else {
        p["CurrentCapacity"] = current;
        p["MaxCapacity"] = max;
    }
    p["AppleRawCurrentCapacity"] = current;
    p["AppleRawMaxCapacity"] = max;
    p["DesignCapacity"] = std::lround(b.designCapacity);
    p["CycleCount"] = b.cycleCount;
    p["Temperature"] = std::lround(b.temperature * 100);
    p["InstantAmperage"] = std::lround(b.amperage);
    p["Amperage"] = std::lround(b.amperage);
    return p;
}

std::vector<std::string> SimPower::services() {
    std::lock_guard lock(mutex_);
    if (!battery_.present) {
        return {};
    }
    return {serviceNameLocked()};
}

std::optional<json> SimPower::serviceProperties(const std::string& name) {
    std::lock_guard lock(mutex_);
    advanceLocked(now());
    for (const auto& [service, properties] : overrides_) {
        if (service == name) {
            return properties;
        }
    }
    if (!battery_.present || name != serviceNameLocked()) {
        return std::nullopt;
    }
    return propertiesLocked(name);
}

void SimPower::overrideServiceProperties(const std::string& name, std::optional<json> properties) {
    {
        std::lock_guard lock(mutex_);
        std::erase_if(overrides_, [&](const auto& o) { return o.first == name; });
        if (properties) {
            overrides_.emplace_back(name, *properties);
        }
    }
    notify(Change::Registry);
}

std::optional<json> SimPower::powerSourceDictionary() {
    std::lock_guard lock(mutex_);
    advanceLocked(now());
    for (const auto& [service, properties] : overrides_) {
        if (service == "AppleARMPMUCharger") {
            return properties;
        }
    }
    if (!battery_.present) {
        return std::nullopt;
    }
    return propertiesLocked(hasSmartBattery(identifier_) ? "AppleSmartBattery" : "AppleARMPMUCharger");
}

uint64_t SimPower::addListener(std::function<void(Change)> listener) {
    return listeners_.add(std::move(listener));
}

void SimPower::removeListener(uint64_t token) {
    listeners_.remove(token);
}

void SimPower::notify(Change change) {
    listeners_.notify(change);
}
