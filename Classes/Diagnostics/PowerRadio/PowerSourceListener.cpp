#include <Diagnostics/PowerRadio/PowerSourceListener.h>

#include <Dispatch/DispatchOnce.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSObject+NSThreadPerformAdditions.h>
#include <Foundation/NSPort.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Foundation/NSRunLoop.h>
#include <IOKit/IOPowerSources.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDevice.h>

NS_IMPLEMENT_CLASS(PowerSourceListener, NSObject) {}

const Ref<NSString>& PowerSourceListenerNewDataNotification() {
    static const Ref<NSString>& name = *new Ref<NSString>(NSString::from("PowerSourceListenerNewDataNotification"));
    return name;
}

PowerSourceListener::PowerSourceListener() {
    Weak<PowerSourceListener> weak(this);
    listenerThread_ = make<NSThread>([weak] {
        if (auto self = weak.lock()) {
            self->listenerThreadMain();
        }
    });
    listenerThread_->setName("PowerSourceListener"_ns);
    listenerThread_->start();
}

Ref<PowerSourceListener> PowerSourceListener::sharedPowerSourceListener() {
    static Ref<PowerSourceListener>* shared = nullptr;
    static dispatch_once_t once;
    dispatch_once(&once, [] { shared = new Ref<PowerSourceListener>(make<PowerSourceListener>()); });
    return *shared;
}

void PowerSourceListener::listenerThreadMain() {
    // A port keeps the run loop waiting for work for the rest of the process.
    auto runLoop = NSRunLoop::currentRunLoop();
    runLoop->addPortForMode(NSMachPort::port(), NSDefaultRunLoopMode());
    while (runLoop->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::distantFuture())) {
    }
}

void PowerSourceListener::startListener() {
    Ref<PowerSourceListener> self(this);
    performBlockOnThreadWaitUntilDone(
        listenerThread_, [self] { self->startListenerWorker(); }, false);
}

void PowerSourceListener::stopListener() {
    Ref<PowerSourceListener> self(this);
    performBlockOnThreadWaitUntilDone(
        listenerThread_, [self] { self->stopListenerWorker(); }, false);
}

void PowerSourceListener::startListenerWorker() {
    // UIDevice belongs to the main thread: the switch and the observations are made there.
    Ref<PowerSourceListener> self(this);
    dispatch_sync(dispatch_get_main_queue(), [self] {
        auto device = UIDevice::currentDevice();
        if (device->isBatteryMonitoringEnabled() || self->observing_) {
            return;
        }
        device->addObserverForKeyPathOptionsContext(self.get(), "batteryState"_ns, NSKeyValueObservingOptionNew,
                                                    nullptr);
        device->addObserverForKeyPathOptionsContext(self.get(), "batteryLevel"_ns, NSKeyValueObservingOptionNew,
                                                    nullptr);
        self->observing_ = true;
        device->setBatteryMonitoringEnabled(true);
    });
}

void PowerSourceListener::stopListenerWorker() {
    Ref<PowerSourceListener> self(this);
    dispatch_sync(dispatch_get_main_queue(), [self] {
        auto device = UIDevice::currentDevice();
        if (!self->observing_) {
            return; // nothing of ours to undo
        }
        self->observing_ = false;
        device->setBatteryMonitoringEnabled(false);
        device->removeObserverForKeyPath(self.get(), "batteryState"_ns);
        device->removeObserverForKeyPath(self.get(), "batteryLevel"_ns);
    });
}

bool PowerSourceListener::isChargerDictionary(const Ref<NSDictionary>& dictionary) {
    auto ioClass = dictionary ? cast<NSString>(dictionary->objectForKey("IOClass"_ns)) : nullptr;
    if (!ioClass) {
        return false;
    }
    if (ioClass->str() == "AppleARMPMUCharger") {
        return true;
    }
    std::string lower = ioClass->str();
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower.find("pmupowersource") != std::string::npos;
}

void PowerSourceListener::observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>&, const id&,
                                                                      const Ref<NSDictionary>& change, void*) {
    if (!change || !change->objectForKey(NSKeyValueChangeNewKey())) {
        return;
    }
    Ref<PowerSourceListener> self(this);
    performBlockOnThreadWaitUntilDone(
        listenerThread_, [self] { self->findPowerSource(); }, false);
}

void PowerSourceListener::findPowerSource() {
    auto found = IOPSCopyPowerSourceDictionary();
    if (!isChargerDictionary(found)) {
        return;
    }
    // An immutable deep copy: a property list written out and read back.
    auto data = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        found, NSPropertyListBinaryFormat_v1_0, 0, nullptr);
    auto copy = data ? cast<NSDictionary>(NSPropertyListSerialization::propertyListWithDataOptionsFormatError(
                           data, NSPropertyListImmutable, nullptr, nullptr))
                     : nullptr;
    if (!copy) {
        return;
    }
    Ref<PowerSourceListener> self(this);
    dispatch_sync(dispatch_get_main_queue(), [self, copy] {
        NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(
            PowerSourceListenerNewDataNotification(), self, copy);
    });
}
