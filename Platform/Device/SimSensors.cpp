#include <Device/SimFaults.h>
#include <Device/SimSensors.h>

#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

namespace {

using json = nlohmann::json;
using Part = SimSensors::Part;
using State = SimSensors::State;

constexpr const char* kPartNames[SimSensors::kPartCount] = {
    "accelerometer", "gyroscope", "magnetometer", "barometer", "proximity", "ambientLight", "gps", "vibrationMotor"};
constexpr const char* kStateNames[] = {"working", "absent", "dead", "stuck", "noisy"};

// The usual noise of each part (one standard deviation, in the part's unit) and the noisy factor.
constexpr double kSigma[SimSensors::kPartCount] = {0.002, 0.002, 0.3, 0.0005, 0, 0, 0.000005, 0};
constexpr double kNoisyFactor = 100;
// Biases of a real part: the gyroscope drifts a little, the magnetometer carries the field of the
// device's own iron.
constexpr SimVector kGyroBias{0.004, -0.003, 0.002};
constexpr SimVector kMagnetometerBias{-12.0, 8.0, 20.0};
constexpr double kSeaLevelPressure = 101.325; // kPa

size_t index(Part part) {
    return static_cast<size_t>(part);
}

uint64_t mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// A standard normal number that depends only on the seed.
double gaussian(uint64_t seed) {
    uint64_t a = mix(seed);
    uint64_t b = mix(a);
    double u1 = (static_cast<double>(a >> 11) + 1.0) / 9007199254740993.0;
    double u2 = static_cast<double>(b >> 11) / 9007199254740992.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
}

double pressureAt(double altitude) {
    return kSeaLevelPressure * std::pow(std::max(0.0, 1 - 2.25577e-5 * altitude), 5.25588);
}

double brightnessFor(double lux) {
    return std::clamp(0.05 + 0.95 * std::log10(1 + std::max(0.0, lux)) / 4.0, 0.0, 1.0);
}

bool sends(State state) {
    return state == State::Working || state == State::Noisy;
}

dispatch_queue_t scriptQueue() {
    static dispatch_queue_t* queue = new dispatch_queue_t(dispatch_queue_create("SimSensors.script", nullptr));
    return *queue;
}

} // namespace

const char* SimSensors::partName(Part part) {
    return kPartNames[index(part)];
}

std::vector<std::string> SimSensors::partNames() {
    return std::vector<std::string>(std::begin(kPartNames), std::end(kPartNames));
}

std::optional<SimSensors::Part> SimSensors::partNamed(const std::string& name) {
    return sim_faults::named<Part>(kPartNames, name);
}

const char* SimSensors::stateName(State state) {
    return kStateNames[static_cast<size_t>(state)];
}

std::optional<SimSensors::State> SimSensors::stateNamed(const std::string& name) {
    return sim_faults::named<State>(kStateNames, name);
}

std::vector<std::string> SimSensors::states(Part) {
    return sim_faults::namesOf<State>(kStateNames);
}

SimSensors& SimSensors::current() {
    static SimSensors* sensors = new SimSensors;
    return *sensors;
}

SimSensors::SimSensors() {
    SimDevice& device = SimDevice::current();
    bool proximity;
    {
        std::lock_guard lock(mutex_);
        loadProfileLocked(device.profileJSON());
        proximity = states_[index(Part::Proximity)] != State::Absent;
    }
    device.setProximityPresent(proximity);
    deviceListener_ = device.addListener([this](SimDevice::Change change) {
        if (change == SimDevice::Change::Profile) {
            reset();
        }
    });
}

double SimSensors::now() const {
    return DispatchClock::uptime();
}

