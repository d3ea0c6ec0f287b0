// KeyEventSources: how the key screens see the keys they cannot read directly, from the keys' side
// effects: the screen-lock notification of the system (the power key), the application going to the
// background (Home, or the power key) and coming back. A key screen owns one and ends it with
// itself.
//
// The lock observer is the Darwin notification "com.apple.springboard.lockcomplete"; its callback
// only sets the user-defaults flag "kDisplayStatusLocked" (written through at once), which the
// screens read when the application goes to the background.
#pragma once

#include <Foundation/NSString.h>
#include <Reactive/RXSignal.h>

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

private:
    Ref<RXSignal> disappear_;
    Ref<RXSignal> background_;
    Ref<RXSignal> foreground_;
    bool observing_ = false;
};
