// The screens that play a bundled sound and ask whether it was heard: the low-frequency tone, the
// loudspeaker clip and the operator's own word on the loudspeaker.
#include "AudioScreenTestCase.h"

#include <AVFoundation/AVAudioSession.h>

class LowFrequencyScreenTests : public AudioScreenTestCase {};
class LoudspeakerScreenTests : public AudioScreenTestCase {};

TEST_F(LowFrequencyScreenTests, TheToneLoopsOnTheReceiverUntilTheOperatorHearsIt) {
    run("LowFrequencyAudioViewController");
    double t0 = now();
    advance(5); // longer than the 2-second tone: it starts again
    EXPECT_GT(audio.playedLevel(Part::Receiver, t0 + 4, t0 + 5), 0.01);
    EXPECT_EQ(audio.playedLevel(Part::Speaker, t0, t0 + 5), 0.0);
    answerHonestly(1);
    EXPECT_EQ(result(), 1);
    EXPECT_TRUE(ended());
    // The answer stopped the tone, and the category is back.
    double t1 = now();
    advance(3);
    EXPECT_FALSE(heardSince(t1));
    EXPECT_EQ(AVAudioSession::sharedInstance()->category()->str(), "AVAudioSessionCategorySoloAmbient");
}

TEST_F(LowFrequencyScreenTests, ADeadReceiverIsNotHeardAndFails) {
    audio.setState(Part::Receiver, State::Dead);
    run("LowFrequencyAudioViewController");
    answerHonestly(3);
    EXPECT_EQ(result(), 2);
    EXPECT_TRUE(ended());
}

TEST_F(LowFrequencyScreenTests, NobodyAnsweringTimesOut) {
    run("LowFrequencyAudioViewController", 30);
    advance(29);
    EXPECT_FALSE(ended());
    advance(1.5);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 3);
    double t0 = now();
    advance(3);
    EXPECT_FALSE(heardSince(t0));
}

TEST_F(LowFrequencyScreenTests, ZeroIsTheLongLimit) {
    run("LowFrequencyAudioViewController", 0);
    advance(120); // past any short limit
    EXPECT_FALSE(ended());
    answer(false);
    EXPECT_EQ(result(), 2);
}

TEST_F(LoudspeakerScreenTests, TheClipPlaysOnceOnTheSpeaker) {
    audio.plugHeadset(false);
    run("LouderSpeakerViewController");
    double t0 = now();
    advance(5);
    EXPECT_GT(audio.playedLevel(Part::Speaker, t0, t0 + 3), 0.01);
    EXPECT_EQ(audio.playedLevel(Part::Speaker, t0 + 3.5, t0 + 5), 0.0); // once, then silence
    EXPECT_TRUE(heardSince(t0));
    answer(true);
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(AVAudioSession::sharedInstance()->category()->str(), "AVAudioSessionCategorySoloAmbient");
}

TEST_F(LoudspeakerScreenTests, ADeadSpeakerFails) {
    audio.setState(Part::Speaker, State::Dead);
    run("LouderSpeakerViewController");
    answerHonestly(4);
    EXPECT_EQ(result(), 2);
}

TEST_F(LoudspeakerScreenTests, TheAuditCopyPlaysNothingAndPassesOnNo) {
    run("LouderSpeakerViewController", 0, true);
    bool heard = listen(4);
    EXPECT_FALSE(heard);
    answer(heard);
    EXPECT_EQ(result(), 1);

    run("LouderSpeakerViewController", 0, true);
    answer(true); // a careless operator
    EXPECT_EQ(result(), 2);
}

TEST_F(LoudspeakerScreenTests, TheOperatorCheckPlaysNothingAndTakesTheAnswerAsGiven) {
    run("AudioOperatorCheckViewController");
    EXPECT_FALSE(listen(3)); // nothing of its own
    answer(true);
    EXPECT_EQ(result(), 1);

    run("AudioOperatorCheckViewController");
    answer(false);
    EXPECT_EQ(result(), 2);
}

TEST_F(LoudspeakerScreenTests, TheOperatorCheckIsNotInvertedForAnAuditCopy) {
    run("AudioOperatorCheckViewController", 0, true);
    EXPECT_FALSE(listen(3));
    answer(true);
    EXPECT_EQ(result(), 1);
}
