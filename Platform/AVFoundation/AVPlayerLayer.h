// AVPlayerLayer: a layer that shows its player's movie. Each time it is drawn it renders the frame
// of the player's current item at the player's current time, placed by its video gravity; black
// without a player, an item that plays, or a frame.
#pragma once

#include <AVFoundation/AVPlayer.h>
#include <QuartzCore/CALayer.h>

class AVPlayerLayer : public CALayer {
    NS_OBJECT(AVPlayerLayer, CALayer)
public:
    AVPlayerLayer() = default;
    static Ref<AVPlayerLayer> playerLayerWithPlayer(const Ref<AVPlayer>& player);

    Ref<AVPlayer> player() const { return player_; }
    void setPlayer(const Ref<AVPlayer>& player) { player_ = player; }
    // AVLayerVideoGravity... (AVCaptureVideoPreviewLayer.h); raises NSInvalidArgumentException for another.
    Ref<NSString> videoGravity() const { return gravity_; }
    void setVideoGravity(const Ref<NSString>& gravity);
    // Whether the layer has a frame to show now.
    bool isReadyForDisplay() const;

    void drawInContext(const CGContextRef& context) override;

private:
    Ref<AVPlayer> player_;
    Ref<NSString> gravity_;
};
