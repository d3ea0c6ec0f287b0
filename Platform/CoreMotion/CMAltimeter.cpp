#include <CoreMotion/CMAltimeter.h>

#include <CoreMotion/CMSampleStream.h>
#include <Device/SimSensors.h>
#include <Runtime/ClassBuilder.h>

#include <optional>

NS_IMPLEMENT_CLASS(CMAltimeter, NSObject) {
    b.classMethod("isRelativeAltitudeAvailable", [] { return CMAltimeter::isRelativeAltitudeAvailable(); });
}

namespace {

dispatch_queue_t timerQueue() {
    static dispatch_queue_t* queue = new dispatch_queue_t(dispatch_queue_create("CMAltimeter", nullptr));
    return *queue;
}

} // namespace

CMAltimeter::CMAltimeter() : stream_(std::make_unique<CMSampleStream>(kUpdateInterval, timerQueue())) {}

CMAltimeter::~CMAltimeter() = default;

bool CMAltimeter::isRelativeAltitudeAvailable() {
    return SimSensors::current().isPresent(SimSensors::Part::Barometer);
}

void CMAltimeter::startRelativeAltitudeUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue,
                                                                 CMAltitudeHandler handler) {
    if (!queue || !handler) {
        return;
    }
    // The altitude counts from the first reading after the start.
    auto reference = std::make_shared<std::optional<double>>();
    stream_->start(
        [reference](double time, bool) -> CMSampleStream::Results {
            SimSensors& sensors = SimSensors::current();
            if (!sensors.isPresent(SimSensors::Part::Barometer)) {
                return {{nullptr, CMNotAvailableError()}};
            }
            auto reading = sensors.altimeter(time);
            if (!reading) {
                return {};
            }
            if (!*reference) {
                *reference = reading->height;
            }
            return {{make<CMAltitudeData>(time, reading->height - **reference, reading->pressure), nullptr}};
        },
        queue,
        [handler = std::move(handler)](const id& sample, const Ref<NSError>& error) {
            handler(cast<CMAltitudeData>(sample), error);
        });
}

void CMAltimeter::stopRelativeAltitudeUpdates() {
    stream_->stop();
}
