// AVAudioSession: the app's audio session. So far it answers the current audio route (its input
// and output ports), read from the simulated device at each call.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSString.h>

// Port types, with the platform's texts.
const Ref<NSString>& AVAudioSessionPortBuiltInReceiver(); // "Receiver"
const Ref<NSString>& AVAudioSessionPortBuiltInSpeaker();  // "Speaker"
const Ref<NSString>& AVAudioSessionPortHeadphones();      // "Headphones"
const Ref<NSString>& AVAudioSessionPortBuiltInMic();      // "MicrophoneBuiltIn"
const Ref<NSString>& AVAudioSessionPortHeadsetMic();      // "MicrophoneWired"

class AVAudioSessionPortDescription : public NSObject {
    NS_OBJECT(AVAudioSessionPortDescription, NSObject)
public:
    AVAudioSessionPortDescription(Ref<NSString> portType, Ref<NSString> portName);
    const Ref<NSString>& portType() const noexcept { return portType_; }
    const Ref<NSString>& portName() const noexcept { return portName_; }

private:
    Ref<NSString> portType_;
    Ref<NSString> portName_;
};

class AVAudioSessionRouteDescription : public NSObject {
    NS_OBJECT(AVAudioSessionRouteDescription, NSObject)
public:
    AVAudioSessionRouteDescription(Ref<NSArray> inputs, Ref<NSArray> outputs);
    // Arrays of AVAudioSessionPortDescription.
    const Ref<NSArray>& inputs() const noexcept { return inputs_; }
    const Ref<NSArray>& outputs() const noexcept { return outputs_; }

private:
    Ref<NSArray> inputs_;
    Ref<NSArray> outputs_;
};

class AVAudioSession : public NSObject {
    NS_OBJECT(AVAudioSession, NSObject)
public:
    static Ref<AVAudioSession> sharedInstance();
    Ref<AVAudioSessionRouteDescription> currentRoute() const;
};
