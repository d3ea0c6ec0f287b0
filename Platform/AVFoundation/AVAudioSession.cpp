#include <AVFoundation/AVAudioSession.h>

#include <Device/SimDevice.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(AVAudioSessionPortDescription, NSObject) {
    b.readonlyProperty("portType", &AVAudioSessionPortDescription::portType);
    b.readonlyProperty("portName", &AVAudioSessionPortDescription::portName);
}

NS_IMPLEMENT_CLASS(AVAudioSessionRouteDescription, NSObject) {
    b.readonlyProperty("inputs", &AVAudioSessionRouteDescription::inputs);
    b.readonlyProperty("outputs", &AVAudioSessionRouteDescription::outputs);
}

NS_IMPLEMENT_CLASS(AVAudioSession, NSObject) {
    b.readonlyProperty("currentRoute", &AVAudioSession::currentRoute);
}

#define DX_PORT(name, text)                                                                                            \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString>& value = *new Ref<NSString>(NSString::from(text));                                  \
        return value;                                                                                                  \
    }
DX_PORT(AVAudioSessionPortBuiltInReceiver, "Receiver")
DX_PORT(AVAudioSessionPortBuiltInSpeaker, "Speaker")
DX_PORT(AVAudioSessionPortHeadphones, "Headphones")
DX_PORT(AVAudioSessionPortBuiltInMic, "MicrophoneBuiltIn")
DX_PORT(AVAudioSessionPortHeadsetMic, "MicrophoneWired")
#undef DX_PORT

AVAudioSessionPortDescription::AVAudioSessionPortDescription(Ref<NSString> portType, Ref<NSString> portName)
    : portType_(std::move(portType)), portName_(std::move(portName)) {}

AVAudioSessionRouteDescription::AVAudioSessionRouteDescription(Ref<NSArray> inputs, Ref<NSArray> outputs)
    : inputs_(std::move(inputs)), outputs_(std::move(outputs)) {}

Ref<AVAudioSession> AVAudioSession::sharedInstance() {
    static const Ref<AVAudioSession>& shared = *new Ref<AVAudioSession>(make<AVAudioSession>());
    return shared;
}

Ref<AVAudioSessionRouteDescription> AVAudioSession::currentRoute() const {
    std::vector<id> outputs;
    for (const auto& port : SimDevice::current().audioOutputs()) {
        outputs.push_back(make<AVAudioSessionPortDescription>(NSString::from(port.type), NSString::from(port.name)));
    }
    std::vector<id> inputs;
    inputs.push_back(
        make<AVAudioSessionPortDescription>(AVAudioSessionPortBuiltInMic(), NSString::from("iPhone Microphone")));
    return make<AVAudioSessionRouteDescription>(NSArray::arrayWithVector(std::move(inputs)),
                                                NSArray::arrayWithVector(std::move(outputs)));
}
