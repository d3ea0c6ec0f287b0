// Drawing a video frame into a layer's context (see VideoDrawing.h).
#include <AVFoundation/VideoDrawing.h>

#include <AVFoundation/AVCaptureVideoPreviewLayer.h>

#include <algorithm>
#include <cstring>

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
    if (frame.width < 1 || frame.height < 1) {
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, frame.width, frame.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return;
    }
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < frame.height; ++y) {
        std::memcpy(pixels + static_cast<ptrdiff_t>(y) * stride, &frame.pixels[static_cast<size_t>(y) * frame.width],
                    static_cast<size_t>(frame.width) * 4);
    }
    cairo_surface_mark_dirty(surface);
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
