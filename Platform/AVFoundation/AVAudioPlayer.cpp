// AVAudioPlayer on the device's acoustic world (see AVAudioPlayer.h).
#include <AVFoundation/AVAudioPlayer.h>

#include <AudioToolbox/AudioFileCodec.h>
#include <AudioToolbox/AudioRoute.h>
#include <Device/SimAudio.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>
#include <Runtime/ProtocolBuilder.h>

#include <cmath>

NS_IMPLEMENT_PROTOCOL(AVAudioPlayerDelegate) {
    p.optional<void(Ref<AVAudioPlayer>, bool)>("audioPlayerDidFinishPlaying:successfully:");
}

NS_IMPLEMENT_CLASS(AVAudioPlayer, NSObject) {
    using P = AVAudioPlayer;
    b.method("play", &P::play);
    b.method("pause", &P::pause);
    b.method("stop", &P::stop);
    b.method("prepareToPlay", &P::prepareToPlay);
    b.readonlyProperty("playing", &P::isPlaying, "getter=isPlaying");
    b.readonlyProperty("duration", &P::duration);
    b.property("volume", &P::volume, &P::setVolume);
    b.property("numberOfLoops", &P::numberOfLoops, &P::setNumberOfLoops);
}

namespace {

Ref<NSError> playerError(NSInteger code, const std::string& reason) {
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(NSString::from(reason), NSLocalizedDescriptionKey());
    return NSError::errorWithDomainCodeUserInfo(NSOSStatusErrorDomain(), code, info);
}

} // namespace

Ref<AVAudioPlayer> AVAudioPlayer::playerWithContentsOfURLError(const Ref<NSURL>& url, Ref<NSError>* error) {
    if (!url || !url->path()) {
        if (error) {
            *error = playerError(-43, "no file"); // fnfErr
        }
        return nullptr;
    }
    std::string reason;
    auto audio = AudioFileDecode(url->path()->str(), &reason);
    if (!audio || audio->frames() == 0) {
        if (error) {
            *error = playerError(0x54797024 /* 'Typ?' */, reason.empty() ? "the file holds no sound" : reason);
        }
        return nullptr;
    }
    auto player = make<AVAudioPlayer>();
    player->url_ = url;
    player->audio_ = std::make_shared<const AudioFileData>(std::move(*audio));
    return player;
}

AVAudioPlayer::~AVAudioPlayer() {
    if (playing_) {
        audio_route::stop({emissions_}, DispatchClock::uptime());
    }
}

double AVAudioPlayer::duration() const {
    return audio_ ? audio_->duration() : 0;
}

NSInteger AVAudioPlayer::numberOfChannels() const {
    return audio_ ? audio_->channels : 0;
}

bool AVAudioPlayer::prepareToPlay() {
    return audio_ != nullptr;
}

bool AVAudioPlayer::play() {
    DX_ASSERT_MAIN_THREAD();
    if (!audio_) {
        return false;
    }
    if (playing_) {
        return true;
    }
    double now = DispatchClock::uptime();
    if (startOffset_ >= duration()) {
        startOffset_ = 0;
    }
    float gain = volume_ * SimAudio::current().outputVolume();
    auto playing = audio_route::play(*audio_, now, static_cast<int>(loops_), gain, pan_, startOffset_);
    emissions_ = playing.emissions;
    playing_ = true;
    startedAt_ = now;
    uint64_t pass = ++pass_;
    if (loops_ >= 0) {
        double left = (duration() - startOffset_) + duration() * static_cast<double>(loops_);
        Weak<AVAudioPlayer> weak(this);
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(left * 1e9)), dispatch_get_main_queue(),
                       [weak, pass] {
                           if (auto self = weak.lock()) {
                               self->finished(pass);
                           }
                       });
    }
    return true;
}

void AVAudioPlayer::finished(uint64_t pass) {
    if (pass != pass_ || !playing_) {
        return; // stopped, paused or played again since
    }
    playing_ = false;
    startOffset_ = 0;
    emissions_.clear();
    Ref<AVAudioPlayer> self(this);
    if (auto d = delegate()) {
        SEL selector("audioPlayerDidFinishPlaying:successfully:");
        if (d->respondsToSelector(selector)) {
            d->performSelectorWithArguments(selector, {self, box(true)});
        }
    }
}

void AVAudioPlayer::halt(double now) {
    audio_route::stop({emissions_}, now);
    emissions_.clear();
    playing_ = false;
    ++pass_;
}

void AVAudioPlayer::pause() {
    DX_ASSERT_MAIN_THREAD();
    if (!playing_) {
        return;
    }
    double position = currentTime();
    halt(DispatchClock::uptime());
    startOffset_ = position;
}

void AVAudioPlayer::stop() {
    DX_ASSERT_MAIN_THREAD();
    if (playing_) {
        halt(DispatchClock::uptime());
    }
    startOffset_ = 0;
}

double AVAudioPlayer::currentTime() const {
    if (!playing_ || !audio_) {
        return startOffset_;
    }
    double d = duration();
    double t = startOffset_ + (DispatchClock::uptime() - startedAt_);
    return d > 0 ? std::fmod(t, d) : 0;
}

void AVAudioPlayer::setCurrentTime(double time) {
    if (!std::isfinite(time)) {
        return;
    }
    time = std::clamp(time, 0.0, duration());
    if (playing_) {
        pause();
        startOffset_ = time;
        play();
    } else {
        startOffset_ = time;
    }
}

void AVAudioPlayer::setVolume(float volume) {
    if (!std::isnan(volume)) {
        volume_ = std::clamp(volume, 0.0f, 1.0f);
    }
}

void AVAudioPlayer::setPan(float pan) {
    if (!std::isnan(pan)) {
        pan_ = std::clamp(pan, -1.0f, 1.0f);
    }
}
