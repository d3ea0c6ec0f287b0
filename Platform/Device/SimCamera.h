// SimCamera: the camera side of the simulated device, and the display the operator looks at.
//
// Each camera of SimDevice (present / working there) renders frames of a scene with cairo: a grey
// wall with a test chart of six known colour patches (white, grey, red, green, blue, black) under a
// light of a set colour temperature, a marker that sweeps along the chart card's top band once a second (so a
// frozen camera can be told from a live one), and optionally a QR code (libqrencode) on the wall.
// The scene can also be a plain white or black surface held before the lens. The light reaches the
// sensor tinted by its temperature; the camera's white-balance gains multiply each channel, so the
// right gains for the light give the chart's true colours and other gains really change the pixels.
//
// A broken camera gives black frames ("dead") or always the same frame ("frozen"); a dead torch
// stays dark; a flash can be missing or dead. The display can have a dead pixel area, a ghost image
// or a crack, painted over every screenshot; a stuck backlight does not follow the brightness.
//
// Parts of a faults overlay (docs/device.md): "backCamera", "frontCamera" (working, absent, dead,
// frozen), "torch" and "flash" (working, absent, dead), "display" (working, deadArea, ghost,
// crack), "backlight" (working, stuck), "storage" (working, full: the device's storage keeps only
// kFullStorageFreeBytes free, too little to record a movie). Names of other components' parts are left to them.
//
// Thread-safe: frames are rendered on whatever thread asks (the capture threads of the platform).
#pragma once

#include <Device/SimDevice.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

// One rendered frame: cairo ARGB32 pixels (opaque), row after row.
struct SimFrame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // The mean red, green and blue (0..255) of a rectangle given in fractions of the frame.
    struct RGB {
        double r = 0, g = 0, b = 0;
    };
    RGB mean(double x, double y, double w, double h) const;
    // A new cairo RGB24 image surface holding the frame's pixels, for whoever draws or encodes it
    // (the caller destroys it); nullptr for an empty frame or when cairo cannot make one.
    cairo_surface_t* newSurface() const;
    // Paints the frame scaled to drawnWidth x drawnHeight, centred on the box (x, y, width, height)
    // and clipped to it; nothing for an empty frame.
    void paintCentred(cairo_t* cr, double x, double y, double width, double height, double drawnWidth,
                      double drawnHeight) const;
};

class SimCamera {
public:
    using Position = SimDevice::CameraPosition;
    enum class CameraState { Working, Absent, Dead, Frozen };
    enum class LightState { Working, Absent, Dead };
    enum class DisplayFault { None, DeadArea, Ghost, Crack };
    enum class Scene { Chart, WhiteSurface, BlackSurface };

    // White-balance gains of the platform: red, green, blue, each 1.0 or more.
    struct Gains {
        float red = 1, green = 1, blue = 1;
    };
    static constexpr float kMaxWhiteBalanceGain = 4.0f;
    // The free bytes of a full storage.
    static constexpr int64_t kFullStorageFreeBytes = 512 * 1024;

    // The chart's patches, left to right then top to bottom, and where each lies in the frame (as
    // fractions of its width and height, upright). Their true colours (0..1).
    struct Patch {
        const char* name;
        double x, y, w, h;
        double r, g, b;
    };
    static const std::vector<Patch>& chartPatches();
    static const Patch& patchNamed(const std::string& name);

    static SimCamera& current();

    // Faults overlay parts: "backCamera", "frontCamera", "torch", "flash", "display", "backlight",
    // "storage"; the names of the states a part may be in (none for a name of another domain).
    static std::vector<std::string> states(const std::string& part);
    // Faults overlay; unknown states are an error and change nothing.
    bool applyFaults(const std::string& json, std::string* error = nullptr);
    bool loadFaults(const std::string& path, std::string* error = nullptr);
    // Everything back to working, the scene to the chart at 5000 K without a code.
    void reset();

    CameraState cameraState(Position position) const;
    void setCameraState(Position position, CameraState state);
    LightState torchState() const;
    void setTorchState(LightState state);
    LightState flashState() const;
    void setFlashState(LightState state);
    DisplayFault displayFault() const;
    void setDisplayFault(DisplayFault fault);
    bool backlightStuck() const;
    void setBacklightStuck(bool stuck);

    // The scene before the cameras.
    Scene scene() const;
    void setScene(Scene scene);
    double lightTemperature() const; // kelvin
    void setLightTemperature(double kelvin);
    // A QR code of `text` (bytes as given) on the wall; empty removes it. False when the text cannot
    // be encoded (too long for any QR version).
    bool setQRCode(const std::string& text);
    std::string qrCode() const;

