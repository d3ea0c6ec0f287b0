// The camera video screens on the simulated camera and microphone, on virtual time: the count-downs,
// the clip recorded to "output.mov" (decoded: its size, length, the chart and the sound), the play
// loop and the answer; time-out; a dead or missing camera, a session that cannot start, a camera
// that vanishes, a full disk; leaving during the count-down; the step variant's Retry.
#include "CameraScreenTestCase.h"

#include <AVFoundation/MovieFileCodec.h>
#include <Device/SimAudio.h>
#include <Diagnostics/CameraDisplay/CameraVideo4ItouchuViewController.h>
#include <Diagnostics/CameraDisplay/CameraVideoViewController.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSNotificationCenter.h>
#include <UIKit/UIApplication.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

class CameraVideoScreenTest : public CameraScreenTestCase {
protected:
    void SetUp() override {
        CameraScreenTestCase::SetUp();
        std::filesystem::remove(movie());
        storage = SimDevice::current().storage();
    }
    void TearDown() override {
        SimDevice::current().setStorage(storage);
        CameraScreenTestCase::TearDown();
        std::filesystem::remove(movie());
    }
    static std::string movie() { return DXCameraVideoScreen::movieFile()->str(); }
    Ref<DXCameraVideoScreen> start(const char* controller = "CameraVideoViewController", const char* direction = "back",
                                   NSInteger waitingTime = -1, NSInteger timeout = 0) {
        auto r = cameraRecord("BACK_CAMERA_VIDEO_TEST", controller, direction);
        r->setWaitingTime(waitingTime);
        r->setTimeout(timeout);
        // The operator talks through the whole test, so the clip has a voice to play back.
        SimAudio::current().speak(DispatchClock::uptime(), 60);
        return cast<DXCameraVideoScreen>(run(r));
    }
    static std::string label(const Ref<DXCameraVideoScreen>& s) {
        auto l = s->colorLabel();
        return l && l->text() ? l->text()->str() : "";
    }
    static bool answerBarShown(const Ref<DXCameraVideoScreen>& s) {
        return s->answerView() && !s->answerView()->isHidden();
    }
    SimDevice::Storage storage;
};

TEST_F(CameraVideoScreenTest, CountsDownRecordsTwoSecondsPlaysBackAndYESPasses) {
    auto screen = start(); // 0.5 s after access
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->session()->isRunning());
    EXPECT_FALSE(answerBarShown(screen));
    advance(0.6); // 1.1
    EXPECT_EQ(label(screen), " \n 3");
    advance(2.0); // 3.1: the last tick has set `recording`
    EXPECT_EQ(label(screen), " \n 1");
    EXPECT_TRUE(screen->isRecording());
    EXPECT_FALSE(screen->movieFileOutput()->isRecording());
    advance(1.0); // 4.1: recording, second count-down
    EXPECT_TRUE(screen->movieFileOutput()->isRecording());
    EXPECT_EQ(label(screen), "Recording, playing back in \n 2");
    advance(2.0); // 6.1: recorded, playing
    EXPECT_FALSE(screen->movieFileOutput()->isRecording());
    EXPECT_TRUE(screen->isPlaying());
    EXPECT_TRUE(answerBarShown(screen));
    EXPECT_FALSE(screen->session()->isRunning());
    EXPECT_EQ(label(screen), "Were the picture and the sound of the video right?");
    // The clip: 480 x 640, two seconds at 20 frames a second, the chart, the voice.
    auto info = MovieFileRead(movie());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 480);
    EXPECT_EQ(info->height, 640);
    EXPECT_NEAR(info->duration, 2.0, 0.06);
    EXPECT_EQ(info->frameCount, 40);
    EXPECT_TRUE(info->hasSound);
    double sum = 0;
    for (float v : info->sound) {
        sum += static_cast<double>(v) * v;
    }
    EXPECT_GT(std::sqrt(sum / static_cast<double>(info->sound.size())), 10 * SimAudio::kNoiseLevel);
    auto frames = MovieFileFrames(movie(), 20);
    ASSERT_TRUE(frames);
    const auto& red = SimCamera::patchNamed("red");
    auto c = frames->back().mean(red.x + red.w * 0.25, red.y + red.h * 0.25, red.w * 0.5, red.h * 0.5);
    EXPECT_GT(c.r, 150);
    EXPECT_LT(c.g, 100);
    // The play-back shows the clip over the preview: the red patch is on screen.
    advance(0.5);
    auto area = screen->previewImageView();
    CGRect b = area->bounds();
    double h = b.size.width * 4 / 3;
    double top = (b.size.height - h) / 2;
    auto shown =
        screenColour(UIScreenshotImage(),
                     windowRect(area, CGRectMake(b.size.width * (red.x + red.w * 0.3), top + h * (red.y + red.h * 0.3),
                                                 b.size.width * red.w * 0.4, h * red.h * 0.4)));
    EXPECT_GT(shown[0], 150);
    EXPECT_LT(shown[1], 100);
    // It loops until the answer.
    advance(5);
    EXPECT_FALSE(ended());
    answer(true);
    EXPECT_EQ(result(), 1);
}

