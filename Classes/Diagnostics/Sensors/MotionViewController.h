// MotionViewController: the base of screens that show live motion and compass readings. It
// chooses push sampling (samples delivered to a private queue) or pull sampling (the latest values
// read at each redraw) from the user defaults, redraws 60 times a second while the screen is shown
// and stops every sensor when it goes. The redraw timer holds the screen weakly, one timer serves
// one appearance, and it stops with the sensors. Subclasses start the sensors they need in the
// hooks.
#pragma once

#include <Core/DXBaseViewController.h>
#include <CoreLocation/CLLocationManager.h>
#include <CoreMotion/CMMotionManager.h>
#include <Foundation/NSOperationQueue.h>
#include <Foundation/NSTimer.h>
#include <Foundation/NSUserDefaults.h>

class MotionViewController : public DXBaseViewController {
    NS_OBJECT(MotionViewController, DXBaseViewController)
public:
    MotionViewController() = default;
    ~MotionViewController() override;

    NS_PROPERTY(Ref<NSOperationQueue>, sampleQueue, setSampleQueue)
    NS_PROPERTY(Ref<NSOperationQueue>, mainQueue, setMainQueue)
    NS_PROPERTY(Ref<NSOperationQueue>, currentQueue, setCurrentQueue)
    NS_PROPERTY(Ref<NSUserDefaults>, defaults, setDefaults)
    NS_PROPERTY(bool, pushTracking, setPushTracking)
    NS_PROPERTY(Ref<NSTimer>, updateViewsTimer, setUpdateViewsTimer)
    NS_PROPERTY(Ref<NSTimer>, motionTimer, setMotionTimer)

    Ref<CMMotionManager> motionManager();
    Ref<CLLocationManager> locationManager();
    // The sampling period in seconds (despite the name); see the user-defaults key of the same name.
    double samplingFrequency();
    void setSamplingFrequency(double seconds);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void pushMotion();
    void pullMotion();
    void stopMotion();
    void timerMotion(const Ref<NSTimer>& timer);
    virtual void pushMotionAdditions() {}
    virtual void pullMotionAdditions() {}
    virtual void updateMotionViews() {}
    virtual void logLocation() {}
    virtual void locationManagerDidUpdateHeading(const Ref<CLLocationManager>&, const Ref<CLHeading>&) {}
    bool locationManagerShouldDisplayHeadingCalibration(const Ref<CLLocationManager>&) { return true; }

    static double degreesToRadians(double degrees);
    static double radiansToDegrees(double radians);
    void logMotion();
    void initialiseDefaults();
    void logDiff();

private:
    void startRedraws(bool commonModes);
    Ref<CMMotionManager> motionManager_;
    Ref<CLLocationManager> locationManager_;
    double samplingFrequency_ = 0;
};
