// SimDevice: the simulated phone behind the platform layer. The platform classes read it (UIDevice,
// UIScreen, ...); tests, scenarios and the simulator drive it through its setters. Each setter that
// changes something tells the listeners, which is how the platform posts its notifications.
//
// A device starts from a profile (Resources/Devices/<identifier>.json): identity, screen and the
// components it has. The process has one device; loading another profile replaces its state.
//
// Thread-safe: every member may be called from any thread. Listeners run on the thread that made
// the change, after the change, without any lock held.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SimDevice {
public:
    // The platform's numbering (UIDeviceBatteryState, UIDeviceOrientation).
    enum class BatteryState { Unknown = 0, Unplugged = 1, Charging = 2, Full = 3 };
    enum class Orientation {
        Unknown = 0,
        Portrait = 1,
        PortraitUpsideDown = 2,
        LandscapeLeft = 3,
        LandscapeRight = 4,
        FaceUp = 5,
        FaceDown = 6
    };
    enum class Idiom { Phone = 0, Pad = 1 };
    // The platform's numbering (AVCaptureDevicePosition).
    enum class CameraPosition { Unspecified = 0, Back = 1, Front = 2 };

    // What changed, as told to listeners.
    enum class Change { Profile, Brightness, Proximity, BatteryLevel, BatteryState, Orientation, Cameras };

    struct Identity {
        std::string hardwareIdentifier; // "iPhone10,3"
        std::string model;              // "iPhone", "iPad"
        std::string localizedModel;
        std::string name; // the owner's name for the device
        std::string systemName;
        std::string systemVersion;
        Idiom idiom = Idiom::Phone;
    };

    struct Screen {
        double width = 0; // points, portrait
        double height = 0;
        double scale = 1;
        double nativeScale = 1;
        bool forceTouch = false;
    };

    // A camera. A present camera that is not working (broken) is seen by the system but takes no
    // picture. Pictures are `pictureWidth` x `pictureHeight` pixels as they appear upright.
    struct Camera {
        CameraPosition position = CameraPosition::Back;
        bool present = true;
        bool working = true;
        double pictureWidth = 3024;
        double pictureHeight = 4032;
        bool hasFlash = false;
    };

    // The device of this process; starts with the default profile ("iPhone10,3").
    static SimDevice& current();
    static constexpr const char* defaultProfile = "iPhone10,3";

    // Profiles. `loadProfile` takes an identifier (a file of Resources/Devices) or a path to a JSON
    // file; `loadProfileJSON` the text itself. On failure the device is unchanged, the error says
    // why and false is returned. Values the profile leaves out take their defaults.
    static std::vector<std::string> availableProfiles();
    bool loadProfile(const std::string& identifierOrPath, std::string* error = nullptr);
    bool loadProfileJSON(const std::string& json, std::string* error = nullptr);
    // The text of the profile in force (for components that read their own sections).
    std::string profileJSON() const;

    Identity identity() const;
    void setName(const std::string& name);
    Screen screen() const;

    // Brightness of the display, 0 to 1. `setBrightness` is a change made by the device (the
    // operator, automatic brightness); `applyBrightness` one made by an application, which the
    // platform does not announce.
    double brightness() const;
    void setBrightness(double brightness);
    void applyBrightness(double brightness);

    // The proximity sensor beside the earpiece.
    bool hasProximitySensor() const;
    bool proximityCovered() const;
    void setProximityCovered(bool covered);

    // The battery. A level outside 0..1 is clamped.
    bool hasBattery() const;
    float batteryLevel() const;
    void setBatteryLevel(float level);
    BatteryState batteryState() const;
    void setBatteryState(BatteryState state);

    Orientation orientation() const;
    void setOrientation(Orientation orientation);

    // Cameras: the back and the front camera, in that order (a camera the device lacks is listed
    // with present = false). `camera` answers the camera at a position, nil for Unspecified.
    std::vector<Camera> cameras() const;
    std::optional<Camera> camera(CameraPosition position) const;
    void setCameraPresent(CameraPosition position, bool present);
    void setCameraWorking(CameraPosition position, bool working);
    // The picture the camera takes next: encoded image bytes (PNG, JPEG or GIF), kept until
    // replaced; empty (the default) means a made-up picture of the camera's size.
    void setCameraPicture(CameraPosition position, std::string encodedImage);
    std::string cameraPicture(CameraPosition position) const;

    // Listeners; the token removes one.
    uint64_t addListener(std::function<void(Change)> listener);
    void removeListener(uint64_t token);

private:
    SimDevice();
    void notify(Change change);
    Camera* findCamera(CameraPosition position);

    mutable std::mutex mutex_;
    std::string profileJSON_;
    Identity identity_;
    Screen screen_;
    double brightness_ = 0.5;
    bool hasProximity_ = true;
    bool proximityCovered_ = false;
    bool hasBattery_ = true;
    float batteryLevel_ = 1.0f;
    BatteryState batteryState_ = BatteryState::Unplugged;
    Orientation orientation_ = Orientation::Portrait;
    std::vector<Camera> cameras_;
    std::string cameraPictures_[2];
    uint64_t nextToken_ = 1;
    std::vector<std::pair<uint64_t, std::shared_ptr<std::function<void(Change)>>>> listeners_;
};

const char* SimDeviceBatteryStateName(SimDevice::BatteryState state);
