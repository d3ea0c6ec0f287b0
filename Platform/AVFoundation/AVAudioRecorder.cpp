// AVAudioRecorder on the device's acoustic world (see AVAudioRecorder.h).
#include <AVFoundation/AVAudioRecorder.h>

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
#include <cstdio>
#include <filesystem>
#include <fstream>

NS_IMPLEMENT_PROTOCOL(AVAudioRecorderDelegate) {
    p.optional<void(Ref<AVAudioRecorder>, bool)>("audioRecorderDidFinishRecording:successfully:");
}

NS_IMPLEMENT_CLASS(AVAudioRecorder, NSObject) {
    using R = AVAudioRecorder;
    b.method("record", &R::record);
    b.method("stop", &R::stop);
    b.method("prepareToRecord", &R::prepareToRecord);
    b.readonlyProperty("recording", &R::isRecording, "getter=isRecording");
}

#define DX_RECORDER_STRING(name, text)                                                                                 \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString>& value = *new Ref<NSString>(NSString::from(text));                                  \
        return value;                                                                                                  \
    }
DX_RECORDER_STRING(AVFormatIDKey, "AVFormatIDKey")
DX_RECORDER_STRING(AVSampleRateKey, "AVSampleRateKey")
DX_RECORDER_STRING(AVNumberOfChannelsKey, "AVNumberOfChannelsKey")
DX_RECORDER_STRING(AVEncoderAudioQualityKey, "AVEncoderAudioQualityKey")
#undef DX_RECORDER_STRING

namespace {

bool failWith(Ref<NSError>* error, NSInteger code) {
    if (error) {
        *error = NSError::errorWithDomainCodeUserInfo(NSOSStatusErrorDomain(), code, nullptr);
    }
    return false;
}

double number(const Ref<NSDictionary>& settings, const Ref<NSString>& key, double fallback) {
    auto n = settings ? cast<NSNumber>(settings->objectForKey(key)) : nullptr;
    return n ? n->doubleValue() : fallback;
}

} // namespace

Ref<AVAudioRecorder> AVAudioRecorder::recorderWithURLSettingsError(const Ref<NSURL>& url,
                                                                   const Ref<NSDictionary>& settings,
                                                                   Ref<NSError>* error) {
    if (!url || !url->path()) {
        failWith(error, -50);
        return nullptr;
    }
    std::string extension = std::filesystem::path(url->path()->str()).extension().string();
    auto format = static_cast<AudioFormatID>(number(settings, AVFormatIDKey(), kAudioFormatLinearPCM));
    std::string container;
    if (format == kAudioFormatMPEG4AAC) {
        container = "m4a";
    } else if (format == kAudioFormatLinearPCM) {
        container = extension == ".caf" ? "caf" : "wav";
    } else {
        failWith(error, 0x666d743f); // 'fmt?'
        return nullptr;
    }
    double rate = number(settings, AVSampleRateKey(), 44100);
    double channels = number(settings, AVNumberOfChannelsKey(), 1);
    if (!(rate >= 8000 && rate <= 96000) || !(channels == 1 || channels == 2)) {
        failWith(error, 0x666d743f);
        return nullptr;
    }
    auto recorder = make<AVAudioRecorder>();
    recorder->url_ = url;
    recorder->settings_ = settings ? cast<NSDictionary>(settings->copy()) : NSDictionary::dictionary();
    recorder->container_ = container;
    recorder->sampleRate_ = static_cast<int>(rate);
    recorder->channels_ = static_cast<int>(channels);
    return recorder;
}

AVAudioRecorder::~AVAudioRecorder() = default;

bool AVAudioRecorder::prepareToRecord() {
    DX_ASSERT_MAIN_THREAD();
    if (recording_) {
        return true;
    }
    // The file must be writable: made (empty) now, written when the recording stops.
    std::ofstream file(url_->path()->str(), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(file);
}

bool AVAudioRecorder::record() {
    DX_ASSERT_MAIN_THREAD();
    if (recording_) {
        return true;
    }
    if (!prepareToRecord()) {
        return false;
    }
    auto& audio = SimAudio::current();
    recording_ = true;
    startedAt_ = DispatchClock::uptime();
    microphone_ = static_cast<int>(audio_route::input());
    silent_ = audio.recordPermission() != SimAudio::Permission::Granted;
    uint64_t take = ++take_;
    if (double limit = audio.recordingLimit(); limit >= 0) {
        Weak<AVAudioRecorder> weak(this);
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(limit * 1e9)), dispatch_get_main_queue(),
                       [weak, take] {
                           auto self = weak.lock();
                           if (self && self->recording_ && self->take_ == take) {
                               self->finish(true);
                           }
                       });
    }
    return true;
}

double AVAudioRecorder::currentTime() const {
    return recording_ ? DispatchClock::uptime() - startedAt_ : 0;
}

void AVAudioRecorder::stop() {
    DX_ASSERT_MAIN_THREAD();
    if (recording_) {
        finish(false);
    }
}

void AVAudioRecorder::finish(bool cutShort) {
    recording_ = false;
    ++take_;
    double now = DispatchClock::uptime();
    auto frames = static_cast<size_t>(std::max(0.0, now - startedAt_) * AudioFileData::kSampleRate);
    std::vector<float> heard =
        silent_ ? std::vector<float>(frames, 0.0f)
                : SimAudio::current().capture(static_cast<SimAudio::Part>(microphone_), startedAt_, frames);
    AudioFileData data;
    data.channels = channels_;
    data.samples.reserve(heard.size() * static_cast<size_t>(channels_));
    for (float v : heard) {
        for (int c = 0; c < channels_; ++c) {
            data.samples.push_back(v);
        }
    }
    bool ok = frames > 0 && AudioFileEncode(url_->path()->str(), container_, data, sampleRate_);
    bool success = ok && !cutShort;
    Ref<AVAudioRecorder> self(this);
    dispatch_async(dispatch_get_main_queue(), [self, success] {
        if (auto d = self->delegate()) {
            SEL selector("audioRecorderDidFinishRecording:successfully:");
            if (d->respondsToSelector(selector)) {
                d->performSelectorWithArguments(selector, {self, box(success)});
            }
        }
    });
}

bool AVAudioRecorder::deleteRecording() {
    if (recording_) {
        return false;
    }
    std::error_code ec;
    return std::filesystem::remove(url_->path()->str(), ec);
}
