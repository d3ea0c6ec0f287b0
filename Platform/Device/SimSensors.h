// SimSensors: the motion and environment side of the simulated device. It owns the rigid body
// (SimBody) that every motion manager reads, the Earth's gravity and magnetic field, the air
// pressure over the body's height, the proximity sensor's cover, the ambient light behind
// automatic brightness, the location fix along a route, and the vibration motor. Each part has a
// state (working, absent, dead, stuck, noisy) that shapes what the platform sees:
//   - absent: the platform reports the part unavailable;
//   - dead:   the part is there, but no sample ever comes;
//   - stuck:  samples come, always with the value the part had when it stuck;
//   - noisy:  samples come with a hundred times the part's usual noise.
// A working sensor has a small noise and (gyroscope, magnetometer) a bias, as real parts do.
// Readings are deterministic: the noise of a sample depends only on the part and its instant.
//
// The parts come from the device profile's "sensors" section and from a faults overlay (a JSON
// object of part names and states, see docs/device.md). Times are platform clock uptimes in
// seconds (DispatchClock::uptime()), so tests run all of it on virtual time.
//
// Thread-safe. Listeners run on the thread that made the change, without a lock held.
#pragma once

#include <Device/SimListeners.h>

#include <Device/SimBody.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SimSensors {
public:
    enum class Part { Accelerometer, Gyroscope, Magnetometer, Barometer, Proximity, AmbientLight, GPS, VibrationMotor };
    static constexpr size_t kPartCount = 8;
    enum class State { Working, Absent, Dead, Stuck, Noisy };

    // Part and state names of profiles and fault overlays: "accelerometer", "gyroscope",
    // "magnetometer", "barometer", "proximity", "ambientLight", "gps", "vibrationMotor"; "working",
    // "absent", "dead", "stuck", "noisy".
    static const char* partName(Part part);
    static std::optional<Part> partNamed(const std::string& name);
    // Every part name of this domain, for a check of a faults overlay's names across all domains.
    static std::vector<std::string> partNames();
    static const char* stateName(State state);
    static std::optional<State> stateNamed(const std::string& name);
    // The names of the states a faults overlay may give the part.
    static std::vector<std::string> states(Part part);

    // The platform's numbering of location authorisation (CLAuthorizationStatus).
    enum class Authorization { NotDetermined = 0, Restricted = 1, Denied = 2, Always = 3, WhenInUse = 4 };
    // How the operator answers the location permission prompt.
    enum class PromptAnswer { Wait, Allow, Deny };

    enum class Change { Parts, LocationAuthorization, LocationPrompt };

    struct Motion {
        SimQuaternion attitude;     // device to world (x magnetic north, z up)
        SimVector gravity;          // device frame, g
        SimVector userAcceleration; // device frame, g
        SimVector rotationRate;     // device frame, rad/s, bias removed
        SimVector magneticField;    // device frame, µT, bias removed
    };
    struct Heading {
        double magneticHeading = 0; // degrees, 0..360
        double trueHeading = 0;
        double accuracy = 0; // degrees
        SimVector field;     // device frame, µT
    };
    struct Altitude {
        double pressure = 0; // kPa
        double height = 0;   // metres above where the body started
    };
    struct Fix {
        double latitude = 0, longitude = 0, altitude = 0;
        double horizontalAccuracy = 5, verticalAccuracy = 5;
        double speed = -1, course = -1;
    };
    struct Waypoint {
        double at = 0; // seconds after the route was set
        Fix fix;
    };
    // A sample handed to the platform in place of the model's own: a stream with NaN, infinite
    // values, times out of order, bursts.
    struct Injected {
        double timestamp = 0; // uptime seconds
        SimVector value;
    };
    struct MotorRun {
        double start = 0;
        double duration = 0;
        bool shook = false; // the motor worked and shook the body
    };

    static SimSensors& current();

    // Parts.
    State state(Part part) const;
    bool isPresent(Part part) const { return state(part) != State::Absent; }
    void setState(Part part, State state);
    // Whether the device is built with the part (its profile: a tablet has no vibration motor),
    // whatever a faults overlay did to it since.
    bool fitted(Part part) const;
    // A faults overlay: {"gyroscope": "stuck", ...}. Names of other components are ignored (they
    // belong to other parts of the device); an unknown state is an error and changes nothing.
    bool applyFaults(const std::string& json, std::string* error = nullptr);
    bool loadFaults(const std::string& path, std::string* error = nullptr);
    // Back to the profile in force: parts, body at rest flat, environment, location.
    void reset();

    // The body: scripted motions, each after the one before (see SimBody).
    void place(const SimQuaternion& attitude);
    void hold(double duration);
    void lieFlat(double duration, bool screenUp = true);
    void pickUp(double duration);
    void rotate(const SimVector& deviceAxis, double degrees, double duration);
    void turnToHeading(double heading, double duration);
    void shake(const SimVector& deviceAxis, double amplitude, double frequency, double duration);
    void walk(double duration);
    void climb(double metres, double duration);
    // What the body really does now (the record: tests and the operator read it).
    SimBodyState bodyState();
    double scriptEnd();

    // The Earth's field in the world frame (µT) and the declination of true north (degrees).
    SimVector earthField() const;
    void setEarthField(const SimVector& field);
    void setDeclination(double degrees);

    // Readings of the sensors at `time`; nothing when the part is absent or dead.
    std::optional<SimVector> accelerometer(double time); // g
    std::optional<SimVector> gyroscope(double time);     // rad/s, with the part's bias
    std::optional<SimVector> magnetometer(double time);  // µT, with the part's bias
    std::optional<Motion> deviceMotion(double time);     // needs accelerometer and gyroscope
    std::optional<Heading> heading(double time);         // from magnetometer and accelerometer
    std::optional<Altitude> altimeter(double time);

    // Samples to hand out in place of the model's: one at each of the part's next samples, or all
    // at the next one (`burst`).
    void inject(Part part, std::vector<Injected> samples, bool burst = false);
    // The injected samples due at this sample (empty: use the model).
    std::vector<Injected> takeInjected(Part part);

    // The proximity sensor: the operator's hand over it (a working sensor reports it), and a
    // script of covers: each step `delay` seconds after the one before.
    void coverProximity(bool covered);
    void scriptProximity(const std::vector<std::pair<double, bool>>& steps);
    // Light falling on the front (lux). With automatic brightness on and a working light sensor,
    // the screen brightness follows it.
    double ambientLight() const;
    void setAmbientLight(double lux);
    void setAutoBrightness(bool on);

    // Location. The route's fixes are interpolated over time; without a route the fix stays at
    // the profile's position. The first fix comes `timeToFirstFix` seconds after updates start.
    void setRoute(std::vector<Waypoint> route);
    void setPosition(const Fix& fix);
    std::optional<Fix> locationFix(double time);
    double timeToFirstFix() const;
    bool locationServicesEnabled() const;
    void setLocationServicesEnabled(bool enabled);
    Authorization locationAuthorization() const;
    void setLocationAuthorization(Authorization status);
    // The platform asks for when-in-use permission: shows the prompt when not determined. The
    // operator's answer comes after `delay` seconds (Allow, Deny) or by answerLocationPrompt.
    void requestLocationAuthorization();
    void setLocationPromptAnswer(PromptAnswer answer, double delay = 1.0);
    bool locationPromptShowing() const;
    void answerLocationPrompt(bool allow);

    // The vibration motor runs for `duration`; answers whether it shook the body.
    bool vibrate(double duration);
    std::vector<MotorRun> motorRuns() const;

    uint64_t addListener(std::function<void(Change)> listener);
    void removeListener(uint64_t token);

