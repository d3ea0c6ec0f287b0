// CameraVideoViewController: the camera video test (DXCameraVideoScreen). Its first count-down is
// the record's `waitingTime` (3 when the profile gives none; 0 records at once), every step text
// goes to `colorLabel`, the session stops once when play-back begins, and each play pass is logged.
#pragma once

#include <Diagnostics/CameraDisplay/DXCameraVideoScreen.h>
#include <UIKit/UIButton.h>

class CameraVideoViewController : public DXCameraVideoScreen {
    NS_OBJECT(CameraVideoViewController, DXCameraVideoScreen)
public:
    CameraVideoViewController() = default;
    NS_WEAK_PROPERTY(UIButton, recordButton, setRecordButton)

protected:
    NSInteger stepOneCount() const override;
    void showStepText(const Ref<NSString>& text) override;
    bool stopsSessionOnEveryPass() const override { return false; }
};
