#include <Device/SimDevice.h>
#include <Device/SimFaults.h>

#include <Dispatch/Clock.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using json = nlohmann::ordered_json;

// Used when the profile files cannot be read: the default profile, built in.
const char* kBuiltInProfile = R"({
  "identifier": "iPhone10,3",
  "model": "iPhone",
  "localizedModel": "iPhone",
  "name": "iPhone",
  "systemName": "iOS",
  "systemVersion": "11.2.6",
  "idiom": "phone",
  "screen": {"width": 375, "height": 812, "scale": 3.0, "nativeScale": 3.0, "brightness": 0.5, "forceTouch": true},
  "proximity": {"present": true},
  "battery": {"present": true, "level": 1.0, "state": "unplugged"},
  "cameras": [
    {"position": "back", "present": true, "working": true, "width": 3024, "height": 4032, "flash": true},
    {"position": "front", "present": true, "working": true, "width": 2320, "height": 3088, "flash": false}
  ]
})";

std::string devicesFolder() {
    return std::string(DX_RESOURCES_DIR) + "/Devices";
}

SimDevice::BatteryState batteryStateFromName(const std::string& name) {
    if (name == "unplugged") {
        return SimDevice::BatteryState::Unplugged;
    }
    if (name == "charging") {
        return SimDevice::BatteryState::Charging;
    }
    if (name == "full") {
        return SimDevice::BatteryState::Full;
    }
    if (name == "unknown") {
        return SimDevice::BatteryState::Unknown;
    }
    throw std::invalid_argument("unknown battery state \"" + name + "\"");
}

SimDevice::CameraPosition cameraPositionFromName(const std::string& name) {
    if (name == "back") {
        return SimDevice::CameraPosition::Back;
    }
    if (name == "front") {
        return SimDevice::CameraPosition::Front;
    }
    throw std::invalid_argument("unknown camera position \"" + name + "\"");
}

size_t cameraIndex(SimDevice::CameraPosition position) {
    return position == SimDevice::CameraPosition::Front ? 1 : 0;
}

template <class T>
T member(const json& object, const char* key, T fallback) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return fallback;
    }
    return it->get<T>();
}

} // namespace

const char* SimDeviceBatteryStateName(SimDevice::BatteryState state) {
    switch (state) {
    case SimDevice::BatteryState::Unplugged:
        return "unplugged";
    case SimDevice::BatteryState::Charging:
        return "charging";
    case SimDevice::BatteryState::Full:
        return "full";
    case SimDevice::BatteryState::Unknown:
        break;
    }
    return "unknown";
}

SimDevice& SimDevice::current() {
    static SimDevice* device = [] {
        auto* made = new SimDevice;
        // The tests of a binary may share one process: when a test ends, the next one finds the
        // device a fresh process would have.
        DispatchClock::addTestEndHandler([made] { made->startAfresh(); });
        return made;
    }();
    return *device;
}

SimDevice::SimDevice() {
    startAfresh();
}

void SimDevice::startAfresh() {
    {
        std::lock_guard lock(mutex_);
        fileSystemRoot_.clear();
    }
    std::string error;
    if (!loadProfile(defaultProfile, &error)) {
        loadProfileJSON(kBuiltInProfile, &error);
    }
}

std::vector<std::string> SimDevice::availableProfiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(devicesFolder(), ec)) {
        if (entry.path().extension() == ".json") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool SimDevice::loadProfile(const std::string& identifierOrPath, std::string* error) {
    std::string path = identifierOrPath;
    if (path.find('/') == std::string::npos) {
        path = devicesFolder() + "/" + identifierOrPath + ".json";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) {
            *error = "no device profile at " + path;
        }
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!loadProfileJSON(text.str(), error)) {
        if (error) {
            *error = path + ": " + *error; // which file, for whoever has to mend it
        }
        return false;
    }
    return true;
}

