// WLSheetModel: one row of the action sheet: its text and the height that text needs.
#pragma once

#include <Foundation/NSString.h>
#include <UIKit/UIFont.h>

class WLSheetModel : public NSObject {
    NS_OBJECT(WLSheetModel, NSObject)
public:
    WLSheetModel() = default;

    // `+modelWithTitle:font:`: a row with the title, its height computed for the font.
    static Ref<WLSheetModel> modelWithTitleFont(const Ref<NSString>& title, const Ref<UIFont>& font);

    NS_PROPERTY(Ref<NSString>, title, setTitle)
    NS_PROPERTY(double, height, setHeight)

    // The row height for the title in the font: the wrapped text at the screen width less 30, plus
    // 30, truncated, never less than 50.
    double heightForFont(const Ref<UIFont>& font) const;
    void updateHeightForFont(const Ref<UIFont>& font);
};
