// The microphone record and play-back screens: the operator speaks during the recording and answers
// from what the play-back really sounded like.
#include "AudioScreenTestCase.h"

#include <AudioToolbox/AudioFileCodec.h>
#include <Foundation/NSFileManager.h>
#include <Support/LogCapture.h>
#include <UIKit/UIAlertView.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

class RecordScreenTests : public AudioScreenTestCase {
protected:
    static std::string recording() { return NSSandbox::documentsPath()->str() + "/sound1.m4a"; }
    static double level(const AudioFileData& clip) {
        double sum = 0;
        for (float v : clip.samples) {
            sum += static_cast<double>(v) * v;
        }
        return clip.samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(clip.samples.size()));
    }
};

TEST_F(RecordScreenTests, TheVoiceIsRecordedToARealFileAndHeardOnTheReceiver) {
    run("MicrophoneLoopBackViewController");
    audio.speak(now(), 30);
    advance(1.0); // the permission prompt is answered
    ASSERT_TRUE(testScreen()->answerView());
    EXPECT_TRUE(testScreen()->answerView()->isHidden()); // no answer before the clip exists
    advance(3.0);                                        // the count-down
    double recordStart = now();
    advance(2.1); // the recording
    auto clip = AudioFileDecode(recording());
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->channels, 2);
    EXPECT_NEAR(clip->duration(), 2.0, 0.1);
    EXPECT_GT(level(*clip), 0.01);
    // The play-back sounds on the receiver.
    double t0 = now();
    advance(1);
    EXPECT_GT(audio.playedLevel(Part::Receiver, t0, now()), 0.003);
    (void)recordStart;
    answer(heardSince(t0));
    EXPECT_EQ(result(), 1);
    EXPECT_TRUE(ended());
}

TEST_F(RecordScreenTests, ADeadMicrophoneNeverPassesOnAnOldRecording) {
    // A loud clip of an earlier run lies in the documents folder.
    AudioFileData old;
    old.channels = 2;
    for (int i = 0; i < 44100 * 2; ++i) {
        float v = 0.5f * static_cast<float>(std::sin(i * 0.05));
        old.samples.push_back(v);
        old.samples.push_back(v);
    }
    ASSERT_TRUE(AudioFileEncode(recording(), "m4a", old));
    audio.setState(Part::BottomMicrophone, State::Dead);
    run("MicrophoneLoopBackViewController");
    audio.speak(now(), 30);
    advance(6.2);
    double t0 = now();
    bool heard = listen(3);
    EXPECT_FALSE(heard) << audio.playedLevel(Part::Receiver, t0, now());
    answer(heard);
    EXPECT_EQ(result(), 2);
}

TEST_F(RecordScreenTests, ARefusedPermissionFailsAfterTheAlert) {
    audio.setPermissionPromptAnswer(SimAudio::PromptAnswer::Deny, 0.5);
    run("MicrophoneLoopBackViewController");
    advance(1);
    ASSERT_EQ(UIAlertView::visibleAlerts().size(), 1u);
    tapAlert("YES");
    EXPECT_EQ(result(), 2);
    EXPECT_TRUE(ended());
}

TEST_F(RecordScreenTests, TheAuditCopyRecordsNothingAndPassesOnNo) {
    run("MicrophoneLoopBackViewController", 0, true);
    bool heard = listen(8);
    EXPECT_FALSE(heard);
    EXPECT_FALSE(std::filesystem::exists(recording()));
    answer(heard);
    EXPECT_EQ(result(), 1);
}

TEST_F(RecordScreenTests, ARecordingCutShortEndsTheTest) {
    audio.setRecordingLimit(0.5);
    run("MicrophoneLoopBackViewController");
    advance(4.0 + 0.6);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(RecordScreenTests, AZeroWaitRecordsAtOnce) {
    audio.setRecordPermission(SimAudio::Permission::Granted);
    run("MicrophoneRecordViewController", 0, false, 0);
    audio.speak(now(), 10);
    advance(2.1);
    auto clip = AudioFileDecode(recording());
    ASSERT_TRUE(clip);
    EXPECT_GT(level(*clip), 0.01);
    // The record screen plays it back on the loudspeaker.
    double t0 = now();
    advance(1);
    EXPECT_GT(audio.playedLevel(Part::Speaker, t0, now()), 0.003);
    EXPECT_EQ(audio.playedLevel(Part::Receiver, t0, now()), 0.0);
    answer(heardSince(t0));
    EXPECT_EQ(result(), 1);
}

TEST_F(RecordScreenTests, ADeadSpeakerFailsTheRecordScreen) {
    audio.setRecordPermission(SimAudio::Permission::Granted);
    audio.setState(Part::Speaker, State::Dead);
    run("MicrophoneRecordViewController");
    audio.speak(now(), 10);
    advance(5.1);
    answerHonestly(3);
    EXPECT_EQ(result(), 2);
}

TEST_F(RecordScreenTests, LeavingTheRecordScreenDuringThePlayBackEndsTheStepWithAnError) {
    audio.setRecordPermission(SimAudio::Permission::Granted);
    auto r = record("AUDIO", "MicrophoneRecordViewController");
    startRun({r, record("NEXT")}, DXRunTypeProfile);
    audio.speak(now(), 10);
    advance(5.6); // the wait and the recording: the clip plays now
    ASSERT_FALSE(testScreen()->answerView()->isHidden());
    LogCapture log;
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    auto lines = log.finish();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "error"), lines.end()) << "the play-back step ended with its error";
    EXPECT_NE(std::find(lines.begin(), lines.end(), "play done"), lines.end());
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0})); // the skip's result, none of the screen's
    double t0 = now();
    advance(3);
    EXPECT_EQ(audio.playedLevel(Part::Speaker, t0, now()), 0.0);
}