TEST_F(CameraVideoScreenTest, NOFailsAndTheFrontClipIsMirrored) {
    auto screen = start("CameraVideoViewController", "front", 1);
    ASSERT_TRUE(screen);
    advance(4.0); // 1 tick, then 1 s, then recording until 3.5
    ASSERT_TRUE(screen->isPlaying());
    auto frames = MovieFileFrames(movie(), 5);
    ASSERT_TRUE(frames);
    const auto& red = SimCamera::patchNamed("red");
    auto mirrored = frames->back().mean(1 - red.x - red.w * 0.75, red.y + red.h * 0.25, red.w * 0.5, red.h * 0.5);
    EXPECT_GT(mirrored.r, 150);
    answer(false);
    EXPECT_EQ(result(), 2);
}

// The screen has no time limit of its own: unanswered, the clip plays on until the operator leaves
// through the header menu, and then nothing plays any more.
TEST_F(CameraVideoScreenTest, UnansweredItLoopsUntilLeftAndThenFallsSilent) {
    auto r = cameraRecord("BACK_CAMERA_VIDEO_TEST", "CameraVideoViewController", "back");
    r->setWaitingTime(0);
    SimAudio::current().speak(DispatchClock::uptime(), 3);
    startRun({r, record("NEXT")}, DXRunTypeProfile);
    auto screen = cast<DXCameraVideoScreen>(testScreen());
    ASSERT_TRUE(screen);
    int ends = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        AVPlayerItemDidPlayToEndTimeNotification(), nullptr, nullptr, [&](const Ref<NSNotification>&) { ++ends; });
    advance(60);
    EXPECT_FALSE(ended());
    EXPECT_GE(ends, 25); // a pass every two seconds from 3 s on
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    int before = ends;
    double left = DispatchClock::uptime();
    advance(10);
    EXPECT_EQ(ends, before);
    EXPECT_FALSE(SimAudio::current().heard(left + 0.1, left + 10));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(CameraVideoScreenTest, DeadCameraRecordsABlackClipForTheOperatorToRefuse) {
    camera.setCameraState(SimCamera::Position::Front, SimCamera::CameraState::Dead);
    auto screen = start("CameraVideoViewController", "front", 0);
    ASSERT_TRUE(screen);
    advance(3.0);
    ASSERT_TRUE(screen->isPlaying());
    auto frames = MovieFileFrames(movie(), 5);
    ASSERT_TRUE(frames);
    auto all = frames->back().mean(0, 0, 1, 1);
    EXPECT_LT(all.r + all.g + all.b, 30);
    answer(false);
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraVideoScreenTest, MissingCameraFailsASecondLaterAndRecordsNothing) {
    SimDevice::current().setCameraPresent(SimDevice::CameraPosition::Front, false);
    auto screen = start("CameraVideoViewController", "front", 0);
    ASSERT_TRUE(screen);
    advance(0.6);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
    advance(5);
    EXPECT_FALSE(std::filesystem::exists(movie()));
    SimDevice::current().setCameraPresent(SimDevice::CameraPosition::Front, true);
}

