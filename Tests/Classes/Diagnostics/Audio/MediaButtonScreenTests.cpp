// The headset media button watcher: the headset's volume keys, pressed by the operator.
#include "AudioScreenTestCase.h"

class MediaButtonScreenTests : public AudioScreenTestCase {};

TEST_F(MediaButtonScreenTests, BothDirectionsPass) {
    audio.setOutputVolume(0.5f);
    audio.plugHeadset(true);
    run("HeadsetMdeiaButtonViewController");
    // The silence plays on the earpieces while the screen is shown.
    double t0 = now();
    advance(1);
    EXPECT_EQ(audio.playedLevel(Part::HeadphoneLeft, t0, now()), 0.0);
    // The first press down is a press down, though the volume is above 0.
    EXPECT_TRUE(audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeDown));
    advance(0.1);
    EXPECT_FALSE(ended());
    EXPECT_TRUE(audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeUp));
    advance(0.1);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 1);
}

TEST_F(MediaButtonScreenTests, ApplicationChangesAndOneDirectionDoNotPass) {
    audio.setOutputVolume(0.5f);
    audio.plugHeadset(true);
    run("HeadsetMdeiaButtonViewController");
    audio.setOutputVolume(0.1f); // the system, not a key
    // Two presses up, each measured from the level the system left: never a press down.
    audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeUp);
    advance(0.1);
    audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeUp);
    advance(1);
    EXPECT_FALSE(ended());
    // Unplugged, its keys press nothing.
    audio.plugHeadset(false);
    EXPECT_FALSE(audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeDown));
    advance(1);
    EXPECT_FALSE(ended());
}

TEST_F(MediaButtonScreenTests, TheScreenSaysWhatToPressAndOffersNoAnswer) {
    audio.plugHeadset(true);
    auto screen = cast<DXBaseViewController>(run("HeadsetMdeiaButtonViewController"));
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->labelTitle()->text()->str(), "Press the volume-up and the volume-down button on the headset.");
    EXPECT_TRUE(screen->answerView()->isHidden()) << "the keys end the test, not an answer";
}
