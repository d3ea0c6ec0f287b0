// The simulated cameras and display: the chart's patches where they belong, white balance that
// really changes the pixels, broken cameras, the torch's record, faults overlays.
#include <Support/PlatformTestCase.h>

#include <Device/SimCamera.h>

#include <cairo.h>

#include <cmath>

namespace {

class SimCameraTest : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        camera.reset();
    }
    SimCamera& camera = SimCamera::current();
    using Position = SimCamera::Position;

    SimFrame::RGB patch(const SimFrame& f, const char* name) {
        const auto& p = SimCamera::patchNamed(name);
        // The middle of the patch, away from its edges.
        return f.mean(p.x + p.w * 0.25, p.y + p.h * 0.25, p.w * 0.5, p.h * 0.5);
    }
};

TEST_F(SimCameraTest, NeutralGainsShowTheChartsTrueColoursWherePatchesBelong) {
    for (double kelvin : {3000.0, 5000.0, 7500.0}) {
        camera.setLightTemperature(kelvin);
        auto f = camera.frame(Position::Back, 400, 300, camera.neutralGains(), 0.5);
        ASSERT_TRUE(f);
        for (const auto& p : SimCamera::chartPatches()) {
            auto c = patch(*f, p.name);
            EXPECT_NEAR(c.r, p.r * 255, 4) << p.name << " at " << kelvin;
            EXPECT_NEAR(c.g, p.g * 255, 4) << p.name << " at " << kelvin;
            EXPECT_NEAR(c.b, p.b * 255, 4) << p.name << " at " << kelvin;
        }
    }
}

TEST_F(SimCameraTest, WrongGainsTintTheGreyPatch) {
    camera.setLightTemperature(5000);
    auto warm = SimCamera::gainsForTemperatureAndTint(3000, 0);
    auto cool = SimCamera::gainsForTemperatureAndTint(8000, 0);
    auto a = camera.frame(Position::Back, 300, 200, warm, 0);
    auto b = camera.frame(Position::Back, 300, 200, cool, 0);
    ASSERT_TRUE(a && b);
    auto ga = patch(*a, "grey");
    auto gb = patch(*b, "grey");
    // Gains for a warmer light than the scene's make the picture bluer, for a cooler one redder.
    EXPECT_GT(ga.b - ga.r, 20);
    EXPECT_GT(gb.r - gb.b, 10);
}

TEST_F(SimCameraTest, TemperatureAndTintConvertBothWays) {
    for (double kelvin : {3000.0, 4500.0, 6500.0, 8000.0}) {
        for (double tint : {-100.0, 0.0, 60.0}) {
            auto gains = SimCamera::gainsForTemperatureAndTint(kelvin, tint);
            EXPECT_GE(std::min({gains.red, gains.green, gains.blue}), 1.0f - 1e-6f);
            double k = 0, t = 0;
            SimCamera::temperatureAndTintForGains(gains, &k, &t);
            EXPECT_NEAR(k, kelvin, kelvin * 0.01);
            EXPECT_NEAR(t, tint, 1.0);
        }
    }
}

TEST_F(SimCameraTest, MirroredFramesSwapLeftAndRight) {
    auto f = camera.frame(Position::Front, 300, 200, camera.neutralGains(), 0, true);
    ASSERT_TRUE(f);
    // The red patch (upper right) is now upper left, where white was.
    auto c = f->mean(0.18, 0.35, 0.1, 0.07);
    EXPECT_GT(c.r, 150);
    EXPECT_LT(c.g, 60);
}

TEST_F(SimCameraTest, LiveFramesMoveFrozenOnesDoNotDeadOnesAreBlackAbsentOnesNone) {
    auto a = camera.frame(Position::Back, 200, 150, camera.neutralGains(), 0.1);
    auto b = camera.frame(Position::Back, 200, 150, camera.neutralGains(), 0.6);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->pixels, b->pixels);

    camera.setCameraState(Position::Back, SimCamera::CameraState::Frozen);
    auto c = camera.frame(Position::Back, 200, 150, camera.neutralGains(), 0.1);
    auto d = camera.frame(Position::Back, 200, 150, camera.neutralGains(), 0.6);
    ASSERT_TRUE(c && d);
    EXPECT_EQ(c->pixels, d->pixels);

    camera.setCameraState(Position::Back, SimCamera::CameraState::Dead);
    EXPECT_FALSE(SimDevice::current().camera(Position::Back)->working);
    auto e = camera.frame(Position::Back, 200, 150, camera.neutralGains(), 0.1);
    ASSERT_TRUE(e);
    auto all = e->mean(0, 0, 1, 1);
    EXPECT_EQ(all.r + all.g + all.b, 0);

    camera.setCameraState(Position::Front, SimCamera::CameraState::Absent);
    EXPECT_FALSE(camera.frame(Position::Front, 200, 150, camera.neutralGains(), 0));
    EXPECT_FALSE(SimDevice::current().camera(Position::Front)->present);
    // Nonsense sizes give no frame rather than a huge allocation.
    EXPECT_FALSE(camera.frame(Position::Back, -1, 10, camera.neutralGains(), 0));
    EXPECT_FALSE(camera.frame(Position::Back, 100000, 10, camera.neutralGains(), 0));
}