void SimSensors::loadProfileLocked(const std::string& profileText) {
    const SimDevice& device = SimDevice::current();
    states_.fill(State::Working);
    if (device.identity().idiom == SimDevice::Idiom::Pad) {
        states_[index(Part::VibrationMotor)] = State::Absent;
    }
    for (auto& i : injected_) {
        i.clear();
    }
    body_ = SimBody();
    route_.clear();
    position_ = Fix{51.500729, -0.124625, 15, 5, 5, -1, -1};
    baseAltitude_ = 15;
    ambientLux_ = 300;
    autoBrightness_ = true;
    stuckFix_.reset();
    stuckAltitude_.reset();
    servicesEnabled_ = true;
    authorization_ = Authorization::NotDetermined;
    promptAnswer_ = PromptAnswer::Allow;
    promptDelay_ = 1.0;
    promptShowing_ = false;
    ++promptGeneration_;
    motorRuns_.clear();
    try {
        json root = json::parse(profileText);
        // The device reads the proximity sensor from its own section; a fault may have taken it out
        // since, so read the profile's word again.
        auto proximity = root.find("proximity");
        bool hasProximity = proximity != root.end() && proximity->is_object() && proximity->value("present", true);
        states_[index(Part::Proximity)] = hasProximity ? State::Working : State::Absent;
        if (auto s = root.find("sensors"); s != root.end() && s->is_object()) {
            for (auto it = s->begin(); it != s->end(); ++it) {
                auto part = partNamed(it.key());
                if (!part) {
                    continue;
                }
                bool present = true;
                if (it->is_boolean()) {
                    present = it->get<bool>();
                } else if (it->is_object()) {
                    present = it->value("present", true);
                }
                states_[index(*part)] = present ? State::Working : State::Absent;
            }
        }
        if (auto l = root.find("location"); l != root.end() && l->is_object()) {
            position_.latitude = l->value("latitude", position_.latitude);
            position_.longitude = l->value("longitude", position_.longitude);
            position_.altitude = l->value("altitude", position_.altitude);
            position_.horizontalAccuracy = l->value("accuracy", position_.horizontalAccuracy);
            baseAltitude_ = position_.altitude;
            servicesEnabled_ = l->value("servicesEnabled", true);
            std::string status = l->value("authorization", std::string("notDetermined"));
            authorization_ = status == "denied"       ? Authorization::Denied
                             : status == "restricted" ? Authorization::Restricted
                             : status == "always"     ? Authorization::Always
                             : status == "whenInUse"  ? Authorization::WhenInUse
                                                      : Authorization::NotDetermined;
        }
    } catch (const std::exception&) {
        // The device checked the profile when it loaded it; sections of other shapes keep defaults.
    }
    for (size_t i = 0; i < kPartCount; ++i) {
        fitted_[i] = states_[i] != State::Absent;
    }
}

bool SimSensors::fitted(Part part) const {
    std::lock_guard lock(mutex_);
    return fitted_[index(part)];
}

void SimSensors::reset() {
    std::string profile = SimDevice::current().profileJSON();
    bool proximity;
    {
        std::lock_guard lock(mutex_);
        loadProfileLocked(profile);
        proximity = states_[index(Part::Proximity)] != State::Absent;
    }
    SimDevice::current().setProximityPresent(proximity);
    notify(Change::Parts);
    notify(Change::LocationAuthorization);
}

SimSensors::State SimSensors::state(Part part) const {
    std::lock_guard lock(mutex_);
    return states_[index(part)];
}

void SimSensors::setState(Part part, State state) {
    {
        std::lock_guard lock(mutex_);
        if (states_[index(part)] == state) {
            return;
        }
        if (state == State::Stuck) {
            double t = now();
            stuck_[index(part)] = trueReadingLocked(part, t);
            if (part == Part::GPS) {
                stuckFix_ = trueFixLocked(t);
            }
        }
        states_[index(part)] = state;
    }
    if (part == Part::Proximity) {
        SimDevice::current().setProximityPresent(state != State::Absent);
    }
    notify(Change::Parts);
}

bool SimSensors::applyFaults(const std::string& text, std::string* error) {
    std::vector<std::pair<Part, State>> changes;
    if (!sim_faults::changes<Part, State>(text, &partNamed, &stateNamed, &states, changes, error)) {
        return false;
    }
    for (auto [part, state] : changes) {
        setState(part, state);
    }
    return true;
}

