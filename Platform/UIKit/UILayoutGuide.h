// UILayoutGuide: a rectangle that takes part in layout without being a view: the safe area and the
// margins of a view, a controller's top and bottom layout guides, or a guide of the application's.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSString.h>

class UIView;

class UILayoutGuide : public NSObject {
    NS_OBJECT(UILayoutGuide, NSObject)
public:
    enum class Kind { Plain, SafeArea, Margins, TopLayoutSupport, BottomLayoutSupport };

    UILayoutGuide() = default;
    explicit UILayoutGuide(Kind kind) : kind_(kind) {}

    Kind kind() const noexcept { return kind_; }
    Ref<UIView> owningView() const;
    void setOwningView(const Ref<UIView>& view);
    Ref<NSString> identifier() const { return identifier_; }
    void setIdentifier(const Ref<NSString>& identifier) { identifier_ = identifier; }

    // The rectangle in the owning view's coordinates: derived for the safe area, the margins and
    // the layout supports; whatever layout gave it for a plain guide.
    CGRect layoutFrame() const;
    void setLayoutFrame(CGRect frame) { frame_ = frame; }
    // For the layout supports: the length of the bar area they stand for (the status bar and the
    // navigation bar above, the tab bar below).
    CGFloat length() const noexcept { return length_; }
    void setLength(CGFloat length) { length_ = length; }

    Ref<NSString> description() const override;

private:
    Kind kind_ = Kind::Plain;
    Weak<UIView> owningView_;
    Ref<NSString> identifier_;
    CGRect frame_{};
    CGFloat length_ = 0;
};
