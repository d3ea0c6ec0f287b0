#include <Runtime/ClassBuilder.h>
#include <UIKit/UISegmentedControl.h>
#include <UIKit/UITouch.h>

#include <cmath>

NS_IMPLEMENT_CLASS(UISegmentedControl, UIControl) {
    b.property("selectedSegmentIndex", &UISegmentedControl::selectedSegmentIndex,
               &UISegmentedControl::setSelectedSegmentIndex);
    b.readonlyProperty("numberOfSegments", &UISegmentedControl::numberOfSegments);
    b.method("titleForSegmentAtIndex:", &UISegmentedControl::titleForSegmentAtIndex);
}

UISegmentedControl::UISegmentedControl(const Ref<NSArray>& items) {
    if (items) {
        for (const auto& item : *items) {
            Segment s;
            s.title = cast<NSString>(item);
            s.image = cast<UIImage>(item);
            segments_.push_back(s);
        }
    }
    setFrame(CGRectMake(0, 0, intrinsicContentSize().width, 29));
}

const UISegmentedControl::Segment& UISegmentedControl::segment(NSUInteger index) const {
    if (index >= segments_.size()) {
        NSException::raise(NSRangeException, "segment index " + std::to_string(index) + " beyond the " +
                                                 std::to_string(segments_.size()) + " segments");
    }
    return segments_[index];
}

void UISegmentedControl::setSelectedSegmentIndex(NSInteger index) {
    if (index != UISegmentedControlNoSegment) {
        segment(static_cast<NSUInteger>(index));
    }
    changeValueForKey("selectedSegmentIndex", [&] { selected_ = index; });
}

Ref<NSString> UISegmentedControl::titleForSegmentAtIndex(NSUInteger index) const {
    return index < segments_.size() ? segments_[index].title : nullptr;
}

void UISegmentedControl::setTitleForSegmentAtIndex(const Ref<NSString>& title, NSUInteger index) {
    segment(index);
    segments_[index].title = title;
    segments_[index].image = nullptr;
}

Ref<UIImage> UISegmentedControl::imageForSegmentAtIndex(NSUInteger index) const {
    return index < segments_.size() ? segments_[index].image : nullptr;
}

void UISegmentedControl::setImageForSegmentAtIndex(const Ref<UIImage>& image, NSUInteger index) {
    segment(index);
    segments_[index].image = image;
    segments_[index].title = nullptr;
}

void UISegmentedControl::insertSegmentWithTitleAtIndexAnimated(const Ref<NSString>& title, NSUInteger index, bool) {
    index = std::min<NSUInteger>(index, segments_.size());
    Segment s;
    s.title = title;
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(index), s);
    if (selected_ != UISegmentedControlNoSegment && static_cast<NSUInteger>(selected_) >= index) {
        ++selected_;
    }
}

void UISegmentedControl::removeSegmentAtIndexAnimated(NSUInteger index, bool) {
    if (index >= segments_.size()) {
        return;
    }
    segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(index));
    if (selected_ == static_cast<NSInteger>(index)) {
        selected_ = UISegmentedControlNoSegment;
    } else if (selected_ > static_cast<NSInteger>(index)) {
        --selected_;
    }
}

void UISegmentedControl::removeAllSegments() {
    segments_.clear();
    selected_ = UISegmentedControlNoSegment;
}

bool UISegmentedControl::isEnabledForSegmentAtIndex(NSUInteger index) const {
    return segment(index).enabled;
}

void UISegmentedControl::setEnabledForSegmentAtIndex(bool enabled, NSUInteger index) {
    segment(index);
    segments_[index].enabled = enabled;
}

CGSize UISegmentedControl::intrinsicContentSize() const {
    CGFloat widest = 0;
    for (const auto& s : segments_) {
        CGFloat w =
            s.title ? 8.0 * static_cast<double>(s.title->length()) + 20 : (s.image ? s.image->size().width + 20 : 20);
        widest = std::max(widest, w);
    }
    return CGSizeMake(widest * static_cast<double>(segments_.size()), 29);
}

void UISegmentedControl::endTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) {
    if (!isTouchInside() || segments_.empty()) {
        return;
    }
    CGFloat width = bounds().size.width / static_cast<double>(segments_.size());
    if (width <= 0) {
        return;
    }
    CGFloat x = touch->locationInView(Ref<UIView>(this)).x;
    auto index = static_cast<NSInteger>(std::floor(x / width));
    if (index < 0 || index >= static_cast<NSInteger>(segments_.size()) ||
        !segments_[static_cast<size_t>(index)].enabled) {
        return;
    }
    setSelectedSegmentIndex(index);
    sendActionsForEventsWithEvent(UIControlEventValueChanged, event);
    if (momentary_) {
        setSelectedSegmentIndex(UISegmentedControlNoSegment);
    }
}