bool SimSensors::loadFaults(const std::string& path, std::string* error) {
    return sim_faults::load(path, error,
                            [this](const std::string& text, std::string* why) { return applyFaults(text, why); });
}

// The body.

void SimSensors::place(const SimQuaternion& attitude) {
    std::lock_guard lock(mutex_);
    body_.place(attitude, now());
}

void SimSensors::hold(double duration) {
    std::lock_guard lock(mutex_);
    body_.hold(duration, now());
}

void SimSensors::lieFlat(double duration, bool screenUp) {
    std::lock_guard lock(mutex_);
    body_.lieFlat(duration, now(), screenUp);
}

void SimSensors::pickUp(double duration) {
    std::lock_guard lock(mutex_);
    body_.pickUp(duration, now());
}

void SimSensors::rotate(const SimVector& deviceAxis, double degrees, double duration) {
    std::lock_guard lock(mutex_);
    body_.rotate(deviceAxis, degrees, duration, now());
}

void SimSensors::turnToHeading(double heading, double duration) {
    std::lock_guard lock(mutex_);
    body_.turnToHeading(heading, duration, now());
}

void SimSensors::shake(const SimVector& deviceAxis, double amplitude, double frequency, double duration) {
    std::lock_guard lock(mutex_);
    body_.shake(deviceAxis, amplitude, frequency, duration, now());
}

void SimSensors::walk(double duration) {
    std::lock_guard lock(mutex_);
    body_.walk(duration, now());
}

void SimSensors::climb(double metres, double duration) {
    std::lock_guard lock(mutex_);
    body_.climb(metres, duration, now());
}

SimBodyState SimSensors::bodyState() {
    std::lock_guard lock(mutex_);
    return body_.stateAt(now());
}

double SimSensors::scriptEnd() {
    std::lock_guard lock(mutex_);
    return body_.scriptEnd(now());
}

SimVector SimSensors::earthField() const {
    std::lock_guard lock(mutex_);
    return earthField_;
}

void SimSensors::setEarthField(const SimVector& field) {
    std::lock_guard lock(mutex_);
    earthField_ = field;
}

void SimSensors::setDeclination(double degrees) {
    std::lock_guard lock(mutex_);
    declination_ = std::isfinite(degrees) ? degrees : 0;
}

// Readings.

SimVector SimSensors::noise(Part part, double time, double sigma) const {
    if (sigma == 0) {
        return {};
    }
    // The noise is a function of the reading's time on the monotonic clock. A virtual clock started
    // from real time starts that reading at a fixed value (not the machine's uptime), so every run on
    // the virtual clock (a test, a session of the simulator, whatever the day) sees the same noise at
    // the same moment of its run.
    uint64_t seed = (static_cast<uint64_t>(std::llround(time * 1e6)) * 8 + index(part)) * 4;
    return {sigma * gaussian(seed), sigma * gaussian(seed + 1), sigma * gaussian(seed + 2)};
}

double SimSensors::sigmaOf(Part part) const {
    double sigma = kSigma[index(part)];
    return states_[index(part)] == State::Noisy ? sigma * kNoisyFactor : sigma;
}

SimVector SimSensors::trueReadingLocked(Part part, double time) {
    SimBodyState body = body_.stateAt(time);
    SimQuaternion toDevice = body.attitude.conjugate();
    switch (part) {
    case Part::Accelerometer:
        return body.userAcceleration + toDevice.rotate({0, 0, -1});
    case Part::Gyroscope:
        return body.rotationRate + kGyroBias;
    case Part::Magnetometer:
        return toDevice.rotate(earthField_) + kMagnetometerBias;
    case Part::Barometer: {
        double height = body.height;
        return {pressureAt(baseAltitude_ + height), height, 0};
    }
    default:
        return {};
    }
}

std::optional<SimVector> SimSensors::readLocked(Part part, double time) {
    switch (states_[index(part)]) {
    case State::Absent:
    case State::Dead:
        return std::nullopt;
    case State::Stuck:
        return stuck_[index(part)];
    case State::Working:
    case State::Noisy:
        break;
    }
    return trueReadingLocked(part, time) + noise(part, time, sigmaOf(part));
}

