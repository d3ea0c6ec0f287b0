// NSLayoutConstraint: one linear relation between two layout attributes,
//     firstItem.firstAttribute  relation  multiplier * secondItem.secondAttribute + constant,
// with a priority, held by the view it is installed on. Items are views or layout guides. The
// visual format language is parsed into constraints the way the platform does (standard spacing 8
// between siblings and 20 to the superview's edge; leading and trailing by default).
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>

class UIView;

enum NSLayoutAttribute : NSInteger {
    NSLayoutAttributeNotAnAttribute = 0,
    NSLayoutAttributeLeft = 1,
    NSLayoutAttributeRight = 2,
    NSLayoutAttributeTop = 3,
    NSLayoutAttributeBottom = 4,
    NSLayoutAttributeLeading = 5,
    NSLayoutAttributeTrailing = 6,
    NSLayoutAttributeWidth = 7,
    NSLayoutAttributeHeight = 8,
    NSLayoutAttributeCenterX = 9,
    NSLayoutAttributeCenterY = 10,
    NSLayoutAttributeLastBaseline = 11,
    NSLayoutAttributeBaseline = 11,
    NSLayoutAttributeFirstBaseline = 12,
    NSLayoutAttributeLeftMargin = 13,
    NSLayoutAttributeRightMargin = 14,
    NSLayoutAttributeTopMargin = 15,
    NSLayoutAttributeBottomMargin = 16,
    NSLayoutAttributeLeadingMargin = 17,
    NSLayoutAttributeTrailingMargin = 18,
    NSLayoutAttributeCenterXWithinMargins = 19,
    NSLayoutAttributeCenterYWithinMargins = 20,
};

enum NSLayoutRelation : NSInteger {
    NSLayoutRelationLessThanOrEqual = -1,
    NSLayoutRelationEqual = 0,
    NSLayoutRelationGreaterThanOrEqual = 1,
};

using NSLayoutFormatOptions = NSUInteger;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllLeft = 1 << NSLayoutAttributeLeft;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllRight = 1 << NSLayoutAttributeRight;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllTop = 1 << NSLayoutAttributeTop;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllBottom = 1 << NSLayoutAttributeBottom;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllLeading = 1 << NSLayoutAttributeLeading;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllTrailing = 1 << NSLayoutAttributeTrailing;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllCenterX = 1 << NSLayoutAttributeCenterX;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllCenterY = 1 << NSLayoutAttributeCenterY;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllBaseline = 1 << NSLayoutAttributeBaseline;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignmentMask = 0xFFFF;
inline constexpr NSLayoutFormatOptions NSLayoutFormatDirectionLeadingToTrailing = 0 << 16;
inline constexpr NSLayoutFormatOptions NSLayoutFormatDirectionLeftToRight = 1 << 16;
inline constexpr NSLayoutFormatOptions NSLayoutFormatDirectionRightToLeft = 2 << 16;
inline constexpr NSLayoutFormatOptions NSLayoutFormatDirectionMask = 0x3 << 16;

class NSLayoutConstraint : public NSObject {
    NS_OBJECT(NSLayoutConstraint, NSObject)
public:
    NSLayoutConstraint() = default;
    // Raises NSInvalidArgumentException for a nil first item, a missing attribute, a second
    // attribute without a second item, a location attribute paired with a size attribute, a
    // location made equal to a constant (no second item, or a multiplier of 0), or a multiplier or
    // constant that is not finite.
    NSLayoutConstraint(const id& firstItem, NSLayoutAttribute firstAttribute, NSLayoutRelation relation,
                       const id& secondItem, NSLayoutAttribute secondAttribute, CGFloat multiplier, CGFloat constant);

    static Ref<NSLayoutConstraint> constraintWithItemAttributeRelatedByToItemAttributeMultiplierConstant(
        const id& view1, NSLayoutAttribute attr1, NSLayoutRelation relation, const id& view2, NSLayoutAttribute attr2,
        CGFloat multiplier, CGFloat constant);
    // Raises NSInvalidArgumentException ("Unable to parse constraint format") for a format it
    // cannot read, an unknown view or metric name, or a superview bar where the views have none.
    static Ref<NSArray> constraintsWithVisualFormatOptionsMetricsViews(const Ref<NSString>& format,
                                                                       NSLayoutFormatOptions options,
                                                                       const Ref<NSDictionary>& metrics,
                                                                       const Ref<NSDictionary>& views);
    static void activateConstraints(const Ref<NSArray>& constraints);
    static void deactivateConstraints(const Ref<NSArray>& constraints);

    id firstItem() const { return firstItem_.lock(); }
    NSLayoutAttribute firstAttribute() const noexcept { return firstAttribute_; }
    NSLayoutRelation relation() const noexcept { return relation_; }
    id secondItem() const { return secondItem_.lock(); }
    NSLayoutAttribute secondAttribute() const noexcept { return secondAttribute_; }
    CGFloat multiplier() const noexcept { return multiplier_; }
    CGFloat constant() const noexcept { return constant_; }
    // Raises NSInvalidArgumentException for a constant that is not finite.
    void setConstant(CGFloat constant);
    float priority() const noexcept { return priority_; }
    // Raises NSInternalInconsistencyException when a required constraint that is installed is made
    // optional (or the reverse), as the platform does.
    void setPriority(float priority);
    Ref<NSString> identifier() const { return identifier_; }
    void setIdentifier(const Ref<NSString>& identifier) { identifier_ = identifier; }

    // Active means installed on a view. Activating installs it on the closest common ancestor of
    // its items (raising when there is none); deactivating removes it.
    bool isActive() const;
    void setActive(bool active);
    Ref<UIView> installedView() const;
    void setInstalledView(const Ref<UIView>& view);

    Ref<NSString> description() const override;

private:
    Weak<NSObject> firstItem_;
    NSLayoutAttribute firstAttribute_ = NSLayoutAttributeNotAnAttribute;
    NSLayoutRelation relation_ = NSLayoutRelationEqual;
    Weak<NSObject> secondItem_;
    NSLayoutAttribute secondAttribute_ = NSLayoutAttributeNotAnAttribute;
    CGFloat multiplier_ = 1;
    CGFloat constant_ = 0;
    float priority_ = 1000;
    Ref<NSString> identifier_;
    Weak<UIView> installedView_;
};

const char* NSLayoutAttributeName(NSLayoutAttribute attribute);
