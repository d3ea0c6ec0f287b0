// The capture framework over the simulated cameras: access and its prompt, devices, inputs,
// sessions and their notifications, still pictures (decoded and measured), white balance and its
// observation from the camera's thread, QR codes read from the frames, the preview.
#include <Support/PlatformTestCase.h>

#include <AVFoundation/AVCaptureMetadataOutput.h>
#include <AVFoundation/AVCaptureStillImageOutput.h>
#include <AVFoundation/AVCaptureVideoPreviewLayer.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImageCoding.h>
#include <Device/SimCamera.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSThread.h>
#include <Runtime/ClassBuilder.h>

#include <cairo.h>
#include <libexif/exif-data.h>

#include <atomic>
#include <cmath>
#include <cstring>

namespace {

// Observes key paths and counts the calls, noting whether any came off the main thread.
class Watcher : public NSObject {
    NS_OBJECT(Watcher, NSObject)
public:
    Watcher() = default;
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id&, const Ref<NSDictionary>&,
                                                     void*) override {
        std::lock_guard lock(mutex);
        calls.push_back(keyPath->str());
        if (!NSThread::isMainThread()) {
            offMain = true;
        }
    }
    std::mutex mutex;
    std::vector<std::string> calls;
    bool offMain = false;
};

// Takes metadata batches.
class CodeReader : public NSObject {
    NS_OBJECT(CodeReader, NSObject)
public:
    CodeReader() = default;
    void captureOutputDidOutputMetadataObjectsFromConnection(const id&, const Ref<NSArray>& objects, const id&) {
        EXPECT_TRUE(NSThread::isMainThread());
        batches.push_back(objects);
    }
    std::vector<Ref<NSArray>> batches;
};

} // namespace

NS_IMPLEMENT_CLASS(Watcher, NSObject) {}
NS_IMPLEMENT_CLASS(CodeReader, NSObject) {
    b.method("captureOutput:didOutputMetadataObjects:fromConnection:",
             &CodeReader::captureOutputDidOutputMetadataObjectsFromConnection);
}

namespace {

class CaptureTest : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        SimCamera::current().reset();
    }
    void TearDown() override {
        for (auto& s : sessions) {
            s->stopRunning();
        }
        sessions.clear();
        PlatformTestCase::TearDown();
    }
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
    Ref<AVCaptureSession> sessionWith(AVCaptureDevicePosition position, const Ref<AVCaptureOutput>& output,
                                      const Ref<NSString>& preset = AVCaptureSessionPresetPhoto()) {
        auto session = make<AVCaptureSession>();
        session->setSessionPreset(preset);
        Ref<NSError> error;
        auto input = AVCaptureDeviceInput::deviceInputWithDeviceError(camera(position), &error);
        EXPECT_TRUE(input) << (error ? error->localizedDescription()->str() : "");
        session->addInput(input);
        if (output) {
            session->addOutput(output);
        }
        sessions.push_back(session);
        return session;
    }
    // Takes a still and waits for it on the main thread.
    static CMSampleBufferRef takeStill(const Ref<AVCaptureStillImageOutput>& output, Ref<NSError>* errorOut = nullptr) {
        std::atomic<bool> done{false};
        CMSampleBufferRef result;
        Ref<NSError> failure;
        std::atomic<bool> offMain{false};
        output->captureStillImageAsynchronouslyFromConnectionCompletionHandler(
            output->connectionWithMediaType(AVMediaTypeVideo()),
            [&](const CMSampleBufferRef& buffer, const Ref<NSError>& error) {
                result = buffer;
                failure = error;
                offMain = !NSThread::isMainThread();
                done = true;
            });
        EXPECT_TRUE(runUntil([&] { return done.load(); }));
        EXPECT_TRUE(offMain.load());
        if (errorOut) {
            *errorOut = failure;
        }
        return result;
    }
    static CGImageRef decode(const CMSampleBufferRef& buffer) {
        auto data = AVCaptureStillImageOutput::jpegStillImageNSDataRepresentation(buffer);
        if (!data) {
            return nullptr;
        }
        std::string error;
        return CGImageCreateFromEncodedData(data->bytes(), data->length(), nullptr, &error);
    }
    // The mean colour of a rectangle (fractions) of an image.
    static SimFrame::RGB meanOf(const CGImageRef& image, double x, double y, double w, double h) {
        SimFrame f;
        f.width = static_cast<int>(image->width());
        f.height = static_cast<int>(image->height());
        f.pixels.resize(static_cast<size_t>(f.width) * f.height);
        cairo_surface_t* s = image->surface();
        cairo_surface_flush(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int yy = 0; yy < f.height; ++yy) {
            std::memcpy(&f.pixels[static_cast<size_t>(yy) * f.width], data + static_cast<ptrdiff_t>(yy) * stride,
                        static_cast<size_t>(f.width) * 4);
        }
        return f.mean(x, y, w, h);
    }
    static SimFrame::RGB patchOf(const CGImageRef& image, const char* name) {
        const auto& p = SimCamera::patchNamed(name);
        return meanOf(image, p.x + p.w * 0.25, p.y + p.h * 0.25, p.w * 0.5, p.h * 0.5);
    }
    std::vector<Ref<AVCaptureSession>> sessions;
};

