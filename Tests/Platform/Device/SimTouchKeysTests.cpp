// The digitizer, the keys and the ring/silent switch of the simulated device: what each part
// passes on when it works and when it is broken, and the faults overlay that breaks them.
#include <Device/SimAudio.h>
#include <Device/SimDevice.h>
#include <Device/SimTouchKeys.h>
#include <Support/PlatformTestCase.h>

#include <cmath>
#include <vector>

using Key = SimTouchKeys::Key;
using KeyState = SimTouchKeys::KeyState;
using Event = SimTouchKeys::Event;

class SimTouchKeysTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        token_ = keys.addListener([this](Event e) { events.push_back(e); });
    }
    void TearDown() override {
        keys.removeListener(token_);
        PlatformTestCase::TearDown();
    }
    SimTouchKeys& keys = SimTouchKeys::current();
    std::vector<Event> events;
    uint64_t token_ = 0;
};

TEST_F(SimTouchKeysTests, TheDigitizerSensesOnlyFiniteFingersOnTheLiveGlass) {
    EXPECT_TRUE(keys.senses(10, 10));
    EXPECT_TRUE(keys.senses(374, 811));
    EXPECT_FALSE(keys.senses(-1, 10));
    EXPECT_FALSE(keys.senses(375, 10));
    EXPECT_FALSE(keys.senses(10, 812));
    EXPECT_FALSE(keys.senses(NAN, 10));
    EXPECT_FALSE(keys.senses(10, INFINITY));
    keys.addDeadArea({0, 0, 100, 50});
    EXPECT_FALSE(keys.senses(99, 49));
    EXPECT_TRUE(keys.senses(100, 49));
    keys.setDigitizerState(SimTouchKeys::DigitizerState::Dead);
    EXPECT_FALSE(keys.senses(200, 400));
    EXPECT_EQ(keys.maximumTouches(), 5u);
}

TEST_F(SimTouchKeysTests, ForceIsSensedOnlyByAWorkingForceDisplay) {
    ASSERT_TRUE(keys.hasForceTouch()); // the default phone has 3D Touch
    EXPECT_DOUBLE_EQ(keys.sensedForce(2.5), 2.5);
    EXPECT_DOUBLE_EQ(keys.sensedForce(100), SimTouchKeys::kMaximumPossibleForce);
    EXPECT_DOUBLE_EQ(keys.sensedForce(-3), 0);
    EXPECT_DOUBLE_EQ(keys.sensedForce(NAN), 0);
    keys.setForceState(SimTouchKeys::ForceState::Dead);
    EXPECT_DOUBLE_EQ(keys.sensedForce(2.5), 0);
    EXPECT_GT(keys.maximumPossibleForce(), 0); // the display still says it could

    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
    EXPECT_FALSE(keys.hasForceTouch());
    EXPECT_DOUBLE_EQ(keys.sensedForce(5), 0);
    EXPECT_DOUBLE_EQ(keys.maximumPossibleForce(), 0);
    EXPECT_EQ(keys.forceState(), SimTouchKeys::ForceState::Working); // a new profile is whole again
}

TEST_F(SimTouchKeysTests, WorkingKeysReachTheSystemAndBrokenOnesDoNot) {
    EXPECT_TRUE(keys.pressKey(Key::VolumeUp));
    EXPECT_TRUE(keys.pressKey(Key::VolumeDown));
    keys.setKeyState(Key::VolumeUp, KeyState::Dead);
    keys.setKeyState(Key::VolumeDown, KeyState::Stuck);
    events.clear();
    EXPECT_FALSE(keys.pressKey(Key::VolumeUp));
    EXPECT_FALSE(keys.pressKey(Key::VolumeDown));
    EXPECT_TRUE(events.empty());
    auto record = keys.presses();
    ASSERT_EQ(record.size(), 4u);
    EXPECT_EQ(record[2].what, "volumeUpKey");
    EXPECT_FALSE(record[2].effective);
    EXPECT_TRUE(record[0].effective);
}

TEST_F(SimTouchKeysTests, ThePowerKeyLocksAndUnlocksAndHomeIsIdleOnTheLockScreen) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2")); // a phone with a Home button
    events.clear();
    EXPECT_TRUE(keys.pressKey(Key::Power));
    EXPECT_TRUE(keys.isLocked());
    EXPECT_TRUE(keys.pressKey(Key::Home));
    EXPECT_TRUE(keys.pressKey(Key::Power));
    EXPECT_FALSE(keys.isLocked());
    EXPECT_TRUE(keys.pressKey(Key::Home));
    EXPECT_EQ(events, (std::vector<Event>{Event::Lock, Event::Unlock, Event::Home}));
}

TEST_F(SimTouchKeysTests, TheScreenshotChordNeedsBothKeysOfTheModel) {
    // The tall phone has no Home button: volume up + power.
    EXPECT_FALSE(keys.hasHomeButton());
    EXPECT_FALSE(keys.pressKey(Key::Home));
    EXPECT_TRUE(keys.pressScreenshotChord());
    keys.setKeyState(Key::VolumeUp, KeyState::Dead);
    EXPECT_FALSE(keys.pressScreenshotChord());

    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
    EXPECT_TRUE(keys.hasHomeButton());
    keys.setKeyState(Key::Home, KeyState::Stuck);
    EXPECT_FALSE(keys.pressScreenshotChord());
    keys.setKeyState(Key::Home, KeyState::Working);
    events.clear();
    EXPECT_TRUE(keys.pressScreenshotChord());
    EXPECT_EQ(events, std::vector<Event>{Event::Screenshot});
}

