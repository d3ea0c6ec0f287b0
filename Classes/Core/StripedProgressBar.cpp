#include <Core/StripedProgressBar.h>

#include <Foundation/NSNumber.h>
#include <Foundation/NSRunLoop.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIWindow.h>

#include <cmath>

namespace {

// The target of the bar's timers: it holds the bar weakly, so that a running timer never keeps a
// bar alive, and ends its timer once the bar has gone.
class StripedProgressBarTimerTarget : public NSObject {
    NS_OBJECT(StripedProgressBarTimerTarget, NSObject)
public:
    using Tick = void (*)(StripedProgressBar*, const Ref<NSTimer>&);
    StripedProgressBarTimerTarget() = default;
    StripedProgressBarTimerTarget(const Ref<StripedProgressBar>& bar, Tick tick) : bar_(bar), tick_(tick) {}
    void fire(const Ref<NSTimer>& timer) {
        auto bar = bar_.lock();
        if (!bar) {
            timer->invalidate();
            return;
        }
        tick_(bar.get(), timer);
    }

private:
    Weak<StripedProgressBar> bar_;
    Tick tick_ = nullptr;
};

CGPathRef roundedPath(CGRect rect, double radius) {
    auto path = CGPathCreateMutable();
    rect = CGRectStandardize(rect);
    if (rect.size.width <= 0 || rect.size.height <= 0 || !std::isfinite(rect.size.width) ||
        !std::isfinite(rect.size.height)) {
        return path;
    }
    double r = std::max(0.0, std::min({radius, rect.size.width / 2, rect.size.height / 2}));
    if (r > 0) {
        CGPathAddRoundedRect(path, nullptr, rect, r, r);
    } else {
        CGPathAddRect(path, nullptr, rect);
    }
    return path;
}

void addClip(const CGContextRef& c, const CGPathRef& path) {
    CGContextBeginPath(c);
    CGContextAddPath(c, path);
    CGContextClip(c);
}

} // namespace

NS_IMPLEMENT_CLASS(StripedProgressBarTimerTarget, NSObject) {
    b.method("fire:", &StripedProgressBarTimerTarget::fire);
}

NS_IMPLEMENT_CLASS(StripedProgressBar, UIView) {
    b.method("updateProgressWithTimer:", &StripedProgressBar::updateProgressWithTimer);
    b.property("hideStripes", &StripedProgressBar::hideStripes, &StripedProgressBar::setHideStripes);
    b.property("stripesAnimated", &StripedProgressBar::isStripesAnimated, &StripedProgressBar::setStripesAnimated);
}

StripedProgressBar::StripedProgressBar(CGRect frame) : UIView(frame) {
    initializeProgressBar();
}

StripedProgressBar::~StripedProgressBar() {
    if (stripesTimer_ && stripesTimer_->isValid()) {
        stripesTimer_->invalidate();
    }
    if (progressTargetTimer_ && progressTargetTimer_->isValid()) {
        progressTargetTimer_->invalidate();
    }
}

void StripedProgressBar::initializeProgressBar() {
    type_ = 0;
    progressStretch_ = true;
    hideGloss_ = false;
    progress_ = static_cast<double>(0.3f);
    hideStripes_ = false;
    hideTrack_ = false;
    behavior_ = 0;
    stripesColor_ = UIColor::colorWithWhiteAlpha(1.0, 0.28);
    cornerRadius_ = 0;
    auto label = make<UILabel>(frame());
    label->setAdjustsFontSizeToFitWidth(true);
    label->setBackgroundColor(UIColor::clearColor());
    label->setTextAlignment(NSTextAlignmentRight);
    label->setLineBreakMode(NSLineBreakByTruncatingHead);
    label->setTextColor(UIColor::clearColor());
    label->setMinimumScaleFactor(3.0);
    indicatorTextLabel_ = label;
    indicatorTextDisplayMode_ = 0;
    trackTintColor_ = UIColor::blackColor();
    setProgressTintColor(backgroundColor());
    stripesOffset_ = 0;
    stripesTimer_ = nullptr;
    setStripesAnimated(true);
    stripesOrientation_ = 0;
    stripesDirection_ = 1;
    stripesAnimationVelocity_ = 1.0;
    stripesWidth_ = 7;
    stripesDelta_ = 8;
    progressBarInset_ = 1.0;
    setBackgroundColor(UIColor::clearColor());
}

