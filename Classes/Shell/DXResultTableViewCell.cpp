#include <Shell/DXResultTableViewCell.h>

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(DXResultTableViewCell, UITableViewCell) {
    b.property("modelImageView", &DXResultTableViewCell::modelImageView, &DXResultTableViewCell::setModelImageView,
               "weak");
    b.property("title", &DXResultTableViewCell::title, &DXResultTableViewCell::setTitle, "weak");
    b.property("passImageView", &DXResultTableViewCell::passImageView, &DXResultTableViewCell::setPassImageView,
               "weak");
}

namespace {

const char* const kIdentifier = "DXResultTableViewCell";

const bool nibRegistered = [] {
    UINib::registerNibNamed(kIdentifier, [](const id&) -> Ref<NSArray> {
        CGFloat width = UIScreen::mainScreen()->bounds().size.width;
        CGFloat height = DXResultTableViewCell::heightOfCell();
        auto cell = make<DXResultTableViewCell>(UITableViewCellStyleDefault, NSString::from(kIdentifier));
        cell->setFrame(CGRectMake(0, 0, width, height));
        auto content = cell->contentView();
        auto icon = make<UIImageView>(CGRectMake(15, 10, 50, 50));
        auto title = make<UILabel>(CGRectMake(80, 0, width - 80 - 60, height));
        title->setFont(UIFont::systemFontOfSize(17));
        title->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        auto mark = make<UIImageView>(CGRectMake(width - 15 - 30, 20, 30, 30));
        mark->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
        content->addSubview(icon);
        content->addSubview(title);
        content->addSubview(mark);
        cell->setModelImageView(icon);
        cell->setTitle(title);
        cell->setPassImageView(mark);
        return NSArray::arrayWithObjects({cell});
    });
    return true;
}();

} // namespace

Ref<UINib> DXResultTableViewCell::nib() {
    (void)nibRegistered;
    return UINib::nibWithNibNameBundle(NSString::from(kIdentifier), nullptr);
}

void DXResultTableViewCell::setupCell(const Ref<DXTestModel>& model) {
    if (!model) {
        return;
    }
    if (auto label = title()) {
        label->setText(model->title() ? DXLocalizedString(model->title()) : nullptr);
    }
    if (auto icon = modelImageView()) {
        icon->setImage(model->icon() ? UIImage::imageNamed(model->icon()) : nullptr);
    }
    if (auto mark = passImageView()) {
        switch (model->result()) {
        case DXTestResultPass:
            mark->setImage(UIImage::imageNamed("icon_right_n"_ns));
            break;
        case DXTestResultFail:
            mark->setImage(UIImage::imageNamed("icon_fail_n"_ns));
            break;
        default:
            mark->setImage(nullptr);
            break;
        }
    }
}
