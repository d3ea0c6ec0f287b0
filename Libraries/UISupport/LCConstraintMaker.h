// LCConstraintMaker: collects the constraints that one layout block describes for a view, then
// installs them (see UIView+LCAdditions.h for the entry points).
#pragma once

#include <UISupport/LCConstraint.h>

#include <UIKit/UIView.h>

#include <vector>

class LCConstraintMaker : public NSObject, public LCConstraintDelegate {
    NS_OBJECT(LCConstraintMaker, NSObject)
public:
    LCConstraintMaker() = default;
    // `initWithView:`.
    explicit LCConstraintMaker(const Ref<UIView>& view);

    Ref<UIView> view() const { return view_.lock(); }
    // The top-level constraints described so far, in order.
    const std::vector<Ref<LCConstraint>>& constraints() const noexcept { return constraints_; }
    bool updateExisting() const noexcept { return updateExisting_; }
    void setUpdateExisting(bool update) { updateExisting_ = update; }
    bool removeExisting() const noexcept { return removeExisting_; }
    void setRemoveExisting(bool remove) { removeExisting_ = remove; }

    // Each starts a new constraint on the attribute.
    Ref<LCConstraint> left();
    Ref<LCConstraint> top();
    Ref<LCConstraint> right();
    Ref<LCConstraint> bottom();
    Ref<LCConstraint> leading();
    Ref<LCConstraint> trailing();
    Ref<LCConstraint> width();
    Ref<LCConstraint> height();
    Ref<LCConstraint> centerX();
    Ref<LCConstraint> centerY();
    Ref<LCConstraint> baseline();
    // Composites: left, right, top and bottom; width and height; centre X and Y.
    Ref<LCConstraint> edges();
    Ref<LCConstraint> size();
    Ref<LCConstraint> center();
    // A composite over an attribute mask (bit 1 << attribute).
    std::function<Ref<LCConstraint>(NSInteger mask)> attributes();
    // A composite of every constraint that the inner block adds.
    std::function<Ref<LCConstraint>(std::function<void()>)> group();

    // Installs the constraints and answers them; the list is emptied.
    Ref<NSArray> install();

    void constraintShouldBeReplacedWithConstraint(const Ref<LCConstraint>& constraint,
                                                  const Ref<LCConstraint>& replacement) override;
    Ref<LCConstraint> constraintAddConstraintWithLayoutAttribute(const Ref<LCConstraint>& constraint,
                                                                 NSLayoutAttribute layoutAttribute) override;

    // `addConstraintWithAttributes:`.
    Ref<LCConstraint> addConstraintWithAttributes(NSInteger mask);

private:
    Weak<UIView> view_;
    std::vector<Ref<LCConstraint>> constraints_;
    bool updateExisting_ = false;
    bool removeExisting_ = false;
};

// Attribute masks.
inline constexpr NSInteger LCAttributeLeft = 1 << NSLayoutAttributeLeft;
inline constexpr NSInteger LCAttributeRight = 1 << NSLayoutAttributeRight;
inline constexpr NSInteger LCAttributeTop = 1 << NSLayoutAttributeTop;
inline constexpr NSInteger LCAttributeBottom = 1 << NSLayoutAttributeBottom;
inline constexpr NSInteger LCAttributeLeading = 1 << NSLayoutAttributeLeading;
inline constexpr NSInteger LCAttributeTrailing = 1 << NSLayoutAttributeTrailing;
inline constexpr NSInteger LCAttributeWidth = 1 << NSLayoutAttributeWidth;
inline constexpr NSInteger LCAttributeHeight = 1 << NSLayoutAttributeHeight;
inline constexpr NSInteger LCAttributeCenterX = 1 << NSLayoutAttributeCenterX;
inline constexpr NSInteger LCAttributeCenterY = 1 << NSLayoutAttributeCenterY;
inline constexpr NSInteger LCAttributeBaseline = 1 << NSLayoutAttributeBaseline;

using LCMakerBlock = std::function<void(const Ref<LCConstraintMaker>& make)>;
