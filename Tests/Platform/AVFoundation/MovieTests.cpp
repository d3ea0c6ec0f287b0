// Movies: the movie-file output records the camera and the microphone into a real QuickTime file
// (checked with libavformat and by decoding its frames and sound), ends on its maximum, on stop, on
// a stopped session, a vanished camera or a full disk; the player plays it back on the clock, the
// sound reaching the speaker and the layer drawing its frames; an unreadable file never plays.
#include <Support/PlatformTestCase.h>

#include <AVFoundation/AVCaptureMovieFileOutput.h>
#include <AVFoundation/AVPlayerLayer.h>
#include <AVFoundation/MovieFileCodec.h>
#include <AudioToolbox/AudioRoute.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>
#include <Device/SimAudio.h>
#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSThread.h>
#include <Runtime/ClassBuilder.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

// Hears the end of recordings.
class RecordingWatcher : public NSObject {
    NS_OBJECT(RecordingWatcher, NSObject)
public:
    RecordingWatcher() = default;
    void finished(const id&, const Ref<NSURL>& url, const Ref<NSArray>&, const Ref<NSError>& error) {
        EXPECT_TRUE(NSThread::isMainThread());
        urls.push_back(url);
        errors.push_back(error);
        at.push_back(DispatchClock::uptime());
    }
    std::vector<Ref<NSURL>> urls;
    std::vector<Ref<NSError>> errors;
    std::vector<double> at;
};

} // namespace

NS_IMPLEMENT_CLASS(RecordingWatcher, NSObject) {
    b.method("captureOutput:didFinishRecordingToOutputFileAtURL:fromConnections:error:", &RecordingWatcher::finished);
}

namespace {

double rms(const std::vector<float>& samples, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, samples.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

class MovieTest : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        SimCamera::current().reset();
        std::filesystem::remove(path());
    }
    void TearDown() override {
        if (session) {
            session->stopRunning();
        }
        session = nullptr;
        output = nullptr;
        PlatformTestCase::TearDown();
        SimCamera::current().reset();
        std::filesystem::remove(path());
    }
    static std::string path() { return NSTemporaryDirectory()->str() + "output.mov"; }
    static Ref<NSURL> url() { return NSURL::fileURLWithPath(NSString::from(path())); }
    static Ref<AVCaptureDevice> camera(AVCaptureDevicePosition position) {
        auto all = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo());
        for (const id& item : *all) {
            auto d = cast<AVCaptureDevice>(item);
            if (d->position() == position) {
                return d;
            }
        }
        return nullptr;
    }
    // A running 480 x 640 session at 20 frames a second with the camera, the microphone and a movie
    // output of at most `seconds`.
    void startSession(AVCaptureDevicePosition position = AVCaptureDevicePositionBack, double seconds = 2.0,
                      bool mirrored = false) {
        session = make<AVCaptureSession>();
        session->addInput(AVCaptureDeviceInput::deviceInputWithDeviceError(camera(position), nullptr));
        auto mic = AVCaptureDeviceInput::deviceInputWithDeviceError(
            AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeAudio()), nullptr);
        ASSERT_TRUE(mic);
        session->addInput(mic);
        output = make<AVCaptureMovieFileOutput>();
        output->setMaxRecordedDuration(CMTimeMakeWithSeconds(seconds, 2));
        output->setMinFreeDiskSpaceLimit(1024 * 1024);
        ASSERT_TRUE(session->canAddOutput(output));
        session->addOutput(output);
        auto video = output->connectionWithMediaType(AVMediaTypeVideo());
        ASSERT_TRUE(video);
        video->setVideoMirrored(mirrored);
        video->setVideoMinFrameDuration(CMTimeGetSeconds(CMTimeMake(1, 20)));
        video->setVideoMaxFrameDuration(CMTimeGetSeconds(CMTimeMake(1, 20)));
        session->setSessionPreset(AVCaptureSessionPreset640x480());
        session->startRunning();
        ASSERT_TRUE(session->isRunning());
    }
    void record() { output->startRecordingToOutputFileURLRecordingDelegate(url(), watcher); }
    NSInteger errorCode(size_t i = 0) const {
        return watcher->errors.size() > i && watcher->errors[i] ? watcher->errors[i]->code() : 0;
    }
    bool finishedSuccessfully(size_t i = 0) const {
        auto e = watcher->errors.at(i);
        return !e || unbox<bool>(e->userInfo()->objectForKey(AVErrorRecordingSuccessfullyFinishedKey()));
    }
    static SimFrame::RGB patch(const SimFrame& frame, const char* name) {
        const auto& p = SimCamera::patchNamed(name);
        return frame.mean(p.x + p.w * 0.25, p.y + p.h * 0.25, p.w * 0.5, p.h * 0.5);
    }

    Ref<AVCaptureSession> session;
    Ref<AVCaptureMovieFileOutput> output;
    Ref<RecordingWatcher> watcher = make<RecordingWatcher>();
};

