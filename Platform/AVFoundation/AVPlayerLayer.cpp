// AVPlayerLayer: draws the player's frames with cairo.
#include <AVFoundation/AVPlayerLayer.h>

#include <AVFoundation/AVCaptureVideoPreviewLayer.h>
#include <CoreGraphics/CGContext.h>
#include <Runtime/ClassBuilder.h>

#include <cairo.h>

#include <algorithm>
#include <cstring>

NS_IMPLEMENT_CLASS(AVPlayerLayer, CALayer) {}

Ref<AVPlayerLayer> AVPlayerLayer::playerLayerWithPlayer(const Ref<AVPlayer>& player) {
    auto layer = make<AVPlayerLayer>();
    layer->player_ = player;
    layer->gravity_ = AVLayerVideoGravityResizeAspect();
    return layer;
}

void AVPlayerLayer::setVideoGravity(const Ref<NSString>& gravity) {
    if (!gravity ||
        (!gravity->isEqual(AVLayerVideoGravityResizeAspect()) &&
         !gravity->isEqual(AVLayerVideoGravityResizeAspectFill()) && !gravity->isEqual(AVLayerVideoGravityResize()))) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVPlayerLayer setVideoGravity:] Bad gravity");
    }
    gravity_ = gravity;
}

bool AVPlayerLayer::isReadyForDisplay() const {
    auto item = player_ ? player_->currentItem() : nullptr;
    return item && item->status() == AVPlayerItemStatusReadyToPlay;
}

void AVPlayerLayer::drawInContext(const CGContextRef& context) {
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
    // A presentation copy draws with its model's player.
    auto model = cast<AVPlayerLayer>(modelLayer());
    auto player = model ? model->player_ : player_;
    auto item = player ? player->currentItem() : nullptr;
    if (!item || item->status() != AVPlayerItemStatusReadyToPlay) {
        return;
    }
    auto frame = item->frameAt(player->currentSeconds());
    if (!frame || frame->width < 1 || frame->height < 1) {
        return;
    }
    double fw = frame->width, fh = frame->height;
    Ref<NSString> gravity = model && model->gravity_ ? model->gravity_ : AVLayerVideoGravityResizeAspect();
    double sx, sy;
    if (gravity->isEqual(AVLayerVideoGravityResize())) {
        sx = b.size.width / fw;
        sy = b.size.height / fh;
    } else {
        double scale = gravity->isEqual(AVLayerVideoGravityResizeAspectFill())
                           ? std::max(b.size.width / fw, b.size.height / fh)
                           : std::min(b.size.width / fw, b.size.height / fh);
        sx = sy = scale;
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
    cairo_translate(cr, b.origin.x + (b.size.width - fw * sx) / 2, b.origin.y + (b.size.height - fh * sy) / 2);
    cairo_scale(cr, sx, sy);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}