private:
    SimSensors();
    void loadProfileLocked(const std::string& profileText);
    void notify(Change change);
    double now() const;
    SimVector noise(Part part, double time, double sigma) const;
    double sigmaOf(Part part) const;
    std::optional<SimVector> readLocked(Part part, double time);
    SimVector trueReadingLocked(Part part, double time);
    std::optional<Fix> trueFixLocked(double time) const;

    mutable std::mutex mutex_;
    std::array<State, kPartCount> states_{};
    std::array<bool, kPartCount> fitted_{};
    std::array<SimVector, kPartCount> stuck_{};
    std::array<std::vector<Injected>, kPartCount> injected_{};
    std::array<bool, kPartCount> burst_{};
    SimBody body_;
    SimVector earthField_{20.0, 0.0, -44.0};
    double declination_ = 0;
    double baseAltitude_ = 0;
    double ambientLux_ = 300;
    bool autoBrightness_ = true;
    std::vector<Waypoint> route_;
    double routeStart_ = 0;
    Fix position_;
    std::optional<Fix> stuckFix_;
    std::optional<Altitude> stuckAltitude_;
    double timeToFirstFix_ = 1.0;
    bool servicesEnabled_ = true;
    Authorization authorization_ = Authorization::NotDetermined;
    PromptAnswer promptAnswer_ = PromptAnswer::Allow;
    double promptDelay_ = 1.0;
    bool promptShowing_ = false;
    uint64_t promptGeneration_ = 0;
    std::vector<MotorRun> motorRuns_;
    SimListeners<Change> listeners_;
    uint64_t deviceListener_ = 0;
};
