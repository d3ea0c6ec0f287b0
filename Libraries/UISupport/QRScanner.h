// QRScanner: the reader behind the QR code scanner screen. It owns a capture session on the
// default camera (and an input for the front one, to switch to), a metadata output and its preview
// layer, and hands the text of each code it reads to its completion block, on the main thread.
//
// Without a camera it has no session and never reports. Batches of codes that were already on
// their way when the scan stopped are dropped, so a stopped scan reports nothing more; a code that
// is not text (bytes that are not UTF-8) is passed over; a switch of camera on a session without an
// input does nothing. Main thread only.
#pragma once

#include <AVFoundation/AVCaptureMetadataOutput.h>
#include <AVFoundation/AVCaptureVideoPreviewLayer.h>

#include <functional>

using QRScannerCompletionBlock = std::function<void(const Ref<NSString>& text)>;

class QRScanner : public NSObject {
    NS_OBJECT(QRScanner, NSObject)
public:
    // `init`: QR codes only.
    QRScanner();
    // `initWithMetadataObjectTypes:`.
    explicit QRScanner(const Ref<NSArray>& metadataObjectTypes);
    static Ref<QRScanner> readerWithMetadataObjectTypes(const Ref<NSArray>& metadataObjectTypes);

    Ref<NSArray> metadataObjectTypes() const { return metadataObjectTypes_; }
    NS_PROPERTY(Ref<AVCaptureVideoPreviewLayer>, previewLayer, setPreviewLayer)
    NS_PROPERTY(Ref<AVCaptureDeviceInput>, defaultDeviceInput, setDefaultDeviceInput)
    NS_PROPERTY(Ref<AVCaptureDeviceInput>, frontDeviceInput, setFrontDeviceInput)
    NS_PROPERTY(Ref<AVCaptureMetadataOutput>, metadataOutput, setMetadataOutput)
    NS_PROPERTY(Ref<AVCaptureDevice>, defaultDevice, setDefaultDevice)
    NS_PROPERTY(Ref<AVCaptureDevice>, frontDevice, setFrontDevice)
    NS_PROPERTY(Ref<AVCaptureSession>, session, setSession)
    QRScannerCompletionBlock completionBlock() const { return completionBlock_; }
    void setCompletionWithBlock(QRScannerCompletionBlock block) { completionBlock_ = std::move(block); }

    void startScanning();
    void stopScanning();
    bool running() const;
    void switchDeviceInput();
    bool hasFrontDevice() const;
    bool isTorchAvailable() const;
    void toggleTorch();

    static NSInteger videoOrientationFromInterfaceOrientation(NSInteger interfaceOrientation);
    static bool isAvailable();
    static bool supportsMetadataObjectTypes(const Ref<NSArray>& metadataObjectTypes);

    // The metadata output's callback (`captureOutput:didOutputMetadataObjects:fromConnection:`).
    void captureOutputDidOutputMetadataObjectsFromConnection(const id& output, const Ref<NSArray>& metadataObjects,
                                                             const id& connection);

private:
    void setupAVComponents();
    void configureDefaultComponents();

    Ref<NSArray> metadataObjectTypes_;
    QRScannerCompletionBlock completionBlock_;
};
