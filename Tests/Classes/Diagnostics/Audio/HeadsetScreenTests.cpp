// The wired-headset test: the operator plugs the headset in at a scripted time, speaks, listens to
// each earpiece, presses the headset's keys and unplugs it.
#include "AudioScreenTestCase.h"

#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Core/AdditionalTestManager.h>
#include <Diagnostics/Audio/HeadsetPlugViewController.h>
#include <Foundation/NSNumber.h>
#include <MediaPlayer/MPNowPlayingInfoCenter.h>
#include <MediaPlayer/MPVolumeView.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UIWindow.h>
#include <UISupport/STProgressHUD.h>

#include <limits>

class HeadsetScreenTests : public AudioScreenTestCase {
protected:
    Ref<HeadsetPlugViewController> start(NSInteger timeout = 0) {
        audio.setRecordPermission(SimAudio::Permission::Granted);
        audio.setOutputVolume(0.5f);
        auto screen = cast<HeadsetPlugViewController>(run("HeadsetPlugViewController", timeout));
        audio.speak(now(), 600);
        return screen;
    }
    void plugIn() {
        audio.scheduleHeadset(1.0, true);
        advance(1.5);
        ASSERT_EQ(subResult("HEADSET_TEST_PLUG"), "SUCCESS");
    }
    // Listens to one earpiece (or both) for two seconds and answers.
    void answerEar(int ear) {
        double from = now() + 0.3;
        advance(2);
        double left = audio.playedLevel(Part::HeadphoneLeft, from, now());
        double right = audio.playedLevel(Part::HeadphoneRight, from, now());
        bool heard = ear == 0   ? left > SimAudio::kAudibleLevel
                     : ear == 1 ? right > SimAudio::kAudibleLevel
                                : left > SimAudio::kAudibleLevel && right > SimAudio::kAudibleLevel;
        answer(heard);
    }
    void press(SimAudio::HeadsetKey key) {
        ASSERT_TRUE(audio.pressHeadsetKey(key));
        advance(0.2);
    }
};

