// AVCaptureMetadataOutput: finds machine-readable codes in the camera's frames. While its session
// runs, the camera thread looks at a frame five times a second and decodes the QR codes in it with
// zbar, so a code is read only when it is really in the picture. Each frame with codes of the
// requested types makes one batch of AVMetadataMachineReadableCodeObject, handed to the objects
// delegate (`captureOutput:didOutputMetadataObjects:fromConnection:`, by selector) on its queue.
// A code whose bytes are not UTF-8 has no string value.
#pragma once

#include <AVFoundation/AVCaptureSession.h>

const Ref<NSString>& AVMetadataObjectTypeQRCode();    // "org.iso.QRCode"
const Ref<NSString>& AVMetadataObjectTypeEAN13Code(); // "org.gs1.EAN-13"
const Ref<NSString>& AVMetadataObjectTypeFace();      // "face" (never found here)

class AVMetadataObject : public NSObject {
    NS_OBJECT(AVMetadataObject, NSObject)
public:
    AVMetadataObject() = default;
    explicit AVMetadataObject(Ref<NSString> type) : type_(std::move(type)) {}
    Ref<NSString> type() const { return type_; }

private:
    Ref<NSString> type_;
};

class AVMetadataMachineReadableCodeObject : public AVMetadataObject {
    NS_OBJECT(AVMetadataMachineReadableCodeObject, AVMetadataObject)
public:
    AVMetadataMachineReadableCodeObject() = default;
    AVMetadataMachineReadableCodeObject(Ref<NSString> type, Ref<NSString> stringValue)
        : AVMetadataObject(std::move(type)), stringValue_(std::move(stringValue)) {}
    // nil when the code's bytes are not text.
    Ref<NSString> stringValue() const { return stringValue_; }

private:
    Ref<NSString> stringValue_;
};

// Decodes the QR codes in a frame: their texts as bytes, in the order zbar finds them.
std::vector<std::string> AVDecodeQRCodes(const SimFrame& frame);

class AVCaptureMetadataOutput : public AVCaptureOutput {
    NS_OBJECT(AVCaptureMetadataOutput, AVCaptureOutput)
public:
    AVCaptureMetadataOutput() = default;

    // The delegate is held weakly; `queue` is where batches are delivered (the main queue when nil).
    void setMetadataObjectsDelegateQueue(const id& delegate, const dispatch_queue_t& queue);
    id metadataObjectsDelegate() const;
    // The types this output can find: QR and EAN-13 codes, once it is in a session with a camera.
    Ref<NSArray> availableMetadataObjectTypes() const;
    Ref<NSArray> metadataObjectTypes() const;
    // Raises NSInvalidArgumentException for a type not among the available ones.
    void setMetadataObjectTypes(const Ref<NSArray>& types);

    void sessionTick(double time) override;

private:
    mutable std::mutex mutex_;
    Weak<NSObject> delegate_;
    dispatch_queue_t queue_;
    Ref<NSArray> types_ = NSArray::array();
    double lastLook_ = -1;
};
