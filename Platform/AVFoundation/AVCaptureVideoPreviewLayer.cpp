// AVCaptureVideoPreviewLayer: draws the session's frames with cairo.
#include <AVFoundation/AVCaptureVideoPreviewLayer.h>

#include <CoreGraphics/CGContext.h>
#include <Runtime/ClassBuilder.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

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
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, b.origin.x, b.origin.y, b.size.width, b.size.height);
    cairo_fill(cr);
    cairo_restore(cr);
    // A presentation copy draws with its model's session.
    auto model = cast<AVCaptureVideoPreviewLayer>(modelLayer());
    auto session = model ? model->session_ : session_;
    auto device = session ? session->videoDevice() : nullptr;
    if (!device || !session->isRunning()) {
        return;
    }
    int fw = 0, fh = 0;
    session->frameSize(&fw, &fh);
    double w = fw, h = fh;
    Ref<NSString> gravity = model && model->gravity_ ? model->gravity_ : AVLayerVideoGravityResizeAspect();
    if (gravity->isEqual(AVLayerVideoGravityResize())) {
        w = b.size.width;
        h = b.size.height;
    } else {
        double scale = gravity->isEqual(AVLayerVideoGravityResizeAspectFill())
                           ? std::max(b.size.width / fw, b.size.height / fh)
                           : std::min(b.size.width / fw, b.size.height / fh);
        w = fw * scale;
        h = fh * scale;
    }
    int rw = std::clamp(static_cast<int>(std::ceil(w)), 1, 4096);
    int rh = std::clamp(static_cast<int>(std::ceil(h)), 1, 4096);
    bool mirrored = device->position() == AVCaptureDevicePositionFront;
    auto frame = session->currentFrame(rw, rh, mirrored);
    if (!frame) {
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, frame->width, frame->height);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < frame->height; ++y) {
        std::memcpy(pixels + static_cast<ptrdiff_t>(y) * stride, &frame->pixels[static_cast<size_t>(y) * frame->width],
                    static_cast<size_t>(frame->width) * 4);
    }
    cairo_surface_mark_dirty(surface);
    cairo_save(cr);
    cairo_rectangle(cr, b.origin.x, b.origin.y, b.size.width, b.size.height);
    cairo_clip(cr);
    cairo_translate(cr, b.origin.x + (b.size.width - w) / 2, b.origin.y + (b.size.height - h) / 2);
    cairo_scale(cr, w / rw, h / rh);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}
