// The ring/silent switch detector against the simulated switch, on virtual time.
#include <Diagnostics/Audio/MuteSwitchDetector.h>

#include <Device/SimAudio.h>
#include <Foundation/NSNotificationCenter.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIApplication.h>

#include <vector>

class MuteSwitchDetectorTests : public PlatformTestCase {
protected:
    Ref<MuteSwitchDetector> detector(std::vector<bool>& reports) {
        auto d = make<MuteSwitchDetector>();
        d->setSilentNotify([&reports](bool silent) { reports.push_back(silent); });
        return d;
    }
    static void post(const Ref<NSString>& name) {
        NSNotificationCenter::defaultCenter()->postNotificationNameObject(name, nullptr);
    }
    SimAudio& audio = SimAudio::current();
};

TEST_F(MuteSwitchDetectorTests, TheFirstProbeIsAlwaysReportedThenOnlyChanges) {
    std::vector<bool> reports;
    auto d = detector(reports);
    ASSERT_NE(d->soundId(), MuteSwitchDetector::kNoSound);
    advance(0.99);
    EXPECT_TRUE(reports.empty());
    // The probe starts at 1.0 s and sounds for its length (more than 0.1 s): not silent.
    advance(0.5);
    ASSERT_EQ(reports, std::vector<bool>{false});
    EXPECT_FALSE(d->isMute());
    // The same state again is not reported.
    advance(3);
    EXPECT_EQ(reports.size(), 1u);

    audio.setRingerSilent(true);
    advance(1.5);
    ASSERT_EQ(reports, (std::vector<bool>{false, true}));
    EXPECT_TRUE(d->isMute());
    audio.setRingerSilent(false);
    advance(1.5);
    EXPECT_EQ(reports, (std::vector<bool>{false, true, false}));

    // A new block hears the next probe whatever it says.
    std::vector<bool> again;
    d->setSilentNotify([&](bool silent) { again.push_back(silent); });
    advance(1.5);
    EXPECT_EQ(again, std::vector<bool>{false});
    d->stopDetect();
}

TEST_F(MuteSwitchDetectorTests, ABrokenSwitchNeverReportsSilent) {
    audio.setState(SimAudio::Part::RingerSwitch, SimAudio::State::Dead);
    std::vector<bool> reports;
    auto d = detector(reports);
    audio.setRingerSilent(true);
    advance(10);
    EXPECT_EQ(reports, std::vector<bool>{false});
    d->stopDetect();
}

TEST_F(MuteSwitchDetectorTests, StoppingOneDetectorDoesNotHoldUpAnother) {
    std::vector<bool> first, second;
    auto a = detector(first);
    auto b = detector(second);
    advance(0.5);
    a->stopDetect();
    audio.setRingerSilent(true);
    advance(3);
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second, std::vector<bool>{true});
    EXPECT_TRUE(a->isStopped());
    EXPECT_FALSE(b->isStopped());
    b->stopDetect();
}

TEST_F(MuteSwitchDetectorTests, TheBackgroundPausesProbesAndAProbeCutThereDoesNotStallTheCycle) {
    std::vector<bool> reports;
    auto d = detector(reports);
    advance(1.05); // the first probe is sounding
    ASSERT_TRUE(d->isPlaying());
    post(UIApplicationDidEnterBackgroundNotification());
    advance(5); // its completion arrives in the background and is dropped
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(d->isPlaying());
    audio.setRingerSilent(true);
    post(UIApplicationWillEnterForegroundNotification());
    advance(0.99);
    EXPECT_TRUE(reports.empty());
    advance(0.1);
    EXPECT_EQ(reports, std::vector<bool>{true});
    d->stopDetect();
}

TEST_F(MuteSwitchDetectorTests, NoProbeRunsAfterTheDetectorIsStoppedOrReleased) {
    std::vector<bool> reports;
    {
        auto d = detector(reports);
        advance(0.5);
    } // released with a probe armed
    advance(5);
    EXPECT_TRUE(reports.empty());
    auto t0 = DispatchClock::uptime();
    EXPECT_FALSE(audio.heard(t0 - 5, t0));

    auto d = detector(reports);
    d->stopDetect();
    advance(5);
    EXPECT_TRUE(reports.empty());
    t0 = DispatchClock::uptime();
    EXPECT_FALSE(audio.heard(t0 - 5, t0));
}

TEST_F(MuteSwitchDetectorTests, AListenerThatStopsAndDropsTheDetectorOnItsReportIsSafe) {
    // As a key screen does once the switch has moved: it stops watching inside the report and lets
    // go of the only reference to the detector.
    std::vector<bool> reports;
    auto d = make<MuteSwitchDetector>();
    Ref<MuteSwitchDetector>* held = &d;
    d->setSilentNotify([&reports, held](bool silent) {
        reports.push_back(silent);
        (*held)->stopDetect();
        *held = nullptr;
    });
    advance(1.5);
    EXPECT_EQ(reports, std::vector<bool>{false});
    EXPECT_FALSE(d);
    advance(3); // no further probe
    EXPECT_EQ(reports.size(), 1u);
}
