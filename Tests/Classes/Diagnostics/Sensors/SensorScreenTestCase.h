// Fixture of the sensor screen tests: one record of a sensor screen run in the run container on
// the simulated device, whose parts the test breaks and whose body it moves, on virtual time.
#pragma once

#include "RunTestCase.h"

#include <Device/SimDevice.h>
#include <Device/SimSensors.h>
#include <Diagnostics/Sensors/CLMManager.h>

class SensorScreenTestCase : public RunTestCase {
protected:
    using Part = SimSensors::Part;
    using State = SimSensors::State;

    SimSensors& sensors = SimSensors::current();

    void SetUp() override {
        RunTestCase::SetUp();
        // The shared motion and location managers keep their last readings (a heading, a field)
        // for as long as they live; each test starts as a fresh launch does, with none made yet.
        CLMManager::sharedManager()->setMotionManager(nullptr);
        CLMManager::sharedManager()->setLocationManager(nullptr);
    }

    Ref<DXBaseViewController> run(const char* controller, NSInteger timeout) {
        auto r = record("SENSOR", controller);
        r->setTimeout(timeout);
        startRun({r}, DXRunTypeProfile);
        auto screen = testScreen();
        EXPECT_TRUE(screen) << UITestDriver::describeScreen();
        return screen;
    }
    NSInteger result() const { return model(0)->result(); }
    bool ended() const { return resultScreen() != nullptr; }
    std::string subResult(const char* key) const {
        auto value = model(0)->subTestItemsResult()->objectForKey(NSString::from(key));
        return value ? NSDescription(value)->str() : "";
    }
    static void tap(const Ref<UIView>& view) {
        ASSERT_TRUE(view);
        ASSERT_TRUE(UITestDriver::tapView(view)) << UITestDriver::describeScreen();
        settle();
    }
};
