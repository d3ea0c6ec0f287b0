// UIColor: a colour in extended sRGB components (red, green, blue, alpha), made from components,
// a grey level or one of the platform's named colours.
#pragma once

#include <CoreGraphics/CGColor.h>

class UIColor : public NSObject {
    NS_OBJECT(UIColor, NSObject)
public:
    UIColor() = default;
    // `initWithRed:green:blue:alpha:`.
    UIColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);

    static Ref<UIColor> colorWithRedGreenBlueAlpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    static Ref<UIColor> colorWithWhiteAlpha(CGFloat white, CGFloat alpha);
    static Ref<UIColor> colorWithCGColor(const CGColorRef& color);

    static Ref<UIColor> blackColor();
    static Ref<UIColor> darkGrayColor();
    static Ref<UIColor> lightGrayColor();
    static Ref<UIColor> whiteColor();
    static Ref<UIColor> grayColor();
    static Ref<UIColor> redColor();
    static Ref<UIColor> greenColor();
    static Ref<UIColor> blueColor();
    static Ref<UIColor> cyanColor();
    static Ref<UIColor> yellowColor();
    static Ref<UIColor> magentaColor();
    static Ref<UIColor> orangeColor();
    static Ref<UIColor> purpleColor();
    static Ref<UIColor> brownColor();
    static Ref<UIColor> clearColor();
    static Ref<UIColor> groupTableViewBackgroundColor();
    // The system's blue: the tint of controls that set none.
    static Ref<UIColor> systemBlueColor();

    Ref<UIColor> colorWithAlphaComponent(CGFloat alpha) const;
    // False never happens here (every colour has RGB components); kept for the platform's signature.
    bool getRedGreenBlueAlpha(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const;
    // True only for colours made as grey levels, as on the platform.
    bool getWhiteAlpha(CGFloat* white, CGFloat* alpha) const;
    CGColorRef CGColor() const;
    // Make the colour the current context's fill and stroke colour (set), or one of them.
    void set() const;
    void setFill() const;
    void setStroke() const;

    CGFloat red() const noexcept { return r_; }
    CGFloat green() const noexcept { return g_; }
    CGFloat blue() const noexcept { return b_; }
    CGFloat alpha() const noexcept { return a_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    CGFloat r_ = 0, g_ = 0, b_ = 0, a_ = 0;
    bool grey_ = false;
};