TEST_F(MovieTest, RecordsTwoSecondsOfTheChartAndTheVoiceToARealMovie) {
    startSession();
    SimAudio::current().speak(DispatchClock::uptime(), 5);
    record();
    EXPECT_TRUE(output->isRecording());
    advance(1.95);
    EXPECT_TRUE(watcher->urls.empty());
    advance(0.1);
    ASSERT_EQ(watcher->urls.size(), 1u);
    EXPECT_EQ(watcher->urls[0]->path()->str(), path());
    EXPECT_EQ(errorCode(), AVErrorMaximumDurationReached);
    EXPECT_TRUE(finishedSuccessfully());
    EXPECT_FALSE(output->isRecording());

    // The container, read by libavformat itself: a video and a sound track, two seconds.
    AVFormatContext* format = nullptr;
    ASSERT_EQ(avformat_open_input(&format, path().c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(format, nullptr), 0);
    EXPECT_STREQ(format->iformat->name, "mov,mp4,m4a,3gp,3g2,mj2");
    int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    int sound = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    ASSERT_GE(video, 0);
    ASSERT_GE(sound, 0);
    EXPECT_EQ(format->streams[video]->codecpar->width, 480);
    EXPECT_EQ(format->streams[video]->codecpar->height, 640);
    EXPECT_EQ(format->streams[video]->nb_frames, 40);
    EXPECT_NEAR(static_cast<double>(format->duration) / AV_TIME_BASE, 2.0, 0.06);
    avformat_close_input(&format);

    // The frames show the chart in its colours; the marker moves, so they are live.
    auto frames = MovieFileFrames(path());
    ASSERT_TRUE(frames);
    ASSERT_EQ(frames->size(), 40u);
    for (const auto& p : SimCamera::chartPatches()) {
        auto c = patch((*frames)[20], p.name);
        EXPECT_NEAR(c.r, p.r * 255, 16) << p.name;
        EXPECT_NEAR(c.g, p.g * 255, 16) << p.name;
        EXPECT_NEAR(c.b, p.b * 255, 16) << p.name;
    }
    EXPECT_NE((*frames)[0].pixels, (*frames)[10].pixels);
    // The sound is the voice the microphone heard.
    auto info = MovieFileRead(path());
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->hasSound);
    EXPECT_NEAR(static_cast<double>(info->sound.size()) / 44100, 2.0, 0.1);
    EXPECT_GT(rms(info->sound), 10 * SimAudio::kNoiseLevel);
}

