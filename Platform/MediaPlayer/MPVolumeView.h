// MPVolumeView: the system's volume slider as a view. While one is in a window the system's own
// volume overlay is not shown for key presses (`suppressesVolumeOverlay` answers it). It sizes
// itself to a slider's height.
#pragma once

#include <UIKit/UIView.h>

class MPVolumeView : public UIView {
    NS_OBJECT(MPVolumeView, UIView)
public:
    MPVolumeView();
    explicit MPVolumeView(CGRect frame);

    bool showsVolumeSlider() const noexcept { return showsVolumeSlider_; }
    void setShowsVolumeSlider(bool shows) { showsVolumeSlider_ = shows; }
    bool showsRouteButton() const noexcept { return showsRouteButton_; }
    void setShowsRouteButton(bool shows) { showsRouteButton_ = shows; }
    CGSize sizeThatFits(CGSize size) const override;

    // Whether a volume view in some window keeps the system's volume overlay away now.
    static bool suppressesVolumeOverlay();

private:
    bool showsVolumeSlider_ = true;
    bool showsRouteButton_ = true;
};