std::optional<SimVector> SimSensors::accelerometer(double time) {
    std::lock_guard lock(mutex_);
    return readLocked(Part::Accelerometer, time);
}

std::optional<SimVector> SimSensors::gyroscope(double time) {
    std::lock_guard lock(mutex_);
    return readLocked(Part::Gyroscope, time);
}

std::optional<SimVector> SimSensors::magnetometer(double time) {
    std::lock_guard lock(mutex_);
    return readLocked(Part::Magnetometer, time);
}

std::optional<SimSensors::Motion> SimSensors::deviceMotion(double time) {
    std::lock_guard lock(mutex_);
    auto accel = readLocked(Part::Accelerometer, time);
    auto gyro = readLocked(Part::Gyroscope, time);
    if (!accel || !gyro) {
        return std::nullopt;
    }
    // The fusion splits what the accelerometer felt into gravity (along the attitude) and the
    // rest; a stuck part freezes the attitude it reports.
    SimBodyState body = body_.stateAt(time);
    Motion m;
    bool frozen =
        states_[index(Part::Accelerometer)] == State::Stuck || states_[index(Part::Gyroscope)] == State::Stuck;
    if (frozen) {
        m.gravity = accel->normalized();
        m.userAcceleration = {};
        m.rotationRate = *gyro - kGyroBias;
        // The attitude that puts this gravity straight down, facing north.
        SimVector down{0, 0, -1};
        SimVector axis = m.gravity.cross(down);
        double angle = std::acos(std::clamp(m.gravity.dot(down), -1.0, 1.0));
        m.attitude = axis.length() > 1e-9 ? SimQuaternion::fromAxisAngle(axis, angle) : SimQuaternion{};
    } else {
        m.attitude = body.attitude;
        m.gravity = body.attitude.conjugate().rotate({0, 0, -1});
        m.userAcceleration = *accel - m.gravity;
        m.rotationRate = *gyro - kGyroBias;
    }
    if (auto field = readLocked(Part::Magnetometer, time)) {
        m.magneticField = *field - kMagnetometerBias;
    }
    return m;
}

std::optional<SimSensors::Heading> SimSensors::heading(double time) {
    std::lock_guard lock(mutex_);
    auto accel = readLocked(Part::Accelerometer, time);
    auto field = readLocked(Part::Magnetometer, time);
    if (!accel || !field) {
        return std::nullopt;
    }
    Heading h;
    h.field = *field - kMagnetometerBias;
    // With a working gyroscope the fusion knows where down is even while the body accelerates;
    // without one the compass takes the accelerometer's word.
    SimVector down = accel->normalized();
    if (sends(states_[index(Part::Gyroscope)]) && sends(states_[index(Part::Accelerometer)])) {
        down = body_.stateAt(time).attitude.conjugate().rotate({0, 0, -1});
    }
    SimVector east = down.cross(h.field).normalized();
    SimVector north = east.cross(down);
    SimVector forward{0, 1, 0};
    if (std::abs(forward.dot(down)) > 0.8) {
        forward = {0, 0, -1}; // standing up: the back of the device points the way
    }
    double degrees = std::atan2(forward.dot(east), forward.dot(north)) * 180 / std::numbers::pi;
    if (!std::isfinite(degrees)) {
        degrees = 0;
    }
    h.magneticHeading = std::fmod(degrees + 360, 360);
    h.trueHeading = std::fmod(h.magneticHeading + declination_ + 360, 360);
    h.accuracy = states_[index(Part::Magnetometer)] == State::Noisy ? 45 : 5;
    return h;
}

std::optional<SimSensors::Altitude> SimSensors::altimeter(double time) {
    std::lock_guard lock(mutex_);
    auto reading = readLocked(Part::Barometer, time);
    if (!reading) {
        return std::nullopt;
    }
    return Altitude{reading->x, reading->y};
}