    // The gains that make the scene's light neutral, and the conversions between gains and
    // temperature / tint that the platform offers (tint moves green against magenta).
    Gains neutralGains() const;
    static Gains gainsForTemperatureAndTint(double kelvin, double tint);
    static void temperatureAndTintForGains(const Gains& gains, double* kelvin, double* tint);

    // A frame of the camera at `position`, `width` x `height` pixels upright, at platform uptime
    // `time`, through `gains`; mirrored left to right when asked. Nothing when the camera is absent.
    std::optional<SimFrame> frame(Position position, int width, int height, const Gains& gains, double time,
                                  bool mirrored = false);

    // The torch of the back camera: `setTorchOn` is what the platform asks; `torchLit` whether light
    // really comes out. `torchLog` records each change of the light (uptime, lit).
    bool hasTorch() const;
    bool hasFlash() const;
    void setTorchOn(bool on);
    bool torchLit() const;
    struct TorchChange {
        double at = 0;
        bool lit = false;
    };
    std::vector<TorchChange> torchLog() const;
    // The flash fired for a still picture: whether it really lit.
    bool fireFlash();

    // Camera access of the app (the platform's numbering) and the system prompt that asks for it.
    // `askAuthorization` while not determined shows the prompt; the operator answers it after
    // `promptDelay` seconds as `promptAnswer` says (Wait: only `answerAuthorizationPrompt`). The
    // reply runs on a global queue once answered; at once (on a global queue) when already decided.
    enum class Authorization { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };
    enum class PromptAnswer { Allow, Deny, Wait };
    Authorization authorization() const;
    void setAuthorization(Authorization authorization);
    void setPromptAnswer(PromptAnswer answer, double promptDelay = 1.0);
    void askAuthorization(std::function<void(bool granted)> reply);
    bool authorizationPromptShown() const;
    void answerAuthorizationPrompt(bool allow);

    // Capabilities and refusals of the camera hardware, set by tests and scenarios: whether a
    // camera can hold its white balance locked, whether it refuses the configuration lock, and
    // whether its capture pipeline fails to start.
    bool lockedWhiteBalanceSupported(Position position) const;
    void setLockedWhiteBalanceSupported(Position position, bool supported);
    bool refusesConfigurationLock() const;
    void setRefusesConfigurationLock(bool refuses);
    bool sessionStartFails() const;
    void setSessionStartFails(bool fails);

    // The display: the light that reaches the eye per unit of backlight (the set brightness, or the
    // level the backlight stuck at) and the faults painted over a screenshot of `width` x `height`.
    double displayLuminance() const;
    void paintDisplayFaults(cairo_t* context, double width, double height) const;

    static const char* cameraStateName(CameraState state);
    static const char* lightStateName(LightState state);
    static const char* displayFaultName(DisplayFault fault);

private:
    SimCamera() = default;
    struct Light {
        double r = 1, g = 1, b = 1;
    };
    static Light lightColour(double kelvin);
    SimFrame renderFrame(int width, int height, const Gains& gains, double time, bool mirrored, bool dead) const;
    void renderScene(cairo_t* context, int width, int height, const Gains& gains, double time) const;

    static constexpr int kFrozenWidth = 480;
    static constexpr int kFrozenHeight = 640;
    mutable std::mutex mutex_;
    CameraState states_[2] = {CameraState::Working, CameraState::Working};
    std::optional<SimFrame> frozen_[2];
    LightState torch_ = LightState::Working;
    LightState flash_ = LightState::Working;
    DisplayFault display_ = DisplayFault::None;
    bool backlightStuck_ = false;
    double stuckLuminance_ = 0.5;
    Scene scene_ = Scene::Chart;
    double kelvin_ = 5000;
    std::string qrText_;
    std::vector<bool> qrModules_;
    int qrWidth_ = 0;
    bool torchOn_ = false;
    std::vector<TorchChange> torchLog_;
    Authorization authorization_ = Authorization::Authorized;
    PromptAnswer promptAnswer_ = PromptAnswer::Allow;
    double promptDelay_ = 1.0;
    std::vector<std::function<void(bool)>> pendingReplies_;
    uint64_t promptGeneration_ = 0;
    bool lockedWhiteBalance_[2] = {true, true};
    bool refusesLock_ = false;
    bool startFails_ = false;
};
