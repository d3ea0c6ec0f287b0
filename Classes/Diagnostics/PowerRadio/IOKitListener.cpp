#include <Diagnostics/PowerRadio/IOKitListener.h>

#include <Diagnostics/PowerRadio/FunctionHelper.h>
#include <Dispatch/DispatchOnce.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSRunLoop.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(IOKitListener, NSObject) {
    b.property("chargerDict", &IOKitListener::chargerDict, &IOKitListener::setChargerDict);
}

const Ref<NSString>& IOKitListenerNewDataNotification() {
    static const Ref<NSString>& name = *new Ref<NSString>(NSString::from("IOKitListenerNewDataNotification"));
    return name;
}

IOKitListener::IOKitListener() {
    (void)IOMasterPort(bootstrap_port, &masterPort_);
    matchService();
}

void IOKitListener::matchService() {
    // While listening, the registration holds on to the entry it was made for.
    if (listenerActive_) {
        return;
    }
    if (chargerEntry_ != 0) {
        (void)IOObjectRelease(chargerEntry_);
    }
    const char* service = FunctionHelper::greaterthaniPhone8() ? "AppleSmartBattery" : "AppleARMPMUCharger";
    chargerEntry_ = IOServiceGetMatchingService(masterPort_, IOServiceMatching(service));
}

Ref<IOKitListener> IOKitListener::sharedIOKitListener() {
    static Ref<IOKitListener>* shared = nullptr;
    static dispatch_once_t once;
    dispatch_once(&once, [] { shared = new Ref<IOKitListener>(make<IOKitListener>()); });
    return *shared;
}

void IOKitListener::startListener() {
    matchService();
    if (listenerActive_ || chargerEntry_ == 0) {
        return;
    }
    notificationPort_ = IONotificationPortCreate(masterPort_);
    notificationRunLoopSource_ = IONotificationPortGetRunLoopSource(notificationPort_);
    runLoop_ = NSRunLoop::currentRunLoop();
    runLoop_->addPortForMode(notificationRunLoopSource_, NSDefaultRunLoopMode());
    // The handle is kept, so that stopping ends the registration too.
    (void)IOServiceAddInterestNotification(notificationPort_, chargerEntry_, kIOGeneralInterest,
                                           IOKitListenerInterestCallback, this, &notification_);
    listenerActive_ = true;
}

void IOKitListener::stopListener() {
    if (!listenerActive_) {
        return;
    }
    if (notification_) {
        (void)IOObjectRelease(notification_);
        notification_ = 0;
    }
    if (runLoop_ && notificationRunLoopSource_) {
        runLoop_->removePortForMode(notificationRunLoopSource_, NSDefaultRunLoopMode());
    }
    IONotificationPortDestroy(notificationPort_);
    notificationPort_ = nullptr;
    notificationRunLoopSource_ = nullptr;
    runLoop_ = nullptr;
    listenerActive_ = false;
}

void IOKitListener::chargerObjectRefreshed() {
    matchService();
    if (chargerEntry_ == 0) {
        return;
    }
    Ref<NSMutableDictionary> properties;
    if (IORegistryEntryCreateCFProperties(chargerEntry_, &properties, nullptr, 0) != KERN_SUCCESS) {
        properties = nullptr; // the service went away: an empty reading tells the screen so
    }
    setChargerDict(properties ? properties : NSDictionary::dictionary());
    NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(
        IOKitListenerNewDataNotification(), Ref<IOKitListener>(this),
        NSDictionary::dictionaryWithEntries({{"chargerDict"_ns, chargerDict()}}));
}

Ref<NSDictionary> IOKitListener::chargerDict() const {
    std::lock_guard lock(mutex_);
    return chargerDict_;
}

void IOKitListener::setChargerDict(const Ref<NSDictionary>& dict) {
    std::lock_guard lock(mutex_);
    chargerDict_ = dict;
}

void IOKitListenerInterestCallback(void* refCon, io_service_t, uint32_t, void*) {
    if (auto* listener = static_cast<IOKitListener*>(refCon)) {
        listener->chargerObjectRefreshed();
    }
}
