// UISegmentedControl: a row of segments (titles or images) of equal width; a tap selects one and
// sends value-changed.
#pragma once

#include <UIKit/UIControl.h>
#include <UIKit/UIImage.h>

inline constexpr NSInteger UISegmentedControlNoSegment = -1;

class UISegmentedControl : public UIControl {
    NS_OBJECT(UISegmentedControl, UIControl)
public:
    UISegmentedControl() = default;
    explicit UISegmentedControl(CGRect frame) : UIControl(frame) {}
    // `initWithItems:`: titles (NSString) or images (UIImage).
    explicit UISegmentedControl(const Ref<NSArray>& items);

    NSUInteger numberOfSegments() const noexcept { return segments_.size(); }
    NSInteger selectedSegmentIndex() const noexcept { return selected_; }
    // Raises NSRangeException for an index past the segments (other than NoSegment).
    void setSelectedSegmentIndex(NSInteger index);
    Ref<NSString> titleForSegmentAtIndex(NSUInteger index) const;
    void setTitleForSegmentAtIndex(const Ref<NSString>& title, NSUInteger index);
    Ref<UIImage> imageForSegmentAtIndex(NSUInteger index) const;
    void setImageForSegmentAtIndex(const Ref<UIImage>& image, NSUInteger index);
    void insertSegmentWithTitleAtIndexAnimated(const Ref<NSString>& title, NSUInteger index, bool animated);
    void removeSegmentAtIndexAnimated(NSUInteger index, bool animated);
    void removeAllSegments();
    bool isEnabledForSegmentAtIndex(NSUInteger index) const;
    void setEnabledForSegmentAtIndex(bool enabled, NSUInteger index);
    bool isMomentary() const noexcept { return momentary_; }
    void setMomentary(bool momentary) { momentary_ = momentary; }

    CGSize intrinsicContentSize() const override;
    void endTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;

private:
    struct Segment {
        Ref<NSString> title;
        Ref<UIImage> image;
        bool enabled = true;
    };
    const Segment& segment(NSUInteger index) const;
    std::vector<Segment> segments_;
    NSInteger selected_ = UISegmentedControlNoSegment;
    bool momentary_ = false;
};
