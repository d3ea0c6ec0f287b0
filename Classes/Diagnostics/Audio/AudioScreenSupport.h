// What the audio screens share: the bundled sounds, one play-back pass of a player as a signal, and
// the layouts of the screens (registered in code like the sensor screens').
#pragma once

#include <AVFoundation/AVAudioPlayer.h>
#include <Foundation/NSURL.h>
#include <Reactive/RXSignal.h>

#include <functional>

namespace dx_audio {

// The bundle's sound `name` of `type`; nil when the bundle has none.
Ref<NSURL> bundleSound(const char* name, const char* type);
// A player of the bundle's sound; nil when it is missing or does not load (not reported).
Ref<AVAudioPlayer> bundlePlayer(const char* name, const char* type);

// One pass of a player: on subscription `start` runs and answers the player of this pass (nil:
// nothing plays, and the pass waits without end, so that a repeat never spins); the screen is made
// its delegate, it is prepared and played; the pass completes when that player reports that it
// finished. Disposing of the pass runs `stop` with the player (if any).
Ref<RXSignal> playPass(const Ref<NSObject>& screen, std::function<Ref<AVAudioPlayer>()> start,
                       std::function<void(const Ref<AVAudioPlayer>&)> stop);

} // namespace dx_audio