// MARK: - Properties

double StripedProgressBar::progress() const {
    NS_SYNCHRONIZED(this) {
        return progress_;
    }
    return progress_;
}

void StripedProgressBar::setProgress(double progress) {
    setProgressAnimated(progress, false);
}

void StripedProgressBar::setProgressAnimated(double progress, bool animated) {
    NS_SYNCHRONIZED(this) {
        if (progressTargetTimer_ && progressTargetTimer_->isValid()) {
            progressTargetTimer_->invalidate();
        }
        progressTargetTimer_ = nullptr;
        if (!std::isfinite(progress)) {
            progress = 0;
        }
        progress = progress > 1 ? 1 : progress < 0 ? 0 : progress;
        // An animated change to the value already shown has no steps to take: its timer would never
        // reach the target.
        if (!animated || progress == progress_) {
            progress_ = progress;
            setNeedsDisplay();
            return;
        }
        progressTargetValue_ = progress;
        float step = static_cast<float>((progress - progress_) * timerInterval() * 4.0);
        progressTargetTimer_ =
            makeTimer([](StripedProgressBar* bar, const Ref<NSTimer>& timer) { bar->updateProgressWithTimer(timer); },
                      NSNumber::numberWithFloat(step));
    }
}

void StripedProgressBar::updateProgressWithTimer(const Ref<NSTimer>& timer) {
    auto number = timer ? cast<NSNumber>(timer->userInfo()) : nullptr;
    double step = number ? static_cast<double>(number->floatValue()) : 0;
    progress_ += step;
    if ((step < 0 && progress_ <= progressTargetValue_) || (step > 0 && progress_ >= progressTargetValue_) ||
        step == 0) {
        timer->invalidate();
        progressTargetTimer_ = nullptr;
        progress_ = progressTargetValue_;
    }
    setNeedsDisplay();
}

void StripedProgressBar::setBehavior(uint64_t behavior) {
    behavior_ = behavior;
    setNeedsDisplay();
}

void StripedProgressBar::setType(uint64_t type) {
    type_ = type;
    hideGloss_ = type != 0;
}

void StripedProgressBar::setProgressTintColor(const Ref<UIColor>& color) {
    Ref<UIColor> c = color ? color : UIColor::blueColor();
    progressTintColor_ = c;
    auto darker = UIColor::colorWithRedGreenBlueAlpha(c->red() * 0.5, c->green() * 0.5, c->blue() * 0.5, c->alpha());
    setProgressTintColors(NSArray::arrayWithObjects({darker, c}));
}

void StripedProgressBar::setProgressTintColors(const Ref<NSArray>& colors) {
    progressTintColors_ = colors;
    std::vector<id> list;
    if (colors) {
        for (const auto& c : *colors) {
            if (auto colour = cast<UIColor>(c)) {
                list.push_back(colour->CGColor());
            }
        }
    }
    colors_ = NSArray::arrayWithVector(std::move(list));
}

void StripedProgressBar::setStripesAnimated(bool animated) {
    changeValueForKey("stripesAnimated", [&] { stripesAnimated_ = animated; });
    updateStripesTimer();
}

void StripedProgressBar::setHideStripes(bool hide) {
    changeValueForKey("hideStripes", [&] { hideStripes_ = hide; });
    updateStripesTimer();
}

// MARK: - Timers

Ref<NSTimer> StripedProgressBar::makeTimer(void (*tick)(StripedProgressBar*, const Ref<NSTimer>&), const id& userInfo) {
    auto target = make<StripedProgressBarTimerTarget>(Ref<StripedProgressBar>(this), tick);
    auto timer =
        NSTimer::timerWithTimeIntervalTargetSelectorUserInfoRepeats(timerInterval(), target, "fire:", userInfo, true);
    NSRunLoop::currentRunLoop()->addTimerForMode(timer, NSRunLoopCommonModes());
    return timer;
}

