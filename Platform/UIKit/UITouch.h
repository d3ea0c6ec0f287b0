// UITouch: one finger (or stylus) on the screen, from the moment it lands until it lifts. Its view
// is the view hit when it began; its locations are kept in window coordinates.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSArray.h>

class UIView;
class UIWindow;
class UIGestureRecognizer;

enum UITouchPhase : NSInteger {
    UITouchPhaseBegan = 0,
    UITouchPhaseMoved = 1,
    UITouchPhaseStationary = 2,
    UITouchPhaseEnded = 3,
    UITouchPhaseCancelled = 4,
};

enum UITouchType : NSInteger {
    UITouchTypeDirect = 0,
    UITouchTypeIndirect = 1,
    UITouchTypeStylus = 2,
};

class UITouch : public NSObject {
    NS_OBJECT(UITouch, NSObject)
public:
    UITouch();
    ~UITouch() override;

    UITouchPhase phase() const noexcept { return phase_; }
    NSUInteger tapCount() const noexcept { return tapCount_; }
    double timestamp() const noexcept { return timestamp_; }
    UITouchType type() const noexcept { return type_; }
    Ref<UIView> view() const;
    Ref<UIWindow> window() const;
    // The location in a view's coordinates; nil means window coordinates.
    CGPoint locationInView(const Ref<UIView>& view) const;
    CGPoint previousLocationInView(const Ref<UIView>& view) const;
    CGFloat force() const noexcept { return force_; }
    CGFloat maximumPossibleForce() const noexcept { return maximumPossibleForce_; }
    CGFloat majorRadius() const noexcept { return majorRadius_; }
    CGFloat altitudeAngle() const noexcept { return altitudeAngle_; }
    Ref<NSArray> gestureRecognizers() const;

    // Set by whoever synthesises the touch (the window, the test driver).
    void setPhase(UITouchPhase phase) { phase_ = phase; }
    void setTapCount(NSUInteger count) { tapCount_ = count; }
    void setTimestamp(double t) { timestamp_ = t; }
    void setType(UITouchType type) { type_ = type; }
    void setView(const Ref<UIView>& view);
    void setWindow(const Ref<UIWindow>& window);
    // Moves the touch: the old location becomes the previous one.
    void setWindowLocation(CGPoint location);
    CGPoint windowLocation() const noexcept { return location_; }
    void setForce(CGFloat force) { force_ = force; }
    void setMaximumPossibleForce(CGFloat force) { maximumPossibleForce_ = force; }
    void setMajorRadius(CGFloat r) { majorRadius_ = r; }
    void setAltitudeAngle(CGFloat a) { altitudeAngle_ = a; }
    void addGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer);
    const std::vector<Ref<UIGestureRecognizer>>& recognizerList() const noexcept { return recognizers_; }

    Ref<NSString> description() const override;

private:
    UITouchPhase phase_ = UITouchPhaseBegan;
    NSUInteger tapCount_ = 1;
    double timestamp_ = 0;
    UITouchType type_ = UITouchTypeDirect;
    Ref<UIView> view_;
    Weak<UIWindow> window_;
    CGPoint location_{};
    CGPoint previous_{};
    bool placed_ = false;
    CGFloat force_ = 0;
    CGFloat maximumPossibleForce_ = 0;
    CGFloat majorRadius_ = 20;
    CGFloat altitudeAngle_ = 1.5707963267948966;
    std::vector<Ref<UIGestureRecognizer>> recognizers_;
};
