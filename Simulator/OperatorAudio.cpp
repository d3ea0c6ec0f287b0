// The scripted operator on the audio screens (see OperatorAudio.h).
#include "OperatorAudio.h"
#include "OperatorHands.h"

#include <Diagnostics/Audio/HeadsetPlugViewController.h>
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
    // The wired-headset screen: whether the headset went in, the questions answered so far (the
    // first one twice over when the operator did not hear its own voice), the keys pressed.
    bool plugged = false;
    int answered = 0;
    bool voiceMissed = false;
    int pressed = 0;
    double last = 0; // the operator's last answer or press
};

Listening& state() {
    static Listening listening;
    return listening;
}

// What the operator remembers of the whole session: whether the loudspeaker was ever heard to play
// while it listened on an audio screen.
struct Memory {
    bool heardLoudspeaker = false;
};

Memory& memory() {
    static Memory remembered;
    return remembered;
}

bool visible(const Ref<UIView>& view) {
    for (auto v = view; v; v = v->superview()) {
        if (v->isHidden()) {
            return false;
        }
    }
    return view != nullptr;
}

bool shownOnScreen(const Ref<UIView>& view) {
    return visible(view) && view->window() && view->bounds().size.height >= 1;
}

// The wired-headset screen: plug the headset in (and, when the screen never sees it, fail the
// plug-in step with its button), say whether one's voice comes back in both ears (and, when it did
// not, whether the sample does), then whether the left and the right earpiece alone play, press
// volume up, volume down and play/pause on the headset, marking FAILED each key whose step did not
// tick, and unplug it.
bool actOnHeadsetScreen(const Ref<DXBaseViewController>& page, double now) {
    auto& listening = state();
    auto headset = cast<HeadsetPlugViewController>(page);
    if (!listening.plugged) {
        listening.plugged = true;
        listening.last = now;
        hands::plugHeadset(1.0);
        return true;
    }
    if (headset && listening.answered == 0 && !shownOnScreen(headset->step1()) && now - listening.last >= 4 &&
        shownOnScreen(headset->button1())) {
        // The plug is in, but the screen still asks for it: the device does not see the headset.
        listening.last = now;
        return UITestDriver::tapView(headset->button1());
    }
    if (visible(page->answerView())) {
        if (listening.since < 0) {
            listening.since = now;
            return false;
        }
        if (now - listening.since < kListen) {
            return false;
        }
        double from = listening.since + kReaction;
        bool left = hands::listenTo(hands::Sound::LeftEarpiece, from, now) > hands::kAudible;
        bool right = hands::listenTo(hands::Sound::RightEarpiece, from, now) > hands::kAudible;
        int earQuestion = listening.answered - (listening.voiceMissed ? 2 : 1);
        bool heard = earQuestion < 0 ? left && right : earQuestion == 0 ? left : right;
        if (listening.answered == 0 && !heard) {
            listening.voiceMissed = true;
        }
        ++listening.answered;
        listening.since = -1;
        listening.last = now;
        return UITestDriver::tapButtonTitled(heard ? "YES" : "NO");
    }
    listening.since = -1;
    if (listening.answered < (listening.voiceMissed ? 4 : 3) || now - listening.last < 0.5 || listening.pressed > 6) {
        return false;
    }
    // The keys: each is pressed, and a second later the operator looks whether its step ticked;
    // when it did not, the key did nothing and the operator marks it FAILED.
    static const hands::HeadsetKey kKeys[] = {hands::HeadsetKey::VolumeUp, hands::HeadsetKey::VolumeDown,
                                              hands::HeadsetKey::PlayPause};
    if (listening.pressed < 6) {
        int key = listening.pressed / 2;
        Ref<UIImageView> mark = headset ? (key == 0   ? headset->step6()
                                           : key == 1 ? headset->step7()
                                                      : headset->step8())
                                        : nullptr;
        Ref<UIButton> failed = headset ? (key == 0   ? headset->button6()
                                          : key == 1 ? headset->button7()
                                                     : headset->button8())
                                       : nullptr;
        if (listening.pressed % 2 == 0) {
            ++listening.pressed;
            listening.last = now;
            hands::pressHeadsetKey(kKeys[key]);
            return true;
        }
        if (now - listening.last < 1.0) {
            return false;
        }
        ++listening.pressed;
        listening.last = now;
        if (!shownOnScreen(mark) && shownOnScreen(failed)) {
            return UITestDriver::tapView(failed);
        }
        return true;
    }
    ++listening.pressed;
    listening.last = now;
    hands::unplugHeadset();
    return true;
}

} // namespace

bool isAudioScreen(const std::string& screenClass) {
    static const std::set<std::string> screens = {
        "LowFrequencyAudioViewController",  "LouderSpeakerViewController",    "AudioOperatorCheckViewController",
        "MicrophoneLoopBackViewController", "MicrophoneRecordViewController", "MicLoopBackViewController",
        "HeadsetMdeiaButtonViewController", "HeadsetPlugViewController",
    };
    return screens.count(screenClass) != 0;
}

void forgetAudioScreens() {
    state() = {};
    memory() = {};
}

bool actOnAudioScreen(const std::string& key, const Ref<DXBaseViewController>& page,
                      const std::map<std::string, bool>& script) {
    auto& listening = state();
    double now = DispatchClock::uptime();
    const void* screen = page->info().get();
    if (screen != listening.screen) {
        // A new screen: talk to the phone for as long as it may listen.
        listening = {};
        listening.screen = screen;
        hands::speak(120);
        return true;
    }
    if (page->getClass()->name() == std::string("HeadsetMdeiaButtonViewController")) {
        // Plug the headset in, press its volume keys down and up, and take it out again; once. A
        // screen that has not ended then is left to the operator's patience (ScriptedOperator).
        if (listening.pressed == 0) {
            listening.pressed = 1;
            hands::plugHeadset();
            listening.since = now;
            return true;
        }
        if (listening.pressed > 1 || now - listening.since < 1.0) {
            return false;
        }
        listening.pressed = 2;
        hands::pressHeadsetKey(hands::HeadsetKey::VolumeDown);
        hands::pressHeadsetKey(hands::HeadsetKey::VolumeUp);
        hands::unplugHeadset();
        return true;
    }
    if (page->getClass()->name() == std::string("HeadsetPlugViewController")) {
        return actOnHeadsetScreen(page, now);
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
    bool heard = hands::listenTo(hands::Sound::Phone, listening.since + kReaction, now) > hands::kAudible;
    if (hands::listenTo(hands::Sound::Loudspeaker, listening.since + kReaction, now) > hands::kAudible) {
        memory().heardLoudspeaker = true;
    }
    if (page->getClass()->name() == std::string("AudioOperatorCheckViewController")) {
        // "Did you hear the music from the loudspeaker?": this screen plays nothing itself; the
        // operator answers from what the loudspeaker played earlier in the session.
        heard = memory().heardLoudspeaker;
    }
    if (auto it = script.find(key); it != script.end()) {
        heard = it->second;
    }
    listening.since = -1; // the next question is listened to afresh
    return UITestDriver::tapButtonTitled(heard ? "YES" : "NO");
}
