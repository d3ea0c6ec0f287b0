// AVCaptureMovieFileOutput: recording the session's camera and microphone to a movie file.
#include <AVFoundation/AVCaptureMovieFileOutput.h>
#include <AVFoundation/AVFoundationInternal.h>

#include <AVFoundation/MovieFileCodec.h>
#include <AudioToolbox/AudioRoute.h>
#include <Device/SimAudio.h>
#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>
#include <filesystem>

NS_IMPLEMENT_PROTOCOL(AVCaptureFileOutputRecordingDelegate) {
    p.optional<void(Ref<AVCaptureOutput>, Ref<NSURL>, Ref<NSArray>, Ref<NSError>)>(
        "captureOutput:didFinishRecordingToOutputFileAtURL:fromConnections:error:");
}

NS_IMPLEMENT_CLASS(AVCaptureMovieFileOutput, AVCaptureOutput) {
    using O = AVCaptureMovieFileOutput;
    b.method("stopRecording", &O::stopRecording);
    b.readonlyProperty("recording", &O::isRecording, "getter=isRecording");
}

const CMTime kCMTimeInvalid{0, 0};

CMTime CMTimeMake(int64_t value, int32_t timescale) {
    return CMTime{value, timescale};
}

CMTime CMTimeMakeWithSeconds(double seconds, int32_t preferredTimescale) {
    if (!std::isfinite(seconds) || preferredTimescale <= 0) {
        return kCMTimeInvalid;
    }
    return CMTime{static_cast<int64_t>(std::llround(seconds * preferredTimescale)), preferredTimescale};
}

bool CMTimeIsValid(CMTime time) {
    return time.timescale > 0;
}

void CMTimeShow(CMTime time) {
    if (!CMTimeIsValid(time)) {
        NSLog("{INVALID}");
        return;
    }
    NSLog("{%lld/%d = %.3f}", static_cast<long long>(time.value), time.timescale, CMTimeGetSeconds(time));
}

const Ref<NSString>& AVErrorRecordingSuccessfullyFinishedKey() {
    static const Ref<NSString> s = NSString::from("AVErrorRecordingSuccessfullyFinishedKey");
    return s;
}

struct AVCaptureMovieFileOutput::Recording {
    Ref<NSURL> url;
    Weak<NSObject> delegate;
    Ref<NSArray> connections;
    std::unique_ptr<MovieFileWriter> writer;
    Ref<AVCaptureDevice> camera;
    SimCamera::Position position = SimCamera::Position::Back;
    bool mirrored = false;
    int width = 0, height = 0;
    int framesPerSecond = 30;
    double startedAt = 0;
    double limit = 0; // seconds; 0: none
    bool withSound = false;
    SimAudio::Part microphone = SimAudio::Part::BottomMicrophone;
    uint64_t take = 0;
};

AVCaptureMovieFileOutput::AVCaptureMovieFileOutput() = default;
AVCaptureMovieFileOutput::~AVCaptureMovieFileOutput() = default;

CMTime AVCaptureMovieFileOutput::maxRecordedDuration() const {
    std::lock_guard lock(mutex_);
    return maxDuration_;
}

void AVCaptureMovieFileOutput::setMaxRecordedDuration(CMTime duration) {
    std::lock_guard lock(mutex_);
    maxDuration_ = duration;
}

int64_t AVCaptureMovieFileOutput::minFreeDiskSpaceLimit() const {
    std::lock_guard lock(mutex_);
    return minFreeDisk_;
}

void AVCaptureMovieFileOutput::setMinFreeDiskSpaceLimit(int64_t bytes) {
    std::lock_guard lock(mutex_);
    minFreeDisk_ = std::max<int64_t>(0, bytes);
}

bool AVCaptureMovieFileOutput::isRecording() const {
    std::lock_guard lock(mutex_);
    return recording_ != nullptr;
}

Ref<NSURL> AVCaptureMovieFileOutput::outputFileURL() const {
    std::lock_guard lock(mutex_);
    return recording_ ? recording_->url : nullptr;
}

CMTime AVCaptureMovieFileOutput::recordedDuration() const {
    std::lock_guard lock(mutex_);
    if (!recording_ || !recording_->writer) {
        return CMTime{0, 600};
    }
    return CMTimeMakeWithSeconds(recording_->writer->duration(), 600);
}

int64_t AVCaptureMovieFileOutput::recordedFileSize() const {
    std::lock_guard lock(mutex_);
    return recording_ && recording_->writer ? recording_->writer->bytesWritten() : 0;
}

int64_t AVCaptureMovieFileOutput::freeBytes(const Recording& r) const {
    int64_t written = r.writer ? r.writer->bytesWritten() : 0;
    return SimDevice::current().storage().freeBytes - written;
}

