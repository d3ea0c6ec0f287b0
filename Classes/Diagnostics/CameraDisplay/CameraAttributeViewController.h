// CameraAttributeViewController: the camera attribute test, through the system's camera screen
// (UIImagePickerController). The operator takes a picture trying the feature each item names
// (front camera: tap to focus; back camera: zoom, tap to focus and, with a flash, the flash), then
// answers one question per item on this screen, which shows the picture. Each item has a sub-test
// key set to "SUCCESS" or "FAIL"; the record's result follows from all items. Cancel in the camera
// screen ends the test as failed (no item answered), as does leaving before the last answer. When
// the record's camera is missing, the camera screen is not opened on the other camera: the test
// fails a second later.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImagePickerController.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

class CameraAttributeViewController : public DXBaseViewController {
    NS_OBJECT(CameraAttributeViewController, DXBaseViewController)
public:
    CameraAttributeViewController() = default;
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)
    NS_WEAK_PROPERTY(UIImageView, previewImageView, setPreviewImageView)
    NS_WEAK_PROPERTY(UIButton, captureButton, setCaptureButton)
    NS_PROPERTY(bool, hasFlash, setHasFlash)
    NS_PROPERTY(bool, isFrontCamera, setIsFrontCamera)
    NS_PROPERTY(NSInteger, count, setCount)
    NS_PROPERTY(Ref<NSMutableArray>, testItems, setTestItems)
    NS_PROPERTY(Ref<UIAlertView>, alertView, setAlertView)
    NS_PROPERTY(Ref<UIImagePickerController>, picker, setPicker)

    void viewDidLoad() override;

    void takePicture();
    void previewImage(const Ref<UIImage>& image);
    void checkResult();
    void resetIdeleTimerDisabled();
    // The picker's delegate.
    void imagePickerControllerDidFinishPickingMediaWithInfo(const id& picker, const Ref<NSDictionary>& info);
    void imagePickerControllerDidCancel(const id& picker);

private:
    void answer(bool yes);
};