TEST_F(MovieTest, FrontCameraRecordingIsMirroredAndADeadMicrophoneRecordsSilence) {
    SimAudio::current().setState(audio_route::input(), SimAudio::State::Dead);
    startSession(AVCaptureDevicePositionFront, 1.0, true);
    SimAudio::current().speak(DispatchClock::uptime(), 5);
    record();
    advance(1.1);
    ASSERT_EQ(watcher->urls.size(), 1u);
    auto frames = MovieFileFrames(path());
    ASSERT_TRUE(frames);
    ASSERT_EQ(frames->size(), 20u);
    // The red patch lies left of the middle on the chart; mirrored it shows on the other side.
    const auto& red = SimCamera::patchNamed("red");
    auto mirroredRed = (*frames)[5].mean(1 - red.x - red.w * 0.75, red.y + red.h * 0.25, red.w * 0.5, red.h * 0.5);
    EXPECT_GT(mirroredRed.r, 150);
    EXPECT_LT(mirroredRed.g, 100);
    auto info = MovieFileRead(path());
    ASSERT_TRUE(info);
    EXPECT_LT(rms(info->sound), SimAudio::kNoiseLevel);
}

TEST_F(MovieTest, DeadCameraRecordsBlackFrames) {
    SimCamera::current().setCameraState(SimCamera::Position::Back, SimCamera::CameraState::Dead);
    startSession();
    record();
    advance(2.1);
    auto frames = MovieFileFrames(path());
    ASSERT_TRUE(frames);
    auto c = (*frames)[10].mean(0, 0, 1, 1);
    EXPECT_LT(c.r + c.g + c.b, 30);
}

TEST_F(MovieTest, StartNeedsAnActiveConnectionADelegateAndAFileURL) {
    session = make<AVCaptureSession>();
    session->addInput(AVCaptureDeviceInput::deviceInputWithDeviceError(camera(AVCaptureDevicePositionBack), nullptr));
    output = make<AVCaptureMovieFileOutput>();
    session->addOutput(output);
    EXPECT_THROW(record(), NSException); // not running
    session->startRunning();
    EXPECT_THROW(output->startRecordingToOutputFileURLRecordingDelegate(url(), nullptr), NSException);
    EXPECT_THROW(
        output->startRecordingToOutputFileURLRecordingDelegate(NSURL::URLWithString("http://x/y.mov"_ns), watcher),
        NSException);
    EXPECT_THROW(make<AVCaptureMovieFileOutput>()->startRecordingToOutputFileURLRecordingDelegate(url(), watcher),
                 NSException); // in no session
    record();
    EXPECT_THROW(record(), NSException); // already recording
    advance(0.5);
    output->stopRecording();
    advance(0.1);
    EXPECT_EQ(watcher->urls.size(), 1u);
    // Without a microphone input the movie has no sound track.
    auto info = MovieFileRead(path());
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->hasSound);
}

TEST_F(MovieTest, StopAndAStoppedSessionEndTheRecordingEarlyWithAPlayableFile) {
    startSession();
    record();
    advance(0.5);
    output->stopRecording();
    advance(0.1);
    ASSERT_EQ(watcher->urls.size(), 1u);
    EXPECT_EQ(errorCode(), 0);
    auto info = MovieFileRead(path());
    ASSERT_TRUE(info);
    EXPECT_NEAR(info->duration, 0.5, 0.06);

    record();
    advance(0.7);
    session->stopRunning();
    advance(0.1);
    ASSERT_EQ(watcher->urls.size(), 2u);
    EXPECT_EQ(errorCode(1), AVErrorSessionNotRunning);
    EXPECT_TRUE(finishedSuccessfully(1));
    // Nothing more comes later, not even at the old maximum.
    advance(3);
    EXPECT_EQ(watcher->urls.size(), 2u);
}

TEST_F(MovieTest, VanishingCameraEndsTheRecording) {
    startSession();
    record();
    advance(0.6);
    SimCamera::current().setCameraState(SimCamera::Position::Back, SimCamera::CameraState::Absent);
    advance(0.3);
    ASSERT_EQ(watcher->urls.size(), 1u);
    EXPECT_EQ(errorCode(), AVErrorDeviceWasDisconnected);
    EXPECT_FALSE(session->isRunning());
}

