// QRScanner: the capture session of the QR code scanner.
#include <UISupport/QRScanner.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSSet.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(QRScanner, NSObject) {
    b.method("captureOutput:didOutputMetadataObjects:fromConnection:",
             &QRScanner::captureOutputDidOutputMetadataObjectsFromConnection);
    b.method("startScanning", &QRScanner::startScanning);
    b.method("stopScanning", &QRScanner::stopScanning);
}

QRScanner::QRScanner() : QRScanner(NSArray::arrayWithObjects({AVMetadataObjectTypeQRCode()})) {}

QRScanner::QRScanner(const Ref<NSArray>& metadataObjectTypes)
    : metadataObjectTypes_(metadataObjectTypes ? metadataObjectTypes : NSArray::array()) {
    setupAVComponents();
    configureDefaultComponents();
}

Ref<QRScanner> QRScanner::readerWithMetadataObjectTypes(const Ref<NSArray>& metadataObjectTypes) {
    return make<QRScanner>(metadataObjectTypes);
}

void QRScanner::setupAVComponents() {
    setDefaultDevice(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo()));
    if (!defaultDevice()) {
        return;
    }
    Ref<NSError> error;
    setDefaultDeviceInput(AVCaptureDeviceInput::deviceInputWithDeviceError(defaultDevice(), &error));
    setMetadataOutput(make<AVCaptureMetadataOutput>());
    setSession(make<AVCaptureSession>());
    setPreviewLayer(AVCaptureVideoPreviewLayer::layerWithSession(session()));
    auto devices = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo());
    for (const id& item : *devices) {
        auto device = cast<AVCaptureDevice>(item);
        if (device && device->position() == AVCaptureDevicePositionFront) {
            setFrontDevice(device);
        }
    }
    if (frontDevice()) {
        setFrontDeviceInput(AVCaptureDeviceInput::deviceInputWithDeviceError(frontDevice(), &error));
    }
}

void QRScanner::configureDefaultComponents() {
    auto s = session();
    if (!s) {
        return;
    }
    s->addOutput(metadataOutput());
    if (auto input = defaultDeviceInput(); input && s->canAddInput(input)) {
        s->addInput(input);
    }
    metadataOutput()->setMetadataObjectsDelegateQueue(Ref<NSObject>(this), dispatch_get_main_queue());
    auto wanted = NSMutableArray::array();
    auto available = metadataOutput()->availableMetadataObjectTypes();
    for (const id& type : *available) {
        if (metadataObjectTypes_->containsObject(type)) {
            wanted->addObject(type);
        }
    }
    metadataOutput()->setMetadataObjectTypes(wanted);
    previewLayer()->setVideoGravity(AVLayerVideoGravityResizeAspectFill());
}

void QRScanner::startScanning() {
    if (auto s = session(); s && !s->isRunning()) {
        s->startRunning();
    }
}

void QRScanner::stopScanning() {
    if (auto s = session(); s && s->isRunning()) {
        s->stopRunning();
    }
}

bool QRScanner::running() const {
    auto s = session();
    return s && s->isRunning();
}

void QRScanner::switchDeviceInput() {
    auto s = session();
    if (!frontDeviceInput() || !s) {
        return;
    }
    s->beginConfiguration();
    auto inputs = s->inputs();
    // A session whose camera input is gone has nothing to switch from.
    auto current = inputs->count() ? cast<AVCaptureDeviceInput>(inputs->objectAtIndex(0)) : nullptr;
    if (current) {
        s->removeInput(current);
        auto next =
            current->device()->position() != AVCaptureDevicePositionFront ? frontDeviceInput() : defaultDeviceInput();
        if (next && s->canAddInput(next)) {
            s->addInput(next);
        }
    }
    s->commitConfiguration();
}

bool QRScanner::hasFrontDevice() const {
    return frontDevice() != nullptr;
}

bool QRScanner::isTorchAvailable() const {
    return defaultDevice() && defaultDevice()->hasTorch();
}

void QRScanner::toggleTorch() {
    auto device = defaultDevice();
    Ref<NSError> error;
    if (!device || !device->lockForConfiguration(&error)) {
        return;
    }
    if (device->hasTorch()) {
        device->setTorchMode(device->torchMode() == AVCaptureTorchModeOn ? AVCaptureTorchModeOff
                                                                         : AVCaptureTorchModeOn);
    }
    device->unlockForConfiguration();
}

NSInteger QRScanner::videoOrientationFromInterfaceOrientation(NSInteger interfaceOrientation) {
    return interfaceOrientation >= 1 && interfaceOrientation <= 4 ? interfaceOrientation : 2;
}

bool QRScanner::isAvailable() {
    auto device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo());
    if (!device) {
        return false;
    }
    Ref<NSError> error;
    return AVCaptureDeviceInput::deviceInputWithDeviceError(device, &error) && !error;
}

bool QRScanner::supportsMetadataObjectTypes(const Ref<NSArray>& metadataObjectTypes) {
    if (!isAvailable()) {
        return false;
    }
    auto session = make<AVCaptureSession>();
    Ref<NSError> error;
    auto input = AVCaptureDeviceInput::deviceInputWithDeviceError(
        AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo()), &error);
    auto output = make<AVCaptureMetadataOutput>();
    if (input && session->canAddInput(input)) {
        session->addInput(input);
    }
    session->addOutput(output);
    auto types = metadataObjectTypes && metadataObjectTypes->count()
                     ? metadataObjectTypes
                     : NSArray::arrayWithObjects({AVMetadataObjectTypeQRCode()});
    auto available = output->availableMetadataObjectTypes();
    for (const id& type : *types) {
        if (!available->containsObject(type)) {
            return false;
        }
    }
    return true;
}

void QRScanner::captureOutputDidOutputMetadataObjectsFromConnection(const id&, const Ref<NSArray>& metadataObjects,
                                                                    const id&) {
    // A batch already on its way when the scan stopped belongs to no scan.
    if (!running() || !metadataObjects) {
        return;
    }
    for (const id& item : *metadataObjects) {
        auto code = cast<AVMetadataMachineReadableCodeObject>(item);
        if (!code || !metadataObjectTypes_->containsObject(code->type())) {
            continue;
        }
        if (!code->stringValue()) {
            NSLog("QRScanner: a code without text is passed over");
            continue;
        }
        if (completionBlock_) {
            completionBlock_(code->stringValue());
        }
        return;
    }
}
