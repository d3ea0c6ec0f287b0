// Fixture of the power, radio and status screen tests: one record run in the run container on the
// simulated device, whose battery, plugs and radios the test changes, on virtual time.
#pragma once

#include "RunTestCase.h"

#include <Device/SimDevice.h>
#include <Device/SimPower.h>

#include <nlohmann/json.hpp>

class PowerRadioTestCase : public RunTestCase {
protected:
    SimPower& power() { return SimPower::current(); }

    Ref<DXBaseViewController> run(const char* controller, NSInteger timeout = 0, const char* key = "TEST") {
        auto r = record(key, controller);
        r->setTimeout(timeout);
        startRun({r}, DXRunTypeProfile);
        auto screen = testScreen();
        EXPECT_TRUE(screen) << UITestDriver::describeScreen();
        return screen;
    }
    NSInteger result() const { return model(0)->result(); }
    bool ended() const { return resultScreen() != nullptr; }

    // The default profile with some members changed ({"systemVersion": "9.3"}).
    static void useProfile(const nlohmann::json& changes) {
        auto profile = nlohmann::json::parse(SimDevice::current().profileJSON());
        if (changes.contains("identifier") && profile.contains("battery")) {
            profile["battery"].erase("designCapacity"); // the base device's own battery
        }
        for (auto& [key, value] : changes.items()) {
            profile[key] = value;
        }
        std::string error;
        ASSERT_TRUE(SimDevice::current().loadProfileJSON(profile.dump(), &error)) << error;
    }
    static std::string labelText(const Ref<UILabel>& label) {
        return label && label->text() ? label->text()->str() : std::string();
    }
    static bool shown(const Ref<UIView>& view) { return view && !view->isHidden(); }
    static void tap(const Ref<UIView>& view) {
        ASSERT_TRUE(view);
        ASSERT_TRUE(UITestDriver::tapView(view)) << UITestDriver::describeScreen();
        settle();
    }
};