void SimSensors::inject(Part part, std::vector<Injected> samples, bool burst) {
    std::lock_guard lock(mutex_);
    auto& queue = injected_[index(part)];
    queue.insert(queue.end(), samples.begin(), samples.end());
    burst_[index(part)] = burst;
}

std::vector<SimSensors::Injected> SimSensors::takeInjected(Part part) {
    std::lock_guard lock(mutex_);
    auto& queue = injected_[index(part)];
    std::vector<Injected> out;
    if (queue.empty()) {
        return out;
    }
    if (burst_[index(part)]) {
        out.swap(queue);
    } else {
        out.push_back(queue.front());
        queue.erase(queue.begin());
    }
    return out;
}

// Proximity and light.

void SimSensors::coverProximity(bool covered) {
    if (!sends(state(Part::Proximity))) {
        return;
    }
    SimDevice::current().setProximityCovered(covered);
}

void SimSensors::scriptProximity(const std::vector<std::pair<double, bool>>& steps) {
    double at = 0;
    for (auto [delay, covered] : steps) {
        at += std::isfinite(delay) ? std::max(0.0, delay) : 0.0;
        bool c = covered;
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(at * 1e9)), scriptQueue(),
                       [c] { SimSensors::current().coverProximity(c); });
    }
}

double SimSensors::ambientLight() const {
    std::lock_guard lock(mutex_);
    return ambientLux_;
}

void SimSensors::setAmbientLight(double lux) {
    if (!std::isfinite(lux)) {
        return;
    }
    bool follow;
    {
        std::lock_guard lock(mutex_);
        ambientLux_ = std::max(0.0, lux);
        follow = autoBrightness_ && sends(states_[index(Part::AmbientLight)]);
    }
    if (follow) {
        SimDevice::current().setBrightness(brightnessFor(lux));
    }
}

void SimSensors::setAutoBrightness(bool on) {
    std::lock_guard lock(mutex_);
    autoBrightness_ = on;
}

// Location.

void SimSensors::setRoute(std::vector<Waypoint> route) {
    std::lock_guard lock(mutex_);
    std::stable_sort(route.begin(), route.end(), [](const auto& a, const auto& b) { return a.at < b.at; });
    route_ = std::move(route);
    routeStart_ = now();
}

void SimSensors::setPosition(const Fix& fix) {
    std::lock_guard lock(mutex_);
    route_.clear();
    position_ = fix;
}

std::optional<SimSensors::Fix> SimSensors::trueFixLocked(double time) const {
    if (route_.empty()) {
        return position_;
    }
    double t = time - routeStart_;
    if (t <= route_.front().at) {
        return route_.front().fix;
    }
    for (size_t i = 1; i < route_.size(); ++i) {
        const auto& a = route_[i - 1];
        const auto& b = route_[i];
        if (t <= b.at) {
            double span = b.at - a.at;
            double f = span > 0 ? (t - a.at) / span : 1.0;
            Fix fix = b.fix;
            fix.latitude = a.fix.latitude + (b.fix.latitude - a.fix.latitude) * f;
            fix.longitude = a.fix.longitude + (b.fix.longitude - a.fix.longitude) * f;
            fix.altitude = a.fix.altitude + (b.fix.altitude - a.fix.altitude) * f;
            fix.horizontalAccuracy =
                a.fix.horizontalAccuracy + (b.fix.horizontalAccuracy - a.fix.horizontalAccuracy) * f;
            if (span > 0) {
                double north = (b.fix.latitude - a.fix.latitude) * 111320.0;
                double east =
                    (b.fix.longitude - a.fix.longitude) * 111320.0 * std::cos(a.fix.latitude * std::numbers::pi / 180);
                fix.speed = std::hypot(north, east) / span;
                fix.course = std::fmod(std::atan2(east, north) * 180 / std::numbers::pi + 360, 360);
            }
            return fix;
        }
    }
    return route_.back().fix;
}

