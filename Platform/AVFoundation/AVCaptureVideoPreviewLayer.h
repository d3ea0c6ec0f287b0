// AVCaptureVideoPreviewLayer: a layer that shows what its session's camera sees. Each time it is
// drawn it renders the camera's current frame (mirrored for the front camera, as the platform's
// preview is) placed by its video gravity; it is black while the session is not running.
#pragma once

#include <AVFoundation/AVCaptureSession.h>
#include <QuartzCore/CALayer.h>

const Ref<NSString>& AVLayerVideoGravityResizeAspect();     // "AVLayerVideoGravityResizeAspect"
const Ref<NSString>& AVLayerVideoGravityResizeAspectFill(); // "AVLayerVideoGravityResizeAspectFill"
const Ref<NSString>& AVLayerVideoGravityResize();           // "AVLayerVideoGravityResize"

class AVCaptureVideoPreviewLayer : public CALayer {
    NS_OBJECT(AVCaptureVideoPreviewLayer, CALayer)
public:
    AVCaptureVideoPreviewLayer() = default;
    static Ref<AVCaptureVideoPreviewLayer> layerWithSession(const Ref<AVCaptureSession>& session);

    Ref<AVCaptureSession> session() const { return session_; }
    void setSession(const Ref<AVCaptureSession>& session) { session_ = session; }
    Ref<NSString> videoGravity() const { return gravity_; }
    void setVideoGravity(const Ref<NSString>& gravity);
    // The preview's own connection settings (orientation); nil without a session.
    Ref<AVCaptureConnection> connection();

    void drawInContext(const CGContextRef& context) override;

private:
    Ref<AVCaptureSession> session_;
    Ref<NSString> gravity_;
    Ref<AVCaptureConnection> connection_;
};
