// WhiteBalanceViewController: the white balance test. The camera screen of the picture test with a
// white-balance panel: a mode control (continuous automatic or locked) and sliders for colour
// temperature (3000...8000) and tint (-150...150). In the automatic mode the sliders are disabled
// and follow the camera (its gains are observed, from the camera's own thread); locked, they are
// enabled and the camera follows them, through gains kept within 1...maxWhiteBalanceGain. The
// operator takes a picture and judges its colours with the answer bar, or retakes it.
//
// A segment index outside the mode list (no segment selected) and a mode outside it (the one-shot
// automatic mode) are ignored rather than looked up.
#pragma once

#include <Diagnostics/CameraDisplay/CameraPictureViewController.h>
#include <UIKit/UISegmentedControl.h>
#include <UIKit/UISlider.h>

class WhiteBalanceViewController : public CameraPictureViewController {
    NS_OBJECT(WhiteBalanceViewController, CameraPictureViewController)
public:
    WhiteBalanceViewController() = default;
    NS_WEAK_PROPERTY(UIView, manualHUDWhiteBalanceView, setManualHUDWhiteBalanceView)
    NS_WEAK_PROPERTY(UISegmentedControl, whiteBalanceModeControl, setWhiteBalanceModeControl)
    NS_WEAK_PROPERTY(UISlider, temperatureSlider, setTemperatureSlider)
    NS_WEAK_PROPERTY(UISlider, tintSlider, setTintSlider)
    NS_WEAK_PROPERTY(UILabel, temperatureNameLabel, setTemperatureNameLabel)
    NS_WEAK_PROPERTY(UILabel, temperatureValueLabel, setTemperatureValueLabel)
    NS_WEAK_PROPERTY(UILabel, tintNameLabel, setTintNameLabel)
    NS_WEAK_PROPERTY(UILabel, tintValueLabel, setTintValueLabel)
    NS_WEAK_PROPERTY(UILabel, modeLabel, setModeLabel)
    NS_PROPERTY(Ref<NSArray>, whiteBalanceModes, setWhiteBalanceModes)

    // `isSupport`: YES from system version 8.0.
    static Ref<NSNumber> isSupport();

    void viewDidLoad() override;

    // Actions of the panel.
    void changeWhiteBalanceMode(const id& control);
    void changeTemperature(const id& slider);
    void changeTint(const id& slider);
    void sliderTouchBegan(const id& slider);
    void sliderTouchEnded(const id& slider);
    void setSliderHighlightColor(const Ref<UISlider>& slider, const Ref<UIColor>& color);
    AVCaptureWhiteBalanceGains normalizedGains(AVCaptureWhiteBalanceGains gains) const;
    void setWhiteBalanceGains(AVCaptureWhiteBalanceGains gains);
    void addObservers();
    void removeObservers();
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>& change, void* context) override;

protected:
    Ref<NSString> instruction() const override;
    Ref<NSString> question() const override;
    void willMakeInputForDevice(const Ref<AVCaptureDevice>& camera) override;
    void willTakePicture() override;
    void didShowPicture() override;
    void retake() override;
    void willDealloc() override;

private:
    NSInteger segmentOfMode(NSInteger mode) const;
    void showGains(AVCaptureWhiteBalanceGains gains);
    bool observing_ = false;
};
