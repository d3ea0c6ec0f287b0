// QRScannerViewController: the scanner screen, its layout and its relays.
#include <UISupport/QRScannerViewController.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UILayoutGuide.h>

NS_IMPLEMENT_PROTOCOL(QRScannerDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.optional("reader:didScanResult:", "v@:@@");
    p.optional("readerDidCancel:", "v@:@");
}

NS_IMPLEMENT_CLASS(QRScannerViewController, UIViewController) {
    using Q = QRScannerViewController;
    b.method("cancelAction:", &Q::cancelAction);
    b.method("switchCameraAction:", &Q::switchCameraAction);
    b.method("toggleTorchAction:", &Q::toggleTorchAction);
    b.method("startScanning", &Q::startScanning);
    b.method("stopScanning", &Q::stopScanning);
}

QRScannerViewController::QRScannerViewController()
    : QRScannerViewController(nullptr, make<QRScanner>(), true, true, false) {}

QRScannerViewController::QRScannerViewController(const Ref<NSString>& cancelTitle, const Ref<QRScanner>& codeReader,
                                                 bool startScanningAtLoad, bool showSwitchCameraButton,
                                                 bool showTorchButton) {
    view()->setBackgroundColor(UIColor::blackColor());
    setCodeReader(codeReader ? codeReader : make<QRScanner>());
    setStartScanningAtLoad(startScanningAtLoad);
    setShowSwitchCameraButton(showSwitchCameraButton);
    setShowTorchButton(showTorchButton);
    Ref<NSString> title = cancelTitle
                              ? cancelTitle
                              : NSBundle::mainBundle()->localizedStringForKeyValueTable("Cancel"_ns, ""_ns, nullptr);
    setupUIComponentsWithCancelButtonTitle(title);
    setupAutoLayoutConstraints();
    if (auto layer = codeReader_->previewLayer()) {
        cameraView()->layer()->insertSublayerAtIndex(layer, 0);
    }
    Weak<QRScannerViewController> weak(this);
    orientationObserver_ = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        UIDeviceOrientationDidChangeNotification(), nullptr, nullptr, [weak](const Ref<NSNotification>& n) {
            if (auto self = weak.lock()) {
                self->orientationChanged(n);
            }
        });
    addDeallocHook([](NSObject* object) {
        auto self = static_cast<QRScannerViewController*>(object);
        if (auto reader = self->codeReader()) {
            reader->stopScanning();
        }
        if (self->orientationObserver_) {
            NSNotificationCenter::defaultCenter()->removeObserver(self->orientationObserver_);
        }
    });
    codeReader_->setCompletionWithBlock([weak](const Ref<NSString>& text) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (self->completionBlock_) {
            self->completionBlock_(text);
        }
        auto d = self->delegate();
        if (d && d->respondsToSelector("reader:didScanResult:")) {
            d->performSelectorWithArguments("reader:didScanResult:", {Ref<NSObject>(self), text});
        }
    });
}

Ref<QRScannerViewController> QRScannerViewController::readerWithCancelButtonTitle(const Ref<NSString>& cancelTitle) {
    return make<QRScannerViewController>(cancelTitle, make<QRScanner>(), true, true, false);
}
Ref<QRScannerViewController> QRScannerViewController::readerWithMetadataObjectTypes(const Ref<NSArray>& types) {
    return make<QRScannerViewController>(nullptr, QRScanner::readerWithMetadataObjectTypes(types), true, true, false);
}
Ref<QRScannerViewController>
QRScannerViewController::readerWithCancelButtonTitleMetadataObjectTypes(const Ref<NSString>& cancelTitle,
                                                                        const Ref<NSArray>& types) {
    return make<QRScannerViewController>(cancelTitle, QRScanner::readerWithMetadataObjectTypes(types), true, true,
                                         false);
}
Ref<QRScannerViewController>
QRScannerViewController::readerWithCancelButtonTitleCodeReader(const Ref<NSString>& cancelTitle,
                                                               const Ref<QRScanner>& codeReader) {
    return make<QRScannerViewController>(cancelTitle, codeReader, true, true, false);
}
Ref<QRScannerViewController> QRScannerViewController::readerWithCancelButtonTitleCodeReaderStartScanningAtLoad(
    const Ref<NSString>& cancelTitle, const Ref<QRScanner>& codeReader, bool startScanningAtLoad) {
    return make<QRScannerViewController>(cancelTitle, codeReader, startScanningAtLoad, true, false);
}
Ref<QRScannerViewController>
QRScannerViewController::readerWithCancelButtonTitleCodeReaderStartScanningAtLoadShowSwitchCameraButtonShowTorchButton(
    const Ref<NSString>& cancelTitle, const Ref<QRScanner>& codeReader, bool startScanningAtLoad,
    bool showSwitchCameraButton, bool showTorchButton) {
    return make<QRScannerViewController>(cancelTitle, codeReader, startScanningAtLoad, showSwitchCameraButton,
                                         showTorchButton);
}

