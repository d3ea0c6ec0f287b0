// AVPlayer and AVPlayerItem: play a movie file (MovieFileCodec) on the platform clock. The item
// reads the file when it is made: a readable movie is ready to play (status 1) with its duration;
// a missing, empty or corrupt one has failed (status 2, with the error) and never plays, so it never
// reaches its end. Playing hands the movie's sound to the current audio route (the transducers of
// SimAudio, at the output volume) and, after the rest of the clip's length on the clock, posts
// AVPlayerItemDidPlayToEndTimeNotification (object: the item) on the main thread and stops there
// (rate 0). `pause` and `replaceCurrentItemWithPlayerItem:` cut the sound and the pending end; a
// replaced item starts from its beginning, playing at once when the player was playing.
//
// The frames are read for AVPlayerLayer, which draws the one at the player's current time.
// Main thread only, except `frameAt` of the item, which any thread may call.
#pragma once

#include <AVFoundation/AVAsset.h>
#include <AudioToolbox/AudioPlaying.h>
#include <Foundation/NSError.h>
#include <Foundation/NSURL.h>

#include <memory>
#include <mutex>
#include <optional>

struct MovieFileInfo;
class MovieFrameReader;
struct SimFrame; // a picture of the movie, for AVPlayerLayer

const Ref<NSString>& AVPlayerItemDidPlayToEndTimeNotification();

enum AVPlayerItemStatus : NSInteger {
    AVPlayerItemStatusUnknown = 0,
    AVPlayerItemStatusReadyToPlay = 1,
    AVPlayerItemStatusFailed = 2,
};

class AVPlayerItem : public NSObject {
    NS_OBJECT(AVPlayerItem, NSObject)
public:
    AVPlayerItem();
    ~AVPlayerItem() override;
    // `playerItemWithURL:`; never nil (an unreadable file gives a failed item).
    static Ref<AVPlayerItem> playerItemWithURL(const Ref<NSURL>& url);

    const Ref<NSURL>& URL() const noexcept { return url_; }
    AVPlayerItemStatus status() const noexcept { return status_; }
    const Ref<NSError>& error() const noexcept { return error_; }
    CMTime duration() const;
    double durationSeconds() const;
    bool hasSound() const;
    // The movie's sound (mono, 44100 Hz); empty without one.
    const std::vector<float>& sound() const;
    // The frame shown `seconds` into the movie; nothing for a failed item.
    std::optional<SimFrame> frameAt(double seconds) const;

private:
    Ref<NSURL> url_;
    AVPlayerItemStatus status_ = AVPlayerItemStatusUnknown;
    Ref<NSError> error_;
    std::shared_ptr<const MovieFileInfo> info_;
    mutable std::mutex framesMutex_;
    mutable std::unique_ptr<MovieFrameReader> frames_;
    mutable bool framesFailed_ = false;
};

class AVPlayer : public NSObject {
    NS_OBJECT(AVPlayer, NSObject)
public:
    AVPlayer() = default;
    ~AVPlayer() override;
    static Ref<AVPlayer> playerWithPlayerItem(const Ref<AVPlayerItem>& item);
    static Ref<AVPlayer> playerWithURL(const Ref<NSURL>& url);

    Ref<AVPlayerItem> currentItem() const { return item_; }
    void replaceCurrentItemWithPlayerItem(const Ref<AVPlayerItem>& item);
    void play();
    void pause();
    float rate() const noexcept { return rate_; }
    // Where the current item is (seconds from its start), moving while it plays.
    double currentSeconds() const;
    CMTime currentTime() const;

private:
    void halt();
    void startPass();

    Ref<AVPlayerItem> item_;
    float rate_ = 0;
    double position_ = 0;  // seconds into the item when the running pass started (or now, paused)
    double startedAt_ = 0; // uptime of the running pass
    bool running_ = false; // the clock moves the position
    uint64_t pass_ = 0;
    audio_route::Playing sound_;
};
