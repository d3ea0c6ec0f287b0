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

#include <Device/SimListeners.h>

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
    enum class Change {
        Profile,
        Brightness,
        Proximity,
        BatteryLevel,
        BatteryState,
        Orientation,
        Cameras,
        Network,     // interfaces, their addresses and links, the joined Wi-Fi network
        Carrier,     // the SIM's provider and the radio access technology
        Accessories, // external accessories and the audio route
        System,      // figures of the running system, locale, storage, file system
    };

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

    // A network interface: "en0" is the Wi-Fi interface, "pdp_ip0" the cellular one, "lo0" the
    // loopback. Addresses are texts ("10.0.0.5", "fe80::1c2b:3aff:fe4d:5e6f"); a netmask is given as
    // a dotted mask for IPv4 and as a prefix length ("64") or a mask text for IPv6. An interface
    // with a gateway carries the default route (the internet); a Wi-Fi interface is preferred.
    struct InterfaceAddress {
        std::string address;
        std::string netmask;
    };
    struct NetworkInterface {
        std::string name;
        bool up = true;
        std::string hardwareAddress; // "F0:18:98:0A:1B:2C"; empty for an interface without one
        std::vector<InterfaceAddress> addresses;
        std::string gateway;
    };
    // The Wi-Fi network that en0 has joined; an empty SSID means none.
    struct WiFiNetwork {
        std::string ssid;
        std::string bssid;
    };
    // The provider of the SIM.
    struct Carrier {
        std::string name;
        std::string isoCountryCode;    // "us"
        std::string mobileCountryCode; // "310"
        std::string mobileNetworkCode; // "410"
        bool allowsVOIP = true;
    };
    // A process of the system's process table, and a thread of the app's own task (its CPU use in
    // thousandths of one processor, as the platform counts it).
    struct Process {
        int pid = 0;
        std::string name;
    };
    struct Thread {
        int cpuUsage = 0;
        bool idle = false;
    };
    // Figures of the running system. The uptime counts from the moment they were set (a profile
    // load or `setSystemFigures`), on the platform clock.
    struct SystemFigures {
        double uptime = 0; // seconds since the system started, when set
        unsigned processorCount = 2;
        unsigned activeProcessorCount = 2;
        uint64_t physicalMemory = 2ull << 30;
        uint64_t pageSize = 16384;
        uint32_t freePages = 0;
        uint32_t activePages = 0;
        uint32_t inactivePages = 0;
        uint32_t wiredPages = 0;
        bool multitasking = true;
        std::vector<Process> processes; // in the kernel's order
        std::vector<Thread> appThreads;
    };
    // The storage behind the app's home folder.
    struct Storage {
        int64_t totalBytes = 0;
        int64_t freeBytes = 0;
        int64_t nodes = 0;
    };
    struct Locale {
        std::vector<std::string> preferredLanguages; // "en-US", ...
        std::string identifier;                      // "en_US"
        std::string timeZone;                        // "America/New_York"
        std::string currencySymbol;
        std::string currencyCode;
        std::string measurementSystem; // "U.S.", "Metric", "U.K."
    };
    // An external accessory connected to the device, and a port of the current audio route (the
    // platform's port types: "Receiver", "Speaker", "Headphones", "BluetoothA2DPOutput", ...).
    struct Accessory {
        std::string name;
        std::string manufacturer;
        std::string modelNumber;
        std::string serialNumber;
        std::vector<std::string> protocolStrings;
    };
    struct AudioPort {
        std::string type;
        std::string name;
    };

    // The device of this process; starts with the default profile ("iPhone10,3").
    static SimDevice& current();
    static constexpr const char* defaultProfile = "iPhone10,3";

    // Profiles. `loadProfile` takes an identifier (a file of Resources/Devices) or a path to a JSON
    // file; `loadProfileJSON` the text itself. On failure the device is unchanged, the error says
    // why and false is returned. Values the profile leaves out take their defaults.
    static std::vector<std::string> availableProfiles();
    // Back to the device of a fresh process: the default profile (which puts the components that
    // follow the profile back to working, as their own reset does), no file-system root. Every test
    // that ends through the platform test fixture (DispatchClock::endTest) leaves the device so.
    void startAfresh();
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
    // The sensor taken out or put back (a fault); a sensor taken out reads uncovered.
    void setProximityPresent(bool present);

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

    // Network interfaces (getifaddrs order: each interface's addresses in the order given).
    std::vector<NetworkInterface> networkInterfaces() const;
    void setNetworkInterfaces(std::vector<NetworkInterface> interfaces);
    // Brings one interface up or down (Wi-Fi switched off, cellular data lost); false when the
    // device has no interface of that name.
    bool setInterfaceUp(const std::string& name, bool up);
    WiFiNetwork wifiNetwork() const;
    void setWiFiNetwork(WiFiNetwork network);

    // The SIM's provider (none without a SIM or a cellular radio) and the radio access technology
    // of the cellular link (the platform's constant names, "CTRadioAccessTechnologyLTE"; empty when
    // there is no link).
    std::optional<Carrier> carrier() const;
    void setCarrier(std::optional<Carrier> carrier);
    std::string radioAccessTechnology() const;
    void setRadioAccessTechnology(const std::string& technology);

    std::vector<Accessory> accessories() const;
    void setAccessories(std::vector<Accessory> accessories);
    // The outputs of the current audio route; plugging headphones in makes them the route.
    std::vector<AudioPort> audioOutputs() const;
    void setAudioOutputs(std::vector<AudioPort> outputs);
    void setHeadphonesPlugged(bool plugged);

    SystemFigures systemFigures() const;
    void setSystemFigures(SystemFigures figures);
    // Seconds since the system started: the figures' uptime plus the platform clock's time since
    // they were set.
    double systemUptime() const;
    Storage storage() const;
    void setStorage(Storage storage);
    Locale locale() const;
    void setLocale(Locale locale);

    // The device's own file system outside the app's sandbox: the files that exist on it (absolute
    // device paths such as "/bin/bash", which a jailbroken device has). The platform keeps them in
    // a folder of their own (`fileSystemRoot`), never on the host's own paths.
    std::vector<std::string> systemFiles() const;
    void setSystemFiles(std::vector<std::string> paths);
    // The host folder that stands for the device's "/"; empty until set (the platform then uses a
    // folder in the sandbox root).
    std::string fileSystemRoot() const;
    void setFileSystemRoot(const std::string& path);

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
    struct SystemState {
        std::vector<NetworkInterface> interfaces;
        WiFiNetwork wifi;
        std::optional<Carrier> carrier;
        std::string radioAccessTechnology;
        std::vector<Accessory> accessories;
        std::vector<AudioPort> audioOutputs;
        SystemFigures figures;
        double figuresSetAt = 0; // platform clock uptime when the figures were set
        Storage storage;
        Locale locale;
        std::vector<std::string> systemFiles;
    };
    // Reads the sections of a profile text beyond identity, screen, battery and cameras; throws on a
    // malformed one.
    static SystemState parseSystemSections(const std::string& profileText, const Identity& identity);
    SystemState system_;
    std::string fileSystemRoot_;
    SimListeners<Change> listeners_;
};

const char* SimDeviceBatteryStateName(SimDevice::BatteryState state);
