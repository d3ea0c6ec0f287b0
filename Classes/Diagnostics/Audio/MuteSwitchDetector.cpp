#include <Diagnostics/Audio/MuteSwitchDetector.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSRunLoop.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>

NS_IMPLEMENT_CLASS(MuteSwitchDetector, NSObject) {
    using D = MuteSwitchDetector;
    b.readonlyProperty("isMute", &D::isMute);
    b.property("forceEmit", &D::forceEmit, &D::setForceEmit);
    b.property("isPaused", &D::isPaused, &D::setIsPaused);
    b.property("isPlaying", &D::isPlaying, &D::setIsPlaying);
    b.property("soundId", &D::soundId, &D::setSoundId);
    b.property("interval", &D::interval, &D::setInterval);
    b.method("stopDetect", &D::stopDetect);
    b.method("loopCheck", &D::loopCheck);
    b.method("complete", &D::complete);
    b.method("scheduleCall", &D::scheduleCall);
    b.method("didEnterBackground", &D::didEnterBackground);
    b.method("willReturnToForeground", &D::willReturnToForeground);
    b.classMethod("shared", [] { return MuteSwitchDetector::shared(); });
}

MuteSwitchDetector::MuteSwitchDetector() {
    DX_ASSERT_MAIN_THREAD();
    soundId_ = kNoSound;
    SystemSoundID sound = kNoSound;
    auto url = NSBundle::mainBundle()->URLForResourceWithExtension("mute"_ns, "caf"_ns);
    if (url && AudioServicesCreateSystemSoundID(url, &sound) == noErr) {
        soundId_ = sound;
        AudioServicesAddSystemSoundCompletion(sound, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode(),
                                              &MuteSwitchDetector::muteSoundCompletionCallback, this);
        uint32_t yes = 1;
        AudioServicesSetProperty(kAudioServicesPropertyIsUISound, sizeof sound, &sound, sizeof yes, &yes);
        scheduleCall();
        forceEmit_ = true;
    }
    Weak<MuteSwitchDetector> weak(this);
    auto center = NSNotificationCenter::defaultCenter();
    backgroundObserver_ = center->addObserverForNameObjectQueueUsingBlock(
        UIApplicationDidEnterBackgroundNotification(), nullptr, nullptr, [weak](const Ref<NSNotification>&) {
            if (auto self = weak.lock()) {
                self->didEnterBackground();
            }
        });
    foregroundObserver_ = center->addObserverForNameObjectQueueUsingBlock(
        UIApplicationWillEnterForegroundNotification(), nullptr, nullptr, [weak](const Ref<NSNotification>&) {
            if (auto self = weak.lock()) {
                self->willReturnToForeground();
            }
        });
}

MuteSwitchDetector::~MuteSwitchDetector() {
    release();
}

Ref<MuteSwitchDetector> MuteSwitchDetector::shared() {
    static Ref<MuteSwitchDetector>* detector = new Ref<MuteSwitchDetector>(make<MuteSwitchDetector>());
    return *detector;
}

void MuteSwitchDetector::setSilentNotify(SilentNotify notify) {
    silentNotify_ = std::move(notify);
    setForceEmit(true);
}

void MuteSwitchDetector::muteSoundCompletionCallback(SystemSoundID, void* clientData) {
    // The sound's completion is removed before a detector goes, so the client data is alive here.
    static_cast<MuteSwitchDetector*>(clientData)->completionArrived();
}

void MuteSwitchDetector::completionArrived() {
    if (finished_) {
        return;
    }
    if (stopped_) {
        NSLog("gIsStoped = true");
        // The probe is over all the same: the return to the foreground starts the next one.
        setIsPlaying(false);
        return;
    }
    complete();
}

void MuteSwitchDetector::loopCheck() {
    pending_ = nullptr;
    if (finished_ || isPaused() || soundId_ == kNoSound) {
        return;
    }
    setInterval(NSDate::now());
    setIsPlaying(true);
    AudioServicesPlaySystemSound(soundId_);
}

void MuteSwitchDetector::complete() {
    // The listener may stop the probe and let go of the last reference to this detector: it stays
    // alive until this call is over.
    Ref<MuteSwitchDetector> keep(this);
    setIsPlaying(false);
    bool silent = NSDate::now() - interval() < kSilentLimit;
    if (silent == isMute_ && !forceEmit()) {
        scheduleCall();
        return;
    }
    setForceEmit(false);
    changeValueForKey("isMute", [&] { isMute_ = silent; });
    if (silentNotify_) {
        auto notify = silentNotify_;
        notify(silent);
    }
    scheduleCall();
}

void MuteSwitchDetector::scheduleCall() {
    if (pending_) {
        pending_->invalidate();
        pending_ = nullptr;
    }
    if (finished_) {
        return;
    }
    Weak<MuteSwitchDetector> weak(this);
    pending_ = NSTimer::timerWithTimeIntervalRepeatsBlock(kProbeDelay, false, [weak](const Ref<NSTimer>&) {
        if (auto self = weak.lock()) {
            self->loopCheck();
        }
    });
    NSRunLoop::mainRunLoop()->addTimerForMode(pending_, NSDefaultRunLoopMode());
}

void MuteSwitchDetector::didEnterBackground() {
    setIsPaused(true);
    stopped_ = true;
}

void MuteSwitchDetector::willReturnToForeground() {
    setIsPaused(false);
    stopped_ = false;
    if (!isPlaying()) {
        scheduleCall();
    }
}

void MuteSwitchDetector::stopDetect() {
    DX_ASSERT_MAIN_THREAD();
    release();
}

void MuteSwitchDetector::release() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (pending_) {
        pending_->invalidate();
        pending_ = nullptr;
    }
    if (soundId_ != kNoSound) {
        AudioServicesRemoveSystemSoundCompletion(soundId_);
        AudioServicesDisposeSystemSoundID(soundId_);
    }
    auto center = NSNotificationCenter::defaultCenter();
    if (backgroundObserver_) {
        center->removeObserver(backgroundObserver_);
        backgroundObserver_ = nullptr;
    }
    if (foregroundObserver_) {
        center->removeObserver(foregroundObserver_);
        foregroundObserver_ = nullptr;
    }
}
