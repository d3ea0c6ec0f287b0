// The battery screen's data sources without the screen: the capability probes by hardware
// identifier and by the platform's cameras, the registry service the I/O Kit listener picks on each
// kind of device, and a listener started twice or stopped while it is not listening.
#include "PowerRadioTestCase.h"

#include <Device/SimCamera.h>
#include <Diagnostics/PowerRadio/FunctionHelper.h>
#include <Diagnostics/PowerRadio/IOKitListener.h>
#include <Foundation/NSNotificationCenter.h>

class BatterySourceTests : public PowerRadioTestCase {
protected:
    void TearDown() override {
        IOKitListener::sharedIOKitListener()->stopListener();
        if (observer_) {
            NSNotificationCenter::defaultCenter()->removeObserver(observer_);
            observer_ = nullptr;
        }
        PowerRadioTestCase::TearDown();
    }
    // Counts the listener's notifications from now on.
    void countPosts() {
        observer_ = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
            IOKitListenerNewDataNotification(), nullptr, nullptr, [this](const Ref<NSNotification>&) { ++posts_; });
    }
    // The registry class of the service the listener reads now ("" when it found none).
    static std::string serviceRead() {
        auto listener = IOKitListener::sharedIOKitListener();
        listener->requestDataRefresh();
        auto dict = listener->chargerDict();
        auto name = dict ? cast<NSString>(dict->objectForKey("IOClass"_ns)) : nullptr;
        return name ? name->str() : std::string();
    }
    id observer_;
    int posts_ = 0;
};

TEST_F(BatterySourceTests, TheIdentifierRules) {
    struct Case {
        const char* identifier;
        bool greaterThan8, touch3D, mute, proximity;
        const char* service;
    };
    const Case cases[] = {
        {"iPhone10,3", true, true, true, true, "AppleSmartBattery"},
        {"iPhone9,1", false, true, true, true, "AppleARMPMUCharger"},  // 9 is not above 9
        {"iPhone8,0", false, false, true, true, "AppleARMPMUCharger"}, // 3D Touch needs a model number above 0
        {"iPhone7,2", false, false, true, true, "AppleARMPMUCharger"},
        {"iPad7,5", false, false, false, false, "AppleARMPMUCharger"},
        {"iPad5,0", false, false, true, false, "AppleARMPMUCharger"},
        {"iPad4,1", false, false, true, false, "AppleARMPMUCharger"},
        {"iPod7,1", false, false, true, true, "AppleARMPMUCharger"}, // no pattern matches
    };
    for (const auto& c : cases) {
        useProfile({{"identifier", c.identifier}});
        EXPECT_EQ(FunctionHelper::greaterthaniPhone8(), c.greaterThan8) << c.identifier;
        EXPECT_EQ(FunctionHelper::has3DTouch(), c.touch3D) << c.identifier;
        EXPECT_EQ(FunctionHelper::hasMute(), c.mute) << c.identifier;
        EXPECT_EQ(FunctionHelper::hasProximity(), c.proximity) << c.identifier;
        EXPECT_EQ(serviceRead(), c.service) << c.identifier;
    }
}

TEST_F(BatterySourceTests, CamerasAndTheFlashAreAskedOfTheCaptureDevices) {
    EXPECT_TRUE(FunctionHelper::hasCameraWithPosition(AVCaptureDevicePositionBack));
    EXPECT_TRUE(FunctionHelper::hasCameraWithPosition(AVCaptureDevicePositionFront));
    EXPECT_FALSE(FunctionHelper::hasCameraWithPosition(AVCaptureDevicePositionUnspecified));
    EXPECT_TRUE(FunctionHelper::hasFlash());
    SimCamera::current().setFlashState(SimCamera::LightState::Absent);
    EXPECT_FALSE(FunctionHelper::hasFlash());
    SimCamera::current().setFlashState(SimCamera::LightState::Working);
    SimDevice::current().setCameraPresent(SimDevice::CameraPosition::Front, false);
    EXPECT_FALSE(FunctionHelper::hasCameraWithPosition(AVCaptureDevicePositionFront));
    EXPECT_TRUE(FunctionHelper::hasFlash());
    // Without a back camera the default device is the front one, which has no flash.
    SimDevice::current().setCameraPresent(SimDevice::CameraPosition::Front, true);
    SimDevice::current().setCameraPresent(SimDevice::CameraPosition::Back, false);
    EXPECT_FALSE(FunctionHelper::hasCameraWithPosition(AVCaptureDevicePositionBack));
    EXPECT_FALSE(FunctionHelper::hasFlash());
}

TEST_F(BatterySourceTests, AListenerStartedTwiceListensOnce) {
    auto listener = IOKitListener::sharedIOKitListener();
    countPosts();
    listener->stopListener(); // not listening: nothing happens
    EXPECT_FALSE(listener->listenerActive());
    listener->startListener();
    listener->startListener();
    EXPECT_TRUE(listener->listenerActive());
    power().overrideServiceProperties("AppleSmartBattery", nlohmann::json{{"Voltage", 4000}});
    advance(0.5);
    EXPECT_EQ(posts_, 1);
    listener->stopListener();
    listener->stopListener();
    EXPECT_FALSE(listener->listenerActive());
    power().overrideServiceProperties("AppleSmartBattery", nlohmann::json{{"Voltage", 4001}});
    advance(0.5);
    EXPECT_EQ(posts_, 1);
    // It can start again, and again once.
    listener->startListener();
    listener->startListener();
    power().overrideServiceProperties("AppleSmartBattery", nlohmann::json{{"Voltage", 4002}});
    advance(0.5);
    EXPECT_EQ(posts_, 2);
}