TEST_F(CaptureTest, PromptAnswerArrivesOffTheMainThreadAndSticks) {
    auto& sim = SimCamera::current();
    sim.setAuthorization(SimCamera::Authorization::NotDetermined);
    EXPECT_EQ(AVCaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo()), AVAuthorizationStatusNotDetermined);
    std::atomic<int> answer{-1};
    std::atomic<bool> offMain{false};
    AVCaptureDevice::requestAccessForMediaTypeCompletionHandler(AVMediaTypeVideo(), [&](bool granted) {
        offMain = !NSThread::isMainThread();
        answer = granted;
    });
    advance(0.5);
    EXPECT_EQ(answer.load(), -1);
    EXPECT_TRUE(sim.authorizationPromptShown());
    advance(0.6);
    EXPECT_EQ(answer.load(), 1);
    EXPECT_TRUE(offMain.load());
    EXPECT_EQ(AVCaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo()), AVAuthorizationStatusAuthorized);

    sim.setAuthorization(SimCamera::Authorization::NotDetermined);
    sim.setPromptAnswer(SimCamera::PromptAnswer::Deny);
    answer = -1;
    AVCaptureDevice::requestAccessForMediaTypeCompletionHandler(AVMediaTypeVideo(),
                                                                [&](bool granted) { answer = granted; });
    advance(1.1);
    EXPECT_EQ(answer.load(), 0);
    EXPECT_EQ(AVCaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo()), AVAuthorizationStatusDenied);
    // Denied: no input can be made.
    Ref<NSError> error;
    EXPECT_FALSE(AVCaptureDeviceInput::deviceInputWithDeviceError(camera(AVCaptureDevicePositionBack), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), AVErrorApplicationIsNotAuthorized);
}

TEST_F(CaptureTest, DevicesByPositionAndTheDefaultOne) {
    auto list = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo());
    ASSERT_EQ(list->count(), 2u);
    EXPECT_EQ(cast<AVCaptureDevice>(list->objectAtIndex(0))->position(), AVCaptureDevicePositionBack);
    EXPECT_EQ(cast<AVCaptureDevice>(list->objectAtIndex(1))->position(), AVCaptureDevicePositionFront);
    EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo())->position(), AVCaptureDevicePositionBack);
    EXPECT_TRUE(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo())->hasTorch());
    EXPECT_FALSE(camera(AVCaptureDevicePositionFront)->hasTorch());

    SimCamera::current().setCameraState(SimCamera::Position::Front, SimCamera::CameraState::Absent);
    EXPECT_EQ(AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo())->count(), 1u);
    EXPECT_FALSE(camera(AVCaptureDevicePositionFront));
    Ref<NSError> error;
    EXPECT_FALSE(AVCaptureDeviceInput::deviceInputWithDeviceError(nullptr, &error));
    EXPECT_TRUE(error);
}