void StripedProgressBar::updateStripesTimer() {
    bool wanted = !hideStripes_ && stripesAnimated_;
    // Off the screen the stripes have nothing to move for; they start again when the bar returns.
    bool shown = !offScreen_;
    if (!wanted || !shown) {
        if (stripesTimer_ && stripesTimer_->isValid()) {
            stripesTimer_->invalidate();
        }
        stripesTimer_ = nullptr;
        return;
    }
    if (!stripesTimer_) {
        stripesTimer_ =
            makeTimer([](StripedProgressBar* bar, const Ref<NSTimer>&) { bar->setNeedsDisplay(); }, nullptr);
    }
}

void StripedProgressBar::didMoveToWindow() {
    UIView::didMoveToWindow();
    offScreen_ = !window();
    updateStripesTimer();
}

// MARK: - Drawing

void StripedProgressBar::layoutSubviews() {
    UIView::layoutSubviews();
    CGFloat h = bounds().size.height;
    indicatorTextLabel_->setFont(UIFont::fontWithNameSize("Arial-BoldMT"_ns, h - h / 3));
}

void StripedProgressBar::drawRect(CGRect rect) {
    if (isHidden()) {
        return;
    }
    auto context = UIGraphicsGetCurrentContext();
    double W = rect.size.width, H = rect.size.height;
    internalCornerRadius_ = 0;
    if (type_ == 0) {
        internalCornerRadius_ = cornerRadius_ > 0 ? cornerRadius_ : H * 0.5;
    }
    double offset = 0;
    if (stripesAnimated_ && std::fabs(stripesOffset_) <= 2.0 * static_cast<double>(stripesWidth_) - 1) {
        offset = stripesOffset_ + std::fabs(stripesAnimationVelocity_) * static_cast<double>(stripesDirection_);
    }
    stripesOffset_ = offset;
    if (!hideTrack_) {
        drawTrackWithRect(context, rect);
    }
    if (indicatorTextDisplayMode_ == 1) {
        drawTextWithRect(context, rect);
    }
    double p = progress();
    CGRect inner;
    if (type_ == 0) {
        double inset = progressBarInset_;
        inner = CGRectMake(inset, inset, W * p - 2 * inset, H - 2 * inset);
    } else {
        inner = CGRectMake(0, 0, W * p, H);
    }
    if (p == 0 && behavior_ == 1) {
        drawStripesWithRect(context, rect);
        return;
    }
    if (p > 0) {
        drawProgressBarWithInnerRectOutterRect(context, inner, rect);
        if (stripesWidth_ >= 1 && !hideStripes_ && behavior_ != 1 && (behavior_ != 2 || p == 1.0)) {
            drawStripesWithRect(context, inner);
        }
        if (!hideGloss_) {
            drawGlossWithRect(context, inner);
        }
        if (indicatorTextDisplayMode_ == 2) {
            drawTextWithRect(context, inner);
        }
    }
}

void StripedProgressBar::drawTrackWithRect(const CGContextRef& context, CGRect rect) {
    double W = rect.size.width, H = rect.size.height;
    addClip(context, roundedPath(CGRectMake(0, 0, W, H), internalCornerRadius_));
    CGContextSaveGState(context);
    double w = W, h = H;
    if (type_ == 0 && !hideGloss_) {
        w = W - 1;
        h = H - 1;
    }
    CGContextBeginPath(context);
    CGContextAddPath(context, roundedPath(CGRectMake(0, 0, w, h), internalCornerRadius_));
    CGContextSetFillColorWithColor(context, (trackTintColor_ ? trackTintColor_ : UIColor::blackColor())->CGColor());
    CGContextFillPath(context);
    if (type_ == 0) {
        CGContextBeginPath(context);
        CGContextAddPath(context, roundedPath(CGRectMake(0.5, 0, w, h), internalCornerRadius_));
        CGContextSetLineWidth(context, 1);
        CGContextSetStrokeColorWithColor(context, CGColorCreateGenericRGB(1, 1, 1, 0.2));
        CGContextStrokePath(context);
        if (!hideGloss_) {
            CGContextSetStrokeColorWithColor(context, CGColorCreateGenericRGB(0, 0, 0, 0.4));
            CGContextStrokeRect(context, CGRectMake(internalCornerRadius_, 0, W - 2 * internalCornerRadius_, 1));
        }
    }
    CGContextRestoreGState(context);
}

