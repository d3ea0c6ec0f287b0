#include <Core/WLSheetModel.h>

#include <Foundation/NSDictionary.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIScreen.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(WLSheetModel, NSObject) {
    b.property("title", &WLSheetModel::title, &WLSheetModel::setTitle, "copy");
    b.property("height", &WLSheetModel::height, &WLSheetModel::setHeight);
}

Ref<WLSheetModel> WLSheetModel::modelWithTitleFont(const Ref<NSString>& title, const Ref<UIFont>& font) {
    auto model = make<WLSheetModel>();
    model->setTitle(title ? cast<NSString>(title->copy()) : nullptr);
    model->setHeight(model->heightForFont(font));
    return model;
}

double WLSheetModel::heightForFont(const Ref<UIFont>& font) const {
    CGFloat width = UIScreen::mainScreen()->bounds().size.width - 30;
    auto attributes = NSDictionary::dictionaryWithEntries(
        {{NSFontAttributeName(), font ? id(font) : id(UIFont::systemFontOfSize(12))}});
    CGRect rect = boundingRectWithSizeOptionsAttributesContext(
        title_ ? title_ : NSString::string(), CGSizeMake(width, 0),
        NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading, attributes, nullptr);
    return std::max(std::trunc(rect.size.height + 30), 50.0);
}

void WLSheetModel::updateHeightForFont(const Ref<UIFont>& font) {
    setHeight(heightForFont(font));
}
