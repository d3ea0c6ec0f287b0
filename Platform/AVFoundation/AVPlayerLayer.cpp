// AVPlayerLayer: draws the player's frames with cairo.
#include <AVFoundation/AVPlayerLayer.h>

#include <AVFoundation/AVCaptureVideoPreviewLayer.h>
#include <AVFoundation/VideoDrawing.h>
#include <CoreGraphics/CGContext.h>
#include <Runtime/ClassBuilder.h>

#include <cairo.h>

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
    av_video::fillBlack(cr, b);
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
    Ref<NSString> gravity = model && model->gravity_ ? model->gravity_ : AVLayerVideoGravityResizeAspect();
    av_video::paintFrame(cr, b, *frame, av_video::drawnSize(gravity, b, frame->width, frame->height));
}
