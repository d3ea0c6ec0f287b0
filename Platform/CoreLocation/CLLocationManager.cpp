#include <CoreLocation/CLLocationManager.h>

#include <Device/SimSensors.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchSource.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSArray.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>

NS_IMPLEMENT_PROTOCOL(CLLocationManagerDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.optional<void(Ref<CLLocationManager>, Ref<NSArray>)>("locationManager:didUpdateLocations:");
    p.optional<void(Ref<CLLocationManager>, Ref<CLLocation>, Ref<CLLocation>)>(
        "locationManager:didUpdateToLocation:fromLocation:");
    p.optional<void(Ref<CLLocationManager>, Ref<CLHeading>)>("locationManager:didUpdateHeading:");
    p.optional<bool(Ref<CLLocationManager>)>("locationManagerShouldDisplayHeadingCalibration:");
    p.optional<void(Ref<CLLocationManager>, Ref<NSError>)>("locationManager:didFailWithError:");
    p.optional<void(Ref<CLLocationManager>, int)>("locationManager:didChangeAuthorizationStatus:");
}

NS_IMPLEMENT_CLASS(CLLocationManager, NSObject) {
    using M = CLLocationManager;
    b.property("delegate", &M::delegate, &M::setDelegate, "weak");
    b.property("desiredAccuracy", &M::desiredAccuracy, &M::setDesiredAccuracy);
    b.property("distanceFilter", &M::distanceFilter, &M::setDistanceFilter);
    b.property("headingFilter", &M::headingFilter, &M::setHeadingFilter);
    b.readonlyProperty("location", &M::location);
    b.readonlyProperty("heading", &M::heading);
    b.classMethod("authorizationStatus", [] { return static_cast<int>(CLLocationManager::authorizationStatus()); });
    b.classMethod("locationServicesEnabled", [] { return CLLocationManager::locationServicesEnabled(); });
    b.classMethod("headingAvailable", [] { return CLLocationManager::headingAvailable(); });
}

const Ref<NSString>& kCLErrorDomain() {
    static const Ref<NSString>& domain = *new Ref<NSString>(NSString::from("kCLErrorDomain"));
    return domain;
}

namespace {

using Part = SimSensors::Part;

dispatch_source_t mainTimer(double interval, std::function<void()> tick) {
    dispatch_source_t timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    auto step = static_cast<uint64_t>(interval * 1e9);
    dispatch_source_set_timer(timer, dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(step)), step, 0);
    dispatch_source_set_event_handler(timer, std::move(tick));
    dispatch_resume(timer);
    return timer;
}

void cancel(dispatch_source_t& timer) {
    if (timer) {
        dispatch_source_cancel(timer);
        timer = nullptr;
    }
}

bool sendIfResponds(const id& target, SEL selector, const std::vector<id>& args) {
    if (!target || !target->respondsToSelector(selector)) {
        return false;
    }
    target->performSelectorWithArguments(selector, args);
    return true;
}

bool authorized(SimSensors::Authorization status) {
    return status == SimSensors::Authorization::Always || status == SimSensors::Authorization::WhenInUse;
}

} // namespace

struct CLLocationManager::Timers {
    dispatch_source_t location;
    dispatch_source_t heading;
};

CLLocationManager::CLLocationManager() : timers_(std::make_unique<Timers>()) {
    Weak<CLLocationManager> weak(this);
    listener_ = SimSensors::current().addListener([weak](SimSensors::Change change) {
        if (change != SimSensors::Change::LocationAuthorization) {
            return;
        }
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto manager = weak.lock()) {
                manager->authorizationChanged();
            }
        });
    });
}

CLLocationManager::~CLLocationManager() {
    SimSensors::current().removeListener(listener_);
    cancel(timers_->location);
    cancel(timers_->heading);
}

CLAuthorizationStatus CLLocationManager::authorizationStatus() {
    return static_cast<CLAuthorizationStatus>(SimSensors::current().locationAuthorization());
}

bool CLLocationManager::locationServicesEnabled() {
    return SimSensors::current().locationServicesEnabled();
}

bool CLLocationManager::headingAvailable() {
    return SimSensors::current().isPresent(Part::Magnetometer);
}

