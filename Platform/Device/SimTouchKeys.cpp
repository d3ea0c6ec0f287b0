// SimTouchKeys: the digitizer, the keys and the ring/silent switch of the simulated device.
#include <Device/SimAudio.h>
#include <Device/SimDevice.h>
#include <Device/SimFaults.h>
#include <Device/SimTouchKeys.h>
#include <Dispatch/Clock.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

using json = nlohmann::json;

namespace {

size_t keyIndex(SimTouchKeys::Key key) {
    return static_cast<size_t>(key);
}

std::optional<SimTouchKeys::KeyState> keyStateNamed(const std::string& name) {
    if (name == "working") {
        return SimTouchKeys::KeyState::Working;
    }
    if (name == "dead") {
        return SimTouchKeys::KeyState::Dead;
    }
    if (name == "stuck") {
        return SimTouchKeys::KeyState::Stuck;
    }
    return std::nullopt;
}

std::string stateText(const nlohmann::ordered_json& value, const std::string& part) {
    if (!value.is_string()) {
        throw std::invalid_argument("the state of \"" + part + "\" is not a text");
    }
    return value.get<std::string>();
}

[[noreturn]] void unknownState(const std::string& state, const std::string& part) {
    throw std::invalid_argument(sim_faults::unknownState(part, state, SimTouchKeys::states(part)));
}

// A dead area: [x, y, width, height] in screen points, all finite, width and height positive.
SimTouchKeys::Rect rectFrom(const nlohmann::ordered_json& value) {
    if (!value.is_array() || value.size() != 4) {
        throw std::invalid_argument("a dead screen area is [x, y, width, height]");
    }
    double v[4];
    for (size_t i = 0; i < 4; ++i) {
        if (!value[i].is_number() || !std::isfinite(value[i].get<double>())) {
            throw std::invalid_argument("a dead screen area holds four finite numbers");
        }
        v[i] = value[i].get<double>();
    }
    if (v[2] <= 0 || v[3] <= 0) {
        throw std::invalid_argument("a dead screen area has a positive width and height");
    }
    return {v[0], v[1], v[2], v[3]};
}

} // namespace

SimTouchKeys& SimTouchKeys::current() {
    static SimTouchKeys* keys = new SimTouchKeys;
    return *keys;
}

SimTouchKeys::SimTouchKeys() {
    SimDevice& device = SimDevice::current();
    {
        std::lock_guard lock(mutex_);
        loadProfileLocked(device.profileJSON());
    }
    deviceListener_ = device.addListener([this](SimDevice::Change change) {
        if (change == SimDevice::Change::Profile) {
            reset();
        }
    });
}

const std::vector<std::string>& SimTouchKeys::partNames() {
    static const std::vector<std::string> names = {"digitizer",     "screenArea", "forceTouch", "volumeUpKey",
                                                   "volumeDownKey", "powerKey",   "homeKey"};
    return names;
}

std::vector<std::string> SimTouchKeys::states(const std::string& part) {
    if (part == "digitizer") {
        return {"working", "dead", "singleTouch"};
    }
    if (part == "screenArea") {
        return {"working", "dead", "[x, y, width, height]", "a list of [x, y, width, height]"};
    }
    if (part == "forceTouch") {
        return {"working", "dead"};
    }
    for (Key key : {Key::VolumeUp, Key::VolumeDown, Key::Power, Key::Home}) {
        if (part == keyPartName(key)) {
            return {"working", "dead", "stuck"};
        }
    }
    return {}; // another component's part
}

const char* SimTouchKeys::keyPartName(Key key) {
    switch (key) {
    case Key::VolumeUp:
        return "volumeUpKey";
    case Key::VolumeDown:
        return "volumeDownKey";
    case Key::Power:
        return "powerKey";
    case Key::Home:
        return "homeKey";
    }
    return "";
}

