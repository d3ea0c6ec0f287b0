#include <Diagnostics/CameraDisplay/DXCameraVideoScreen.h>

#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <Reactive/NSObject+RXKVOWrapper.h>
#include <Reactive/NSObject+RXPropertySubscribing.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSubscriber.h>
#include <Reactive/RXTuple.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIButton.h>

NS_IMPLEMENT_CLASS(DXCameraVideoScreen, DXCameraScreen) {
    using C = DXCameraVideoScreen;
    b.property("movieFileOutput", &C::movieFileOutput, &C::setMovieFileOutput);
    b.property("player", &C::player, &C::setPlayer);
    b.property("playLayer", &C::playLayer, &C::setPlayLayer);
    b.property("recording", &C::recording, &C::setRecording, "getter=isRecording");
    b.property("playing", &C::playing, &C::setPlaying, "getter=isPlaying");
    b.property("colorLabel", &C::colorLabel, &C::setColorLabel, "weak");
    b.property("testLabel", &C::testLabel, &C::setTestLabel, "weak");
    b.method("captureImage", &C::captureImage);
    b.method("addMovieOutput", &C::addMovieOutput);
    b.method("cameraSetOutputProperties", &C::cameraSetOutputProperties);
    b.method("setupPlayerAndLayer", &C::setupPlayerAndLayer);
    b.method("recordToggleButtonPress", &C::recordToggleButtonPress);
    b.method("actionWhenTestFailed", &C::actionWhenTestFailed);
    b.method("viewDidLayoutSubviews", &C::viewDidLayoutSubviews);
    b.method("viewWillDisappear:", &C::viewWillDisappear);
    b.classMethod("movieFile", [] { return DXCameraVideoScreen::movieFile(); });
    b.classMethod("extraMessage", []() -> id { return nullptr; });
}

namespace {

const SEL kDidFinishRecording("captureOutput:didFinishRecordingToOutputFileAtURL:fromConnections:error:");

// A recording that ended by itself for a reason other than its maximum leaves no clip worth judging.
bool recordingBroke(const Ref<NSError>& error) {
    if (!error) {
        return false;
    }
    switch (error->code()) {
    case AVErrorMaximumDurationReached:
    case AVErrorSessionNotRunning: // the screen stopped it
        return false;
    default:
        return true;
    }
}

} // namespace

Ref<NSString> DXCameraVideoScreen::movieFile() {
    return NSString::stringWithFormat("%@%@", NSTemporaryDirectory(), "output.mov"_ns);
}

void DXCameraVideoScreen::captureImage() {
    DX_ASSERT_MAIN_THREAD();
    auto newSession = make<AVCaptureSession>();
    newSession->setSessionPreset(AVCaptureSessionPresetHigh());
    newSession->setAutomaticallyConfiguresApplicationAudioSession(false);
    auto audio = AVAudioSession::sharedInstance();
    audio->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr);
    audio->overrideOutputAudioPortError(AVAudioSessionPortOverrideSpeaker, nullptr);
    audio->setActiveError(true, nullptr);
    auto camera = getCameraDevice(isFrontCamera() ? AVCaptureDevicePositionFront : AVCaptureDevicePositionBack);
    auto input = AVCaptureDeviceInput::deviceInputWithDeviceError(camera, nullptr);
    if (!input || !newSession->canAddInput(input)) {
        NSLog("no input.....");
        Weak<DXCameraVideoScreen> weak(this);
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(NSEC_PER_SEC)), dispatch_get_main_queue(),
                       [weak] {
                           if (auto self = weak.lock()) {
                               self->failTest();
                           }
                       });
        // No session of this pass: nothing is recorded on an earlier one.
        setSession(nullptr);
        setMovieFileOutput(nullptr);
        return;
    }
    newSession->addInput(input);
    // No microphone is not an error: the clip is silent.
    auto microphone = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeAudio());
    if (auto audioInput = AVCaptureDeviceInput::deviceInputWithDeviceError(microphone, nullptr);
        audioInput && newSession->canAddInput(audioInput)) {
        newSession->addInput(audioInput);
    }
    setSession(newSession);
    auto layer = AVCaptureVideoPreviewLayer::layerWithSession(newSession);
    layer->setVideoGravity(AVLayerVideoGravityResizeAspectFill());
    setPreviewLayer(layer);
    if (auto host = previewImageView()) {
        layer->setFrame(host->bounds());
        host->layer()->addSublayer(layer);
    }
}