void StripedProgressBar::drawTextWithRect(const CGContextRef&, CGRect rect) {
    auto label = indicatorTextLabel_;
    if (!label) {
        return;
    }
    CGRect frame = CGRectMake(rect.origin.x + 4, rect.origin.y + 2, rect.size.width - 8, rect.size.height - 4);
    label->setFrame(frame);
    auto text = label->text();
    bool ownText = text != nullptr;
    if (!text) {
        text = NSString::stringWithFormat("%.0f%%", progress() * 100);
    }
    auto attributes = NSDictionary::dictionaryWithEntries({{NSFontAttributeName(), label->font()}});
    CGRect measured =
        boundingRectWithSizeOptionsAttributesContext(text, CGSizeMake(frame.size.width - 40, frame.size.height),
                                                     NSStringDrawingUsesLineFragmentOrigin, attributes, nullptr);
    if (measured.size.width > frame.size.width || measured.size.height > frame.size.height + 4) {
        return;
    }
    label->setText(text);
    if (label->textColor()->isEqual(UIColor::clearColor())) {
        Ref<UIColor> reference;
        if (indicatorTextDisplayMode_ == 1) {
            reference = trackTintColor_ ? trackTintColor_ : UIColor::blackColor();
        } else if (colors_ && colors_->count() > 0) {
            reference = UIColor::colorWithCGColor(cast<CGColor>(colors_->objectAtIndex(colors_->count() - 1)));
        } else {
            reference = UIColor::blackColor();
        }
        double brightness = (reference->red() + reference->green() + reference->blue()) / 3;
        label->setTextColor(brightness >= 0.5 ? UIColor::blackColor() : UIColor::whiteColor());
        label->drawTextInRect(frame);
        label->setTextColor(UIColor::clearColor());
    } else {
        label->drawTextInRect(frame);
    }
    if (!ownText) {
        label->setText(nullptr);
    }
}

