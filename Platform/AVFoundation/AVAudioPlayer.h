// AVAudioPlayer: plays a sound file on the device's current output (see AudioRoute): the file is
// decoded when the player is made (MP3, M4A, WAV, CAF ...), and playing hands its real samples to
// the transducers on the platform clock. A player made from a missing, empty or undecodable file
// is nil, with the reason in the error.
//
// The delegate (held weakly) hears `audioPlayerDidFinishPlaying:successfully:` on the main thread
// when the sound (with its loops) has ended on the clock; never after stop, pause or a new play
// that replaced the pass. `numberOfLoops`: extra passes, -1 forever. `volume` (0..1) scales the
// sound on top of the output volume in force when it starts; `pan` (-1 left .. 1 right) tells only
// on the earpieces.
//
// Main thread only.
#pragma once

#include <Foundation/NSError.h>
#include <Foundation/NSURL.h>
#include <Runtime/NSObject.h>
#include <Runtime/ProtocolBuilder.h>

#include <memory>

struct AudioFileData;

// Declared for delegates: `audioPlayerDidFinishPlaying:successfully:` (player, BOOL).
NS_DECLARE_PROTOCOL(AVAudioPlayerDelegate);

class AVAudioPlayer : public NSObject {
    NS_OBJECT(AVAudioPlayer, NSObject)
public:
    AVAudioPlayer() = default;
    ~AVAudioPlayer() override;
    // `initWithContentsOfURL:error:`: nil when the file cannot be played.
    static Ref<AVAudioPlayer> playerWithContentsOfURLError(const Ref<NSURL>& url, Ref<NSError>* error);

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    const Ref<NSURL>& url() const noexcept { return url_; }
    double duration() const;
    NSInteger numberOfChannels() const;

    bool prepareToPlay();
    // Starts or resumes at currentTime; answers NO when there is nothing to play.
    bool play();
    void pause();
    // Stops and goes back to the start.
    void stop();
    bool isPlaying() const noexcept { return playing_; }
    double currentTime() const;
    void setCurrentTime(double time);
    NSInteger numberOfLoops() const noexcept { return loops_; }
    void setNumberOfLoops(NSInteger loops) { loops_ = loops < -1 ? -1 : loops; }
    float volume() const noexcept { return volume_; }
    void setVolume(float volume);
    float pan() const noexcept { return pan_; }
    void setPan(float pan);

private:
    void halt(double now);
    void finished(uint64_t pass);

    Weak<NSObject> delegate_;
    Ref<NSURL> url_;
    std::shared_ptr<const AudioFileData> audio_;
    NSInteger loops_ = 0;
    float volume_ = 1.0f;
    float pan_ = 0;
    bool playing_ = false;
    double startedAt_ = 0;   // uptime of the play that runs now
    double startOffset_ = 0; // position in the sound when that play started
    uint64_t pass_ = 0;
    std::vector<uint64_t> emissions_;
};