bool SimDevice::loadProfileJSON(const std::string& text, std::string* error) {
    Identity identity;
    Screen screen;
    double brightness = 0.5;
    bool hasProximity = false;
    bool hasBattery = true;
    float level = 1.0f;
    BatteryState state = BatteryState::Unplugged;
    std::vector<Camera> cameras;
    SystemState system;
    try {
        // The JSON reader takes a NUL byte for the end of the text: a profile ends at its last byte.
        if (text.find('\0') != std::string::npos) {
            throw std::invalid_argument("the profile holds a NUL byte");
        }
        // Read once here and again by each part of the device: nothing past the bound is read at all.
        if (!sim_faults::nestsWithinBound(text)) {
            throw std::invalid_argument("the profile nests more than " + std::to_string(sim_faults::kMaximumDepth) +
                                        " levels deep");
        }
        json root = json::parse(text);
        if (!root.is_object()) {
            throw std::invalid_argument("the profile is not a JSON object");
        }
        identity.hardwareIdentifier = root.at("identifier").get<std::string>();
        identity.model = member<std::string>(root, "model", "iPhone");
        identity.localizedModel = member<std::string>(root, "localizedModel", identity.model);
        identity.name = member<std::string>(root, "name", identity.model);
        identity.systemName = member<std::string>(root, "systemName", "iOS");
        identity.systemVersion = member<std::string>(root, "systemVersion", "11.0");
        std::string idiom = member<std::string>(root, "idiom", "phone");
        if (idiom != "phone" && idiom != "pad") {
            throw std::invalid_argument("unknown idiom \"" + idiom + "\"");
        }
        identity.idiom = idiom == "pad" ? Idiom::Pad : Idiom::Phone;
        const json& s = root.at("screen");
        screen.width = s.at("width").get<double>();
        screen.height = s.at("height").get<double>();
        screen.scale = member<double>(s, "scale", 2.0);
        screen.nativeScale = member<double>(s, "nativeScale", screen.scale);
        screen.forceTouch = member<bool>(s, "forceTouch", false);
        brightness = std::clamp(member<double>(s, "brightness", 0.5), 0.0, 1.0);
        if (screen.width <= 0 || screen.height <= 0 || screen.scale <= 0) {
            throw std::invalid_argument("the screen needs a positive width, height and scale");
        }
        if (auto p = root.find("proximity"); p != root.end()) {
            hasProximity = member<bool>(*p, "present", true);
        }
        if (auto b = root.find("battery"); b != root.end()) {
            hasBattery = member<bool>(*b, "present", true);
            level = std::clamp(member<float>(*b, "level", 1.0f), 0.0f, 1.0f);
            state = batteryStateFromName(member<std::string>(*b, "state", "unplugged"));
        }
        // Cameras: a phone or tablet has a back camera (with a flash on a phone) and a front one
        // unless the profile says otherwise.
        Camera back;
        back.position = CameraPosition::Back;
        back.hasFlash = identity.idiom == Idiom::Phone;
        Camera front;
        front.position = CameraPosition::Front;
        front.pictureWidth = 2320;
        front.pictureHeight = 3088;
        cameras = {back, front};
        if (auto c = root.find("cameras"); c != root.end()) {
            if (!c->is_array()) {
                throw std::invalid_argument("\"cameras\" is not an array");
            }
            bool seen[2] = {false, false};
            for (const auto& entry : *c) {
                CameraPosition position = cameraPositionFromName(entry.at("position").get<std::string>());
                size_t i = cameraIndex(position);
                if (seen[i]) {
                    throw std::invalid_argument("two cameras at the same position");
                }
                seen[i] = true;
                Camera& cam = cameras[i];
                cam.present = member<bool>(entry, "present", true);
                cam.working = member<bool>(entry, "working", true);
                cam.pictureWidth = member<double>(entry, "width", cam.pictureWidth);
                cam.pictureHeight = member<double>(entry, "height", cam.pictureHeight);
                cam.hasFlash = member<bool>(entry, "flash", cam.hasFlash);
                if (cam.pictureWidth <= 0 || cam.pictureHeight <= 0) {
                    throw std::invalid_argument("a camera needs a positive picture width and height");
                }
            }
        }
        system = parseSystemSections(text, identity);
    } catch (const std::exception& e) {
        if (error) {
            *error = std::string("bad device profile: ") + e.what();
        }
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        profileJSON_ = text;
        identity_ = std::move(identity);
        screen_ = screen;
        brightness_ = brightness;
        hasProximity_ = hasProximity;
        proximityCovered_ = false;
        hasBattery_ = hasBattery;
        batteryLevel_ = hasBattery ? level : -1.0f;
        batteryState_ = hasBattery ? state : BatteryState::Unknown;
        orientation_ = Orientation::Portrait;
        cameras_ = std::move(cameras);
        cameraPictures_[0].clear();
        cameraPictures_[1].clear();
        system_ = std::move(system);
    }
    notify(Change::Profile);
    return true;
}

std::string SimDevice::profileJSON() const {
    std::lock_guard lock(mutex_);
    return profileJSON_;
}

SimDevice::Identity SimDevice::identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

void SimDevice::setName(const std::string& name) {
    std::lock_guard lock(mutex_);
    identity_.name = name;
}

SimDevice::Screen SimDevice::screen() const {
    std::lock_guard lock(mutex_);
    return screen_;
}

double SimDevice::brightness() const {
    std::lock_guard lock(mutex_);
    return brightness_;
}

