#include <Core/NormalTableViewCell.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UIFont.h>
#include <UIKit/UINib.h>

NS_IMPLEMENT_CLASS(NormalTableViewCell, UITableViewCell) {
    b.property("fieldName", &NormalTableViewCell::fieldName, &NormalTableViewCell::setFieldName, "weak");
    b.property("fieldValue", &NormalTableViewCell::fieldValue, &NormalTableViewCell::setFieldValue, "weak");
}

namespace {

const bool nibRegistered = [] {
    UINib::registerNibNamed("NormalTableViewCell", [](const id&) -> Ref<NSArray> {
        auto cell = make<NormalTableViewCell>(UITableViewCellStyleDefault, NSString::from("NormalTableViewCell"));
        cell->setFrame(CGRectMake(0, 0, 320, 44));
        auto content = cell->contentView();
        auto name = make<UILabel>(CGRectMake(15, 0, 140, 44));
        name->setFont(UIFont::systemFontOfSize(15));
        name->setAutoresizingMask(UIViewAutoresizingFlexibleRightMargin);
        auto value = make<UILabel>(CGRectMake(160, 0, 145, 44));
        value->setFont(UIFont::systemFontOfSize(15));
        value->setTextAlignment(NSTextAlignmentRight);
        value->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        content->addSubview(name);
        content->addSubview(value);
        cell->setFieldName(name);
        cell->setFieldValue(value);
        return NSArray::arrayWithObjects({cell});
    });
    return true;
}();

} // namespace

Ref<UINib> NormalTableViewCell::nib() {
    (void)nibRegistered;
    return UINib::nibWithNibNameBundle(NSString::from("NormalTableViewCell"), nullptr);
}

void NormalTableViewCell::setValueColor(const Ref<UIColor>& color) {
    valueColor_ = color;
    if (auto label = fieldValue()) {
        label->setTextColor(color);
    }
}
