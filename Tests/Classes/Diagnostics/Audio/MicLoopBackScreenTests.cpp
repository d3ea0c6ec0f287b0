// The microphone loop-back screen: the operator speaks the whole time and answers each question
// from what really came out of the phone.
#include "AudioScreenTestCase.h"

#include <AVFoundation/AVAudioSession.h>
#include <Diagnostics/Audio/MicLoopBackViewController.h>

class MicLoopBackScreenTests : public AudioScreenTestCase {
protected:
    void start() {
        audio.setRecordPermission(SimAudio::Permission::Granted);
        run("MicLoopBackViewController");
        audio.speak(now(), 120);
    }
    // Four sub-results in the table's order.
    std::vector<std::string> subs() const {
        return {subResult("AUDIO_TEST_MAIN_MIC"), subResult("AUDIO_TEST_PRIMARY_SPEAKER"),
                subResult("AUDIO_TEST_2ND_MIC"), subResult("AUDIO_TEST_LOUD_SPEAKER")};
    }
    using Subs = std::vector<std::string>;
};

TEST_F(MicLoopBackScreenTests, EveryPartWorkingPasses) {
    start();
    double t0 = now();
    advance(2);
    EXPECT_GT(audio.playedLevel(Part::Receiver, t0 + 0.5, now()), SimAudio::kAudibleLevel);
    EXPECT_EQ(audio.playedLevel(Part::Speaker, t0 + 0.5, now()), 0.0);
    answer(heardSince(t0));
    double t1 = now();
    advance(2);
    EXPECT_GT(audio.playedLevel(Part::Speaker, t1 + 0.5, now()), SimAudio::kAudibleLevel);
    answer(heardSince(t1 + 0.5));
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(subs(), (Subs{"SUCCESS", "SUCCESS", "SUCCESS", "SUCCESS"}));
    // The next test starts from the default route.
    auto route = AVAudioSession::sharedInstance()->currentRoute();
    auto mic = cast<AVAudioSessionPortDescription>(route->inputs()->firstObject());
    EXPECT_EQ(mic->selectedDataSource()->dataSourceName()->str(), "Bottom");
    EXPECT_EQ(AVAudioSession::sharedInstance()->category()->str(), "AVAudioSessionCategoryPlayAndRecord");
    EXPECT_EQ(cast<AVAudioSessionPortDescription>(route->outputs()->firstObject())->portType()->str(), "Receiver");
}

TEST_F(MicLoopBackScreenTests, ADeadBottomMicrophoneIsToldFromTheReceiver) {
    audio.setState(Part::BottomMicrophone, State::Dead);
    start();
    answerHonestly(2); // silence: NO
    answerHonestly(2); // the music on the receiver: YES
    answerHonestly(2); // front microphone to the loudspeaker: YES
    EXPECT_EQ(result(), 2);
    EXPECT_EQ(subs(), (Subs{"FAIL", "SUCCESS", "SUCCESS", "SUCCESS"}));
    EXPECT_TRUE(ended());
}

TEST_F(MicLoopBackScreenTests, ADeadSpeakerLeavesTheFrontMicrophoneUnknown) {
    audio.setState(Part::Speaker, State::Dead);
    start();
    answerHonestly(2); // YES
    answerHonestly(2); // nothing from the loudspeaker: NO
    answerHonestly(3); // the music: nothing either
    EXPECT_EQ(result(), 2);
    EXPECT_EQ(subs(), (Subs{"SUCCESS", "SUCCESS", "UNKNOWN", "FAIL"}));
}

TEST_F(MicLoopBackScreenTests, AMicrophoneThatCannotBeSelectedIsNotTestedUnderAnotherName) {
    audio.setState(Part::FrontMicrophone, State::Absent);
    start();
    answerHonestly(2); // bottom microphone: YES
    // No live phase for the front microphone: the loudspeaker gets the music check at once.
    double t0 = now();
    advance(2);
    EXPECT_GT(audio.playedLevel(Part::Speaker, t0, now()), SimAudio::kAudibleLevel);
    answer(heardSince(t0));
    EXPECT_EQ(result(), 2);
    EXPECT_EQ(subs(), (Subs{"SUCCESS", "SUCCESS", "FAIL", "SUCCESS"}));
}

TEST_F(MicLoopBackScreenTests, LeavingStopsTheLiveLoop) {
    audio.setRecordPermission(SimAudio::Permission::Granted);
    startRun({record("AUDIO", "MicLoopBackViewController"), record("NEXT")}, DXRunTypeProfile);
    audio.speak(now(), 120);
    advance(1);
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    double t0 = now();
    advance(2);
    EXPECT_FALSE(heardSince(t0));
    // The next test starts from the default route.
    auto route = AVAudioSession::sharedInstance()->currentRoute();
    EXPECT_EQ(cast<AVAudioSessionPortDescription>(route->inputs()->firstObject())
                  ->selectedDataSource()
                  ->dataSourceName()
                  ->str(),
              "Bottom");
}

TEST_F(MicLoopBackScreenTests, TheQuestionAndTheMarksStayAboveTheAnswerBarOnTheSmallestScreen) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPod7,1"));
    start();
    auto screen = cast<MicLoopBackViewController>(testScreen());
    ASSERT_TRUE(screen);
    ASSERT_FALSE(screen->answerView()->isHidden());
    UITestDriver::layout();
    auto inWindow = [](const Ref<UIView>& v) { return v->convertRectToView(v->bounds(), nullptr); };
    CGRect bar = inWindow(screen->answerView());
    auto question = screen->questionLabel();
    ASSERT_TRUE(question && question->text());
    EXPECT_FALSE(question->isHidden());
    CGRect frame = inWindow(question);
    EXPECT_GT(frame.size.height, 0);
    EXPECT_LE(CGRectGetMaxY(frame), CGRectGetMinY(bar)) << "the question lies under the answer bar";
    // A step's mark shows beside its caption once the step has its answer.
    answer(listen(2));
    auto mark = screen->step1();
    ASSERT_TRUE(mark);
    EXPECT_FALSE(mark->isHidden());
    CGRect markFrame = inWindow(mark);
    CGRect caption = inWindow(screen->speakerMicLabel());
    EXPECT_NEAR(CGRectGetMidY(markFrame), CGRectGetMidY(caption), 1);
    EXPECT_LE(CGRectGetMaxY(markFrame), CGRectGetMinY(bar));
}