TEST_F(CameraVideoScreenTest, LeavingDuringTheCountDownStopsEverything) {
    auto r = cameraRecord("BACK_CAMERA_VIDEO_TEST", "CameraVideoViewController", "back");
    r->setWaitingTime(-1); // three seconds before the recording
    startRun({r, record("NEXT")}, DXRunTypeProfile);
    auto screen = cast<DXCameraVideoScreen>(testScreen());
    ASSERT_TRUE(screen);
    advance(1.0);
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    EXPECT_FALSE(screen->session()->isRunning());
    advance(10);
    EXPECT_FALSE(screen->isRecording());
    EXPECT_FALSE(screen->isPlaying());
    EXPECT_FALSE(screen->player());
    EXPECT_FALSE(std::filesystem::exists(movie()));
}

TEST_F(CameraVideoScreenTest, SessionThatCannotStartFailsWhenTheRecordingShouldBegin) {
    camera.setSessionStartFails(true);
    auto screen = start("CameraVideoViewController", "back", 0);
    ASSERT_TRUE(screen);
    EXPECT_FALSE(ended());
    advance(1.0);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
    EXPECT_FALSE(std::filesystem::exists(movie()));
}

TEST_F(CameraVideoScreenTest, CameraVanishingWhileRecordingFails) {
    auto screen = start("CameraVideoViewController", "back", 0);
    ASSERT_TRUE(screen);
    advance(1.0); // recording since 1.0
    ASSERT_TRUE(screen->movieFileOutput()->isRecording());
    camera.setCameraState(SimCamera::Position::Back, SimCamera::CameraState::Absent);
    advance(0.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
    camera.setCameraState(SimCamera::Position::Back, SimCamera::CameraState::Working);
}

TEST_F(CameraVideoScreenTest, FullDiskFails) {
    SimDevice::current().setStorage({storage.totalBytes, 512 * 1024, storage.nodes});
    auto screen = start("CameraVideoViewController", "back", 0);
    ASSERT_TRUE(screen);
    advance(1.0);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
    EXPECT_FALSE(std::filesystem::exists(movie()));
}

TEST_F(CameraVideoScreenTest, StepVariantShowsTheShortWaitAndRetryRunsANewPass) {
    auto screen = cast<CameraVideo4ItouchuViewController>(start("CameraVideo4ItouchuViewController", "back", 0));
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->waitingTime(), 0);
    advance(0.6); // 1.1: the one tick, shown as the second step with 4
    EXPECT_EQ(label(screen), "Recording, playing back in \n 4");
    advance(1.0); // 2.1: recording
    ASSERT_TRUE(screen->movieFileOutput()->isRecording());
    auto firstSession = screen->session();
    tap(screen->retryButton()); // +0.5
    EXPECT_FALSE(firstSession->isRunning());
    EXPECT_FALSE(screen->isRecording());
    EXPECT_TRUE(screen->session()->isRunning());
    EXPECT_NE(screen->session(), firstSession);
    advance(5.0);
    ASSERT_TRUE(screen->isPlaying());
    EXPECT_TRUE(answerBarShown(screen));
    // Each pass stops the session; the clip of the new pass is whole.
    EXPECT_FALSE(screen->session()->isRunning());
    auto info = MovieFileRead(movie());
    ASSERT_TRUE(info);
    EXPECT_NEAR(info->duration, 2.0, 0.06);
    answer(true);
    EXPECT_EQ(result(), 1);
}

