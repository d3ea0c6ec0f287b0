#include "AudioScreenSupport.h"

#include <Foundation/NSBundle.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXTuple.h>

namespace dx_audio {

Ref<NSURL> bundleSound(const char* name, const char* type) {
    return NSBundle::mainBundle()->URLForResourceWithExtension(NSString::from(name), NSString::from(type));
}

Ref<AVAudioPlayer> bundlePlayer(const char* name, const char* type) {
    auto url = bundleSound(name, type);
    return url ? AVAudioPlayer::playerWithContentsOfURLError(url, nullptr) : nullptr;
}

Ref<RXSignal> playPass(const Ref<NSObject>& screen, std::function<Ref<AVAudioPlayer>()> start,
                       std::function<void(const Ref<AVAudioPlayer>&)> stop) {
    Weak<NSObject> weak(screen);
    return RXSignal::createSignal([weak, start, stop](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto owner = weak.lock();
        if (!owner) {
            subscriber->sendCompleted();
            return nullptr;
        }
        Ref<AVAudioPlayer> player = start();
        Ref<RXDisposable> finished;
        if (player) {
            Weak<AVAudioPlayer> weakPlayer(player);
            finished = rx_signalForSelectorFromProtocol(
                           owner, "audioPlayerDidFinishPlaying:successfully:", NS_PROTOCOL(AVAudioPlayerDelegate))
                           ->filter([weakPlayer](const id& args) {
                               auto tuple = cast<RXTuple>(args);
                               return tuple && tuple->first().get() == weakPlayer.lock().get();
                           })
                           ->take(1)
                           ->subscribeNext([subscriber](const id&) { subscriber->sendCompleted(); });
            player->setDelegate(owner);
            player->prepareToPlay();
            player->play();
        }
        return RXDisposable::disposableWithBlock([finished, player, stop] {
            if (finished) {
                finished->dispose();
            }
            stop(player);
        });
    });
}

} // namespace dx_audio