void CLLocationManager::requestWhenInUseAuthorization() {
    SimSensors::current().requestLocationAuthorization();
}

void CLLocationManager::requestAlwaysAuthorization() {
    SimSensors::current().requestLocationAuthorization();
}

void CLLocationManager::authorizationChanged() {
    Ref<CLLocationManager> self(this);
    reportedFailure_ = false;
    sendIfResponds(delegate(), "locationManager:didChangeAuthorizationStatus:",
                   {self, box(static_cast<int>(authorizationStatus()))});
}

void CLLocationManager::startUpdatingLocation() {
    if (updatingLocation_) {
        return;
    }
    updatingLocation_ = true;
    reportedFailure_ = false;
    Weak<CLLocationManager> weak(this);
    timers_->location = mainTimer(kLocationInterval, [weak] {
        if (auto manager = weak.lock()) {
            manager->locationTick();
        }
    });
}

void CLLocationManager::stopUpdatingLocation() {
    updatingLocation_ = false;
    cancel(timers_->location);
}

void CLLocationManager::locationTick() {
    if (!updatingLocation_) {
        return;
    }
    Ref<CLLocationManager> self(this);
    SimSensors& sensors = SimSensors::current();
    auto status = sensors.locationAuthorization();
    if (!sensors.locationServicesEnabled() || status == SimSensors::Authorization::Denied ||
        status == SimSensors::Authorization::Restricted) {
        if (!reportedFailure_) {
            reportedFailure_ = true;
            sendIfResponds(delegate(), "locationManager:didFailWithError:",
                           {self, make<NSError>(kCLErrorDomain(), kCLErrorDenied)});
        }
        return;
    }
    if (!authorized(status)) {
        return; // the user has not answered yet
    }
    auto fix = sensors.locationFix(DispatchClock::uptime());
    if (!fix) {
        if (!sensors.isPresent(Part::GPS) && !reportedFailure_) {
            reportedFailure_ = true;
            sendIfResponds(delegate(), "locationManager:didFailWithError:",
                           {self, make<NSError>(kCLErrorDomain(), kCLErrorLocationUnknown)});
        }
        return;
    }
    auto fresh = make<CLLocation>(CLLocationCoordinate2D{fix->latitude, fix->longitude}, fix->altitude,
                                  fix->horizontalAccuracy, fix->verticalAccuracy, fix->course, fix->speed);
    Ref<CLLocation> old = location_;
    if (old && distanceFilter_ > 0 && fresh->distanceFromLocation(old) < distanceFilter_) {
        return;
    }
    location_ = fresh;
    id target = delegate();
    if (!sendIfResponds(target, "locationManager:didUpdateLocations:",
                        {self, NSArray::arrayWithRefs(std::vector<Ref<CLLocation>>{fresh})})) {
        sendIfResponds(target, "locationManager:didUpdateToLocation:fromLocation:", {self, fresh, old});
    }
}

void CLLocationManager::startUpdatingHeading() {
    if (updatingHeading_) {
        return;
    }
    updatingHeading_ = true;
    Weak<CLLocationManager> weak(this);
    timers_->heading = mainTimer(kHeadingInterval, [weak] {
        if (auto manager = weak.lock()) {
            manager->headingTick();
        }
    });
}

void CLLocationManager::stopUpdatingHeading() {
    updatingHeading_ = false;
    cancel(timers_->heading);
}

void CLLocationManager::headingTick() {
    if (!updatingHeading_) {
        return;
    }
    auto reading = SimSensors::current().heading(DispatchClock::uptime());
    if (!reading) {
        return;
    }
    if (heading_ && headingFilter_ > 0) {
        double change = std::abs(reading->magneticHeading - heading_->magneticHeading());
        change = std::min(change, 360 - change);
        if (change < headingFilter_) {
            return;
        }
    }
    heading_ = make<CLHeading>(reading->magneticHeading, reading->trueHeading, reading->accuracy, reading->field.x,
                               reading->field.y, reading->field.z);
    sendIfResponds(delegate(), "locationManager:didUpdateHeading:", {Ref<CLLocationManager>(this), heading_});
}