TEST_F(CaptureTest, SessionWiringPresetsAndNotifications) {
    auto session = make<AVCaptureSession>();
    sessions.push_back(session);
    EXPECT_TRUE(session->canSetSessionPreset(AVCaptureSessionPreset640x480()));
    EXPECT_FALSE(session->canSetSessionPreset("AVCaptureSessionPresetHuge"_ns));
    EXPECT_THROW(session->setSessionPreset("AVCaptureSessionPresetHuge"_ns), NSException);
    Ref<NSError> error;
    auto back = AVCaptureDeviceInput::deviceInputWithDeviceError(camera(AVCaptureDevicePositionBack), &error);
    auto front = AVCaptureDeviceInput::deviceInputWithDeviceError(camera(AVCaptureDevicePositionFront), &error);
    ASSERT_TRUE(session->canAddInput(back));
    session->addInput(back);
    EXPECT_FALSE(session->canAddInput(back));
    EXPECT_FALSE(session->canAddInput(front)); // one camera at a time
    EXPECT_THROW(session->removeInput(front), NSException);
    EXPECT_FALSE(session->canAddInput(nullptr));
    auto still = make<AVCaptureStillImageOutput>();
    ASSERT_TRUE(session->canAddOutput(still));
    session->addOutput(still);
    EXPECT_FALSE(session->canAddOutput(make<AVCaptureStillImageOutput>()));
    auto connection = still->connectionWithMediaType(AVMediaTypeVideo());
    ASSERT_TRUE(connection);
    EXPECT_FALSE(connection->isActive());
    EXPECT_THROW(connection->setVideoScaleAndCropFactor(0.5), NSException);

    std::vector<std::string> posted;
    auto center = NSNotificationCenter::defaultCenter();
    auto token = center->addObserverForNameObjectQueueUsingBlock(
        nullptr, session, nullptr, [&](const Ref<NSNotification>& n) { posted.push_back(n->name()->str()); });
    session->startRunning();
    EXPECT_TRUE(session->isRunning());
    EXPECT_TRUE(connection->isActive());
    session->stopRunning();
    EXPECT_FALSE(connection->isActive());
    EXPECT_EQ(posted, (std::vector<std::string>{"AVCaptureSessionDidStartRunningNotification",
                                                "AVCaptureSessionDidStopRunningNotification"}));
    // A session that cannot start says so and does not run.
    posted.clear();
    SimCamera::current().setSessionStartFails(true);
    session->startRunning();
    EXPECT_FALSE(session->isRunning());
    EXPECT_EQ(posted, std::vector<std::string>{"AVCaptureSessionRuntimeErrorNotification"});
    center->removeObserver(token);
}

TEST_F(CaptureTest, CameraVanishingMidSessionStopsItWithAnError) {
    auto still = make<AVCaptureStillImageOutput>();
    auto session = sessionWith(AVCaptureDevicePositionBack, still);
    std::vector<std::string> posted;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        nullptr, session, nullptr, [&](const Ref<NSNotification>& n) { posted.push_back(n->name()->str()); });
    session->startRunning();
    advance(0.3);
    SimCamera::current().setCameraState(SimCamera::Position::Back, SimCamera::CameraState::Absent);
    advance(0.3);
    EXPECT_FALSE(session->isRunning());
    EXPECT_EQ(posted, (std::vector<std::string>{"AVCaptureSessionDidStartRunningNotification",
                                                "AVCaptureSessionRuntimeErrorNotification",
                                                "AVCaptureSessionDidStopRunningNotification"}));
    // The still output's connection is no longer active: capture raises rather than hangs.
    EXPECT_THROW(
        still->captureStillImageAsynchronouslyFromConnectionCompletionHandler(
            still->connectionWithMediaType(AVMediaTypeVideo()), [](const CMSampleBufferRef&, const Ref<NSError>&) {}),
        NSException);
    EXPECT_THROW(still->captureStillImageAsynchronouslyFromConnectionCompletionHandler(
                     nullptr, [](const CMSampleBufferRef&, const Ref<NSError>&) {}),
                 NSException);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(CaptureTest, StillIsARealJPEGWithExifAndTheChartWhereItBelongs) {
    auto still = make<AVCaptureStillImageOutput>();
    auto session = sessionWith(AVCaptureDevicePositionBack, still);
    session->startRunning();
    auto buffer = takeStill(still);
    ASSERT_TRUE(buffer);
    auto image = decode(buffer);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 768u);
    EXPECT_EQ(image->height(), 1024u);
    for (const auto& p : SimCamera::chartPatches()) {
        auto c = patchOf(image, p.name);
        EXPECT_NEAR(c.r, p.r * 255, 12) << p.name;
        EXPECT_NEAR(c.g, p.g * 255, 12) << p.name;
        EXPECT_NEAR(c.b, p.b * 255, 12) << p.name;
    }
    // The EXIF of the file and of the attachment agree.
    auto exif = cast<NSDictionary>(CMGetAttachment(buffer, kCGImagePropertyExifDictionary()));
    ASSERT_TRUE(exif);
    EXPECT_EQ(unbox<int>(exif->objectForKey(kCGImagePropertyExifPixelXDimension())), 768);
    auto data = AVCaptureStillImageOutput::jpegStillImageNSDataRepresentation(buffer);
    ExifData* parsed = exif_data_new_from_data(data->bytes(), static_cast<unsigned int>(data->length()));
    ASSERT_TRUE(parsed);
    ExifEntry* width = exif_content_get_entry(parsed->ifd[EXIF_IFD_EXIF], EXIF_TAG_PIXEL_X_DIMENSION);
    ASSERT_TRUE(width);
    ExifByteOrder order = exif_data_get_byte_order(parsed);
    uint32_t w =
        width->format == EXIF_FORMAT_SHORT ? exif_get_short(width->data, order) : exif_get_long(width->data, order);
    EXPECT_EQ(w, 768u);
    EXPECT_TRUE(exif_content_get_entry(parsed->ifd[EXIF_IFD_EXIF], EXIF_TAG_DATE_TIME_ORIGINAL));
    exif_data_unref(parsed);
}