TEST_F(MovieTest, FullDiskEndsTheRecordingOrPreventsIt) {
    auto storage = SimDevice::current().storage();
    startSession();
    record();
    advance(2.1);
    ASSERT_EQ(watcher->urls.size(), 1u);
    auto full = static_cast<int64_t>(std::filesystem::file_size(path()));
    // Room for half of such a movie above the limit: the recording stops when it is used up.
    SimDevice::current().setStorage({storage.totalBytes, 1024 * 1024 + full / 2, storage.nodes});
    double start = DispatchClock::uptime();
    record();
    advance(2.1);
    ASSERT_EQ(watcher->urls.size(), 2u);
    EXPECT_EQ(errorCode(1), AVErrorDiskFull);
    EXPECT_TRUE(finishedSuccessfully(1));
    EXPECT_LT(watcher->at[1], start + 1.9);
    auto info = MovieFileRead(path());
    ASSERT_TRUE(info);
    EXPECT_LT(info->duration, 1.9);

    // A disk that is already full: nothing is written.
    std::filesystem::remove(path());
    SimDevice::current().setStorage({storage.totalBytes, 512 * 1024, storage.nodes});
    record();
    advance(0.1);
    ASSERT_EQ(watcher->urls.size(), 3u);
    EXPECT_EQ(errorCode(2), AVErrorDiskFull);
    EXPECT_FALSE(finishedSuccessfully(2));
    EXPECT_FALSE(std::filesystem::exists(path()));
    SimDevice::current().setStorage(storage);
}

TEST_F(MovieTest, PlayerPlaysTheClipToItsEndWithItsSoundAndItsFrames) {
    startSession();
    SimAudio::current().speak(DispatchClock::uptime(), 2);
    record();
    advance(2.1);
    session->stopRunning();
    audio_route::reset();
    auto item = AVPlayerItem::playerItemWithURL(url());
    EXPECT_EQ(item->status(), AVPlayerItemStatusReadyToPlay);
    EXPECT_NEAR(CMTimeGetSeconds(item->duration()), 2.0, 0.06);
    auto player = make<AVPlayer>();
    auto layer = AVPlayerLayer::playerLayerWithPlayer(player);
    layer->setFrame(CGRectMake(0, 0, 120, 160));
    int ends = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        AVPlayerItemDidPlayToEndTimeNotification(), item, nullptr, [&](const Ref<NSNotification>&) { ++ends; });
    player->replaceCurrentItemWithPlayerItem(item);
    double start = DispatchClock::uptime();
    player->play();
    advance(1.0);
    EXPECT_NEAR(player->currentSeconds(), 1.0, 1e-6);
    // The layer shows the chart's red patch where it belongs.
    auto context = CGBitmapContextCreate(nullptr, 120, 160, 8, 0, CGColorSpaceCreateDeviceRGB(),
                                         kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGContextTranslateCTM(context, 0, 160);
    CGContextScaleCTM(context, 1, -1);
    layer->renderInContext(context);
    auto image = CGBitmapContextCreateImage(context);
    const auto& red = SimCamera::patchNamed("red");
    uint8_t rgba[4];
    ASSERT_TRUE(CGImageGetPixel(image, static_cast<size_t>(120 * (red.x + red.w / 2)),
                                static_cast<size_t>(160 * (red.y + red.h / 2)), rgba));
    EXPECT_GT(rgba[0], 150);
    EXPECT_LT(rgba[1], 100);
    advance(0.95);
    EXPECT_EQ(ends, 0);
    advance(0.1);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(player->rate(), 0);
    // The voice came out of the speaker during the pass.
    auto out = audio_route::outputs();
    ASSERT_FALSE(out.empty());
    EXPECT_GT(SimAudio::current().playedLevel(out[0], start, start + 2), 10 * SimAudio::kNoiseLevel);
    // A new item plays again; pausing cuts the end.
    player->replaceCurrentItemWithPlayerItem(AVPlayerItem::playerItemWithURL(url()));
    player->play();
    advance(1);
    player->pause();
    advance(3);
    EXPECT_EQ(ends, 1);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(MovieTest, UnreadableOrCorruptFilesNeverPlay) {
    for (const char* contents : {"", "not a movie at all",
                                 "\0\0\0\x14"
                                 "ftypqt  \0\0\0\0qt  garbage"}) {
        {
            std::ofstream file(path(), std::ios::binary | std::ios::trunc);
            file << contents;
        }
        auto item = AVPlayerItem::playerItemWithURL(url());
        EXPECT_EQ(item->status(), AVPlayerItemStatusFailed);
        EXPECT_TRUE(item->error());
        EXPECT_FALSE(item->frameAt(0));
        int ends = 0;
        auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
            AVPlayerItemDidPlayToEndTimeNotification(), nullptr, nullptr, [&](const Ref<NSNotification>&) { ++ends; });
        auto player = AVPlayer::playerWithPlayerItem(item);
        player->play();
        advance(5);
        EXPECT_EQ(ends, 0);
        EXPECT_EQ(player->currentSeconds(), 0);
        NSNotificationCenter::defaultCenter()->removeObserver(token);
    }
    std::filesystem::remove(path());
    EXPECT_EQ(AVPlayerItem::playerItemWithURL(url())->status(), AVPlayerItemStatusFailed);
    EXPECT_EQ(AVPlayerItem::playerItemWithURL(nullptr)->status(), AVPlayerItemStatusFailed);
}

