// UIButton: a control with a title, an image and a background image per control state. The title
// label and image view show what the current state has (falling back to the normal state).
#pragma once

#include <UIKit/UIControl.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

#include <map>

enum UIButtonType : NSInteger {
    UIButtonTypeCustom = 0,
    UIButtonTypeSystem = 1,
    UIButtonTypeDetailDisclosure = 2,
    UIButtonTypeInfoLight = 3,
    UIButtonTypeInfoDark = 4,
    UIButtonTypeContactAdd = 5,
    UIButtonTypeRoundedRect = UIButtonTypeSystem,
};

class UIButton : public UIControl {
    NS_OBJECT(UIButton, UIControl)
public:
    // `init` and `initWithFrame:` make a custom button.
    UIButton();
    explicit UIButton(CGRect frame);
    UIButton(UIButtonType type, CGRect frame);
    static Ref<UIButton> buttonWithType(UIButtonType type);

    UIButtonType buttonType() const noexcept { return type_; }

    void setTitleForState(const Ref<NSString>& title, UIControlState state);
    Ref<NSString> titleForState(UIControlState state) const;
    Ref<NSString> currentTitle() const { return titleForState(state()); }
    void setTitleColorForState(const Ref<UIColor>& color, UIControlState state);
    Ref<UIColor> titleColorForState(UIControlState state) const;
    Ref<UIColor> currentTitleColor() const { return titleColorForState(state()); }
    void setImageForState(const Ref<UIImage>& image, UIControlState state);
    Ref<UIImage> imageForState(UIControlState state) const;
    Ref<UIImage> currentImage() const { return imageForState(state()); }
    void setBackgroundImageForState(const Ref<UIImage>& image, UIControlState state);
    Ref<UIImage> backgroundImageForState(UIControlState state) const;
    Ref<UIImage> currentBackgroundImage() const { return backgroundImageForState(state()); }

    Ref<UILabel> titleLabel();
    Ref<UIImageView> imageView();
    UIEdgeInsets contentEdgeInsets() const noexcept { return contentEdgeInsets_; }
    void setContentEdgeInsets(UIEdgeInsets insets);
    UIEdgeInsets titleEdgeInsets() const noexcept { return titleEdgeInsets_; }
    void setTitleEdgeInsets(UIEdgeInsets insets);
    UIEdgeInsets imageEdgeInsets() const noexcept { return imageEdgeInsets_; }
    void setImageEdgeInsets(UIEdgeInsets insets);
    bool adjustsImageWhenHighlighted() const noexcept { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool adjusts) { adjustsImageWhenHighlighted_ = adjusts; }
    bool showsTouchWhenHighlighted() const noexcept { return showsTouchWhenHighlighted_; }
    void setShowsTouchWhenHighlighted(bool shows) { showsTouchWhenHighlighted_ = shows; }

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    Ref<NSString> description() const override;

protected:
    void stateDidChange() override;

private:
    template <class T>
    static Ref<T> lookup(const std::map<UIControlState, Ref<T>>& map, UIControlState state);
    void refresh();
    UIButtonType type_ = UIButtonTypeCustom;
    std::map<UIControlState, Ref<NSString>> titles_;
    std::map<UIControlState, Ref<UIColor>> titleColors_;
    std::map<UIControlState, Ref<UIImage>> images_;
    std::map<UIControlState, Ref<UIImage>> backgrounds_;
    Ref<UILabel> titleLabel_;
    Ref<UIImageView> imageView_;
    UIEdgeInsets contentEdgeInsets_{};
    UIEdgeInsets titleEdgeInsets_{};
    UIEdgeInsets imageEdgeInsets_{};
    bool adjustsImageWhenHighlighted_ = true;
    bool showsTouchWhenHighlighted_ = false;
};
