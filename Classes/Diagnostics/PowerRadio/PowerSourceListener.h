// PowerSourceListener: the battery's data source on older systems. Battery monitoring makes the
// system build a power-source dictionary (the charger service's properties); the listener turns
// monitoring on from a thread of its own ("PowerSourceListener"), and at each change of the battery
// level or state takes that dictionary, checks that it is the charger's ("IOClass"
// "AppleARMPMUCharger", or containing "PMUPowerSource" in any case) and posts an immutable copy as
// "PowerSourceListenerNewDataNotification" on the main thread. One per process.
//
// The listener only undoes what it did itself: a stop removes its observations only when its start
// made them, and leaves monitoring that somebody else switched on alone.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSThread.h>

#include <atomic>

const Ref<NSString>& PowerSourceListenerNewDataNotification();

class PowerSourceListener : public NSObject {
    NS_OBJECT(PowerSourceListener, NSObject)
public:
    PowerSourceListener();
    static Ref<PowerSourceListener> sharedPowerSourceListener();

    // Perform the workers on the listener thread without waiting.
    void startListener();
    void stopListener();
    void startListenerWorker();
    void stopListenerWorker();

    static bool isChargerDictionary(const Ref<NSDictionary>& dictionary);
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>& change, void* context) override;

    const Ref<NSThread>& listenerThread() const noexcept { return listenerThread_; }
    bool isObserving() const noexcept { return observing_.load(); }

private:
    void listenerThreadMain();
    void findPowerSource();
    Ref<NSThread> listenerThread_;
    std::atomic<bool> observing_{false};
};
