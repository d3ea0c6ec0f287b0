// The fixture of the system-information tests: virtual time, a fresh sandbox, and a device loaded
// from a profile (iPhone7,2: every part present with known figures, unless a test loads another).
#pragma once

#include <Device/SimDevice.h>
#include <Support/PlatformTestCase.h>

#include <string>

class SystemInfoTestCase : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        load("iPhone7,2");
    }

    static void load(const std::string& profile) {
        std::string error;
        ASSERT_TRUE(SimDevice::current().loadProfile(profile, &error)) << error;
    }
    static void loadJSON(const std::string& json) {
        std::string error;
        ASSERT_TRUE(SimDevice::current().loadProfileJSON(json, &error)) << error;
    }
    static SimDevice& device() { return SimDevice::current(); }

    // Replaces the device's interfaces (the loopback stays first).
    static void setInterfaces(std::vector<SimDevice::NetworkInterface> interfaces) {
        interfaces.insert(interfaces.begin(), {"lo0", true, "", {{"127.0.0.1", "255.0.0.0"}}, ""});
        device().setNetworkInterfaces(std::move(interfaces));
    }
};