TEST_F(CaptureTest, LockedGainsChangeTheGreyPatchAndTheSetterGuardsItsRange) {
    auto still = make<AVCaptureStillImageOutput>();
    auto session = sessionWith(AVCaptureDevicePositionBack, still, AVCaptureSessionPreset640x480());
    auto device = camera(AVCaptureDevicePositionBack);
    session->startRunning();
    AVCaptureWhiteBalanceGains warm{1.0f, 1.5f, 3.0f};
    EXPECT_THROW(device->setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler(warm, nullptr),
                 NSException); // no lock
    Ref<NSError> error;
    ASSERT_TRUE(device->lockForConfiguration(&error));
    EXPECT_THROW(device->setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler({0.5f, 1, 1}, nullptr),
                 NSException);
    EXPECT_THROW(device->setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler({1, 1, 9}, nullptr),
                 NSException);
    std::atomic<bool> applied{false};
    device->setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler(warm,
                                                                                  [&](double) { applied = true; });
    device->unlockForConfiguration();
    EXPECT_EQ(device->whiteBalanceMode(), AVCaptureWhiteBalanceModeLocked);
    auto locked = decode(takeStill(still));
    EXPECT_TRUE(applied.load());
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->width(), 480u);
    auto grey = patchOf(locked, "grey");
    EXPECT_GT(grey.b - grey.r, 40);

    ASSERT_TRUE(device->lockForConfiguration(&error));
    device->setWhiteBalanceMode(AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance);
    device->unlockForConfiguration();
    auto automatic = decode(takeStill(still));
    ASSERT_TRUE(automatic);
    auto neutral = patchOf(automatic, "grey");
    EXPECT_NEAR(neutral.r, neutral.b, 14);

    // A camera that refuses the lock says why.
    SimCamera::current().setRefusesConfigurationLock(true);
    EXPECT_FALSE(device->lockForConfiguration(&error));
    EXPECT_TRUE(error);
    // A camera that cannot lock its white balance refuses the locked mode.
    SimCamera::current().setLockedWhiteBalanceSupported(SimCamera::Position::Back, false);
    EXPECT_FALSE(device->isWhiteBalanceModeSupported(AVCaptureWhiteBalanceModeLocked));
}

TEST_F(CaptureTest, LockedGainsAreTakenUpToTheMaximumAndRefusedJustAboveIt) {
    auto device = camera(AVCaptureDevicePositionBack);
    ASSERT_EQ(device->maxWhiteBalanceGain(), 4.0f);
    Ref<NSError> error;
    ASSERT_TRUE(device->lockForConfiguration(&error));
    const float above = std::nextafter(4.0f, 5.0f);
    const AVCaptureWhiteBalanceGains tooHigh[] = {{above, 1, 1}, {1, above, 1}, {1, 1, above}, {4.01f, 4.01f, 4.01f}};
    for (const auto& gains : tooHigh) {
        EXPECT_THROW(device->setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler(gains, nullptr),
                     NSException);
    }
    EXPECT_NE(device->whiteBalanceMode(), AVCaptureWhiteBalanceModeLocked); // nothing was taken
    const AVCaptureWhiteBalanceGains atTheEdges[] = {{4, 1, 1}, {1, 4, 1}, {1, 1, 4}, {4, 4, 4}, {1, 1, 1}};
    for (const auto& gains : atTheEdges) {
        EXPECT_NO_THROW(device->setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler(gains, nullptr));
        EXPECT_EQ(device->whiteBalanceMode(), AVCaptureWhiteBalanceModeLocked);
        auto now = device->deviceWhiteBalanceGains();
        EXPECT_EQ(now.redGain, gains.redGain);
        EXPECT_EQ(now.greenGain, gains.greenGain);
        EXPECT_EQ(now.blueGain, gains.blueGain);
    }
    device->unlockForConfiguration();
}

