// The scripted operator on the audio screens (see OperatorAudio.h).
#include "OperatorAudio.h"

#include <Device/SimAudio.h>
#include <Dispatch/Clock.h>
#include <UIKit/UITestDriver.h>

#include <set>

namespace {

// How long the operator listens before answering a question, and how long it takes to start
// listening once the question is shown (what still sounded from the step before is not counted).
constexpr double kListen = 2.5;
constexpr double kReaction = 0.3;

struct Listening {
    const void* screen = nullptr; // the test record of the screen being worked on
    double since = -1;            // when the answer bar was first seen since the last answer
};

Listening& state() {
    static Listening listening;
    return listening;
}

bool visible(const Ref<UIView>& view) {
    for (auto v = view; v; v = v->superview()) {
        if (v->isHidden()) {
            return false;
        }
    }
    return view != nullptr;
}

} // namespace

bool isAudioScreen(const std::string& screenClass) {
    static const std::set<std::string> screens = {
        "LowFrequencyAudioViewController",  "LouderSpeakerViewController",    "AudioOperatorCheckViewController",
        "MicrophoneLoopBackViewController", "MicrophoneRecordViewController", "MicLoopBackViewController",
        "HeadsetMdeiaButtonViewController",
    };
    return screens.count(screenClass) != 0;
}

bool actOnAudioScreen(const std::string& key, const Ref<DXBaseViewController>& page,
                      const std::map<std::string, bool>& script) {
    auto& audio = SimAudio::current();
    auto& listening = state();
    double now = DispatchClock::uptime();
    const void* screen = page->info().get();
    if (screen != listening.screen) {
        // A new screen: talk to the phone for as long as it may listen.
        listening = {screen, -1};
        audio.speak(now, 120);
        return true;
    }
    if (page->getClass()->name() == std::string("HeadsetMdeiaButtonViewController")) {
        // Plug the headset in, press its volume keys down and up, and take it out again.
        if (!audio.headsetPlugged()) {
            audio.plugHeadset(true);
            listening.since = now;
            return true;
        }
        if (now - listening.since < 1.0) {
            return false;
        }
        audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeDown);
        audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeUp);
        audio.plugHeadset(false);
        return true;
    }
    if (!visible(page->answerView())) {
        listening.since = -1;
        return false;
    }
    if (listening.since < 0) {
        listening.since = now;
        return false;
    }
    if (now - listening.since < kListen) {
        return false;
    }
    bool heard = audio.heard(listening.since + kReaction, now);
    if (auto it = script.find(key); it != script.end()) {
        heard = it->second;
    }
    listening.since = -1; // the next question is listened to afresh
    return UITestDriver::tapButtonTitled(heard ? "YES" : "NO");
}
