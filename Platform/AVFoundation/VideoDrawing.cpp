// Drawing a video frame into a layer's context (see VideoDrawing.h).
#include <AVFoundation/VideoDrawing.h>

#include <AVFoundation/AVCaptureVideoPreviewLayer.h>

#include <algorithm>

namespace av_video {

void fillBlack(cairo_t* cr, CGRect bounds) {
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
    cairo_fill(cr);
    cairo_restore(cr);
}

CGSize drawnSize(const Ref<NSString>& gravity, CGRect bounds, double frameWidth, double frameHeight) {
    if (gravity && gravity->isEqual(AVLayerVideoGravityResize())) {
        return bounds.size;
    }
    double scale = gravity && gravity->isEqual(AVLayerVideoGravityResizeAspectFill())
                       ? std::max(bounds.size.width / frameWidth, bounds.size.height / frameHeight)
                       : std::min(bounds.size.width / frameWidth, bounds.size.height / frameHeight);
    return CGSizeMake(frameWidth * scale, frameHeight * scale);
}

void paintFrame(cairo_t* cr, CGRect bounds, const SimFrame& frame, CGSize size) {
    cairo_surface_t* surface = frame.newSurface();
    if (!surface) {
        return;
    }
    cairo_save(cr);
    cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
    cairo_clip(cr);
    cairo_translate(cr, bounds.origin.x + (bounds.size.width - size.width) / 2,
                    bounds.origin.y + (bounds.size.height - size.height) / 2);
    cairo_scale(cr, size.width / frame.width, size.height / frame.height);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

} // namespace av_video
