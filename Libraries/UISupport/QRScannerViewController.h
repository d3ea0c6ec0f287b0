// QRScannerViewController: the full-screen QR code scanner screen. A camera area with the live
// preview and a dashed guide, a Cancel bar at the bottom and, when asked for and possible, buttons
// to switch camera and toggle the torch. Each text read goes to `completionBlock` and to the
// delegate's `reader:didScanResult:`; the scan goes on until the owner stops it. Cancel stops the
// scan, then hands the completion block nil (no text was read) and tells the delegate
// `readerDidCancel:`; the owner dismisses the screen. The scan starts on every appearance (when
// `startScanningAtLoad`) and stops on every disappearance and on deallocation.
#pragma once

#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIViewController.h>
#include <UISupport/QRScanner.h>
#include <UISupport/QRScannerButtons.h>
#include <UISupport/QRScannerView.h>

// Optional: `reader:didScanResult:` (screen, text) and `readerDidCancel:` (screen). Sent by selector.
NS_DECLARE_PROTOCOL(QRScannerDelegate);

class QRScannerViewController : public UIViewController {
    NS_OBJECT(QRScannerViewController, UIViewController)
public:
    // `init`.
    QRScannerViewController();
    // The designated initialiser.
    QRScannerViewController(const Ref<NSString>& cancelTitle, const Ref<QRScanner>& codeReader,
                            bool startScanningAtLoad, bool showSwitchCameraButton, bool showTorchButton);

    static Ref<QRScannerViewController> readerWithCancelButtonTitle(const Ref<NSString>& cancelTitle);
    static Ref<QRScannerViewController> readerWithMetadataObjectTypes(const Ref<NSArray>& types);
    static Ref<QRScannerViewController> readerWithCancelButtonTitleMetadataObjectTypes(const Ref<NSString>& cancelTitle,
                                                                                       const Ref<NSArray>& types);
    static Ref<QRScannerViewController> readerWithCancelButtonTitleCodeReader(const Ref<NSString>& cancelTitle,
                                                                              const Ref<QRScanner>& codeReader);
    static Ref<QRScannerViewController> readerWithCancelButtonTitleCodeReaderStartScanningAtLoad(
        const Ref<NSString>& cancelTitle, const Ref<QRScanner>& codeReader, bool startScanningAtLoad);
    static Ref<QRScannerViewController>
    readerWithCancelButtonTitleCodeReaderStartScanningAtLoadShowSwitchCameraButtonShowTorchButton(
        const Ref<NSString>& cancelTitle, const Ref<QRScanner>& codeReader, bool startScanningAtLoad,
        bool showSwitchCameraButton, bool showTorchButton);

    NS_PROPERTY(Ref<QRScanner>, codeReader, setCodeReader)
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    QRScannerCompletionBlock completionBlock() const { return completionBlock_; }
    void setCompletionWithBlock(QRScannerCompletionBlock block) { completionBlock_ = std::move(block); }
    NS_PROPERTY(bool, startScanningAtLoad, setStartScanningAtLoad)
    NS_PROPERTY(bool, showSwitchCameraButton, setShowSwitchCameraButton)
    NS_PROPERTY(bool, showTorchButton, setShowTorchButton)
    NS_PROPERTY(Ref<QRScannerView>, cameraView, setCameraView)
    NS_PROPERTY(Ref<UIButton>, cancelButton, setCancelButton)
    NS_PROPERTY(Ref<QRCameraSwitchButton>, switchCameraButton, setSwitchCameraButton)
    NS_PROPERTY(Ref<QRToggleTorchButton>, toggleTorchButton, setToggleTorchButton)

    void startScanning();
    void stopScanning();
    void switchDeviceInput();
    void cancelAction(const id& sender);
    void switchCameraAction(const id& sender);
    void toggleTorchAction(const id& sender);
    void orientationChanged(const Ref<NSNotification>& notification);

    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewWillLayoutSubviews() override;
    bool shouldAutorotate() override { return true; }

private:
    void setupUIComponentsWithCancelButtonTitle(const Ref<NSString>& title);
    void setupAutoLayoutConstraints();
    void applyPreviewOrientation();

    Weak<NSObject> delegate_;
    QRScannerCompletionBlock completionBlock_;
    id orientationObserver_;
};
