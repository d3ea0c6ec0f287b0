// The scripted operator on the audio screens: it speaks to the phone while a screen may record or
// loop its microphone back, and answers "did you hear it?" from how loud what the phone really
// played was while it listened (OperatorHands), never from the faults overlay.
// The loudspeaker check that plays nothing itself (AudioOperatorCheckViewController) is answered
// from memory: YES when the loudspeaker was heard to play on an earlier audio screen of the session.
// A script of answers by test key still overrides the answer.
#pragma once

#include <Core/DXBaseViewController.h>

#include <map>
#include <string>

// Whether the screen class is an audio screen the operator listens to.
bool isAudioScreen(const std::string& screenClass);
// A new operator starts with nothing heard: it forgets the screen it listened to and whether the
// loudspeaker played in an earlier session of the same process.
void forgetAudioScreens();
// One step on the audio screen shown now; answers whether the operator did anything.
bool actOnAudioScreen(const std::string& key, const Ref<DXBaseViewController>& page,
                      const std::map<std::string, bool>& script);