void SimDevice::setBrightness(double brightness) {
    brightness = std::clamp(brightness, 0.0, 1.0);
    {
        std::lock_guard lock(mutex_);
        if (brightness_ == brightness) {
            return;
        }
        brightness_ = brightness;
    }
    notify(Change::Brightness);
}

void SimDevice::applyBrightness(double brightness) {
    std::lock_guard lock(mutex_);
    brightness_ = std::clamp(brightness, 0.0, 1.0);
}

bool SimDevice::hasProximitySensor() const {
    std::lock_guard lock(mutex_);
    return hasProximity_;
}

bool SimDevice::proximityCovered() const {
    std::lock_guard lock(mutex_);
    return hasProximity_ && proximityCovered_;
}

void SimDevice::setProximityCovered(bool covered) {
    {
        std::lock_guard lock(mutex_);
        if (!hasProximity_ || proximityCovered_ == covered) {
            return;
        }
        proximityCovered_ = covered;
    }
    notify(Change::Proximity);
}

void SimDevice::setProximityPresent(bool present) {
    {
        std::lock_guard lock(mutex_);
        if (hasProximity_ == present) {
            return;
        }
        hasProximity_ = present;
        proximityCovered_ = false;
    }
    notify(Change::Proximity);
}

bool SimDevice::hasBattery() const {
    std::lock_guard lock(mutex_);
    return hasBattery_;
}

float SimDevice::batteryLevel() const {
    std::lock_guard lock(mutex_);
    return batteryLevel_;
}

void SimDevice::setBatteryLevel(float level) {
    level = std::clamp(level, 0.0f, 1.0f);
    {
        std::lock_guard lock(mutex_);
        if (!hasBattery_ || batteryLevel_ == level) {
            return;
        }
        batteryLevel_ = level;
    }
    notify(Change::BatteryLevel);
}

SimDevice::BatteryState SimDevice::batteryState() const {
    std::lock_guard lock(mutex_);
    return batteryState_;
}

void SimDevice::setBatteryState(BatteryState state) {
    {
        std::lock_guard lock(mutex_);
        if (!hasBattery_ || batteryState_ == state) {
            return;
        }
        batteryState_ = state;
    }
    notify(Change::BatteryState);
}

SimDevice::Orientation SimDevice::orientation() const {
    std::lock_guard lock(mutex_);
    return orientation_;
}

void SimDevice::setOrientation(Orientation orientation) {
    {
        std::lock_guard lock(mutex_);
        if (orientation_ == orientation) {
            return;
        }
        orientation_ = orientation;
    }
    notify(Change::Orientation);
}

std::vector<SimDevice::Camera> SimDevice::cameras() const {
    std::lock_guard lock(mutex_);
    return cameras_;
}

std::optional<SimDevice::Camera> SimDevice::camera(CameraPosition position) const {
    if (position == CameraPosition::Unspecified) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    size_t i = cameraIndex(position);
    if (i >= cameras_.size()) {
        return std::nullopt;
    }
    return cameras_[i];
}

SimDevice::Camera* SimDevice::findCamera(CameraPosition position) {
    size_t i = cameraIndex(position);
    if (position == CameraPosition::Unspecified || i >= cameras_.size()) {
        return nullptr;
    }
    return &cameras_[i];
}

void SimDevice::setCameraPresent(CameraPosition position, bool present) {
    {
        std::lock_guard lock(mutex_);
        Camera* c = findCamera(position);
        if (!c || c->present == present) {
            return;
        }
        c->present = present;
    }
    notify(Change::Cameras);
}

void SimDevice::setCameraWorking(CameraPosition position, bool working) {
    {
        std::lock_guard lock(mutex_);
        Camera* c = findCamera(position);
        if (!c || c->working == working) {
            return;
        }
        c->working = working;
    }
    notify(Change::Cameras);
}

void SimDevice::setCameraPicture(CameraPosition position, std::string encodedImage) {
    if (position == CameraPosition::Unspecified) {
        return;
    }
    std::lock_guard lock(mutex_);
    cameraPictures_[cameraIndex(position)] = std::move(encodedImage);
}

std::string SimDevice::cameraPicture(CameraPosition position) const {
    if (position == CameraPosition::Unspecified) {
        return {};
    }
    std::lock_guard lock(mutex_);
    return cameraPictures_[cameraIndex(position)];
}

uint64_t SimDevice::addListener(std::function<void(Change)> listener) {
    return listeners_.add(std::move(listener));
}

void SimDevice::removeListener(uint64_t token) {
    listeners_.remove(token);
}

void SimDevice::notify(Change change) {
    listeners_.notify(change);
}
