// AVCaptureVideoPreviewLayer: draws the session's frames with cairo.
#include <AVFoundation/AVCaptureVideoPreviewLayer.h>

#include <AVFoundation/VideoDrawing.h>

#include <CoreGraphics/CGContext.h>
#include <Runtime/ClassBuilder.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(AVCaptureVideoPreviewLayer, CALayer) {}

const Ref<NSString>& AVLayerVideoGravityResizeAspect() {
    static const Ref<NSString> s = NSString::from("AVLayerVideoGravityResizeAspect");
    return s;
}
const Ref<NSString>& AVLayerVideoGravityResizeAspectFill() {
    static const Ref<NSString> s = NSString::from("AVLayerVideoGravityResizeAspectFill");
    return s;
}
const Ref<NSString>& AVLayerVideoGravityResize() {
    static const Ref<NSString> s = NSString::from("AVLayerVideoGravityResize");
    return s;
}

Ref<AVCaptureVideoPreviewLayer> AVCaptureVideoPreviewLayer::layerWithSession(const Ref<AVCaptureSession>& session) {
    auto layer = make<AVCaptureVideoPreviewLayer>();
    layer->session_ = session;
    layer->gravity_ = AVLayerVideoGravityResizeAspect();
    return layer;
}

void AVCaptureVideoPreviewLayer::setVideoGravity(const Ref<NSString>& gravity) {
    if (!gravity ||
        (!gravity->isEqual(AVLayerVideoGravityResizeAspect()) &&
         !gravity->isEqual(AVLayerVideoGravityResizeAspectFill()) && !gravity->isEqual(AVLayerVideoGravityResize()))) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureVideoPreviewLayer setVideoGravity:] Bad gravity");
    }
    gravity_ = gravity;
}

Ref<AVCaptureConnection> AVCaptureVideoPreviewLayer::connection() {
    if (!session_) {
        return nullptr;
    }
    if (!connection_) {
        auto device = session_->videoDevice();
        auto ports = NSMutableArray::array();
        auto inputs = session_->inputs();
        for (const id& item : *inputs) {
            auto input = cast<AVCaptureDeviceInput>(item);
            if (input && input->device() == device) {
                ports->addObjectsFromArray(input->ports());
            }
        }
        connection_ = make<AVCaptureConnection>(ports, nullptr, session_);
    }
    return connection_;
}

void AVCaptureVideoPreviewLayer::drawInContext(const CGContextRef& context) {
    CGRect b = bounds();
    if (!context || b.size.width < 1 || b.size.height < 1) {
        return;
    }
    cairo_t* cr = context->cairo();
    av_video::fillBlack(cr, b);
    // A presentation copy draws with its model's session.
    auto model = cast<AVCaptureVideoPreviewLayer>(modelLayer());
    auto session = model ? model->session_ : session_;
    auto device = session ? session->videoDevice() : nullptr;
    if (!device || !session->isRunning()) {
        return;
    }
    int fw = 0, fh = 0;
    session->frameSize(&fw, &fh);
    if (fw < 1 || fh < 1) {
        return;
    }
    Ref<NSString> gravity = model && model->gravity_ ? model->gravity_ : AVLayerVideoGravityResizeAspect();
    CGSize size = av_video::drawnSize(gravity, b, fw, fh);
    // The camera renders at the size shown, so the picture is as sharp as the screen.
    int rw = std::clamp(static_cast<int>(std::ceil(size.width)), 1, 4096);
    int rh = std::clamp(static_cast<int>(std::ceil(size.height)), 1, 4096);
    bool mirrored = device->position() == AVCaptureDevicePositionFront;
    if (auto frame = session->currentFrame(rw, rh, mirrored)) {
        av_video::paintFrame(cr, b, *frame, size);
    }
}
