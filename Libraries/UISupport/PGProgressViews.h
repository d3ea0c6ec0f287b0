// The inside of the progress HUD: a pie or ring showing a fraction, a rounded bar showing a
// fraction, the bezel and background view (a solid colour or a blur) and the pill-shaped button.
// They know nothing of the HUD; the HUD sets their properties (and class-wide appearance proxies
// of the two progress views can theme their colours).
#pragma once

#include <UIKit/UIButton.h>
#include <UIKit/UIToolbar.h>
#include <UIKit/UIVisualEffectView.h>

class PGRoundProgressView : public UIView {
    NS_OBJECT(PGRoundProgressView, UIView)
public:
    // `init`: a 37 x 37 frame.
    PGRoundProgressView();
    explicit PGRoundProgressView(CGRect frame);

    float progress() const noexcept { return progress_; }
    void setProgress(float progress);
    bool isAnnular() const noexcept { return annular_; }
    // Takes effect at the next redraw.
    void setAnnular(bool annular) { annular_ = annular; }
    Ref<UIColor> progressTintColor() const { return progressTintColor_; }
    void setProgressTintColor(const Ref<UIColor>& color);
    Ref<UIColor> backgroundTintColor() const { return backgroundTintColor_; }
    void setBackgroundTintColor(const Ref<UIColor>& color);

    CGSize intrinsicContentSize() const override;
    void drawRect(CGRect rect) override;

private:
    bool annular_ = false;
    float progress_ = 0;
    Ref<UIColor> progressTintColor_;
    Ref<UIColor> backgroundTintColor_;
};

class PGBarProgressView : public UIView {
    NS_OBJECT(PGBarProgressView, UIView)
public:
    // `init`: a 120 x 20 frame.
    PGBarProgressView();
    explicit PGBarProgressView(CGRect frame);

    float progress() const noexcept { return progress_; }
    void setProgress(float progress);
    Ref<UIColor> lineColor() const { return lineColor_; }
    void setLineColor(const Ref<UIColor>& color) { lineColor_ = color; }
    Ref<UIColor> progressRemainingColor() const { return progressRemainingColor_; }
    void setProgressRemainingColor(const Ref<UIColor>& color);
    Ref<UIColor> progressColor() const { return progressColor_; }
    void setProgressColor(const Ref<UIColor>& color);

    CGSize intrinsicContentSize() const override;
    void drawRect(CGRect rect) override;

private:
    float progress_ = 0;
    Ref<UIColor> lineColor_;
    Ref<UIColor> progressRemainingColor_;
    Ref<UIColor> progressColor_;
};

enum PGProgressHUDBackgroundStyle : NSInteger {
    PGProgressHUDBackgroundStyleSolidColor = 0,
    PGProgressHUDBackgroundStyleBlur = 1,
};

class PGBackgroundView : public UIView {
    NS_OBJECT(PGBackgroundView, UIView)
public:
    PGBackgroundView() : PGBackgroundView(CGRectZero) {}
    explicit PGBackgroundView(CGRect frame);

    PGProgressHUDBackgroundStyle style() const noexcept { return style_; }
    void setStyle(PGProgressHUDBackgroundStyle style);
    Ref<UIColor> color() const { return color_; }
    void setColor(const Ref<UIColor>& color);
    // The blur view on 8.0 and later, and on 7.x.
    Ref<UIVisualEffectView> effectView() const { return effectView_; }
    Ref<UIToolbar> toolbar() const { return toolbar_; }

    CGSize intrinsicContentSize() const override { return CGSizeZero; }

private:
    void updateForBackgroundStyle();
    void updateViewsForColor(const Ref<UIColor>& color);

    PGProgressHUDBackgroundStyle style_ = PGProgressHUDBackgroundStyleBlur;
    Ref<UIColor> color_;
    Ref<UIVisualEffectView> effectView_;
    Ref<UIToolbar> toolbar_;
};

class PGProgressHUDRoundedButton : public UIButton {
    NS_OBJECT(PGProgressHUDRoundedButton, UIButton)
public:
    PGProgressHUDRoundedButton() : PGProgressHUDRoundedButton(CGRectZero) {}
    explicit PGProgressHUDRoundedButton(CGRect frame);

    void layoutSubviews() override;
    // Zero while nobody listens to the button, so the HUD treats it as empty.
    CGSize intrinsicContentSize() const override;
    void setTitleColorForState(const Ref<UIColor>& color, UIControlState state);
    void setHighlighted(bool highlighted) override;
};

// Whether the system is older than 8.0 (the views differ there).
bool PGIsLegacySystem();