void QRScannerViewController::setupUIComponentsWithCancelButtonTitle(const Ref<NSString>& title) {
    auto camera = make<QRScannerView>();
    camera->setClipsToBounds(true);
    camera->setTranslatesAutoresizingMaskIntoConstraints(false);
    view()->addSubview(camera);
    setCameraView(camera);
    if (auto layer = codeReader()->previewLayer()) {
        CGRect f = view()->frame();
        layer->setFrame(CGRectMake(0, 0, f.size.width, f.size.height));
        applyPreviewOrientation();
    }
    if (showSwitchCameraButton() && codeReader()->hasFrontDevice()) {
        auto button = make<QRCameraSwitchButton>();
        button->setTranslatesAutoresizingMaskIntoConstraints(false);
        button->addTargetActionForControlEvents(Ref<NSObject>(this),
                                                "switchCameraAction:", UIControlEventTouchUpInside);
        view()->addSubview(button);
        setSwitchCameraButton(button);
    }
    if (showTorchButton() && codeReader()->isTorchAvailable()) {
        auto button = make<QRToggleTorchButton>();
        button->setTranslatesAutoresizingMaskIntoConstraints(false);
        button->addTargetActionForControlEvents(Ref<NSObject>(this), "toggleTorchAction:", UIControlEventTouchUpInside);
        view()->addSubview(button);
        setToggleTorchButton(button);
    }
    auto cancel = UIButton::buttonWithType(UIButtonTypeSystem);
    cancel->setTranslatesAutoresizingMaskIntoConstraints(false);
    cancel->setTitleForState(title, UIControlStateNormal);
    cancel->setTitleColorForState(UIColor::grayColor(), UIControlStateHighlighted);
    cancel->addTargetActionForControlEvents(Ref<NSObject>(this), "cancelAction:", UIControlEventTouchUpInside);
    view()->addSubview(cancel);
    setCancelButton(cancel);
}

void QRScannerViewController::setupAutoLayoutConstraints() {
    auto views = NSMutableDictionary::dictionary();
    views->setObjectForKey(cameraView(), "_cameraView"_ns);
    views->setObjectForKey(cancelButton(), "_cancelButton"_ns);
    auto add = [&](const char* format) {
        view()->addConstraints(NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews(
            NSString::from(format), 0, nullptr, views));
    };
    add("V:|[_cameraView][_cancelButton(60)]|");
    add("H:|[_cameraView]|");
    add("H:|-[_cancelButton]-|");
    if (switchCameraButton() || toggleTorchButton()) {
        views->setObjectForKey(Ref<NSObject>(topLayoutGuide()), "topLayoutGuide"_ns);
    }
    if (auto button = switchCameraButton()) {
        views->setObjectForKey(button, "_switchCameraButton"_ns);
        add("V:[topLayoutGuide]-[_switchCameraButton(50)]");
        add("H:[_switchCameraButton(70)]|");
    }
    if (auto button = toggleTorchButton()) {
        views->setObjectForKey(button, "_toggleTorchButton"_ns);
        add("V:[topLayoutGuide]-[_toggleTorchButton(50)]");
        add("H:|[_toggleTorchButton(70)]");
    }
}

void QRScannerViewController::applyPreviewOrientation() {
    auto layer = codeReader()->previewLayer();
    auto connection = layer ? layer->connection() : nullptr;
    if (connection && connection->isVideoOrientationSupported()) {
        auto orientation = QRScanner::videoOrientationFromInterfaceOrientation(
            UIApplication::sharedApplication()->statusBarOrientation());
        connection->setVideoOrientation(static_cast<AVCaptureVideoOrientation>(orientation));
    }
}

void QRScannerViewController::startScanning() {
    codeReader()->startScanning();
}

void QRScannerViewController::stopScanning() {
    codeReader()->stopScanning();
}

void QRScannerViewController::switchDeviceInput() {
    codeReader()->switchDeviceInput();
}

void QRScannerViewController::cancelAction(const id&) {
    codeReader()->stopScanning();
    // No text was read: the block gets nil.
    if (completionBlock_) {
        completionBlock_(nullptr);
    }
    auto d = delegate();
    if (d && d->respondsToSelector("readerDidCancel:")) {
        d->performSelectorWithArguments("readerDidCancel:", {Ref<NSObject>(this)});
    }
}

void QRScannerViewController::switchCameraAction(const id&) {
    switchDeviceInput();
}

void QRScannerViewController::toggleTorchAction(const id&) {
    codeReader()->toggleTorch();
}

void QRScannerViewController::orientationChanged(const Ref<NSNotification>&) {
    if (auto camera = cameraView()) {
        camera->setNeedsDisplay();
    }
    applyPreviewOrientation();
}

void QRScannerViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (startScanningAtLoad()) {
        startScanning();
    }
}

void QRScannerViewController::viewWillDisappear(bool animated) {
    stopScanning();
    UIViewController::viewWillDisappear(animated);
}

void QRScannerViewController::viewWillLayoutSubviews() {
    UIViewController::viewWillLayoutSubviews();
    if (auto layer = codeReader()->previewLayer()) {
        layer->setFrame(view()->bounds());
    }
}
