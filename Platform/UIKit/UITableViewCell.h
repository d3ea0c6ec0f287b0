// UITableViewCell: one row of a table: a content view with a text label, a detail label and an
// image view (made on first use), an accessory, and the selected and highlighted states.
// prepareForReuse is sent by selector when the table hands a reused cell out again.
#pragma once

#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

enum UITableViewCellStyle : NSInteger {
    UITableViewCellStyleDefault = 0,
    UITableViewCellStyleValue1 = 1,
    UITableViewCellStyleValue2 = 2,
    UITableViewCellStyleSubtitle = 3,
};

enum UITableViewCellSelectionStyle : NSInteger {
    UITableViewCellSelectionStyleNone = 0,
    UITableViewCellSelectionStyleBlue = 1,
    UITableViewCellSelectionStyleGray = 2,
    UITableViewCellSelectionStyleDefault = 3,
};

enum UITableViewCellAccessoryType : NSInteger {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
    UITableViewCellAccessoryDetailButton = 4,
};

class UITableViewCell : public UIView {
    NS_OBJECT(UITableViewCell, UIView)
public:
    UITableViewCell() : UITableViewCell(UITableViewCellStyleDefault, nullptr) {}
    explicit UITableViewCell(CGRect frame);
    // `initWithStyle:reuseIdentifier:`.
    UITableViewCell(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier);

    Ref<NSString> reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(const Ref<NSString>& identifier) { reuseIdentifier_ = identifier; }
    UITableViewCellStyle style() const noexcept { return style_; }
    Ref<UIView> contentView() const { return contentView_; }
    Ref<UILabel> textLabel();
    Ref<UILabel> detailTextLabel();
    Ref<UIImageView> imageView();
    Ref<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const Ref<UIView>& view);
    Ref<UIView> selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(const Ref<UIView>& view) { selectedBackgroundView_ = view; }
    UITableViewCellAccessoryType accessoryType() const noexcept { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type) { accessoryType_ = type; }
    Ref<UIView> accessoryView() const { return accessoryView_; }
    void setAccessoryView(const Ref<UIView>& view);
    UITableViewCellSelectionStyle selectionStyle() const noexcept { return selectionStyle_; }
    void setSelectionStyle(UITableViewCellSelectionStyle style) { selectionStyle_ = style; }
    UIEdgeInsets separatorInset() const noexcept { return separatorInset_; }
    // A cell's own inset; until it sets one, the cell takes its table's.
    void setSeparatorInset(UIEdgeInsets inset);
    // The separator line (the platform's private "_separatorView").
    Ref<UIView> separatorView() const { return separatorView_; }
    // The table's separator settings, given to each cell it places: the style (none hides the
    // line), the colour (nil: the platform's light grey) and the inset (unless the cell set its own).
    void adoptTableSeparator(bool shown, const Ref<UIColor>& colour, UIEdgeInsets inset);

    bool isSelected() const noexcept { return selected_; }
    void setSelected(bool selected) { setSelectedAnimated(selected, false); }
    virtual void setSelectedAnimated(bool selected, bool animated);
    bool isHighlighted() const noexcept { return highlighted_; }
    void setHighlighted(bool highlighted) { setHighlightedAnimated(highlighted, false); }
    virtual void setHighlightedAnimated(bool highlighted, bool animated);

    virtual void prepareForReuse();
    void layoutSubviews() override;
    Ref<NSString> description() const override;

private:
    static Ref<UIColor> defaultSeparatorColour();
    void build();
    Ref<NSString> reuseIdentifier_;
    UITableViewCellStyle style_ = UITableViewCellStyleDefault;
    Ref<UIView> contentView_;
    Ref<UILabel> textLabel_;
    Ref<UILabel> detailTextLabel_;
    Ref<UIImageView> imageView_;
    Ref<UIView> backgroundView_;
    Ref<UIView> selectedBackgroundView_;
    Ref<UIView> accessoryView_;
    Ref<UIView> separatorView_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
    UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleDefault;
    UIEdgeInsets separatorInset_{0, 15, 0, 0};
    bool ownSeparatorInset_ = false;
    bool selected_ = false;
    bool highlighted_ = false;
};