TEST_F(SimTouchKeysTests, TheSwitchIsTheAudioSidesAndADeadOneDoesNotMove) {
    ASSERT_TRUE(keys.hasRingerSwitch());
    EXPECT_TRUE(keys.toggleRingerSwitch());
    EXPECT_TRUE(keys.ringerSilent());
    EXPECT_TRUE(SimAudio::current().ringerSilent());
    EXPECT_FALSE(keys.setRingerSwitch(true)); // already there: nothing moves
    std::string error;
    ASSERT_TRUE(SimAudio::current().applyFaults(R"({"ringerSwitch": "dead"})", &error)) << error;
    EXPECT_FALSE(keys.toggleRingerSwitch());
    EXPECT_TRUE(keys.ringerSilent());
    EXPECT_FALSE(keys.presses().back().effective);

    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    EXPECT_FALSE(keys.hasRingerSwitch());
    EXPECT_FALSE(keys.toggleRingerSwitch());
    EXPECT_EQ(keys.maximumTouches(), 11u);
}

TEST_F(SimTouchKeysTests, WorkingVolumeKeysStepTheOutputVolume) {
    auto& audio = SimAudio::current();
    audio.setOutputVolume(0.5f);
    EXPECT_TRUE(keys.pressKey(Key::VolumeUp));
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.5f + 1.0f / 16);
    keys.setKeyState(Key::VolumeDown, KeyState::Dead);
    EXPECT_FALSE(keys.pressKey(Key::VolumeDown));
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.5f + 1.0f / 16);
}

TEST_F(SimTouchKeysTests, AFaultsOverlayBreaksPartsByName) {
    std::string error;
    ASSERT_TRUE(keys.applyFaults(R"({"volumeUpKey": "dead", "powerKey": "stuck", "ringerSwitch": "dead",
                                     "forceTouch": "dead", "screenArea": [0, 0, 375, 100],
                                     "gyroscope": "stuck"})",
                                 &error))
        << error;
    EXPECT_EQ(keys.keyState(Key::VolumeUp), KeyState::Dead);
    EXPECT_EQ(keys.keyState(Key::Power), KeyState::Stuck);
    EXPECT_EQ(keys.keyState(Key::VolumeDown), KeyState::Working);
    EXPECT_EQ(keys.forceState(), SimTouchKeys::ForceState::Dead);
    EXPECT_FALSE(keys.senses(200, 50));
    EXPECT_TRUE(keys.senses(200, 150));

    ASSERT_TRUE(keys.applyFaults(R"({"screenArea": "dead", "digitizer": "working"})", &error)) << error;
    EXPECT_FALSE(keys.senses(340, 400)); // a patch at the right edge
    EXPECT_TRUE(keys.senses(250, 400));
    EXPECT_TRUE(keys.senses(10, 10));
    ASSERT_TRUE(keys.applyFaults(R"({"screenArea": [[0, 0, 10, 10], [20, 20, 10, 10]]})", &error)) << error;
    EXPECT_EQ(keys.deadAreas().size(), 2u);
}

TEST_F(SimTouchKeysTests, ASingleTouchDigitizerTracksOneFingerAndSensesEveryPoint) {
    std::string error;
    ASSERT_TRUE(keys.applyFaults(R"({"digitizer": "singleTouch"})", &error)) << error;
    EXPECT_EQ(keys.maximumTouches(), 1u);
    EXPECT_TRUE(keys.senses(200, 400));
    EXPECT_FALSE(keys.applyFaults(R"({"digitizer": "twoFingers"})", &error));
    EXPECT_EQ(keys.maximumTouches(), 1u) << "a bad overlay changes nothing";
    ASSERT_TRUE(keys.applyFaults(R"({"digitizer": "working"})", &error)) << error;
    EXPECT_EQ(keys.maximumTouches(), 5u);
}

TEST_F(SimTouchKeysTests, TheDeviceIsBuiltWithTheKeysOfItsModel) {
    EXPECT_FALSE(keys.fitted("homeKey")) << "the tall screen has no Home button";
    EXPECT_TRUE(keys.fitted("forceTouch"));
    EXPECT_TRUE(keys.fitted("powerKey"));
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
    EXPECT_TRUE(keys.fitted("homeKey"));
    EXPECT_FALSE(keys.fitted("forceTouch"));
    ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
}

TEST_F(SimTouchKeysTests, ABadOverlayChangesNothing) {
    for (const char* bad :
         {R"({"homeKey": "wobbly"})", R"({"volumeUpKey": "dead", "homeKey": 3})", R"({"screenArea": [0, 0, -5, 10]})",
          R"({"screenArea": [0, 0, 1]})", R"({"digitizer": "sticky"})", "[1, 2]", "not json"}) {
        std::string error;
        EXPECT_FALSE(keys.applyFaults(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(keys.keyState(Key::VolumeUp), KeyState::Working) << bad;
        EXPECT_TRUE(keys.deadAreas().empty()) << bad;
    }
    std::string error;
    EXPECT_FALSE(keys.loadFaults("/nonexistent/faults.json", &error));
}

TEST_F(SimTouchKeysTests, GhostTouchesAreHandedOutOnce) {
    keys.injectGhostTouch(10, 20);
    EXPECT_EQ(events, std::vector<Event>{Event::GhostTouch});
    auto ghosts = keys.takeGhostTouches();
    ASSERT_EQ(ghosts.size(), 1u);
    EXPECT_DOUBLE_EQ(ghosts[0].y, 20);
    EXPECT_TRUE(keys.takeGhostTouches().empty());
}
