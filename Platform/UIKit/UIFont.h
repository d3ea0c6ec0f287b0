// UIFont: a font name and a point size, drawn and measured through pango (see UIKitText.h for how
// names find their faces: the system font is DejaVu Sans, unknown names fall back).
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSString.h>

using UIFontWeight = CGFloat;
inline constexpr UIFontWeight UIFontWeightUltraLight = -0.8;
inline constexpr UIFontWeight UIFontWeightThin = -0.6;
inline constexpr UIFontWeight UIFontWeightLight = -0.4;
inline constexpr UIFontWeight UIFontWeightRegular = 0;
inline constexpr UIFontWeight UIFontWeightMedium = 0.23;
inline constexpr UIFontWeight UIFontWeightSemibold = 0.3;
inline constexpr UIFontWeight UIFontWeightBold = 0.4;
inline constexpr UIFontWeight UIFontWeightHeavy = 0.56;
inline constexpr UIFontWeight UIFontWeightBlack = 0.62;

// The text styles of Dynamic Type (at the default content size).
const Ref<NSString>& UIFontTextStyleLargeTitle();
const Ref<NSString>& UIFontTextStyleTitle1();
const Ref<NSString>& UIFontTextStyleTitle2();
const Ref<NSString>& UIFontTextStyleTitle3();
const Ref<NSString>& UIFontTextStyleHeadline();
const Ref<NSString>& UIFontTextStyleSubheadline();
const Ref<NSString>& UIFontTextStyleBody();
const Ref<NSString>& UIFontTextStyleCallout();
const Ref<NSString>& UIFontTextStyleFootnote();
const Ref<NSString>& UIFontTextStyleCaption1();
const Ref<NSString>& UIFontTextStyleCaption2();

class UIFont : public NSObject {
    NS_OBJECT(UIFont, NSObject)
public:
    UIFont() = default;
    UIFont(Ref<NSString> name, CGFloat size, UIFontWeight weight = UIFontWeightRegular);

    // nil for an empty name or a size below 0, as the platform answers for an unknown font.
    static Ref<UIFont> fontWithNameSize(const Ref<NSString>& fontName, CGFloat fontSize);
    static Ref<UIFont> systemFontOfSize(CGFloat fontSize);
    static Ref<UIFont> boldSystemFontOfSize(CGFloat fontSize);
    static Ref<UIFont> italicSystemFontOfSize(CGFloat fontSize);
    static Ref<UIFont> systemFontOfSizeWeight(CGFloat fontSize, UIFontWeight weight);
    // The system font of a text style at the default content size (body 17, subheadline 15, ...);
    // an unknown style gives the body font.
    static Ref<UIFont> preferredFontForTextStyle(const Ref<NSString>& style);
    static CGFloat systemFontSize() { return 14; }
    static CGFloat labelFontSize() { return 17; }
    static CGFloat buttonFontSize() { return 18; }

    Ref<UIFont> fontWithSize(CGFloat fontSize) const;
    Ref<NSString> fontName() const { return name_; }
    Ref<NSString> familyName() const;
    CGFloat pointSize() const noexcept { return size_; }
    UIFontWeight weight() const noexcept { return weight_; }
    bool isBold() const noexcept { return weight_ >= UIFontWeightSemibold; }
    // Metrics of the face that draws the font.
    CGFloat lineHeight() const;
    CGFloat ascender() const;
    // Negative: the depth below the baseline.
    CGFloat descender() const;
    CGFloat capHeight() const;
    CGFloat xHeight() const;
    CGFloat leading() const { return 0; }

    // The size of a text drawn on its own lines (wrapped at word boundaries to `width` when it is
    // above 0).
    CGSize sizeOfText(const Ref<NSString>& text, CGFloat width = 0) const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSString> name_;
    CGFloat size_ = 0;
    UIFontWeight weight_ = UIFontWeightRegular;
};