std::optional<SimSensors::Fix> SimSensors::locationFix(double time) {
    std::lock_guard lock(mutex_);
    switch (states_[index(Part::GPS)]) {
    case State::Absent:
    case State::Dead:
        return std::nullopt;
    case State::Stuck:
        return stuckFix_;
    case State::Working:
    case State::Noisy:
        break;
    }
    auto fix = trueFixLocked(time);
    if (fix && states_[index(Part::GPS)] == State::Noisy) {
        SimVector n = noise(Part::GPS, time, kSigma[index(Part::GPS)] * kNoisyFactor * 20);
        fix->latitude += n.x;
        fix->longitude += n.y;
        fix->horizontalAccuracy = std::max(fix->horizontalAccuracy, 1500.0);
    }
    return fix;
}

double SimSensors::timeToFirstFix() const {
    std::lock_guard lock(mutex_);
    return timeToFirstFix_;
}

bool SimSensors::locationServicesEnabled() const {
    std::lock_guard lock(mutex_);
    return servicesEnabled_;
}

void SimSensors::setLocationServicesEnabled(bool enabled) {
    {
        std::lock_guard lock(mutex_);
        if (servicesEnabled_ == enabled) {
            return;
        }
        servicesEnabled_ = enabled;
    }
    notify(Change::LocationAuthorization);
}

SimSensors::Authorization SimSensors::locationAuthorization() const {
    std::lock_guard lock(mutex_);
    return authorization_;
}

void SimSensors::setLocationAuthorization(Authorization status) {
    {
        std::lock_guard lock(mutex_);
        if (authorization_ == status) {
            return;
        }
        authorization_ = status;
        promptShowing_ = false;
    }
    notify(Change::LocationAuthorization);
}

void SimSensors::requestLocationAuthorization() {
    PromptAnswer answer;
    double delay;
    uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (authorization_ != Authorization::NotDetermined || promptShowing_) {
            return;
        }
        promptShowing_ = true;
        answer = promptAnswer_;
        delay = promptDelay_;
        generation = ++promptGeneration_;
    }
    notify(Change::LocationPrompt);
    if (answer == PromptAnswer::Wait) {
        return;
    }
    bool allow = answer == PromptAnswer::Allow;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * 1e9)), scriptQueue(),
                   [generation, allow] {
                       SimSensors& sensors = SimSensors::current();
                       {
                           std::lock_guard lock(sensors.mutex_);
                           if (sensors.promptGeneration_ != generation) {
                               return;
                           }
                       }
                       sensors.answerLocationPrompt(allow);
                   });
}

void SimSensors::setLocationPromptAnswer(PromptAnswer answer, double delay) {
    std::lock_guard lock(mutex_);
    promptAnswer_ = answer;
    promptDelay_ = std::isfinite(delay) ? std::max(0.0, delay) : 0.0;
}

bool SimSensors::locationPromptShowing() const {
    std::lock_guard lock(mutex_);
    return promptShowing_;
}

void SimSensors::answerLocationPrompt(bool allow) {
    {
        std::lock_guard lock(mutex_);
        if (!promptShowing_) {
            return;
        }
        promptShowing_ = false;
        ++promptGeneration_;
        authorization_ = allow ? Authorization::WhenInUse : Authorization::Denied;
    }
    notify(Change::LocationAuthorization);
}

// The vibration motor.

bool SimSensors::vibrate(double duration) {
    std::lock_guard lock(mutex_);
    double t = now();
    bool shook = sends(states_[index(Part::VibrationMotor)]) && duration > 0 && std::isfinite(duration);
    if (shook) {
        body_.vibrate(duration, t);
    }
    motorRuns_.push_back({t, std::isfinite(duration) ? duration : 0.0, shook});
    return shook;
}

std::vector<SimSensors::MotorRun> SimSensors::motorRuns() const {
    std::lock_guard lock(mutex_);
    return motorRuns_;
}

// Listeners.

uint64_t SimSensors::addListener(std::function<void(Change)> listener) {
    return listeners_.add(std::move(listener));
}

void SimSensors::removeListener(uint64_t token) {
    listeners_.remove(token);
}

void SimSensors::notify(Change change) {
    listeners_.notify(change);
}