void DXCameraVideoScreen::addMovieOutput() {
    auto s = session();
    if (!s) {
        return;
    }
    auto output = make<AVCaptureMovieFileOutput>();
    setMovieFileOutput(output);
    output->setMaxRecordedDuration(CMTimeMakeWithSeconds(2.0, 2));
    output->setMinFreeDiskSpaceLimit(1024 * 1024);
    if (s->canAddOutput(output)) {
        s->addOutput(output);
    }
    cameraSetOutputProperties();
}

void DXCameraVideoScreen::cameraSetOutputProperties() {
    auto output = movieFileOutput();
    auto connection = output ? output->connectionWithMediaType(AVMediaTypeVideo()) : nullptr;
    if (connection) {
        if (isFrontCamera()) {
            connection->setVideoMirrored(true);
        }
        if (connection->isVideoOrientationSupported()) {
            connection->setVideoOrientation(AVCaptureVideoOrientationPortrait);
        }
        auto seconds = [](double s) { return CMTimeMakeWithSeconds(s, 600); };
        CMTimeShow(seconds(connection->videoMinFrameDuration()));
        CMTimeShow(seconds(connection->videoMaxFrameDuration()));
        CMTime frame = CMTimeMake(1, 20);
        if (connection->isVideoMinFrameDurationSupported()) {
            connection->setVideoMinFrameDuration(CMTimeGetSeconds(frame));
        }
        if (connection->isVideoMaxFrameDurationSupported()) {
            connection->setVideoMaxFrameDuration(CMTimeGetSeconds(frame));
        }
        CMTimeShow(seconds(connection->videoMinFrameDuration()));
        CMTimeShow(seconds(connection->videoMaxFrameDuration()));
    }
    if (auto s = session()) {
        s->setSessionPreset(AVCaptureSessionPresetMedium());
        if (s->canSetSessionPreset(AVCaptureSessionPreset640x480())) {
            s->setSessionPreset(AVCaptureSessionPreset640x480());
        }
    }
}

Ref<RXSignal> DXCameraVideoScreen::countDownSignalWithTitleCountAdditional(const Ref<NSString>& title, NSInteger count,
                                                                           bool additional) {
    Weak<DXCameraVideoScreen> weak(this);
    NSInteger ticks = std::max<NSInteger>(0, additional ? count + 1 : count);
    return RXSignal::createSignal(
        [weak, title, count, ticks](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
            auto self = weak.lock();
            if (!self || ticks == 0) {
                subscriber->sendCompleted();
                return nullptr;
            }
            auto counter = std::make_shared<NSInteger>(count);
            auto compound = RXCompoundDisposable::compoundDisposable();
            Weak<RXCompoundDisposable> weakCompound(compound);
            compound->addDisposable(RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
                                        ->take(static_cast<NSUInteger>(ticks))
                                        ->takeUntil(self->disappear())
                                        ->subscribeNextCompleted(
                                            [subscriber, title, counter](const id&) {
                                                subscriber->sendNext(NSString::stringWithFormat(
                                                    "%@ \n %ld", title, static_cast<long>(*counter)));
                                                --*counter;
                                            },
                                            [subscriber, weakCompound] {
                                                auto c = weakCompound.lock();
                                                if (c && !c->isDisposed()) {
                                                    subscriber->sendCompleted();
                                                }
                                            }));
            self->didSubscribeCountDown(compound);
            return compound;
        });
}

Ref<RXSignal> DXCameraVideoScreen::recordSignal() {
    Weak<DXCameraVideoScreen> weak(this);
    return RXSignal::createSignal([weak](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto self = weak.lock();
        auto path = movieFile();
        auto files = NSFileManager::defaultManager();
        if (files->fileExistsAtPath(path)) {
            (void)files->removeItemAtPathError(path, nullptr);
        }
        // A screen that has gone records nothing; without a camera there is nothing to record with.
        auto output = self ? self->movieFileOutput() : nullptr;
        if (!self || self->hasLeft() || self->isCompleted() || !output) {
            subscriber->sendCompleted();
            return nullptr;
        }
        auto connection = output->connectionWithMediaType(AVMediaTypeVideo());
        if (!connection || !connection->isActive()) {
            NSLog("no active video connection: the session is not running");
            self->failTest();
            subscriber->sendCompleted();
            return nullptr;
        }
        auto compound = RXCompoundDisposable::compoundDisposable();
        compound->addDisposable(rx_signalForSelectorFromProtocol(Ref<NSObject>(self), kDidFinishRecording,
                                                                 NS_PROTOCOL(AVCaptureFileOutputRecordingDelegate))
                                    ->take(1)
                                    ->subscribeNext([weak, subscriber](const id& value) {
                                        auto args = cast<RXTuple>(value);
                                        auto error = args ? cast<NSError>(args->objectAtIndex(3)) : nullptr;
                                        if (auto s = weak.lock()) {
                                            s->recordingFinished(error);
                                        }
                                        subscriber->sendCompleted();
                                    }));
        try {
            output->startRecordingToOutputFileURLRecordingDelegate(NSURL::fileURLWithPath(path), self);
        } catch (const NSException& e) {
            NSLog("cannot record: %s", e.reason().c_str());
            compound->dispose();
            self->failTest();
            subscriber->sendCompleted();
            return nullptr;
        }
        Weak<AVCaptureMovieFileOutput> weakOutput(output);
        compound->addDisposable(RXDisposable::disposableWithBlock([weakOutput] {
            if (auto o = weakOutput.lock()) {
                o->stopRecording();
            }
        }));
        self->didSubscribeRecording(compound);
        return compound;
    });
}

