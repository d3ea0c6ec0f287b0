// KeyEventSources: how the key screens see the keys they cannot read directly, from the keys' side
// effects: a change of the system output volume (the volume keys), the screen-lock notification of
// the system (the power key), the application going to the background (Home, or the power key) and
// coming back, and the screenshot notification (the screenshot chord). A key screen owns one and
// ends it with itself.
//
// Volume: the system volume notification counts only for the categories "Audio/Video", "Ringtone"
// and "PhoneCall" with the reason "ExplicitVolumeChange" (a key press); its new volume goes to the
// screen, which compares it with its reference. The output-volume listener of the audio session
// runs on the session's own queue: it only hands the new volume to the main queue, where the screen
// compares it (the reference is read and written on the main thread only), and a listener whose
// screen has gone hands nothing on.
//
// The lock observer is the Darwin notification "com.apple.springboard.lockcomplete"; its callback
// only sets the user-defaults flag "kDisplayStatusLocked" (written through at once), which the
// screens read when the application goes to the background.
#pragma once

#include <Foundation/NSString.h>
#include <Reactive/RXSignal.h>

#include <cstdint>
#include <functional>

// "kDisplayStatusLocked".
const Ref<NSString>& DXDisplayStatusLockedKey();

class KeyEventSources {
public:
    // `disappear`: the screen's end-of-screen signal; the application-state signals end with it.
    explicit KeyEventSources(Ref<RXSignal> disappear) : disappear_(std::move(disappear)) {}
    ~KeyEventSources();
    KeyEventSources(const KeyEventSources&) = delete;
    KeyEventSources& operator=(const KeyEventSources&) = delete;

    // `addORremoveLockObserver:`: adding clears the flag first.
    void addORremoveLockObserver(bool add);
    bool isObservingLock() const noexcept { return observing_; }
    // The flag, read and written through the user defaults.
    static bool displayStatusLocked();
    static void setDisplayStatusLocked(bool locked);

    // Application did-enter-background and will-enter-foreground, YES per event, made once and
    // ended by `disappear`.
    Ref<RXSignal> enterToBackgound2();
    Ref<RXSignal> enterToForeground2();

    // `monitorVolumeKeyEvent`'s source: activates the audio session, receives remote-control events,
    // and sends the new volume (an NSNumber float) of each counting volume notification, until
    // `disappear`.
    Ref<RXSignal> volumeKeyChanges();
    // The first screenshot notification, until `disappear`.
    Ref<RXSignal> screenshot();
    // `setVolumeHidden:`: the private overlay switch of the application, when it has one.
    static void setVolumeHidden(bool hidden);

    // The output-volume listener (`initializeVolumeButtonStealer`): `handler` gets each new volume on
    // the main queue until `removeVolumeListener` or the end of the sources.
    void addVolumeListener(std::function<void(float volume)> handler);
    void removeVolumeListener();
    bool hasVolumeListener() const noexcept { return listenerToken_ != 0; }

private:
    uintptr_t listenerToken_ = 0;
    Ref<RXSignal> disappear_;
    Ref<RXSignal> background_;
    Ref<RXSignal> foreground_;
    bool observing_ = false;
};
