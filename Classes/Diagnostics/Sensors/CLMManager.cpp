#include <Diagnostics/Sensors/CLMManager.h>

#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CLMManager, NSObject) {
    using M = CLMManager;
    b.conformsTo(NS_PROTOCOL(CLLocationManagerDelegate));
    b.method("locationManager:didUpdateToLocation:fromLocation:", &M::locationManagerDidUpdateToLocationFromLocation);
    b.method("locationManager:didFailWithError:", &M::locationManagerDidFailWithError);
    b.classMethod("sharedManager", [] { return CLMManager::sharedManager(); });
}

Ref<CLMManager> CLMManager::sharedManager() {
    static Ref<CLMManager>* shared = new Ref<CLMManager>(make<CLMManager>());
    return *shared;
}

Ref<CMMotionManager> CLMManager::motionManager() {
    if (!motionManager_) {
        motionManager_ = make<CMMotionManager>();
    }
    return motionManager_;
}

Ref<CLLocationManager> CLMManager::locationManager() {
    if (!locationManager_) {
        locationManager_ = make<CLLocationManager>();
    }
    return locationManager_;
}

void CLMManager::locationManagerDidUpdateToLocationFromLocation(const Ref<CLLocationManager>&,
                                                                const Ref<CLLocation>& newLocation,
                                                                const Ref<CLLocation>& oldLocation) {
    NSLog("moved from %@ to %@", oldLocation, newLocation);
}

void CLMManager::locationManagerDidFailWithError(const Ref<CLLocationManager>& manager, const Ref<NSError>& error) {
    NSLog("received Core Location Error %@", error);
    if (manager) {
        manager->stopUpdatingLocation();
    }
}