TEST_F(CaptureTest, ContinuousWhiteBalanceIsObservedFromTheCameraThread) {
    auto session = sessionWith(AVCaptureDevicePositionBack, nullptr);
    auto device = camera(AVCaptureDevicePositionBack);
    auto watcher = make<Watcher>();
    device->addObserverForKeyPathOptionsContext(watcher.get(), "deviceWhiteBalanceGains"_ns,
                                                NSKeyValueObservingOptionNew, nullptr);
    session->startRunning();
    advance(1.0);
    session->stopRunning();
    device->removeObserverForKeyPath(watcher.get(), "deviceWhiteBalanceGains"_ns);
    std::lock_guard lock(watcher->mutex);
    EXPECT_GE(watcher->calls.size(), 3u);
    EXPECT_TRUE(watcher->offMain);
    auto values = device->temperatureAndTintValuesForDeviceWhiteBalanceGains(device->deviceWhiteBalanceGains());
    EXPECT_NEAR(values.temperature, 5000, 400);
}

TEST_F(CaptureTest, ACameraTheApplicationLetsGoOfGoesBackToItsAutomaticSettings) {
    auto device = camera(AVCaptureDevicePositionBack);
    const AVCaptureWhiteBalanceGains warm{1.0f, 1.5f, 3.0f};
    auto lockEverything = [&] {
        Ref<NSError> error;
        ASSERT_TRUE(device->lockForConfiguration(&error));
        device->setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler(warm, nullptr);
        device->setFocusMode(AVCaptureFocusModeLocked);
        device->setVideoZoomFactor(3);
    };
    auto isAutomatic = [&] {
        auto gains = device->deviceWhiteBalanceGains();
        return device->whiteBalanceMode() == AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance &&
               device->focusMode() == AVCaptureFocusModeContinuousAutoFocus && device->videoZoomFactor() == 1 &&
               gains.blueGain < 2.0f;
    };
    auto watcher = make<Watcher>();
    device->addObserverForKeyPathOptionsContext(watcher.get(), "whiteBalanceMode"_ns, NSKeyValueObservingOptionNew,
                                                nullptr);

    // Two screens' sessions run the camera: it keeps what was set until the last of them stops.
    auto first = sessionWith(AVCaptureDevicePositionBack, nullptr);
    auto second = sessionWith(AVCaptureDevicePositionBack, nullptr);
    first->startRunning();
    second->startRunning();
    lockEverything();
    device->unlockForConfiguration();
    first->stopRunning();
    EXPECT_EQ(device->whiteBalanceMode(), AVCaptureWhiteBalanceModeLocked) << "still in use";
    auto modeCalls = [&] {
        std::lock_guard lock(watcher->mutex);
        return watcher->calls.size();
    };
    size_t before = modeCalls();
    second->stopRunning();
    EXPECT_TRUE(isAutomatic());
    EXPECT_EQ(modeCalls(), before + 1) << "observers are told";

    // Held under the configuration lock, the settings outlast the session; let go, they do not.
    first->startRunning();
    lockEverything();
    first->stopRunning();
    EXPECT_EQ(device->whiteBalanceMode(), AVCaptureWhiteBalanceModeLocked);
    EXPECT_EQ(device->videoZoomFactor(), 3);
    device->unlockForConfiguration();
    {
        auto dropped = make<AVCaptureSession>();
        Ref<NSError> error;
        dropped->addInput(AVCaptureDeviceInput::deviceInputWithDeviceError(device, &error));
        dropped->startRunning();
        ASSERT_TRUE(dropped->isRunning());
    } // released while running
    EXPECT_TRUE(isAutomatic());
    // A camera no session runs keeps what is set on it.
    lockEverything();
    device->unlockForConfiguration();
    EXPECT_EQ(device->whiteBalanceMode(), AVCaptureWhiteBalanceModeLocked);
    device->removeObserverForKeyPath(watcher.get(), "whiteBalanceMode"_ns);
}