TEST_F(SimCameraTest, TorchLightsOnlyWhenWorkingAndKeepsARecord) {
    EXPECT_TRUE(camera.hasTorch());
    camera.setTorchOn(true);
    advance(1);
    camera.setTorchOn(false);
    auto log = camera.torchLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].lit);
    EXPECT_FALSE(log[1].lit);
    EXPECT_NEAR(log[1].at - log[0].at, 1.0, 1e-9);

    camera.setTorchState(SimCamera::LightState::Dead);
    EXPECT_TRUE(camera.hasTorch());
    camera.setTorchOn(true);
    EXPECT_FALSE(camera.torchLit());
    EXPECT_EQ(camera.torchLog().size(), 2u);
    camera.setTorchState(SimCamera::LightState::Absent);
    EXPECT_FALSE(camera.hasTorch());
}

TEST_F(SimCameraTest, FaultsOverlayBreaksPartsAndRejectsUnknownStates) {
    std::string error;
    ASSERT_TRUE(camera.applyFaults(R"({"frontCamera": "dead", "torch": "dead", "flash": "absent",
                                      "display": "deadArea", "gyroscope": "stuck"})",
                                   &error))
        << error;
    EXPECT_EQ(camera.cameraState(Position::Front), SimCamera::CameraState::Dead);
    EXPECT_EQ(camera.cameraState(Position::Back), SimCamera::CameraState::Working);
    EXPECT_EQ(camera.torchState(), SimCamera::LightState::Dead);
    EXPECT_FALSE(camera.hasFlash());
    EXPECT_EQ(camera.displayFault(), SimCamera::DisplayFault::DeadArea);

    EXPECT_FALSE(camera.applyFaults(R"({"backCamera": "melted"})", &error));
    EXPECT_NE(error.find("melted"), std::string::npos);
    EXPECT_EQ(camera.cameraState(Position::Back), SimCamera::CameraState::Working);
    EXPECT_FALSE(camera.applyFaults(R"({"torch": 3})", &error));
    EXPECT_FALSE(camera.applyFaults("[1, 2", &error));
    EXPECT_FALSE(camera.loadFaults("/no/such/faults.json", &error));
}

TEST_F(SimCameraTest, QRCodeCardIsDrawnAndOverlongTextIsRefused) {
    ASSERT_TRUE(camera.setQRCode("http://example.com/download_app/?sessionid=42"));
    auto f = camera.frame(Position::Back, 640, 480, camera.neutralGains(), 0);
    ASSERT_TRUE(f);
    // The card's quiet zone is white where the grey card of the chart was.
    auto c = f->mean(0.5 - 0.3 * 0.75 + 0.005, 0.21, 0.01, 0.01);
    EXPECT_GT(c.r, 200);
    EXPECT_FALSE(camera.setQRCode(std::string(8000, 'x')));
    EXPECT_EQ(camera.qrCode(), "http://example.com/download_app/?sessionid=42");
}

TEST_F(SimCameraTest, DisplayFaultsPaintOverTheScreen) {
    auto whiteAfterFaults = [&](SimCamera::DisplayFault fault) {
        camera.setDisplayFault(fault);
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 100, 200);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        camera.paintDisplayFaults(cr, 100, 200);
        cairo_destroy(cr);
        cairo_surface_flush(s);
        int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        int white = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 100; ++x) {
                white += (*reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF) == 0xFFFFFF;
            }
        }
        cairo_surface_destroy(s);
        return white;
    };
    EXPECT_EQ(whiteAfterFaults(SimCamera::DisplayFault::None), 20000);
    EXPECT_LT(whiteAfterFaults(SimCamera::DisplayFault::DeadArea), 19500);
    EXPECT_LT(whiteAfterFaults(SimCamera::DisplayFault::Ghost), 19000);
    EXPECT_LT(whiteAfterFaults(SimCamera::DisplayFault::Crack), 19900);
}

TEST_F(SimCameraTest, StuckBacklightKeepsItsLevel) {
    SimDevice::current().applyBrightness(0.3);
    EXPECT_NEAR(camera.displayLuminance(), 0.3, 1e-9);
    camera.setBacklightStuck(true);
    SimDevice::current().applyBrightness(0.9);
    EXPECT_NEAR(camera.displayLuminance(), 0.3, 1e-9);
}

} // namespace