bool SimTouchKeys::fitted(const std::string& part) const {
    std::lock_guard lock(mutex_);
    if (part == "homeKey") {
        return homeButton_;
    }
    if (part == "forceTouch") {
        return forceTouch_;
    }
    return true;
}

void SimTouchKeys::loadProfileLocked(const std::string& profileText) {
    const SimDevice& device = SimDevice::current();
    auto screen = device.screen();
    screenWidth_ = screen.width;
    screenHeight_ = screen.height;
    forceTouch_ = screen.forceTouch;
    pad_ = device.identity().idiom == SimDevice::Idiom::Pad;
    // Phones with the tall screens have no Home button.
    bool tall = (screen.width == 375 && screen.height == 812) || (screen.width == 414 && screen.height == 896);
    homeButton_ = !tall;
    digitizer_ = DigitizerState::Working;
    deadAreas_.clear();
    forceState_ = ForceState::Working;
    ghosts_.clear();
    for (auto& k : keys_) {
        k = KeyState::Working;
    }
    locked_ = false;
    lockOrder_ = LockOrder::NotificationFirst;
    lockDelay_ = 0.5;
    presses_.clear();
    try {
        json root = json::parse(profileText);
        if (auto h = root.find("homeButton"); h != root.end() && h->is_boolean()) {
            homeButton_ = h->get<bool>();
        }
    } catch (const std::exception&) {
        // The device checked the profile when it loaded it; other shapes keep the defaults.
    }
}

void SimTouchKeys::reset() {
    std::string profile = SimDevice::current().profileJSON();
    {
        std::lock_guard lock(mutex_);
        loadProfileLocked(profile);
    }
    notify(Event::Parts);
}

bool SimTouchKeys::applyFaults(const std::string& text, std::string* error) {
    std::optional<DigitizerState> digitizer;
    std::vector<Rect> areas;
    bool areasGiven = false;
    std::optional<ForceState> force;
    std::vector<std::pair<Key, KeyState>> keys;
    try {
        nlohmann::ordered_json root;
        if (std::string why; !sim_faults::parseDocument(text, root, &why)) {
            throw std::invalid_argument(why);
        }
        if (!root.is_object()) {
            throw std::invalid_argument("not a JSON object of part names and states");
        }
        for (auto it = root.begin(); it != root.end(); ++it) {
            const std::string& part = it.key();
            if (part == "digitizer") {
                auto s = stateText(*it, part);
                if (s == "working") {
                    digitizer = DigitizerState::Working;
                } else if (s == "dead") {
                    digitizer = DigitizerState::Dead;
                } else if (s == "singleTouch") {
                    digitizer = DigitizerState::SingleTouch;
                } else {
                    unknownState(s, part);
                }
            } else if (part == "screenArea") {
                // "dead": a 100-point patch at the right edge, a little below the middle (a crack
                // there); or one area, or a list of areas.
                areasGiven = true;
                if (it->is_string()) {
                    auto s = it->get<std::string>();
                    if (s == "dead") {
                        std::lock_guard lock(mutex_);
                        areas.push_back({screenWidth_ - 100, screenHeight_ * 0.45, 100, 100});
                    } else if (s != "working") {
                        unknownState(s, part);
                    }
                } else if (it->is_array() && !it->empty() && (*it)[0].is_array()) {
                    for (const auto& r : *it) {
                        areas.push_back(rectFrom(r));
                    }
                } else {
                    areas.push_back(rectFrom(*it));
                }
            } else if (part == "forceTouch") {
                auto s = stateText(*it, part);
                if (s == "working") {
                    force = ForceState::Working;
                } else if (s == "dead") {
                    force = ForceState::Dead;
                } else {
                    unknownState(s, part);
                }
            } else {
                for (Key key : {Key::VolumeUp, Key::VolumeDown, Key::Power, Key::Home}) {
                    if (part == keyPartName(key)) {
                        auto s = stateText(*it, part);
                        auto state = keyStateNamed(s);
                        if (!state) {
                            unknownState(s, part);
                        }
                        keys.emplace_back(key, *state);
                    }
                }
            }
        }
    } catch (const std::exception& e) {
        if (error) {
            *error = sim_faults::refusal(e.what());
        }
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (digitizer) {
            digitizer_ = *digitizer;
        }
        if (areasGiven) {
            deadAreas_ = areas;
        }
        if (force) {
            forceState_ = *force;
        }
        for (auto [key, state] : keys) {
            keys_[keyIndex(key)] = state;
        }
    }
    notify(Event::Parts);
    return true;
}