void AVCaptureMovieFileOutput::startRecordingToOutputFileURLRecordingDelegate(const Ref<NSURL>& url,
                                                                              const id& delegate) {
    if (!url || !url->isFileURL() || !url->path()) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureMovieFileOutput startRecordingToOutputFileURL:recordingDelegate:] "
                           "Cannot record to a URL that is not a file URL");
    }
    if (!delegate) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureMovieFileOutput startRecordingToOutputFileURL:recordingDelegate:] "
                           "The delegate must not be nil");
    }
    auto video = connectionWithMediaType(AVMediaTypeVideo());
    auto session = this->session();
    if (!video || !video->isActive() || !session) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureMovieFileOutput startRecordingToOutputFileURL:recordingDelegate:] "
                           "No active/enabled connections");
    }
    std::unique_lock lock(mutex_);
    if (recording_) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureMovieFileOutput startRecordingToOutputFileURL:recordingDelegate:] "
                           "Already recording");
    }
    auto r = std::make_unique<Recording>();
    r->url = url;
    r->delegate = delegate;
    r->connections = connections();
    r->camera = video->device();
    r->position = r->camera ? simPosition(*r->camera) : SimCamera::Position::Back;
    r->mirrored = video->isVideoMirrored();
    session->frameSize(&r->width, &r->height);
    r->width &= ~1;
    r->height &= ~1;
    double frameDuration = video->videoMinFrameDuration();
    r->framesPerSecond = std::clamp(static_cast<int>(std::lround(1.0 / frameDuration)), 1, 60);
    r->startedAt = DispatchClock::uptime();
    r->limit = CMTimeIsValid(maxDuration_) && maxDuration_.value > 0 ? CMTimeGetSeconds(maxDuration_) : 0;
    auto audio = connectionWithMediaType(AVMediaTypeAudio());
    r->withSound = audio && audio->isEnabled();
    r->microphone = audio_route::input();
    r->take = ++take_;
    // Too little room for even the start of a movie: nothing is written.
    if (SimDevice::current().storage().freeBytes < minFreeDisk_) {
        recording_ = std::move(r);
        lock.unlock();
        finish(AVErrorDiskFull, false);
        return;
    }
    std::string error;
    r->writer =
        MovieFileWriter::create(url->path()->str(), r->width, r->height, r->framesPerSecond, r->withSound, &error);
    if (!r->writer) {
        NSLog("movie file output: %s", error.c_str());
    }
    uint64_t take = r->take;
    double limit = r->limit;
    recording_ = std::move(r);
    lock.unlock();
    if (limit > 0) {
        Weak<AVCaptureMovieFileOutput> weak(this);
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(limit * NSEC_PER_SEC)),
                       dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [weak, take] {
                           auto self = weak.lock();
                           if (!self) {
                               return;
                           }
                           {
                               std::lock_guard again(self->mutex_);
                               if (!self->recording_ || self->recording_->take != take) {
                                   return;
                               }
                           }
                           self->finish(AVErrorMaximumDurationReached, true);
                       });
    }
}

void AVCaptureMovieFileOutput::stopRecording() {
    finish(0, false);
}

void AVCaptureMovieFileOutput::writeFramesUntil(Recording& r, double until) {
    if (!r.writer || !r.camera) {
        return;
    }
    auto& camera = SimCamera::current();
    while (true) {
        double at = r.startedAt + static_cast<double>(r.writer->framesWritten()) / r.framesPerSecond;
        if (at >= until - 1e-9) {
            return;
        }
        auto g = r.camera->deviceWhiteBalanceGains();
        auto frame = camera.frame(r.position, r.width, r.height, {g.redGain, g.greenGain, g.blueGain}, at, r.mirrored);
        if (!frame || !r.writer->addFrame(*frame)) {
            return;
        }
    }
}

void AVCaptureMovieFileOutput::sessionTick(double time) {
    std::unique_lock lock(mutex_);
    if (!recording_) {
        return;
    }
    Recording& r = *recording_;
    double until = r.limit > 0 ? std::min(time, r.startedAt + r.limit) : time;
    writeFramesUntil(r, until);
    if (r.writer && freeBytes(r) < minFreeDisk_) {
        lock.unlock();
        finish(AVErrorDiskFull, false);
    }
}

void AVCaptureMovieFileOutput::sessionDidStop(const Ref<NSError>& error) {
    bool gone = error && error->code() == AVErrorDeviceWasDisconnected;
    finish(gone ? AVErrorDeviceWasDisconnected : AVErrorSessionNotRunning, false);
}

void AVCaptureMovieFileOutput::finish(NSInteger code, bool atMaximum) {
    std::unique_ptr<Recording> r;
    {
        std::lock_guard lock(mutex_);
        if (!recording_) {
            return;
        }
        r = std::move(recording_);
        // The frames up to now (to the maximum when that ended it), unless the camera is gone.
        if (code != AVErrorDeviceWasDisconnected) {
            double now = DispatchClock::uptime();
            writeFramesUntil(*r, atMaximum ? r->startedAt + r->limit : now);
        }
    }
    bool playable = false;
    if (r->writer) {
        double length = r->writer->duration();
        std::vector<float> sound;
        if (r->withSound && length > 0) {
            auto frames = static_cast<size_t>(length * SimAudio::kSampleRate);
            sound = SimAudio::current().capture(r->microphone, r->startedAt, frames);
        }
        std::string error;
        playable = r->writer->finish(sound, &error) && r->writer->framesWritten() > 0;
        if (!playable && !error.empty()) {
            NSLog("movie file output: %s", error.c_str());
        }
    }
    Ref<NSError> error;
    if (code != 0) {
        auto info = NSMutableDictionary::dictionary();
        info->setObjectForKey(NSNumber::numberWithBool(playable), AVErrorRecordingSuccessfullyFinishedKey());
        error = NSError::errorWithDomainCodeUserInfo(AVFoundationErrorDomain(), code, info);
    } else if (!playable) {
        error = NSError::errorWithDomainCodeUserInfo(AVFoundationErrorDomain(), AVErrorUnknown, nullptr);
    }
    Ref<AVCaptureMovieFileOutput> self(this);
    auto url = r->url;
    auto connections = r->connections;
    auto delegate = r->delegate;
    dispatch_async(dispatch_get_main_queue(), [self, url, connections, delegate, error] {
        auto d = delegate.lock();
        SEL selector("captureOutput:didFinishRecordingToOutputFileAtURL:fromConnections:error:");
        if (d && d->respondsToSelector(selector)) {
            d->performSelectorWithArguments(selector, {self, url, connections, error});
        }
    });
}
