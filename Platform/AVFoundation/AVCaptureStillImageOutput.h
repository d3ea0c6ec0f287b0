// AVCaptureStillImageOutput: takes one JPEG still from the session's camera, with EXIF metadata
// (libexif) both in the file and as the sample buffer's attachment. Capture needs an active video
// connection of this output (else NSInvalidArgumentException); it completes off the main thread,
// on a global queue, with a sample buffer, or with an error when the camera went away. The
// connection's mirroring is applied to the picture and its scale-and-crop factor recorded (as the
// EXIF digital zoom ratio). Also CMSampleBuffer and its attachments (the CoreMedia part that the
// output needs).
#pragma once

#include <AVFoundation/AVCaptureSession.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>

const Ref<NSString>& AVVideoCodecKey();  // "AVVideoCodecKey"
const Ref<NSString>& AVVideoCodecJPEG(); // "jpeg"
// The attachment key of the EXIF dictionary ("{Exif}") and the EXIF keys the output fills.
const Ref<NSString>& kCGImagePropertyExifDictionary();
const Ref<NSString>& kCGImagePropertyExifPixelXDimension();
const Ref<NSString>& kCGImagePropertyExifPixelYDimension();
const Ref<NSString>& kCGImagePropertyExifWhiteBalance();
const Ref<NSString>& kCGImagePropertyExifFlash();
const Ref<NSString>& kCGImagePropertyExifDigitalZoomRatio();
const Ref<NSString>& kCGImagePropertyExifDateTimeOriginal();
const Ref<NSString>& kCGImagePropertyExifLensModel();

class CMSampleBuffer : public NSObject {
    NS_OBJECT(CMSampleBuffer, NSObject)
public:
    CMSampleBuffer() = default;
    CMSampleBuffer(Ref<NSData> data, Ref<NSDictionary> attachments)
        : data_(std::move(data)), attachments_(std::move(attachments)) {}
    Ref<NSData> data() const { return data_; }
    Ref<NSDictionary> attachments() const { return attachments_; }

private:
    Ref<NSData> data_;
    Ref<NSDictionary> attachments_;
};
using CMSampleBufferRef = Ref<CMSampleBuffer>;
// The attachment of the buffer for `key`; nil when none or without a buffer.
id CMGetAttachment(const CMSampleBufferRef& buffer, const Ref<NSString>& key, uint32_t* attachmentModeOut = nullptr);

class AVCaptureStillImageOutput : public AVCaptureOutput {
    NS_OBJECT(AVCaptureStillImageOutput, AVCaptureOutput)
public:
    AVCaptureStillImageOutput() = default;

    Ref<NSDictionary> outputSettings() const;
    // Only JPEG is offered; raises NSInvalidArgumentException for another codec.
    void setOutputSettings(const Ref<NSDictionary>& settings);
    bool isCapturingStillImage() const;

    void captureStillImageAsynchronouslyFromConnectionCompletionHandler(
        const Ref<AVCaptureConnection>& connection,
        std::function<void(const CMSampleBufferRef& buffer, const Ref<NSError>& error)> handler);
    // The JPEG bytes of a buffer the output delivered; nil for nil.
    static Ref<NSData> jpegStillImageNSDataRepresentation(const CMSampleBufferRef& buffer);

private:
    mutable std::mutex mutex_;
    Ref<NSDictionary> settings_;
    int capturing_ = 0;
};
