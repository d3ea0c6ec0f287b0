// UITableViewHeaderFooterView: a reusable section header or footer of a table.
#pragma once

#include <UIKit/UILabel.h>

class UITableViewHeaderFooterView : public UIView {
    NS_OBJECT(UITableViewHeaderFooterView, UIView)
public:
    UITableViewHeaderFooterView() : UITableViewHeaderFooterView(nullptr) {}
    // `initWithReuseIdentifier:`.
    explicit UITableViewHeaderFooterView(const Ref<NSString>& reuseIdentifier);

    Ref<NSString> reuseIdentifier() const { return reuseIdentifier_; }
    Ref<UIView> contentView() const { return contentView_; }
    Ref<UILabel> textLabel();
    Ref<UILabel> detailTextLabel();
    virtual void prepareForReuse() {}
    void layoutSubviews() override;

private:
    Ref<NSString> reuseIdentifier_;
    Ref<UIView> contentView_;
    Ref<UILabel> textLabel_;
    Ref<UILabel> detailTextLabel_;
};
