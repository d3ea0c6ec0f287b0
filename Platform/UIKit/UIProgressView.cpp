#include <Runtime/ClassBuilder.h>
#include <UIKit/UIProgressView.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(UIProgressView, UIView) {
    b.property("progress", &UIProgressView::progress, &UIProgressView::setProgress);
    b.property("progressTintColor", &UIProgressView::progressTintColor, &UIProgressView::setProgressTintColor);
    b.property("trackTintColor", &UIProgressView::trackTintColor, &UIProgressView::setTrackTintColor);
    b.method("setProgress:animated:", &UIProgressView::setProgressAnimated);
}

void UIProgressView::setProgress(float progress) {
    changeValueForKey("progress", [&] { progress_ = std::isnan(progress) ? 0.0f : std::clamp(progress, 0.0f, 1.0f); });
    setNeedsDisplay();
}
