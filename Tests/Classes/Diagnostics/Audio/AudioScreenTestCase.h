// Fixture of the audio screen tests: one record of an audio screen run in the run container on the
// simulated device, whose parts the test breaks, on virtual time. The operator's answers come from
// what the device really played (`heardSince`), as the scripted operator's do.
#pragma once

#include "RunTestCase.h"

#include <Device/SimAudio.h>
#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>

class AudioScreenTestCase : public RunTestCase {
protected:
    using Part = SimAudio::Part;
    using State = SimAudio::State;

    SimAudio& audio = SimAudio::current();

    Ref<DXBaseViewController> run(const char* controller, NSInteger timeout = 0, bool audit = false,
                                  NSInteger waitingTime = -1) {
        auto r = record("AUDIO", controller);
        r->setTimeout(timeout);
        r->setFakeTest(audit);
        r->setWaitingTime(waitingTime);
        startRun({r}, DXRunTypeProfile);
        auto screen = testScreen();
        EXPECT_TRUE(screen) << UITestDriver::describeScreen();
        return screen;
    }
    NSInteger result() const { return model(0)->result(); }
    bool ended() const { return resultScreen() != nullptr; }
    std::string subResult(const char* key) const {
        auto value = model(0)->subTestItemsResult()->objectForKey(NSString::from(key));
        return value ? NSDescription(value)->str() : "";
    }
    static double now() { return DispatchClock::uptime(); }
    // Whether a listener heard anything since `since`.
    bool heardSince(double since) const { return audio.heard(since, now()); }
    // Listens for `seconds`, then answers what was heard.
    bool listen(double seconds) {
        double from = now();
        advance(seconds);
        return heardSince(from);
    }
    void answerHonestly(double seconds) { answer(listen(seconds)); }
};
