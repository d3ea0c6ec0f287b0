// IOKitListener: reads the battery's registry service ("AppleSmartBattery" on iPhone10,x and later,
// "AppleARMPMUCharger" before) and posts "IOKitListenerNewDataNotification" with its properties
// whenever the service reports a change, on the thread that started listening. One per process; the
// service is matched again whenever it is not listening, never kept from an earlier session.
#pragma once

#include <Foundation/NSDictionary.h>
#include <IOKit/IOKitLib.h>

#include <mutex>

const Ref<NSString>& IOKitListenerNewDataNotification();

class IOKitListener : public NSObject {
    NS_OBJECT(IOKitListener, NSObject)
public:
    IOKitListener();
    static Ref<IOKitListener> sharedIOKitListener();

    // Adds the service's interest notification to the current thread's run loop; once only.
    void startListener();
    // Removes it again, on the thread that started it.
    void stopListener();
    // Reads the service's properties and posts them; nothing without a matched service. Outside a
    // listening period the service is matched afresh first.
    void chargerObjectRefreshed();
    void requestDataRefresh() { chargerObjectRefreshed(); }

    Ref<NSDictionary> chargerDict() const;
    void setChargerDict(const Ref<NSDictionary>& dict);
    bool listenerActive() const noexcept { return listenerActive_; }
    io_registry_entry_t chargerEntry() const noexcept { return chargerEntry_; }

private:
    // Looks the battery service up again when not listening: the listener lives as long as the
    // process, the service it finds is the one the device has now (none when it has none).
    void matchService();
    mach_port_t masterPort_ = 0;
    io_registry_entry_t chargerEntry_ = 0;
    bool listenerActive_ = false;
    IONotificationPortRef notificationPort_ = nullptr;
    Ref<NSPort> notificationRunLoopSource_;
    Ref<NSRunLoop> runLoop_;
    io_object_t notification_ = 0;
    mutable std::mutex mutex_;
    Ref<NSDictionary> chargerDict_;
};

void IOKitListenerInterestCallback(void* refCon, io_service_t service, uint32_t messageType, void* messageArgument);
