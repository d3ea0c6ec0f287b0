#include <Runtime/ClassBuilder.h>
#include <UIKit/UITableViewHeaderFooterView.h>

NS_IMPLEMENT_CLASS(UITableViewHeaderFooterView, UIView) {
    b.method("prepareForReuse", &UITableViewHeaderFooterView::prepareForReuse);
    b.method("textLabel", &UITableViewHeaderFooterView::textLabel);
    b.readonlyProperty("reuseIdentifier", &UITableViewHeaderFooterView::reuseIdentifier);
}

UITableViewHeaderFooterView::UITableViewHeaderFooterView(const Ref<NSString>& reuseIdentifier)
    : UIView(CGRectMake(0, 0, 320, 28)), reuseIdentifier_(reuseIdentifier), contentView_(make<UIView>(bounds())) {
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

Ref<UILabel> UITableViewHeaderFooterView::textLabel() {
    if (!textLabel_) {
        textLabel_ = make<UILabel>();
        textLabel_->setFont(UIFont::systemFontOfSize(13));
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

Ref<UILabel> UITableViewHeaderFooterView::detailTextLabel() {
    if (!detailTextLabel_) {
        detailTextLabel_ = make<UILabel>();
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

void UITableViewHeaderFooterView::layoutSubviews() {
    CGRect b = bounds();
    contentView_->setFrame(b);
    if (textLabel_) {
        textLabel_->setFrame(CGRectMake(15, 0, std::max(0.0, b.size.width - 30), b.size.height));
    }
}