bool SimTouchKeys::loadFaults(const std::string& path, std::string* error) {
    return sim_faults::load(path, error,
                            [this](const std::string& text, std::string* why) { return applyFaults(text, why); });
}

// The digitizer.

SimTouchKeys::DigitizerState SimTouchKeys::digitizerState() const {
    std::lock_guard lock(mutex_);
    return digitizer_;
}

void SimTouchKeys::setDigitizerState(DigitizerState state) {
    {
        std::lock_guard lock(mutex_);
        digitizer_ = state;
    }
    notify(Event::Parts);
}

std::vector<SimTouchKeys::Rect> SimTouchKeys::deadAreas() const {
    std::lock_guard lock(mutex_);
    return deadAreas_;
}

void SimTouchKeys::setDeadAreas(std::vector<Rect> areas) {
    {
        std::lock_guard lock(mutex_);
        deadAreas_ = std::move(areas);
    }
    notify(Event::Parts);
}

void SimTouchKeys::addDeadArea(Rect area) {
    {
        std::lock_guard lock(mutex_);
        deadAreas_.push_back(area);
    }
    notify(Event::Parts);
}

bool SimTouchKeys::senses(double x, double y) const {
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (digitizer_ == DigitizerState::Dead) {
        return false;
    }
    if (x < 0 || y < 0 || x >= screenWidth_ || y >= screenHeight_) {
        return false;
    }
    for (const auto& area : deadAreas_) {
        if (area.contains(x, y)) {
            return false;
        }
    }
    return true;
}

size_t SimTouchKeys::maximumTouches() const {
    std::lock_guard lock(mutex_);
    if (digitizer_ == DigitizerState::SingleTouch) {
        return 1;
    }
    return pad_ ? 11 : 5;
}

bool SimTouchKeys::hasForceTouch() const {
    std::lock_guard lock(mutex_);
    return forceTouch_;
}

SimTouchKeys::ForceState SimTouchKeys::forceState() const {
    std::lock_guard lock(mutex_);
    return forceState_;
}

void SimTouchKeys::setForceState(ForceState state) {
    {
        std::lock_guard lock(mutex_);
        forceState_ = state;
    }
    notify(Event::Parts);
}

double SimTouchKeys::maximumPossibleForce() const {
    std::lock_guard lock(mutex_);
    return forceTouch_ ? kMaximumPossibleForce : 0;
}

double SimTouchKeys::sensedForce(double force) const {
    std::lock_guard lock(mutex_);
    if (!forceTouch_ || forceState_ != ForceState::Working || !std::isfinite(force) || force <= 0) {
        return 0;
    }
    return std::min(force, kMaximumPossibleForce);
}

void SimTouchKeys::injectGhostTouch(double x, double y) {
    {
        std::lock_guard lock(mutex_);
        ghosts_.push_back({x, y});
    }
    notify(Event::GhostTouch);
}

std::vector<SimTouchKeys::Point> SimTouchKeys::takeGhostTouches() {
    std::lock_guard lock(mutex_);
    return std::exchange(ghosts_, {});
}

// The keys and the switch.

bool SimTouchKeys::hasHomeButton() const {
    std::lock_guard lock(mutex_);
    return homeButton_;
}

bool SimTouchKeys::hasRingerSwitch() const {
    return SimAudio::current().isPresent(SimAudio::Part::RingerSwitch);
}