TEST_F(MovieTest, TruncatedMovieDoesNotCrashTheReaders) {
    startSession();
    record();
    advance(2.1);
    std::string bytes;
    {
        std::ifstream in(path(), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(bytes.size(), 1000u);
    for (size_t keep : {bytes.size() / 2, bytes.size() - 100, size_t{64}}) {
        {
            std::ofstream out(path(), std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(keep));
        }
        auto item = AVPlayerItem::playerItemWithURL(url());
        (void)item->frameAt(1.0);
        (void)MovieFileFrames(path());
    }
    // Flipped bytes in the middle of the frames.
    for (size_t i = bytes.size() / 3; i < bytes.size() / 2; i += 7) {
        bytes[i] = static_cast<char>(~bytes[i]);
    }
    {
        std::ofstream out(path(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    auto item = AVPlayerItem::playerItemWithURL(url());
    for (double t = 0; t < 2.2; t += 0.25) {
        (void)item->frameAt(t);
    }
}

TEST_F(MovieTest, WriterRefusesBadSizesAndUnwritablePlaces) {
    std::string error;
    EXPECT_FALSE(MovieFileWriter::create(path(), 481, 640, 20, false, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(MovieFileWriter::create(path(), 0, 640, 20, false));
    EXPECT_FALSE(MovieFileWriter::create(path(), 480, 640, 0, false));
    EXPECT_FALSE(MovieFileWriter::create("/no/such/folder/output.mov", 480, 640, 20, true, &error));
    // A frame of another size is scaled to the movie's; a frame without pixels is refused.
    auto writer = MovieFileWriter::create(path(), 64, 48, 10, false);
    ASSERT_TRUE(writer);
    auto frame = SimCamera::current().frame(SimCamera::Position::Back, 120, 90, SimCamera::current().neutralGains(), 0);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(writer->addFrame(*frame));
    EXPECT_FALSE(writer->addFrame(SimFrame{}));
    EXPECT_TRUE(writer->finish({}));
    EXPECT_FALSE(writer->finish({}));
    auto info = MovieFileRead(path(), &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->width, 64);
    EXPECT_EQ(info->height, 48);
    EXPECT_EQ(info->frameCount, 1);
}

} // namespace