void StripedProgressBar::drawProgressBarWithInnerRectOutterRect(const CGContextRef& context, CGRect innerRect,
                                                                CGRect outterRect) {
    CGRect g = progressStretch_ ? innerRect : outterRect;
    CGContextSaveGState(context);
    addClip(context, roundedPath(innerRect, internalCornerRadius_));
    size_t n = colors_ ? colors_->count() : 0;
    if (n > 0) {
        float s = 1.0f / static_cast<float>(n);
        std::vector<CGFloat> locations;
        for (size_t i = 0; i < n; ++i) {
            locations.push_back(static_cast<double>(s) * 0.5 + static_cast<double>(s) * static_cast<double>(i));
        }
        auto gradient = CGGradientCreateWithColors(CGColorSpaceCreateDeviceRGB(), colors_, locations.data());
        CGContextDrawLinearGradient(context, gradient, CGPointMake(CGRectGetMinX(g), CGRectGetMinY(g)),
                                    CGPointMake(CGRectGetMinX(g) + g.size.width, CGRectGetMinY(g)),
                                    kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    }
    CGContextRestoreGState(context);
}

void StripedProgressBar::drawStripesWithRect(const CGContextRef& context, CGRect rect) {
    int64_t w = stripesWidth_;
    if (w == 0) {
        return;
    }
    CGContextSaveGState(context);
    auto all = UIBezierPath::bezierPath();
    auto last = static_cast<int64_t>(rect.size.width / (2.0 * static_cast<double>(w)) + 2.0 * static_cast<double>(w));
    double y0 = type_ == 0 ? progressBarInset_ : 0;
    for (int64_t i = -w; i <= last; ++i) {
        all->appendPath(stripeWithOriginBoundsOrientation(
            CGPointMake(stripesOffset_ + 2.0 * static_cast<double>(i) * static_cast<double>(w), y0), rect,
            stripesOrientation_));
    }
    addClip(context, roundedPath(rect, internalCornerRadius_));
    CGContextSaveGState(context);
    addClip(context, all->CGPath());
    CGContextSetFillColorWithColor(context, (stripesColor_ ? stripesColor_ : UIColor::clearColor())->CGColor());
    CGContextFillRect(context, rect);
    CGContextRestoreGState(context);
    CGContextRestoreGState(context);
}

Ref<UIBezierPath> StripedProgressBar::stripeWithOriginBoundsOrientation(CGPoint origin, CGRect bounds,
                                                                        uint64_t orientation) const {
    double x = origin.x, y = origin.y, h = bounds.size.height;
    double w = static_cast<double>(stripesWidth_), d = static_cast<double>(stripesDelta_);
    auto path = UIBezierPath::bezierPath();
    path->moveToPoint(CGPointMake(x, y));
    if (orientation == 0) {
        path->addLineToPoint(CGPointMake(x + w, y));
        path->addLineToPoint(CGPointMake(x + w - d, y + h));
        path->addLineToPoint(CGPointMake(x - d, y + h));
    } else if (orientation == 1) {
        path->addLineToPoint(CGPointMake(x - w, y));
        path->addLineToPoint(CGPointMake(x - w + d, y + h));
        path->addLineToPoint(CGPointMake(x + d, y + h));
    } else {
        path->addLineToPoint(CGPointMake(x - w, y));
        path->addLineToPoint(CGPointMake(x - w, y + h));
        path->addLineToPoint(CGPointMake(x, y + h));
    }
    path->closePath();
    return path;
}

void StripedProgressBar::drawGlossWithRect(const CGContextRef& context, CGRect rect) {
    auto space = CGColorSpaceCreateDeviceRGB();
    CGContextSaveGState(context);
    auto g = static_cast<double>(std::floor(static_cast<float>(rect.size.height) / 3.0f));
    CGRect band = CGRectMake(rect.origin.x, rect.origin.y, rect.size.width, g);
    CGContextSetBlendMode(context, kCGBlendModeOverlay);
    CGContextBeginTransparencyLayerWithRect(context, band, nullptr);
    const CGFloat components[] = {1, 1, 1, 0.16, 1, 1, 1, 0.16};
    auto gradient = CGGradientCreateWithColorComponents(space, components, nullptr, 2);
    CGContextDrawLinearGradient(context, gradient, CGPointMake(CGRectGetMidX(rect), CGRectGetMinY(rect)),
                                CGPointMake(CGRectGetMidX(rect), CGRectGetMaxY(rect)), 0);
    CGContextEndTransparencyLayer(context);
    CGContextSetBlendMode(context, kCGBlendModeSoftLight);
    CGContextBeginTransparencyLayer(context, nullptr);
    CGContextSaveGState(context);
    CGContextSetShadowWithColor(context, CGSizeMake(0, -1), 4, CGColorCreateGenericRGB(0, 0, 0, 0.16));
    CGContextFillRect(context, band);
    CGContextRestoreGState(context);
    CGContextSetBlendMode(context, kCGBlendModeClear);
    CGContextFillRect(context, band);
    CGContextEndTransparencyLayer(context);
    CGContextRestoreGState(context);
    CGContextSaveGState(context);
    CGContextBeginPath(context);
    CGContextAddPath(context, roundedPath(rect, internalCornerRadius_));
    CGContextSetLineWidth(context, 2);
    CGContextSetStrokeColorWithColor(context, CGColorCreateGenericRGB(1, 1, 1, 0.16));
    CGContextSetBlendMode(context, kCGBlendModeOverlay);
    CGContextStrokePath(context);
    CGContextRestoreGState(context);
}
