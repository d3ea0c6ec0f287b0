// CameraPictureViewController: the camera picture test. The operator takes one still picture with
// the record's camera of the target the record names (`params` "color"), sees it, and judges it
// with the answer bar; Retake first gives a new preview and a new picture. A picture that cannot
// be taken fails the test.
#pragma once

#include <Diagnostics/CameraDisplay/DXCameraScreen.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIFont.h>
#include <UIKit/UILabel.h>

class CameraPictureViewController : public DXCameraScreen {
    NS_OBJECT(CameraPictureViewController, DXCameraScreen)
public:
    CameraPictureViewController() = default;
    NS_WEAK_PROPERTY(UIButton, captureButton, setCaptureButton)
    NS_WEAK_PROPERTY(UIButton, retakeButton, setRetakeButton)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, waitProgress, setWaitProgress)
    NS_WEAK_PROPERTY(UILabel, testTitle, setTestTitle)
    NS_PROPERTY(Ref<UIFont>, orignalFont, setOrignalFont)

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

protected:
    // The texts of the instruction and the question, with the target's name.
    virtual Ref<NSString> instruction() const;
    virtual Ref<NSString> question() const;
    virtual void capture();
    virtual void retake();
    // Shows the picture that arrived and offers the answer and Retake.
    void showPicture(const Ref<UIImage>& image);
    void startPreview();
    // Between showing the question and taking the picture, and after the picture is shown.
    virtual void willTakePicture() {}
    virtual void didShowPicture() {}
};