void DXCameraVideoScreen::recordingFinished(const Ref<NSError>& error) {
    if (!recordingBroke(error) || isCompleted()) {
        return;
    }
    NSLog("the recording broke off: %@", error);
    stopSession();
    failTest();
}

Ref<RXSignal> DXCameraVideoScreen::playSignal() {
    Weak<DXCameraVideoScreen> weak(this);
    return RXSignal::createSignal([weak](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto self = weak.lock();
        if (!self) {
            subscriber->sendCompleted();
            return nullptr;
        }
        if (self->stopsSessionOnEveryPass()) {
            self->stopSession();
        }
        auto item = AVPlayerItem::playerItemWithURL(NSURL::fileURLWithPath(movieFile()));
        // A clip that cannot be played cannot be judged: the loop ends in an error, the test fails.
        if (item->status() == AVPlayerItemStatusFailed) {
            NSLog("the clip cannot be played: %@", item->error());
            self->failTest();
            subscriber->sendError(item->error());
            return nullptr;
        }
        auto center = NSNotificationCenter::defaultCenter();
        auto ended =
            rx_addObserverForNameObject(center, AVPlayerItemDidPlayToEndTimeNotification(), item)
                ->merge(rx_addObserverForNameObject(center, UIApplicationDidEnterBackgroundNotification(), nullptr))
                ->takeUntil(self->disappear())
                ->take(1)
                ->subscribeNext([subscriber](const id&) { subscriber->sendCompleted(); });
        if (auto p = self->player()) {
            p->replaceCurrentItemWithPlayerItem(item);
            p->play();
        }
        return ended;
    });
}

Ref<RXSignal> DXCameraVideoScreen::repeatPlayAndWaitConfimSignal() {
    auto pass = playSignal();
    if (!stopsSessionOnEveryPass()) {
        pass = pass->logAll();
    }
    return pass->repeat()->takeUntilReplacement(choose());
}

void DXCameraVideoScreen::setupPlayerAndLayer() {
    auto p = make<AVPlayer>();
    setPlayer(p);
    auto layer = AVPlayerLayer::playerLayerWithPlayer(p);
    layer->setVideoGravity(AVLayerVideoGravityResizeAspectFill());
    setPlayLayer(layer);
    if (auto host = previewImageView()) {
        layer->setFrame(host->bounds());
        host->layer()->addSublayer(layer);
    }
}

void DXCameraVideoScreen::recordToggleButtonPress() {
    auto output = movieFileOutput();
    if (!output) {
        return;
    }
    if (recording()) {
        output->stopRecording();
        return;
    }
    auto path = movieFile();
    auto files = NSFileManager::defaultManager();
    if (files->fileExistsAtPath(path)) {
        (void)files->removeItemAtPathError(path, nullptr);
    }
    auto connection = output->connectionWithMediaType(AVMediaTypeVideo());
    if (connection && connection->isActive()) {
        output->startRecordingToOutputFileURLRecordingDelegate(NSURL::fileURLWithPath(path), Ref<NSObject>(this));
    }
}

void DXCameraVideoScreen::actionWhenTestFailed() {
    stopSession();
    if (auto p = player()) {
        p->pause();
    }
}

Ref<RXSignal> DXCameraVideoScreen::stepOne() {
    Weak<DXCameraVideoScreen> weak(this);
    return countDownSignalWithTitleCountAdditional(""_ns, stepOneCount(), false)->doCompleted([weak] {
        auto self = weak.lock();
        // A count-down cut short by leaving the screen starts no recording.
        if (self && !self->hasLeft() && !self->isCompleted()) {
            self->setRecording(true);
        }
    });
}

