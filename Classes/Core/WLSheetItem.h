// WLSheetItem: a row cell of the action sheet. Its text spans the row less 15 points each side, and
// its separator runs the full width of the row.
#pragma once

#include <UIKit/UITableViewCell.h>

class WLSheetItem : public UITableViewCell {
    NS_OBJECT(WLSheetItem, UITableViewCell)
public:
    WLSheetItem() = default;
    WLSheetItem(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
        : UITableViewCell(style, reuseIdentifier) {}

    void layoutSubviews() override;
};
