// The two rows of the root screen's manual test list: a test row (select button, icon, title, pass
// or fail mark; 70 points) and a section row (section text and its select-all button; 40 points).
#pragma once

#include <Core/DXSectionModel.h>
#include <Core/DXTestModel.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITableViewCell.h>

class DXRootTableViewCell : public UITableViewCell {
    NS_OBJECT(DXRootTableViewCell, UITableViewCell)
public:
    DXRootTableViewCell(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier);
    DXRootTableViewCell() : DXRootTableViewCell(UITableViewCellStyleDefault, "DXRootTableViewCell"_ns) {}

    NS_WEAK_PROPERTY(UIButton, selectionButton, setSelectionButton)
    NS_WEAK_PROPERTY(UIImageView, modelImageView, setModelImageView)
    NS_WEAK_PROPERTY(UILabel, title, setTitle)
    NS_WEAK_PROPERTY(UIImageView, passImageView, setPassImageView)

    static CGFloat heightOfCell() { return 70; }
    void setupCell(const Ref<DXTestModel>& model);
};

class DXSectionTableViewCell : public UITableViewCell {
    NS_OBJECT(DXSectionTableViewCell, UITableViewCell)
public:
    DXSectionTableViewCell(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier);
    DXSectionTableViewCell() : DXSectionTableViewCell(UITableViewCellStyleDefault, "DXSectionTableViewCell"_ns) {}

    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_WEAK_PROPERTY(UIButton, selectedButton, setSelectedButton)

    static CGFloat heightOfCell() { return 40; }
    void setupCell(const Ref<DXSectionModel>& section);
};
