// AVAudioRecorder: records what the session's microphone hears (see AudioRoute: the headset's while
// plugged in, else the built-in data source selected) into a real sound file: the format of the
// settings (AVFormatIDKey: kAudioFormatMPEG4AAC into an MPEG-4 file, kAudioFormatLinearPCM into WAV
// or CAF by the file's extension), at AVSampleRateKey with AVNumberOfChannelsKey channels. Without
// the microphone permission it records silence, as the platform does.
//
// `prepareToRecord` checks that the file can be written (an unwritable folder answers NO);
// `record` starts on the platform clock; `stop` writes the file and then tells the delegate
// (`audioRecorderDidFinishRecording:successfully:`, asynchronously on the main thread). A
// recording the device cuts short (SimAudio::setRecordingLimit, a full disk) ends by itself the
// same way, unsuccessfully. Main thread only.
#pragma once

#include <AudioToolbox/AudioFormat.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSURL.h>
#include <Runtime/NSObject.h>
#include <Runtime/ProtocolBuilder.h>

#include <cstdint>

// Settings keys and formats, with the platform's values.
const Ref<NSString>& AVFormatIDKey();
const Ref<NSString>& AVSampleRateKey();
const Ref<NSString>& AVNumberOfChannelsKey();
const Ref<NSString>& AVEncoderAudioQualityKey();

// Declared for delegates: `audioRecorderDidFinishRecording:successfully:` (recorder, BOOL).
NS_DECLARE_PROTOCOL(AVAudioRecorderDelegate);

class AVAudioRecorder : public NSObject {
    NS_OBJECT(AVAudioRecorder, NSObject)
public:
    AVAudioRecorder() = default;
    ~AVAudioRecorder() override;
    // `initWithURL:settings:error:`: nil for settings it cannot record (an unknown format, a sample
    // rate or channel count out of range).
    static Ref<AVAudioRecorder> recorderWithURLSettingsError(const Ref<NSURL>& url, const Ref<NSDictionary>& settings,
                                                             Ref<NSError>* error);

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    const Ref<NSURL>& url() const noexcept { return url_; }
    const Ref<NSDictionary>& settings() const noexcept { return settings_; }

    bool prepareToRecord();
    bool record();
    void stop();
    bool isRecording() const noexcept { return recording_; }
    double currentTime() const;
    // Deletes the file (not while recording).
    bool deleteRecording();

private:
    void finish(bool cutShort);

    Weak<NSObject> delegate_;
    Ref<NSURL> url_;
    Ref<NSDictionary> settings_;
    std::string container_;
    int sampleRate_ = 44100;
    int channels_ = 1;
    bool recording_ = false;
    double startedAt_ = 0;
    int microphone_ = 0;
    bool silent_ = false;
    uint64_t take_ = 0;
};
