// AVCaptureMovieFileOutput: records the session's camera (and its microphone, when the session has
// an audio input) into a QuickTime movie file (MovieFileCodec: MPEG-4 video at the connection's
// frame rate, AAC sound). Frames are the camera's own at each frame's instant, through its white
// balance, mirrored when the video connection is; the sound is what the route's microphone heard
// over the recording (SimAudio), silence from a dead one.
//
// `startRecordingToOutputFileURL:recordingDelegate:` needs an active video connection (a running
// session whose camera is attached), else it raises NSInvalidArgumentException, as it does for a
// nil URL or delegate or while already recording. A recording ends, and the delegate hears
// `captureOutput:didFinishRecordingToOutputFileAtURL:fromConnections:error:` once, on the main
// queue, when:
//   - it reaches `maxRecordedDuration` (error AVErrorMaximumDurationReached),
//   - `stopRecording` is called (no error),
//   - the session stops (AVErrorSessionNotRunning) or its camera goes (AVErrorDeviceWasDisconnected),
//   - the free space of the device's storage, less what the movie took, falls under
//     `minFreeDiskSpaceLimit` (AVErrorDiskFull; with too little space at the start nothing is written).
// Every such error carries AVErrorRecordingSuccessfullyFinishedKey: YES when the file holds a
// playable movie. Thread-safe; the frames are made on the session's camera thread.
#pragma once

#include <AVFoundation/AVAsset.h>
#include <AVFoundation/AVCaptureSession.h>
#include <Foundation/NSURL.h>
#include <Runtime/ProtocolBuilder.h>

#include <memory>

class MovieFileWriter;

// CoreMedia's time helpers.
CMTime CMTimeMake(int64_t value, int32_t timescale);
CMTime CMTimeMakeWithSeconds(double seconds, int32_t preferredTimescale);
extern const CMTime kCMTimeInvalid; // timescale 0
bool CMTimeIsValid(CMTime time);
// Writes the time to the log ("{value/timescale = seconds}").
void CMTimeShow(CMTime time);

// The user-info key of a recording's error: whether the file is still a usable movie.
const Ref<NSString>& AVErrorRecordingSuccessfullyFinishedKey();

// Declared for delegates: `captureOutput:didFinishRecordingToOutputFileAtURL:fromConnections:error:`
// (output, file URL, connections, error or nil).
NS_DECLARE_PROTOCOL(AVCaptureFileOutputRecordingDelegate);

class AVCaptureMovieFileOutput : public AVCaptureOutput {
    NS_OBJECT(AVCaptureMovieFileOutput, AVCaptureOutput)
public:
    AVCaptureMovieFileOutput();
    ~AVCaptureMovieFileOutput() override;

    // Invalid or zero: no limit.
    CMTime maxRecordedDuration() const;
    void setMaxRecordedDuration(CMTime duration);
    int64_t minFreeDiskSpaceLimit() const;
    void setMinFreeDiskSpaceLimit(int64_t bytes);

    void startRecordingToOutputFileURLRecordingDelegate(const Ref<NSURL>& url, const id& delegate);
    void stopRecording();
    bool isRecording() const;
    Ref<NSURL> outputFileURL() const;
    CMTime recordedDuration() const;
    int64_t recordedFileSize() const;

    std::vector<Ref<NSString>> acceptedMediaTypes() const override { return {AVMediaTypeVideo(), AVMediaTypeAudio()}; }
    void sessionTick(double time) override;
    void sessionDidStop(const Ref<NSError>& error) override;

private:
    struct Recording;
    void writeFramesUntil(Recording& r, double until);
    void finish(NSInteger code, bool atMaximum);
    int64_t freeBytes(const Recording& r) const;

    mutable std::recursive_mutex mutex_;
    CMTime maxDuration_ = kCMTimeInvalid;
    int64_t minFreeDisk_ = 0;
    std::unique_ptr<Recording> recording_;
    uint64_t take_ = 0;
};
