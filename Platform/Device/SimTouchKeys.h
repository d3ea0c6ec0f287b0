// SimTouchKeys: the touch screen's digitizer and the hardware keys and switch of the simulated
// device.
//
// The digitizer turns a finger on the glass into what the system reports: a point is sensed only
// inside the screen, outside every dead area, with finite coordinates, and for no more fingers than
// the digitizer tracks (5 on a phone, 11 on a tablet; 1 on a digitizer that takes a single finger). Force is sensed
// only by a display with force touch whose force sensor works; it is clamped to 0..kMaximumPossibleForce. A ghost touch
// (a cracked or wet glass) is a touch nobody made, injected for the system to deliver.
//
// The keys (volume up, volume down, power, Home) are physical: a press of a working key reaches the
// system (the volume keys step the output volume of the audio side, SimAudio; the power key locks or
// unlocks, the Home key leaves the application, the screenshot chord takes a screenshot); a dead
// key does nothing when pressed; a stuck key is held in, so a press now does nothing. The
// ring/silent switch is the audio side's part: the operator's thumb moves it through here, and a
// dead switch does not move.
//
// The system's reactions (lock notification, application state, screenshot notification, ghost
// touch delivery) are the platform's: it listens for `Event`s. The record of what the operator did
// (`presses()`) is for tests and the operator only.
//
// Parts come from the device profile ("screen.forceTouch", "homeButton") and from a
// faults overlay (docs/device.md). Thread-safe; listeners run on the calling thread, no lock held.
#pragma once

#include <Device/SimListeners.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SimTouchKeys {
public:
    enum class Key { VolumeUp, VolumeDown, Power, Home };
    enum class KeyState { Working, Dead, Stuck };
    enum class DigitizerState { Working, Dead, SingleTouch };
    enum class ForceState { Working, Dead };

    // The maximum force a force-sensing display reports (the platform's figure).
    static constexpr double kMaximumPossibleForce = 6.666667;

    // Where the lock notification falls relative to the application leaving the foreground.
    enum class LockOrder {
        NotificationFirst, // the lock notification, then background (what the system does)
        NotificationLate,  // background first; the notification `lockNotificationDelay` later
    };

    // What the system must do, told to listeners (the platform).
    enum class Event {
        Lock,       // the power key locked the screen
        Unlock,     // the power key woke and unlocked it
        Home,       // the Home key sent the application to the background
        Screenshot, // the screenshot chord
        VolumeUp,   // a working volume-up press
        VolumeDown, // a working volume-down press
        GhostTouch, // `takeGhostTouches()` has touches to deliver
        Parts,      // a part's state changed
    };

    struct Rect {
        double x = 0, y = 0, width = 0, height = 0;
        bool contains(double px, double py) const { return px >= x && py >= y && px < x + width && py < y + height; }
    };
    struct Point {
        double x = 0, y = 0;
    };
    // One thing the operator did to the hardware, and whether the hardware passed it on.
    struct Press {
        std::string what; // "volumeUpKey", "powerKey", "screenshotChord", "ringerSwitch", ...
        double at = 0;    // platform clock uptime
        bool effective = false;
    };

    static SimTouchKeys& current();

    // Part names of faults overlays: "digitizer", "screenArea", "forceTouch", "volumeUpKey",
    // "volumeDownKey", "powerKey", "homeKey".
    static const std::vector<std::string>& partNames();
    static const char* keyPartName(Key key);
    // The states a faults overlay may give the part of that name (none for another domain's part).
    static std::vector<std::string> states(const std::string& part);
    // Whether the device is built with the part of that name (a phone with the tall screen has no
    // Home key, a display without force touch no force sensor), whatever a faults overlay did since.
    bool fitted(const std::string& part) const;

    // A faults overlay: {"volumeUpKey": "dead", "screenArea": [0, 0, 375, 100], ...}. Names of parts
    // that other components own are left to them; an unknown state rejects the whole overlay.
    bool applyFaults(const std::string& json, std::string* error = nullptr);
    bool loadFaults(const std::string& path, std::string* error = nullptr);
    // Back to the profile in force, all parts working, nothing recorded.
    void reset();

    // The digitizer.
    DigitizerState digitizerState() const;
    void setDigitizerState(DigitizerState state);
    std::vector<Rect> deadAreas() const;
    void setDeadAreas(std::vector<Rect> areas);
    void addDeadArea(Rect area);
    // Whether a finger at (x, y) in screen points is sensed.
    bool senses(double x, double y) const;
    // How many fingers the digitizer tracks at once (one when it takes a single finger).
    size_t maximumTouches() const;
    // Force sensing: the display has it (profile) and its sensor works.
    bool hasForceTouch() const;
    ForceState forceState() const;
    void setForceState(ForceState state);
    // The force the system reports for a finger pressing with `force`: 0 without working force
    // sensing, else clamped to 0..maximumPossibleForce() (NaN reads 0).
    double sensedForce(double force) const;
    double maximumPossibleForce() const;
    // Ghost touches: taps at screen points that nobody made; the platform takes and delivers them.
    void injectGhostTouch(double x, double y);
    std::vector<Point> takeGhostTouches();

    // The keys and the switch.
    bool hasHomeButton() const;
    // The audio side's switch is there (phones have one, tablets not).
    bool hasRingerSwitch() const;
    KeyState keyState(Key key) const;
    void setKeyState(Key key, KeyState state);
    // The operator presses (and releases) a key. Answers whether the press reached the system.
    bool pressKey(Key key);
    // The screenshot chord: Home + power, or volume up + power on a device without a Home button;
    // both keys must work.
    bool pressScreenshotChord();
    // The switch's position (true: silent), and the operator moving it; answers whether it moved.
    bool ringerSilent() const;
    bool toggleRingerSwitch();
    bool setRingerSwitch(bool silent);
    bool isLocked() const;

    // The scripted order of the lock notification and the background entry.
    LockOrder lockOrder() const;
    double lockNotificationDelay() const;
    void setLockOrder(LockOrder order, double lateDelay = 0.5);

    // The record.
    std::vector<Press> presses() const;

    uint64_t addListener(std::function<void(Event)> listener);
    void removeListener(uint64_t token);

private:
    SimTouchKeys();
    void loadProfileLocked(const std::string& profileText);
    void record(const std::string& what, bool effective);
    void notify(Event event);

    mutable std::mutex mutex_;
    DigitizerState digitizer_ = DigitizerState::Working;
    std::vector<Rect> deadAreas_;
    double screenWidth_ = 0, screenHeight_ = 0;
    bool pad_ = false;
    bool forceTouch_ = false;
    ForceState forceState_ = ForceState::Working;
    std::vector<Point> ghosts_;
    bool homeButton_ = true;
    KeyState keys_[4] = {KeyState::Working, KeyState::Working, KeyState::Working, KeyState::Working};
    bool locked_ = false;
    LockOrder lockOrder_ = LockOrder::NotificationFirst;
    double lockDelay_ = 0.5;
    std::vector<Press> presses_;
    SimListeners<Event> listeners_;
    uint64_t deviceListener_ = 0;
};