TEST_F(HeadsetScreenTests, EveryStepPassesWithAWorkingHeadset) {
    start();
    plugIn();
    answerEar(2); // the headset microphone looped back to both ears: YES
    EXPECT_EQ(subResult("HEADSET_TEST_RECORD"), "SUCCESS");
    EXPECT_EQ(subResult("HEADSET_TEST_STEREO_AUDIO"), "SUCCESS"); // not played after a YES
    answerEar(0);
    answerEar(1);
    EXPECT_EQ(subResult("HEADSET_TEST_LEFT_AUDIO"), "SUCCESS");
    EXPECT_EQ(subResult("HEADSET_TEST_RIGHT_AUDIO"), "SUCCESS");
    press(SimAudio::HeadsetKey::VolumeUp);
    press(SimAudio::HeadsetKey::VolumeDown);
    press(SimAudio::HeadsetKey::PlayPause);
    EXPECT_EQ(subResult("HEADSET_TEST_MEDIABUTTON"), "SUCCESS");
    EXPECT_FALSE(ended());
    audio.plugHeadset(false);
    advance(0.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(subResult("HEADSET_TEST_UNPLUG"), "SUCCESS");
}

TEST_F(HeadsetScreenTests, ADeadEarpieceFailsItsStep) {
    audio.setState(Part::HeadphoneRight, State::Dead);
    start();
    plugIn();
    answerEar(0); // the loop-back on the left ear is enough to hear one's voice
    answerEar(0);
    answerEar(1); // nothing on the right
    EXPECT_EQ(subResult("HEADSET_TEST_RIGHT_AUDIO"), "FAIL");
    press(SimAudio::HeadsetKey::VolumeUp);
    press(SimAudio::HeadsetKey::VolumeDown);
    press(SimAudio::HeadsetKey::PlayPause);
    audio.plugHeadset(false);
    advance(0.5);
    EXPECT_EQ(result(), 2);
}

TEST_F(HeadsetScreenTests, ADeadHeadsetMicrophoneIsToldFromTheEarpieces) {
    audio.setState(Part::HeadsetMicrophone, State::Dead);
    start();
    plugIn();
    answerEar(2); // no voice: NO
    answerEar(2); // the sample in both ears: YES
    EXPECT_EQ(subResult("HEADSET_TEST_RECORD"), "FAIL");
    EXPECT_EQ(subResult("HEADSET_TEST_STEREO_AUDIO"), "SUCCESS");
}

TEST_F(HeadsetScreenTests, NoPlugInWithinTheLimitTimesOut) {
    start(30);
    advance(29);
    EXPECT_FALSE(ended());
    advance(1.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 3);
    EXPECT_NE(subResult("HEADSET_TEST_PLUG"), "SUCCESS");
}

TEST_F(HeadsetScreenTests, UnpluggingEarlyFails) {
    start();
    plugIn();
    audio.scheduleHeadset(1.0, false);
    advance(1.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
    EXPECT_NE(subResult("HEADSET_TEST_LEFT_AUDIO"), "SUCCESS");
    double t0 = now();
    advance(2);
    EXPECT_FALSE(heardSince(t0)); // the loop-back and players stopped
}

TEST_F(HeadsetScreenTests, AMissingPlayPauseKeyFailsAtTheLimitAndTheTestGoesOn) {
    auto screen = start(60);
    plugIn();
    answerEar(2);
    answerEar(0);
    answerEar(1);
    press(SimAudio::HeadsetKey::VolumeUp);
    // The volume-down key is marked not applicable with two taps on its fail button.
    ASSERT_TRUE(screen->button7());
    ASSERT_TRUE(UITestDriver::tapView(screen->button7())) << UITestDriver::describeScreen();
    settle();
    EXPECT_EQ(subResult("HEADSET_TEST_VOLUMEDOWN"), "FAIL");
    screen->stepButton(screen->button7());
    EXPECT_EQ(subResult("HEADSET_TEST_VOLUMEDOWN"), "NA");
    advance(61);
    EXPECT_EQ(subResult("HEADSET_TEST_MEDIABUTTON"), "FAIL");
    EXPECT_FALSE(ended());
    audio.plugHeadset(false);
    advance(0.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(HeadsetScreenTests, ARefusedPermissionFails) {
    audio.setPermissionPromptAnswer(SimAudio::PromptAnswer::Deny, 0.2);
    run("HeadsetPlugViewController");
    advance(0.5);
    tapAlert("YES");
    EXPECT_EQ(result(), 2);
}

TEST_F(HeadsetScreenTests, TheMediaKeyStepAnnouncesTheSilenceFromItsOwnMetadata) {
    start();
    auto center = MPNowPlayingInfoCenter::defaultCenter();
    center->setNowPlayingInfo(nullptr);
    plugIn();
    answerEar(2);
    answerEar(0);
    answerEar(1);
    press(SimAudio::HeadsetKey::VolumeUp);
    EXPECT_FALSE(center->nowPlayingInfo()) << "nothing is announced before the media-key step";
    press(SimAudio::HeadsetKey::VolumeDown);
    auto info = center->nowPlayingInfo();
    ASSERT_TRUE(info);
    auto string = [&](const Ref<NSString>& key) {
        auto value = cast<NSString>(info->objectForKey(key));
        return value ? value->str() : std::string("<none>");
    };
    EXPECT_EQ(string(MPMediaItemPropertyTitle()), "10 Seconds of Silence");
    EXPECT_EQ(string(MPMediaItemPropertyAlbumTitle()), "Diagnostics");
    EXPECT_EQ(string(MPMediaItemPropertyAlbumArtist()), "Celvix");
    EXPECT_FALSE(info->objectForKey(MPMediaItemPropertyArtist()));
    auto artwork = cast<MPMediaItemArtwork>(info->objectForKey(MPMediaItemPropertyArtwork()));
    ASSERT_TRUE(artwork);
    ASSERT_TRUE(artwork->image());
    EXPECT_EQ(artwork->image()->size().width, 64);
    auto duration = cast<NSNumber>(info->objectForKey(MPMediaItemPropertyPlaybackDuration()));
    ASSERT_TRUE(duration);
    EXPECT_NEAR(duration->doubleValue(), 10.0, 0.1);
    EXPECT_EQ(info->count(), 5u);
    press(SimAudio::HeadsetKey::PlayPause);
    EXPECT_EQ(subResult("HEADSET_TEST_MEDIABUTTON"), "SUCCESS");
}

TEST_F(HeadsetScreenTests, EveryStepIsCaptionedAndFitsAboveTheAnswerBarOnTheSmallestScreen) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPod7,1"));
    auto screen = start();
    ASSERT_TRUE(screen);
    plugIn(); // the loop-back question: the answer bar is up
    ASSERT_FALSE(screen->answerView()->isHidden());
    UITestDriver::layout();
    auto inWindow = [](const Ref<UIView>& v) { return v->convertRectToView(v->bounds(), nullptr); };
    CGRect bar = inWindow(screen->answerView());
    CGFloat top = CGRectGetMaxY(inWindow(screen->tipLabel()));
    struct Row {
        Ref<UILabel> caption;
        const char* key;
        Ref<UIButton> button;
    };
    const Row rows[] = {{screen->stepInsertHeadset(), "HEADSET_CONTROLLER_INSRT_HEADSET", screen->button1()},
                        {screen->stepSpeakIntoHeadsetMic(), "HEADSET_CONTROLLER_SPEAK_INTO", nullptr},
                        {screen->stepPlayingBack(), "HEADSET_CONTROLLER_PLAY_AUDIO", nullptr},
                        {screen->stepPlayingMusic(), "HEADSET_CONTROLLER_PLAY_MUSIC", nullptr},
                        {screen->stepLeftChannel(), "HEADSET_CONTROLLER_LEFT_CHANNEL", nullptr},
                        {screen->stepRightChannel(), "HEADSET_CONTROLLER_RIGHT_CHANNEL", nullptr},
                        {screen->stepVolumeUpChannel(), "HEADSET_CONTROLLER_VOLUME_UP", screen->button6()},
                        {screen->stepVolumeDownChannel(), "HEADSET_CONTROLLER_VOLUME_DOWN", screen->button7()},
                        {screen->stepMediaButtonChannel(), "HEADSET_CONTROLLER_MEDIABUTTON_CHANNEL", screen->button8()},
                        {screen->stepUnplugHeadset(), "HEADSET_CONTROLLER_UNPLUG", nullptr}};
    for (const auto& row : rows) {
        ASSERT_TRUE(row.caption) << row.key;
        ASSERT_TRUE(row.caption->text());
        EXPECT_TRUE(row.caption->text()->isEqual(DXLocalizedString(row.key))) << row.key;
        EXPECT_FALSE(row.caption->isHidden()) << row.key;
        CGRect frame = inWindow(row.caption);
        EXPECT_GT(frame.size.height, 0) << row.key;
        EXPECT_GE(frame.origin.y, top) << row.key << " overlaps the row above";
        EXPECT_LE(CGRectGetMaxY(frame), CGRectGetMinY(bar)) << row.key << " lies under the answer bar";
        top = CGRectGetMaxY(frame);
        if (row.button) {
            CGRect button = inWindow(row.button);
            EXPECT_LE(CGRectGetMaxY(button), CGRectGetMinY(bar)) << row.key;
            EXPECT_GE(CGRectGetMinX(button), CGRectGetMaxX(frame)) << row.key << ": the fail button covers the caption";
        }
    }
}

TEST_F(HeadsetScreenTests, LoopBackNoAndStereoNoLeaveTheRecordingUnknownAndFail) {
    start();
    plugIn();
    answer(false); // no voice in the ears
    EXPECT_EQ(subResult("HEADSET_TEST_RECORD"), "FAIL");
    EXPECT_EQ(subResult("HEADSET_TEST_STEREO_AUDIO"), ""); // not yet: the sample plays now
    answer(false); // nor the sample: the earpieces, not the microphone, may be at fault
    EXPECT_EQ(subResult("HEADSET_TEST_STEREO_AUDIO"), "FAIL");
    EXPECT_EQ(subResult("HEADSET_TEST_RECORD"), "UNKNOWN");
    answerEar(0);
    answerEar(1);
    press(SimAudio::HeadsetKey::VolumeUp);
    press(SimAudio::HeadsetKey::VolumeDown);
    press(SimAudio::HeadsetKey::PlayPause);
    audio.plugHeadset(false);
    advance(0.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
    EXPECT_EQ(subResult("HEADSET_TEST_RECORD"), "UNKNOWN");
}

TEST_F(HeadsetScreenTests, AStationRemovalOfTheMediaKeyGoesFromVolumeDownToTheUnplug) {
    AdditionalTestManager::sharedInstance()->setRemoveKeys(NSArray::arrayWithObjects({"HEADSET_TEST_MEDIABUTTON"_ns}));
    auto screen = start();
    ASSERT_TRUE(screen);
    EXPECT_EQ(subResult("HEADSET_TEST_MEDIABUTTON"), "REMOVED");
    ASSERT_TRUE(screen->stepMediaButtonChannel());
    EXPECT_EQ(screen->stepMediaButtonChannel()->text()->length(), 0u); // the row collapses
    ASSERT_TRUE(screen->button8());
    EXPECT_TRUE(screen->button8()->isHidden());
    plugIn();
    answerEar(2);
    answerEar(0);
    answerEar(1);
    press(SimAudio::HeadsetKey::VolumeUp);
    press(SimAudio::HeadsetKey::VolumeDown);
    EXPECT_FALSE(MPNowPlayingInfoCenter::defaultCenter()->nowPlayingInfo()) << "no play/pause step";
    EXPECT_FALSE(ended());
    audio.plugHeadset(false); // the unplug wait, not an early unplug
    advance(0.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(subResult("HEADSET_TEST_MEDIABUTTON"), "REMOVED");
    EXPECT_EQ(subResult("HEADSET_TEST_UNPLUG"), "SUCCESS");
}

TEST_F(HeadsetScreenTests, AHeadsetAlreadyPluggedInAtStartWarnsAndWaitsForANewPlugIn) {
    audio.plugHeadset(true);
    ASSERT_TRUE(HeadsetPlugViewController::isHeadsetPluggedIn());
    auto message = cast<NSString>(HeadsetPlugViewController::class_()->performClassSelector("extraMessage"));
    ASSERT_TRUE(message);
    EXPECT_TRUE(message->isEqual(DXLocalizedString("HEADSET_CONTROLLER_WARRING")));
    auto screen = start();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(STProgressHUD::isVisible());
    ASSERT_TRUE(STProgressHUD::sharedView()->stringLabel());
    EXPECT_TRUE(STProgressHUD::sharedView()->stringLabel()->text()->isEqual(message));
    advance(5);
    EXPECT_EQ(subResult("HEADSET_TEST_PLUG"), ""); // the headset that was in is no plug-in
    audio.plugHeadset(false);
    advance(1);
    EXPECT_EQ(subResult("HEADSET_TEST_PLUG"), "");
    EXPECT_FALSE(ended()); // nor is taking it out an early unplug
    audio.plugHeadset(true);
    advance(0.5);
    EXPECT_EQ(subResult("HEADSET_TEST_PLUG"), "SUCCESS");
}

TEST_F(HeadsetScreenTests, TheVolumeViewIsPlacedOutOfSightInTheFirstWindow) {
    auto screen = start();
    ASSERT_TRUE(screen);
    auto view = screen->volumeView();
    ASSERT_TRUE(view);
    auto windows = UIApplication::sharedApplication()->windows();
    ASSERT_GT(windows->count(), 0u);
    EXPECT_EQ(view->superview(), cast<UIView>(windows->objectAtIndex(0)));
    EXPECT_EQ(view->frame(), CGRectMake(std::numeric_limits<double>::lowest(), 0, 0, 0));
    EXPECT_TRUE(MPVolumeView::suppressesVolumeOverlay());
    UITestDriver::layout();
    EXPECT_TRUE(UIScreenshotImage()); // the screen still draws with the view far out of it
}

// Leaving the screen at each step: whatever was playing stops (the loop-back of the headset
// microphone, the step's sound, the now-playing silence), the volume view goes, and the audio
// session is deactivated.
class HeadsetLeavingTests : public HeadsetScreenTests, public ::testing::WithParamInterface<int> {
protected:
    // The headset test with another test after it, so that the header menu offers Skip.
    Ref<HeadsetPlugViewController> startBeforeAnother() {
        audio.setRecordPermission(SimAudio::Permission::Granted);
        audio.setOutputVolume(0.5f);
        auto r = record("AUDIO", "HeadsetPlugViewController");
        startRun({r, record("NEXT")}, DXRunTypeProfile);
        auto screen = cast<HeadsetPlugViewController>(testScreen());
        audio.speak(now(), 600);
        return screen;
    }
    // Runs the steps up to the one numbered `step` (1 waits for the plug-in, 9 for the unplug).
    void reach(int step) {
        if (step >= 2) {
            plugIn();
        }
        if (step >= 3) {
            answer(false); // the loop-back, NO: the sample in both ears follows
        }
        if (step >= 4) {
            answerEar(2);
        }
        if (step >= 5) {
            answerEar(0);
        }
        if (step >= 6) {
            answerEar(1);
        }
        if (step >= 7) {
            press(SimAudio::HeadsetKey::VolumeUp);
        }
        if (step >= 8) {
            press(SimAudio::HeadsetKey::VolumeDown);
        }
        if (step >= 9) {
            press(SimAudio::HeadsetKey::PlayPause);
        }
    }
};

TEST_P(HeadsetLeavingTests, LeavingStopsEverythingThatSounds) {
    const int step = GetParam();
    auto screen = startBeforeAnother();
    ASSERT_TRUE(screen);
    reach(step);
    ASSERT_EQ(testScreen(), screen);
    if (step == 2) {
        ASSERT_TRUE(screen->audioProcessor()) << "the loop-back runs";
    }
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    EXPECT_FALSE(screen->audioProcessor());
    for (const auto& player : {screen->player1(), screen->player2(), screen->player4()}) {
        EXPECT_FALSE(player && player->isPlaying());
    }
    EXPECT_FALSE(AVAudioSession::sharedInstance()->isActive());
    ASSERT_TRUE(screen->volumeView());
    EXPECT_FALSE(screen->volumeView()->superview());
    EXPECT_FALSE(screen->volumeView()->isHidden());
    double t0 = now() + 0.1;
    advance(2.5); // the operator goes on talking into the headset microphone
    EXPECT_EQ(audio.playedLevel(Part::HeadphoneLeft, t0, now()), 0.0);
    EXPECT_EQ(audio.playedLevel(Part::HeadphoneRight, t0, now()), 0.0);
    audio.plugHeadset(false);
    advance(1);
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0})); // nothing afterwards changes a verdict
}

INSTANTIATE_TEST_SUITE_P(EachStep, HeadsetLeavingTests, ::testing::Range(1, 10),
                         [](const ::testing::TestParamInfo<int>& info) { return "Step" + std::to_string(info.param); });
