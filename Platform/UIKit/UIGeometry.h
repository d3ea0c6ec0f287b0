// The user-interface framework's geometry: edge insets, offsets and the string forms of points,
// sizes and rectangles ("{x, y}", "{w, h}", "{{x, y}, {w, h}}").
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <Foundation/NSString.h>

struct UIEdgeInsets {
    CGFloat top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};

struct UIOffset {
    CGFloat horizontal = 0, vertical = 0;
    bool operator==(const UIOffset&) const = default;
};

template <>
struct NSObjCType<UIEdgeInsets> {
    static std::string encoding() { return "{UIEdgeInsets=dddd}"; }
};
template <>
struct NSObjCType<UIOffset> {
    static std::string encoding() { return "{UIOffset=dd}"; }
};

inline constexpr UIEdgeInsets UIEdgeInsetsZero{};
inline constexpr UIOffset UIOffsetZero{};

inline UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) {
    return {top, left, bottom, right};
}
inline UIOffset UIOffsetMake(CGFloat horizontal, CGFloat vertical) {
    return {horizontal, vertical};
}
inline bool UIEdgeInsetsEqualToEdgeInsets(UIEdgeInsets a, UIEdgeInsets b) {
    return a == b;
}
inline CGRect UIEdgeInsetsInsetRect(CGRect rect, UIEdgeInsets insets) {
    return CGRectMake(rect.origin.x + insets.left, rect.origin.y + insets.top,
                      rect.size.width - insets.left - insets.right, rect.size.height - insets.top - insets.bottom);
}

Ref<NSString> NSStringFromCGPoint(CGPoint point);
Ref<NSString> NSStringFromCGSize(CGSize size);
Ref<NSString> NSStringFromCGRect(CGRect rect);
Ref<NSString> NSStringFromCGAffineTransform(CGAffineTransform transform);
Ref<NSString> NSStringFromUIEdgeInsets(UIEdgeInsets insets);
// The platform's readers: numbers in braces, in order; anything missing or malformed reads as 0.
CGPoint CGPointFromString(const Ref<NSString>& string);
CGSize CGSizeFromString(const Ref<NSString>& string);
CGRect CGRectFromString(const Ref<NSString>& string);
