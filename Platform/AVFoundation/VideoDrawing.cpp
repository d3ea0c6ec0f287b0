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
    frame.paintCentred(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height, size.width,
                       size.height);
}

} // namespace av_video