TEST_F(CameraVideoScreenTest, GoingToTheBackgroundStartsTheClipAgainAndACorruptClipFails) {
    auto screen = start("CameraVideoViewController", "back", 0);
    ASSERT_TRUE(screen);
    advance(3.5); // recorded by 3.0, playing
    ASSERT_TRUE(screen->isPlaying());
    auto first = screen->player()->currentItem();
    ASSERT_TRUE(first);
    EXPECT_GT(screen->player()->currentSeconds(), 0.2);
    UIApplication::sharedApplication()->enterBackground();
    advance(0.1);
    auto second = screen->player()->currentItem();
    EXPECT_NE(second, first);
    EXPECT_NEAR(screen->player()->currentSeconds(), 0.1, 0.02);
    UIApplication::sharedApplication()->enterForeground();
    // The clip goes bad on the disk: the next pass cannot play it and the test fails, no crash.
    {
        std::ofstream out(movie(), std::ios::binary | std::ios::trunc);
        out << "this is no longer a movie";
    }
    advance(2.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraVideoScreenTest, RetryDuringPlayBackRecordsANewClip) {
    auto screen = cast<CameraVideo4ItouchuViewController>(start("CameraVideo4ItouchuViewController", "back", 1));
    ASSERT_TRUE(screen);
    advance(4.0); // one tick, a second, two seconds of recording
    ASSERT_TRUE(screen->isPlaying());
    auto written = std::filesystem::last_write_time(movie());
    tap(screen->retryButton());
    EXPECT_FALSE(screen->isPlaying());
    EXPECT_EQ(label(screen), "");
    EXPECT_FALSE(answerBarShown(screen));
    EXPECT_EQ(screen->player()->rate(), 0);
    advance(5.0);
    ASSERT_TRUE(screen->isPlaying());
    EXPECT_NE(std::filesystem::last_write_time(movie()), written);
    answer(false);
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraVideoScreenTest, TheAnswerButtonsAreTheBarsAndShowOnlyWithThePlayBack) {
    for (bool yes : {false, true}) {
        auto screen = start("CameraVideoViewController", "back", 1);
        ASSERT_TRUE(screen);
        auto no = screen->failButton();
        auto ok = screen->successButton();
        ASSERT_TRUE(no);
        ASSERT_TRUE(ok);
        EXPECT_EQ(no->superview(), screen->answerView());
        EXPECT_EQ(ok->superview(), screen->answerView());
        EXPECT_EQ(no->titleForState(UIControlStateNormal)->str(), "NO");
        EXPECT_EQ(ok->titleForState(UIControlStateNormal)->str(), "YES");
        EXPECT_TRUE(no->isHidden());
        EXPECT_TRUE(ok->isHidden());
        advance(4.0);
        ASSERT_TRUE(screen->isPlaying());
        EXPECT_FALSE(no->isHidden());
        EXPECT_FALSE(ok->isHidden());
        tap(yes ? ok : no);
        EXPECT_TRUE(ended());
        EXPECT_EQ(result(), yes ? 1 : 2);
    }
}

TEST_F(CameraVideoScreenTest, RetryLeavesTheStepVariantsAnswerButtonsToTheNextPlayBack) {
    auto screen = cast<CameraVideo4ItouchuViewController>(start("CameraVideo4ItouchuViewController", "back", 1));
    ASSERT_TRUE(screen);
    ASSERT_TRUE(screen->successButton());
    EXPECT_TRUE(screen->successButton()->isHidden());
    advance(4.0);
    ASSERT_TRUE(screen->isPlaying());
    tap(screen->retryButton());
    EXPECT_FALSE(answerBarShown(screen));
    advance(5.0);
    ASSERT_TRUE(screen->isPlaying());
    EXPECT_TRUE(answerBarShown(screen));
    EXPECT_FALSE(screen->successButton()->isHidden());
    tap(screen->successButton());
    EXPECT_EQ(result(), 1);
}

} // namespace
