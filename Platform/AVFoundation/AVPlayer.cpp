// AVPlayer and AVPlayerItem over movie files (see AVPlayer.h).
#include <AVFoundation/AVPlayer.h>

#include <AVFoundation/AVCaptureDevice.h>
#include <AVFoundation/MovieFileCodec.h>
#include <AudioToolbox/AudioFileCodec.h>
#include <AudioToolbox/AudioRoute.h>
#include <Device/SimAudio.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(AVPlayerItem, NSObject) {}
NS_IMPLEMENT_CLASS(AVPlayer, NSObject) {
    using P = AVPlayer;
    b.method("play", &P::play);
    b.method("pause", &P::pause);
}

const Ref<NSString>& AVPlayerItemDidPlayToEndTimeNotification() {
    static const Ref<NSString> s = NSString::from("AVPlayerItemDidPlayToEndTimeNotification");
    return s;
}

// MARK: - AVPlayerItem

AVPlayerItem::AVPlayerItem() = default;
AVPlayerItem::~AVPlayerItem() = default;

Ref<AVPlayerItem> AVPlayerItem::playerItemWithURL(const Ref<NSURL>& url) {
    auto item = make<AVPlayerItem>();
    item->url_ = url;
    std::string why = "no file URL";
    if (url && url->isFileURL() && url->path()) {
        if (auto info = MovieFileRead(url->path()->str(), &why)) {
            item->info_ = std::make_shared<const MovieFileInfo>(std::move(*info));
            item->status_ = AVPlayerItemStatusReadyToPlay;
            return item;
        }
    }
    auto userInfo = NSMutableDictionary::dictionary();
    userInfo->setObjectForKey(NSString::from("Cannot Open"), NSString::from("NSLocalizedDescription"));
    userInfo->setObjectForKey(NSString::from(why), NSString::from("NSLocalizedFailureReason"));
    item->error_ = NSError::errorWithDomainCodeUserInfo(AVFoundationErrorDomain(), -11829, userInfo);
    item->status_ = AVPlayerItemStatusFailed;
    return item;
}

CMTime AVPlayerItem::duration() const {
    if (!info_) {
        return CMTime{0, 0};
    }
    return CMTime{static_cast<int64_t>(std::llround(info_->duration * 600)), 600};
}

double AVPlayerItem::durationSeconds() const {
    return info_ ? info_->duration : 0;
}

bool AVPlayerItem::hasSound() const {
    return info_ && info_->hasSound && !info_->sound.empty();
}

const std::vector<float>& AVPlayerItem::sound() const {
    static const std::vector<float> none;
    return info_ ? info_->sound : none;
}

std::optional<SimFrame> AVPlayerItem::frameAt(double seconds) const {
    if (!info_) {
        return std::nullopt;
    }
    std::lock_guard lock(framesMutex_);
    if (!frames_ && !framesFailed_) {
        frames_ = MovieFrameReader::open(url_->path()->str());
        framesFailed_ = !frames_;
    }
    return frames_ ? frames_->frameAt(seconds) : std::nullopt;
}

// MARK: - AVPlayer

AVPlayer::~AVPlayer() {
    if (running_) {
        audio_route::stop(sound_, DispatchClock::uptime());
    }
}

Ref<AVPlayer> AVPlayer::playerWithPlayerItem(const Ref<AVPlayerItem>& item) {
    auto player = make<AVPlayer>();
    player->item_ = item;
    return player;
}

Ref<AVPlayer> AVPlayer::playerWithURL(const Ref<NSURL>& url) {
    return playerWithPlayerItem(AVPlayerItem::playerItemWithURL(url));
}

double AVPlayer::currentSeconds() const {
    if (!item_) {
        return 0;
    }
    double at = running_ ? position_ + (DispatchClock::uptime() - startedAt_) : position_;
    return std::clamp(at, 0.0, item_->durationSeconds());
}

CMTime AVPlayer::currentTime() const {
    return CMTime{static_cast<int64_t>(std::llround(currentSeconds() * 600)), 600};
}

void AVPlayer::halt() {
    if (running_) {
        position_ = currentSeconds();
        audio_route::stop(sound_, DispatchClock::uptime());
        sound_ = {};
        running_ = false;
    }
    ++pass_;
}

void AVPlayer::startPass() {
    ++pass_;
    if (!item_ || item_->status() != AVPlayerItemStatusReadyToPlay) {
        return; // nothing to play: no sound, no end
    }
    double length = item_->durationSeconds();
    if (position_ >= length) {
        return;
    }
    double now = DispatchClock::uptime();
    startedAt_ = now;
    running_ = true;
    if (item_->hasSound()) {
        AudioFileData data;
        data.channels = 1;
        data.samples = item_->sound();
        sound_ = audio_route::play(data, now, 0, SimAudio::current().outputVolume(), 0, position_);
    }
    uint64_t pass = pass_;
    Weak<AVPlayer> weak(this);
    Ref<AVPlayerItem> item = item_;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>((length - position_) * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), [weak, pass, item] {
                       auto self = weak.lock();
                       if (!self || self->pass_ != pass || self->item_ != item) {
                           return;
                       }
                       self->running_ = false;
                       self->sound_ = {};
                       self->position_ = item->durationSeconds();
                       self->rate_ = 0;
                       NSNotificationCenter::defaultCenter()->postNotificationNameObject(
                           AVPlayerItemDidPlayToEndTimeNotification(), item);
                   });
}

void AVPlayer::replaceCurrentItemWithPlayerItem(const Ref<AVPlayerItem>& item) {
    DX_ASSERT_MAIN_THREAD();
    halt();
    item_ = item;
    position_ = 0;
    if (rate_ > 0) {
        startPass();
    }
}

void AVPlayer::play() {
    DX_ASSERT_MAIN_THREAD();
    if (rate_ > 0 && running_) {
        return;
    }
    halt();
    rate_ = 1;
    startPass();
}

void AVPlayer::pause() {
    DX_ASSERT_MAIN_THREAD();
    halt();
    rate_ = 0;
}