Ref<RXSignal> DXCameraVideoScreen::stepTwo() {
    return countDownSignalWithTitleCountAdditional(DXLocalizedString("CAMERA_VIDEO_CONTROLLER_STEP2"), 2, true);
}

Ref<RXSignal> DXCameraVideoScreen::stepThree() {
    Weak<DXCameraVideoScreen> weak(this);
    return RXSignal::return_(DXLocalizedString("CAMERA_VIDEO_CONTROLLER_ANSWER"))->initially([weak] {
        if (auto self = weak.lock()) {
            self->setupPlayerAndLayer();
            self->setPlaying(true);
        }
    });
}

void DXCameraVideoScreen::startPass(const Ref<RXSignal>& steps) {
    captureImage();
    addMovieOutput();
    if (auto s = session()) {
        s->startRunning();
    }
    Weak<DXCameraVideoScreen> weak(this);
    // The chain ends with the screen: nothing of it runs after the screen has gone.
    steps->takeUntil(disappear())->subscribeNext([weak](const id& text) {
        if (auto self = weak.lock()) {
            self->showStepText(cast<NSString>(text));
        }
    });
}

void DXCameraVideoScreen::connectAnswerButtons() {
    // The answer buttons are the answer bar's: NO fails, YES passes. They stay hidden until the
    // clip plays, so nobody judges a clip before it exists.
    auto bar = answerView();
    if (!bar) {
        return;
    }
    auto views = bar->subviews();
    for (const id& view : *views) {
        auto button = cast<UIButton>(view);
        if (!button) {
            continue;
        }
        if (button->tag() == DXAnswerTagNo && !failButton()) {
            setFailButton(button);
        } else if (button->tag() == DXAnswerTagYes && !successButton()) {
            setSuccessButton(button);
        }
    }
    for (const auto& button : {failButton(), successButton()}) {
        if (button) {
            button->setHidden(true);
        }
    }
}

void DXCameraVideoScreen::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    connectAnswerButtons();
    setRecording(false);
    setPlaying(false);
    if (auto label = testLabel()) {
        label->setText(DXLocalizedString("CAMERA_VIDEO_CONTROLLER_TITLE"));
    }
    if (auto host = previewImageView()) {
        host->setClipsToBounds(true);
    }
    didLoadVideoScreen();
    Weak<DXCameraVideoScreen> weak(this);
    present()->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(value)) {
            self->hidenButtons(true);
        } else {
            self->stopSession();
            if (auto p = self->player()) {
                p->pause();
            }
        }
    });
    // The flags drive the recording and the play-back.
    auto me = Ref<NSObject>(this);
    rx_valuesForKeyPathObserver(me, "recording"_ns, me)
        ->filter([](const id& v) { return v && unbox<bool>(v); })
        ->delay(1.0)
        ->subscribeNext([weak](const id&) {
            if (auto self = weak.lock()) {
                self->recordSignal()->subscribeCompleted([] {});
            }
        });
    auto playingYes =
        rx_valuesForKeyPathObserver(me, "playing"_ns, me)->filter([](const id& v) { return v && unbox<bool>(v); });
    playingYes->subscribeNext([weak](const id&) {
        auto self = weak.lock();
        if (!self || self->isCompleted()) {
            return;
        }
        self->hidenButtons(false);
        if (!self->stopsSessionOnEveryPass()) {
            self->stopSession();
        }
        auto loop = self->repeatPlayAndWaitConfimSignal()->subscribeNext([weak](const id& answer) {
            auto s = weak.lock();
            if (!s || s->isCompleted()) {
                return;
            }
            s->info()->setResult(unbox<bool>(answer) ? DXTestResultPass : DXTestResultFail);
            s->gotoResultView();
        });
        self->didSubscribePlayLoop(loop);
    });
    auto hidden = playingYes->not_();
    if (auto b = failButton()) {
        hidden->setKeyPathOnObject("hidden"_ns, b);
    }
    if (auto b = successButton()) {
        hidden->setKeyPathOnObject("hidden"_ns, b);
    }
    requestAccessForMediaAccessAndCaptureVideo([weak] {
        if (auto self = weak.lock()) {
            self->startPass(self->passSteps());
        }
    });
}

void DXCameraVideoScreen::viewDidLayoutSubviews() {
    DXBaseViewController::viewDidLayoutSubviews();
    auto host = previewImageView();
    if (auto layer = previewLayer(); layer && host) {
        layer->setFrame(host->bounds());
    }
}

void DXCameraVideoScreen::viewWillDisappear(bool animated) {
    // Marked before anything observing the disappearance runs, so no step of the flow starts now.
    left_ = true;
    DXCameraScreen::viewWillDisappear(animated);
}
