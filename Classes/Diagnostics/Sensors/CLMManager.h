// CLMManager: the process-wide holder of the one motion manager and the one location manager that
// the motion screens share, each made on first read.
#pragma once

#include <CoreLocation/CLLocationManager.h>
#include <CoreMotion/CMMotionManager.h>

class CLMManager : public NSObject {
    NS_OBJECT(CLMManager, NSObject)
public:
    CLMManager() = default;
    static Ref<CLMManager> sharedManager();

    Ref<CMMotionManager> motionManager();
    void setMotionManager(const Ref<CMMotionManager>& manager) { motionManager_ = manager; }
    Ref<CLLocationManager> locationManager();
    void setLocationManager(const Ref<CLLocationManager>& manager) { locationManager_ = manager; }

    void locationManagerDidUpdateToLocationFromLocation(const Ref<CLLocationManager>& manager,
                                                        const Ref<CLLocation>& newLocation,
                                                        const Ref<CLLocation>& oldLocation);
    void locationManagerDidFailWithError(const Ref<CLLocationManager>& manager, const Ref<NSError>& error);

private:
    Ref<CMMotionManager> motionManager_;
    Ref<CLLocationManager> locationManager_;
};
