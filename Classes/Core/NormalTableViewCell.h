// NormalTableViewCell: a name and value row of an information table. Its layout resource
// "NormalTableViewCell" puts the name on the left and the value on the right; the table registers
// it under that reuse identifier and fills the two labels itself.
#pragma once

#include <UIKit/UIColor.h>
#include <UIKit/UILabel.h>
#include <UIKit/UINib.h>
#include <UIKit/UITableViewCell.h>

class NormalTableViewCell : public UITableViewCell {
    NS_OBJECT(NormalTableViewCell, UITableViewCell)
public:
    NormalTableViewCell() = default;
    NormalTableViewCell(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
        : UITableViewCell(style, reuseIdentifier) {}

    // The layout resource, for UITableView::registerNibForCellReuseIdentifier.
    static Ref<UINib> nib();

    NS_WEAK_PROPERTY(UILabel, fieldName, setFieldName)
    NS_WEAK_PROPERTY(UILabel, fieldValue, setFieldValue)

    Ref<UIColor> valueColor() const { return valueColor_; }
    // Colours the value's text only.
    void setValueColor(const Ref<UIColor>& color);

private:
    Ref<UIColor> valueColor_;
};
