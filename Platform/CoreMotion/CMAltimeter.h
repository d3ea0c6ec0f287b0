// CMAltimeter: the barometer. Relative-altitude updates come about once a second to an operation
// queue: the change of altitude since the updates started and the air pressure in kilopascals. A
// device without a barometer is not available; starting updates there sends one error
// (CMErrorDomain, CMErrorNotAvailable). A dead barometer sends nothing.
#pragma once

#include <CoreMotion/CMAltitudeData.h>
#include <CoreMotion/CMError.h>
#include <Foundation/NSOperationQueue.h>

#include <functional>
#include <memory>

class CMSampleStream;

using CMAltitudeHandler = std::function<void(const Ref<CMAltitudeData>&, const Ref<NSError>&)>;

class CMAltimeter : public NSObject {
    NS_OBJECT(CMAltimeter, NSObject)
public:
    CMAltimeter();
    ~CMAltimeter() override;

    static bool isRelativeAltitudeAvailable();
    static constexpr double kUpdateInterval = 1.0;

    void startRelativeAltitudeUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue, CMAltitudeHandler handler);
    void stopRelativeAltitudeUpdates();

private:
    std::unique_ptr<CMSampleStream> stream_;
};