SimTouchKeys::KeyState SimTouchKeys::keyState(Key key) const {
    std::lock_guard lock(mutex_);
    return keys_[keyIndex(key)];
}

void SimTouchKeys::setKeyState(Key key, KeyState state) {
    {
        std::lock_guard lock(mutex_);
        keys_[keyIndex(key)] = state;
    }
    notify(Event::Parts);
}

void SimTouchKeys::record(const std::string& what, bool effective) {
    std::lock_guard lock(mutex_);
    presses_.push_back({what, DispatchClock::uptime(), effective});
}

bool SimTouchKeys::pressKey(Key key) {
    bool works;
    bool present = true;
    std::optional<Event> event;
    {
        std::lock_guard lock(mutex_);
        works = keys_[keyIndex(key)] == KeyState::Working;
        if (key == Key::Home && !homeButton_) {
            present = false;
            works = false;
        }
        if (works) {
            switch (key) {
            case Key::VolumeUp:
                event = Event::VolumeUp;
                break;
            case Key::VolumeDown:
                event = Event::VolumeDown;
                break;
            case Key::Power:
                locked_ = !locked_;
                event = locked_ ? Event::Lock : Event::Unlock;
                break;
            case Key::Home:
                // On the lock screen the Home key only lights the screen.
                if (!locked_) {
                    event = Event::Home;
                }
                break;
            }
        }
    }
    if (present) {
        record(keyPartName(key), works);
    }
    if (event == Event::VolumeUp || event == Event::VolumeDown) {
        // The key works; at a limit of the volume the press changes nothing.
        SimAudio::current().pressVolumeKey(event == Event::VolumeUp);
    }
    if (event) {
        notify(*event);
    }
    return works;
}

bool SimTouchKeys::pressScreenshotChord() {
    bool works;
    {
        std::lock_guard lock(mutex_);
        Key other = homeButton_ ? Key::Home : Key::VolumeUp;
        works =
            !locked_ && keys_[keyIndex(Key::Power)] == KeyState::Working && keys_[keyIndex(other)] == KeyState::Working;
    }
    record("screenshotChord", works);
    if (works) {
        notify(Event::Screenshot);
    }
    return works;
}

bool SimTouchKeys::ringerSilent() const {
    return SimAudio::current().ringerSilent();
}

bool SimTouchKeys::toggleRingerSwitch() {
    return setRingerSwitch(!ringerSilent());
}

bool SimTouchKeys::setRingerSwitch(bool silent) {
    auto& audio = SimAudio::current();
    if (!hasRingerSwitch()) {
        return false;
    }
    bool before = audio.ringerSilent();
    audio.setRingerSilent(silent); // a dead switch does not move
    bool moved = audio.ringerSilent() != before;
    record("ringerSwitch", moved);
    return moved;
}

bool SimTouchKeys::isLocked() const {
    std::lock_guard lock(mutex_);
    return locked_;
}

SimTouchKeys::LockOrder SimTouchKeys::lockOrder() const {
    std::lock_guard lock(mutex_);
    return lockOrder_;
}

double SimTouchKeys::lockNotificationDelay() const {
    std::lock_guard lock(mutex_);
    return lockDelay_;
}

void SimTouchKeys::setLockOrder(LockOrder order, double lateDelay) {
    std::lock_guard lock(mutex_);
    lockOrder_ = order;
    lockDelay_ = std::isfinite(lateDelay) && lateDelay >= 0 ? lateDelay : 0.5;
}

std::vector<SimTouchKeys::Press> SimTouchKeys::presses() const {
    std::lock_guard lock(mutex_);
    return presses_;
}

uint64_t SimTouchKeys::addListener(std::function<void(Event)> listener) {
    return listeners_.add(std::move(listener));
}

void SimTouchKeys::removeListener(uint64_t token) {
    listeners_.remove(token);
}

void SimTouchKeys::notify(Event event) {
    listeners_.notify(event);
}
