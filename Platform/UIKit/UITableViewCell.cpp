#include <Runtime/ClassBuilder.h>
#include <UIKit/UITableViewCell.h>

NS_IMPLEMENT_CLASS(UITableViewCell, UIView) {
    b.method("prepareForReuse", &UITableViewCell::prepareForReuse);
    b.method("setSelected:animated:", &UITableViewCell::setSelectedAnimated);
    b.method("setHighlighted:animated:", &UITableViewCell::setHighlightedAnimated);
    b.method("textLabel", &UITableViewCell::textLabel);
    b.method("detailTextLabel", &UITableViewCell::detailTextLabel);
    b.method("imageView", &UITableViewCell::imageView);
    b.readonlyProperty("reuseIdentifier", &UITableViewCell::reuseIdentifier);
    b.readonlyProperty("contentView", &UITableViewCell::contentView);
    b.readonlyProperty("selected", &UITableViewCell::isSelected);
    b.readonlyProperty("_separatorView", &UITableViewCell::separatorView);
    b.property("accessoryType", &UITableViewCell::accessoryType, &UITableViewCell::setAccessoryType);
    b.property("selectionStyle", &UITableViewCell::selectionStyle, &UITableViewCell::setSelectionStyle);
}

UITableViewCell::UITableViewCell(CGRect frame) : UIView(frame) {
    build();
}

UITableViewCell::UITableViewCell(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
    : UIView(CGRectMake(0, 0, 320, 44)), reuseIdentifier_(reuseIdentifier), style_(style) {
    build();
}

void UITableViewCell::build() {
    setBackgroundColor(UIColor::whiteColor());
    contentView_ = make<UIView>(bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
    separatorView_ = make<UIView>(
        CGRectMake(separatorInset_.left, bounds().size.height - 0.5, bounds().size.width - separatorInset_.left, 0.5));
    separatorView_->setBackgroundColor(defaultSeparatorColour());
    addSubview(separatorView_);
}

Ref<UIColor> UITableViewCell::defaultSeparatorColour() {
    return UIColor::colorWithWhiteAlpha(0.78, 1);
}

void UITableViewCell::setSeparatorInset(UIEdgeInsets inset) {
    separatorInset_ = inset;
    ownSeparatorInset_ = true;
    setNeedsLayout();
}

void UITableViewCell::adoptTableSeparator(bool shown, const Ref<UIColor>& colour, UIEdgeInsets inset) {
    separatorView_->setHidden(!shown);
    separatorView_->setBackgroundColor(colour ? colour : defaultSeparatorColour());
    if (!ownSeparatorInset_ && !UIEdgeInsetsEqualToEdgeInsets(separatorInset_, inset)) {
        separatorInset_ = inset;
        setNeedsLayout();
    }
}

Ref<UILabel> UITableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = make<UILabel>();
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

Ref<UILabel> UITableViewCell::detailTextLabel() {
    if (style_ == UITableViewCellStyleDefault) {
        return nullptr;
    }
    if (!detailTextLabel_) {
        detailTextLabel_ = make<UILabel>();
        detailTextLabel_->setFont(UIFont::systemFontOfSize(style_ == UITableViewCellStyleSubtitle ? 12 : 17));
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

Ref<UIImageView> UITableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = make<UIImageView>();
        contentView_->insertSubviewAtIndex(imageView_, 0);
        setNeedsLayout();
    }
    return imageView_;
}

void UITableViewCell::setBackgroundView(const Ref<UIView>& view) {
    if (backgroundView_) {
        backgroundView_->removeFromSuperview();
    }
    backgroundView_ = view;
    if (view) {
        view->setFrame(bounds());
        insertSubviewAtIndex(view, 0);
    }
}

void UITableViewCell::setAccessoryView(const Ref<UIView>& view) {
    if (accessoryView_) {
        accessoryView_->removeFromSuperview();
    }
    accessoryView_ = view;
    if (view) {
        addSubview(view);
    }
    setNeedsLayout();
}

void UITableViewCell::setSelectedAnimated(bool selected, bool) {
    changeValueForKey("selected", [&] { selected_ = selected; });
    if (textLabel_) {
        textLabel_->setHighlighted(selected || highlighted_);
    }
}

void UITableViewCell::setHighlightedAnimated(bool highlighted, bool) {
    changeValueForKey("highlighted", [&] { highlighted_ = highlighted; });
    if (textLabel_) {
        textLabel_->setHighlighted(selected_ || highlighted);
    }
}

void UITableViewCell::prepareForReuse() {}

void UITableViewCell::layoutSubviews() {
    CGRect b = bounds();
    CGFloat accessoryWidth = accessoryView_ ? accessoryView_->frame().size.width + 15
                                            : (accessoryType_ != UITableViewCellAccessoryNone ? 33 : 0);
    contentView_->setFrame(CGRectMake(0, 0, b.size.width - accessoryWidth, b.size.height));
    if (accessoryView_) {
        CGSize a = accessoryView_->frame().size;
        accessoryView_->setFrame(
            CGRectMake(b.size.width - a.width - 15, (b.size.height - a.height) / 2, a.width, a.height));
    }
    CGRect content = contentView_->bounds();
    CGFloat x = 15;
    if (imageView_ && imageView_->image()) {
        CGSize i = imageView_->image()->size();
        imageView_->setFrame(CGRectMake(x, (content.size.height - i.height) / 2, i.width, i.height));
        x += i.width + 15;
    }
    CGFloat width = std::max(0.0, content.size.width - x - 15);
    if (textLabel_ && detailTextLabel_ && style_ == UITableViewCellStyleSubtitle) {
        textLabel_->setFrame(CGRectMake(x, 4, width, content.size.height / 2 - 4));
        detailTextLabel_->setFrame(CGRectMake(x, content.size.height / 2, width, content.size.height / 2 - 4));
    } else {
        if (textLabel_) {
            textLabel_->setFrame(CGRectMake(x, 0, width, content.size.height));
        }
        if (detailTextLabel_) {
            CGSize d = detailTextLabel_->sizeThatFits(CGSizeZero);
            detailTextLabel_->setFrame(CGRectMake(content.size.width - 15 - d.width, 0, d.width, content.size.height));
        }
    }
    separatorView_->setFrame(CGRectMake(separatorInset_.left, b.size.height - 0.5,
                                        std::max(0.0, b.size.width - separatorInset_.left - separatorInset_.right),
                                        0.5));
}

Ref<NSString> UITableViewCell::description() const {
    CGRect f = frame();
    return NSString::stringWithFormat("<%s: %p; frame = (%g %g; %g %g); text = '%@'>", getClass()->name(),
                                      static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                                      f.size.height, textLabel_ ? textLabel_->text() : nullptr);
}
