// Fixture of the camera and display screen tests: one record run in the run container on the
// simulated device, whose cameras, torch and display the test breaks, on virtual time; helpers to
// look at the screen (a screenshot's colours) as the operator would.
#pragma once

#include "RunTestCase.h"

#include <CoreGraphics/CGImage.h>
#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreenshot.h>

#include <array>
#include <filesystem>

class CameraScreenTestCase : public RunTestCase {
protected:
    void SetUp() override {
        RunTestCase::SetUp();
        camera.reset();
    }
    void TearDown() override {
        RunTestCase::TearDown();
        camera.reset();
    }

    SimCamera& camera = SimCamera::current();

    Ref<DXTestModel> cameraRecord(const char* key, const char* controller, const char* direction = nullptr,
                                  const char* color = nullptr) {
        auto r = record(key, controller);
        auto params = NSMutableDictionary::dictionary();
        if (direction) {
            params->setObjectForKey(NSString::from(direction), "direction"_ns);
        }
        if (color) {
            params->setObjectForKey(NSString::from(color), "color"_ns);
        }
        r->setParams(params);
        return r;
    }
    Ref<DXBaseViewController> run(const Ref<DXTestModel>& r) {
        startRun({r}, DXRunTypeProfile);
        auto screen = testScreen();
        EXPECT_TRUE(screen) << UITestDriver::describeScreen();
        return screen;
    }
    NSInteger result() const { return model(0)->result(); }
    bool ended() const { return resultScreen() != nullptr; }
    static void tap(const Ref<UIView>& view) {
        ASSERT_TRUE(view);
        ASSERT_TRUE(UITestDriver::tapView(view)) << UITestDriver::describeScreen();
        settle();
    }
    // The mean colour (0..255) of a rectangle of the screen, in points.
    static std::array<double, 3> screenColour(const Ref<UIImage>& shot, CGRect r) {
        std::array<double, 3> sum{};
        double n = 0;
        CGFloat scale = shot->scale();
        for (CGFloat y = r.origin.y; y < r.origin.y + r.size.height; y += 2) {
            for (CGFloat x = r.origin.x; x < r.origin.x + r.size.width; x += 2) {
                uint8_t rgba[4];
                if (CGImageGetPixel(shot->CGImage(), static_cast<size_t>(x * scale), static_cast<size_t>(y * scale),
                                    rgba)) {
                    sum[0] += rgba[0];
                    sum[1] += rgba[1];
                    sum[2] += rgba[2];
                    n += 1;
                }
            }
        }
        for (auto& v : sum) {
            v = n > 0 ? v / n : 0;
        }
        return sum;
    }
    // A rectangle of a view in window points.
    static CGRect windowRect(const Ref<UIView>& view, CGRect inView) {
        return view->convertRectToView(inView, nullptr);
    }
    static void writePNG(const Ref<UIImage>& image, const std::string& name) {
        auto png = UIImagePNGRepresentation(image);
        ASSERT_TRUE(png);
        auto dir = std::filesystem::current_path() / "screenshots";
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(png->writeToFileAtomically(NSString::from((dir / name).string()), true));
    }
};
