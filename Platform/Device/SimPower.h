// SimPower: the power side of the simulated device. A battery that ages (its full-charge capacity
// against its design capacity, its charge cycles) and charges or discharges on the platform clock,
// and three ways of feeding it that a person plugs and unplugs: a wall charger, a computer's USB
// port and a wireless charging pad. The battery's level and state go to SimDevice (and from there
// to UIDevice) as they change.
//
// The system's power-service registry is modelled here too: services by name ("AppleSmartBattery"
// on newer phones, "AppleARMPMUCharger" on older ones), each present or absent, each with a
// property dictionary (JSON here; Platform/IOKit hands it out as NSDictionary): voltage in mV,
// capacities in mAh, design capacity, cycle count, temperature in hundredths of a degree, instant
// amperage in mA. Tests may replace a service's properties to play a registry that reports garbage.
//
// Parts and their states come from the profile's "battery" section and from a faults overlay
// ({"battery": "worn", "charger": "dead", ...}; see docs/device.md).
//
// Thread-safe. Listeners run on the thread that made the change, without a lock held.
#pragma once

#include <Device/SimListeners.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

class SimPower {
public:
    // What feeds the battery.
    enum class Source { Charger, ComputerUSB, WirelessPad };
    // Parts: the battery and the three feeds.
    enum class Part { Battery, Charger, ComputerUSB, WirelessPad };
    // working; worn (battery only: it holds much less than it was made for); absent; dead (present
    // but gives or takes no power; a dead battery's gauge reads no capacity, charge or voltage).
    enum class State { Working, Worn, Absent, Dead };
    enum class Change { Battery, Registry, Plugs, Parts };

    static const char* partName(Part part);
    static std::optional<Part> partNamed(const std::string& name);
    static const char* stateName(State state);
    static std::optional<State> stateNamed(const std::string& name);
    // The names of the states a faults overlay may give the part.
    static std::vector<std::string> states(Part part);

    // The battery as it really is (the record tests and the operator read).
    struct Battery {
        bool present = true;
        double designCapacity = 0; // mAh
        double maxCapacity = 0;    // mAh it holds when full now
        double charge = 0;         // mAh in it now
        int cycleCount = 0;
        double temperature = 29.5; // °C
        double amperage = 0;       // mA, positive while charging
        double voltage = 0;        // mV
        bool externalConnected = false;
        bool charging = false;
        bool full = false;
        double level() const { return maxCapacity > 0 ? charge / maxCapacity : 0; }
        double health() const { return designCapacity > 0 ? maxCapacity / designCapacity : 0; }
    };

    static SimPower& current();

    // Parts.
    State state(Part part) const;
    void setState(Part part, State state);
    // A faults overlay; names of other components are left to them; an unknown state of one of these
    // parts is an error and changes nothing.
    bool applyFaults(const std::string& json, std::string* error = nullptr);
    bool loadFaults(const std::string& path, std::string* error = nullptr);
    // Back to the profile in force: a battery as the profile describes it, nothing plugged (and no
    // history of plugging), the registry's own properties.
    void reset();

    // Plugging.
    void plug(Source source);
    void unplug(Source source);
    bool isPlugged(Source source) const;
    // The feeds that are plugged, as (source, time plugged) in the order they were plugged.
    struct PlugEvent {
        Source source;
        double at = 0;
        bool plugged = true;
    };
    std::vector<PlugEvent> plugHistory() const;

    // The battery now (moved on to the clock's time).
    Battery battery();
    // Sets the battery's figures (tests, scenarios): capacities in mAh.
    void setBattery(double designCapacity, double maxCapacity, int cycleCount, double level);

    // The registry. Service names present now, and the properties of one (nothing when absent).
    std::vector<std::string> services();
    std::optional<nlohmann::json> serviceProperties(const std::string& name);
    // Replaces the properties a service reports (garbage for tests); null: back to the model's own.
    void overrideServiceProperties(const std::string& name, std::optional<nlohmann::json> properties);
    // The power-source dictionary the system builds for battery monitoring (older phones' charger
    // service); nothing without a battery.
    std::optional<nlohmann::json> powerSourceDictionary();

    uint64_t addListener(std::function<void(Change)> listener);
    void removeListener(uint64_t token);

private:
    SimPower();
    void loadProfileLocked(const std::string& profileText);
    // Moves the model to the clock's time; answers whether the level or state as the device shows
    // them changed.
    void advanceLocked(double now);
    double feedCurrentLocked() const;
    void pushToDevice();
    void scheduleNextStepLocked(double now);
    nlohmann::json propertiesLocked(const std::string& service) const;
    std::string serviceNameLocked() const;
    void notify(Change change);

    mutable std::mutex mutex_;
    State states_[4] = {};
    Battery battery_;
    std::string identifier_;
    double updatedAt_ = 0;
    double cycleCarry_ = 0; // discharge towards the next cycle, in full capacities
    bool plugged_[3] = {};
    std::vector<PlugEvent> plugHistory_;
    std::vector<std::pair<std::string, nlohmann::json>> overrides_;
    uint64_t generation_ = 0;
    SimListeners<Change> listeners_;
    uint64_t deviceListener_ = 0;
};
