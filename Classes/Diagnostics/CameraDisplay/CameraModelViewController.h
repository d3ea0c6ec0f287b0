// CameraModelViewController: the camera display test. A live preview of the record's camera
// (`params` "direction") while it looks at the target the record names (`params` "color": "white",
// "black" or "specific", a pattern); the operator judges it with the answer bar, shown from the
// start. The session stops when the operator answers or the screen goes.
#pragma once

#include <Diagnostics/CameraDisplay/DXCameraScreen.h>
#include <UIKit/UILabel.h>

class CameraModelViewController : public DXCameraScreen {
    NS_OBJECT(CameraModelViewController, DXCameraScreen)
public:
    CameraModelViewController() = default;
    NS_WEAK_PROPERTY(UILabel, colorLabel, setColorLabel)
    // The preview layer, by this screen's name.
    Ref<AVCaptureVideoPreviewLayer> preview() const { return previewLayer(); }

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewWillDisappear(bool animated) override;

protected:
    Ref<NSString> sessionPresetName() const override { return AVCaptureSessionPresetHigh(); }
};
