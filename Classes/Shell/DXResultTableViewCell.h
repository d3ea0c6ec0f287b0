// DXResultTableViewCell: one row of the result list: the test's icon, its title and a pass or fail
// mark (none for a test that has no result or timed out). Made from the layout resource
// "DXResultTableViewCell" (registered in code), under the same reuse identifier.
#pragma once

#include <Core/DXTestModel.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UINib.h>
#include <UIKit/UITableViewCell.h>

class DXResultTableViewCell : public UITableViewCell {
    NS_OBJECT(DXResultTableViewCell, UITableViewCell)
public:
    DXResultTableViewCell() = default;
    DXResultTableViewCell(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
        : UITableViewCell(style, reuseIdentifier) {}

    static Ref<UINib> nib();
    static CGFloat heightOfCell() { return 70.0; }

    NS_WEAK_PROPERTY(UIImageView, modelImageView, setModelImageView)
    NS_WEAK_PROPERTY(UILabel, title, setTitle)
    NS_WEAK_PROPERTY(UIImageView, passImageView, setPassImageView)

    // Shows the record: its title and icon, "icon_right_n" for a pass, "icon_fail_n" for a failure.
    void setupCell(const Ref<DXTestModel>& model);
};
