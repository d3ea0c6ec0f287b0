#include <Shell/DXRootTableViewCell.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(DXRootTableViewCell, UITableViewCell) {
    b.property("selectionButton", &DXRootTableViewCell::selectionButton, &DXRootTableViewCell::setSelectionButton,
               "weak");
    b.property("modelImageView", &DXRootTableViewCell::modelImageView, &DXRootTableViewCell::setModelImageView, "weak");
    b.property("title", &DXRootTableViewCell::title, &DXRootTableViewCell::setTitle, "weak");
    b.property("passImageView", &DXRootTableViewCell::passImageView, &DXRootTableViewCell::setPassImageView, "weak");
}

NS_IMPLEMENT_CLASS(DXSectionTableViewCell, UITableViewCell) {
    b.property("label", &DXSectionTableViewCell::label, &DXSectionTableViewCell::setLabel, "weak");
    b.property("selectedButton", &DXSectionTableViewCell::selectedButton, &DXSectionTableViewCell::setSelectedButton,
               "weak");
}

// The rows' layouts: built in the cells themselves, so a cell made by the table from its class has
// its outlets.
DXRootTableViewCell::DXRootTableViewCell(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
    : UITableViewCell(style, reuseIdentifier) {
    CGFloat width = UIScreen::mainScreen()->bounds().size.width;
    auto content = contentView();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(8, 13, 44, 44));
    content->addSubview(button);
    auto icon = make<UIImageView>(CGRectMake(60, 15, 40, 40));
    content->addSubview(icon);
    auto label = make<UILabel>(CGRectMake(110, 15, width - 170, 40));
    content->addSubview(label);
    auto pass = make<UIImageView>(CGRectMake(width - 50, 23, 24, 24));
    content->addSubview(pass);
    setSelectionButton(button);
    setModelImageView(icon);
    setTitle(label);
    setPassImageView(pass);
}

void DXRootTableViewCell::setupCell(const Ref<DXTestModel>& model) {
    if (!model) {
        return;
    }
    if (auto button = selectionButton()) {
        button->setImageForState(
            UIImage::imageNamed(model->selected() ? "icon_root_selected_button"_ns : "icon_root_unselect_button"_ns),
            UIControlStateNormal);
    }
    if (auto label = title()) {
        label->setText(model->title());
    }
    if (auto icon = modelImageView()) {
        icon->setImage(model->icon() ? UIImage::imageNamed(model->icon()) : nullptr);
    }
    if (auto pass = passImageView()) {
        pass->setImage(model->result() == 1   ? UIImage::imageNamed("icon_right_n"_ns)
                       : model->result() == 2 ? UIImage::imageNamed("icon_fail_n"_ns)
                                              : nullptr);
    }
}

DXSectionTableViewCell::DXSectionTableViewCell(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
    : UITableViewCell(style, reuseIdentifier) {
    // A row of the list's width and height: the section text on the left, its select button on the
    // right. The text takes what the button leaves and follows the row's width; the button keeps
    // to the right edge, wide enough for "Remove all".
    CGFloat width = UIScreen::mainScreen()->bounds().size.width;
    setFrame(CGRectMake(0, 0, width, heightOfCell()));
    constexpr CGFloat kMargin = 12, kButtonWidth = 92, kGap = 8;
    auto content = contentView();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(width - kGap - kButtonWidth, 5, kButtonWidth, 30));
    button->titleLabel()->setFont(UIFont::systemFontOfSize(15));
    button->setTitleColorForState(UIColor::blueColor(), UIControlStateNormal);
    button->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    auto text = make<UILabel>(CGRectMake(kMargin, 5, width - kMargin - kGap - kButtonWidth - kGap, 30));
    text->setFont(UIFont::boldSystemFontOfSize(13));
    text->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    content->addSubview(text);
    content->addSubview(button);
    setLabel(text);
    setSelectedButton(button);
}

void DXSectionTableViewCell::setupCell(const Ref<DXSectionModel>& section) {
    if (!section) {
        return;
    }
    if (auto text = label()) {
        text->setText(section->label());
    }
    if (auto button = selectedButton()) {
        button->setTitleForState(section->buttontitle(), UIControlStateNormal);
    }
}