TEST_F(CaptureTest, FrontStillIsMirroredAndADeadCameraGivesABlackPicture) {
    auto still = make<AVCaptureStillImageOutput>();
    auto session = sessionWith(AVCaptureDevicePositionFront, still);
    session->startRunning();
    still->connectionWithMediaType(AVMediaTypeVideo())->setVideoMirrored(true);
    auto mirrored = decode(takeStill(still));
    ASSERT_TRUE(mirrored);
    const auto& red = SimCamera::patchNamed("red");
    auto where = meanOf(mirrored, 1 - red.x - red.w * 0.75, red.y + red.h * 0.25, red.w * 0.5, red.h * 0.5);
    EXPECT_GT(where.r, 150);
    EXPECT_LT(where.g, 60);

    SimCamera::current().setCameraState(SimCamera::Position::Front, SimCamera::CameraState::Dead);
    auto black = decode(takeStill(still));
    ASSERT_TRUE(black);
    auto all = meanOf(black, 0, 0, 1, 1);
    EXPECT_LT(all.r + all.g + all.b, 6);
}

TEST_F(CaptureTest, QRCodesAreReadFromTheFramesOnTheMainQueue) {
    auto& sim = SimCamera::current();
    ASSERT_TRUE(sim.setQRCode("https://store.example/download_app/?sessionid=771"));
    auto output = make<AVCaptureMetadataOutput>();
    auto session = sessionWith(AVCaptureDevicePositionBack, output);
    auto reader = make<CodeReader>();
    output->setMetadataObjectsDelegateQueue(reader, dispatch_get_main_queue());
    EXPECT_THROW(output->setMetadataObjectTypes(NSArray::arrayWithObjects({AVMetadataObjectTypeFace()})), NSException);
    output->setMetadataObjectTypes(NSArray::arrayWithObjects({AVMetadataObjectTypeQRCode()}));
    session->startRunning();
    advance(0.5);
    ASSERT_FALSE(reader->batches.empty());
    auto code = cast<AVMetadataMachineReadableCodeObject>(reader->batches[0]->objectAtIndex(0));
    ASSERT_TRUE(code);
    EXPECT_EQ(code->stringValue()->str(), "https://store.example/download_app/?sessionid=771");
    EXPECT_TRUE(code->type()->isEqual(AVMetadataObjectTypeQRCode()));

    // Bytes that are not UTF-8 give a code without text.
    reader->batches.clear();
    ASSERT_TRUE(sim.setQRCode(std::string("\xff\xfe\x80 bad", 7)));
    advance(0.5);
    ASSERT_FALSE(reader->batches.empty());
    EXPECT_FALSE(cast<AVMetadataMachineReadableCodeObject>(reader->batches.back()->objectAtIndex(0))->stringValue());

    // No code in the picture: nothing.
    sim.setQRCode("");
    advance(0.3);
    reader->batches.clear();
    advance(0.5);
    EXPECT_TRUE(reader->batches.empty());
    session->stopRunning();
}

TEST_F(CaptureTest, PreviewLayerDrawsWhatTheCameraSees) {
    auto session = sessionWith(AVCaptureDevicePositionBack, nullptr);
    auto layer = AVCaptureVideoPreviewLayer::layerWithSession(session);
    layer->setVideoGravity(AVLayerVideoGravityResizeAspectFill());
    layer->setBounds(CGRectMake(0, 0, 150, 200));
    auto render = [&] {
        auto context = CGBitmapContextCreate(nullptr, 150, 200, 8, 0, CGColorSpaceCreateDeviceRGB(),
                                             kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
        // Layers draw into a y-down context, as UIKit's image contexts are.
        CGContextTranslateCTM(context, 0, 200);
        CGContextScaleCTM(context, 1, -1);
        layer->renderInContext(context);
        return CGBitmapContextCreateImage(context);
    };
    auto dark = render();
    auto all = meanOf(dark, 0, 0, 1, 1);
    EXPECT_LT(all.r + all.g + all.b, 3);
    session->startRunning();
    auto live = render();
    auto red = patchOf(live, "red");
    EXPECT_GT(red.r, 150);
    EXPECT_LT(red.g, 60);
}

} // namespace
