// The battery table's bar rows: BatteryChargeTableViewCell (the charge, a green bar) and
// CapacityTableViewCell (the full-charge capacity against the design, red below 0.8 of it, green
// from there). Both have a name, a value and a flat bar showing its value as text; a value that is
// not above 0 (or not a number) leaves the bar as it was. Their layout resources are named after
// them.
#pragma once

#include <Core/StripedProgressBar.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITableViewCell.h>

class BatteryChargeTableViewCell : public UITableViewCell {
    NS_OBJECT(BatteryChargeTableViewCell, UITableViewCell)
public:
    BatteryChargeTableViewCell()
        : UITableViewCell(UITableViewCellStyleDefault, NSString::from("BatteryChargeTableViewCell")) {}
    NS_WEAK_PROPERTY(UILabel, fieldName, setFieldName)
    NS_WEAK_PROPERTY(UILabel, fieldValue, setFieldValue)
    NS_WEAK_PROPERTY(StripedProgressBar, progressBar, setProgressBar)
    double progress() const noexcept { return progress_; }
    virtual void setProgress(double progress);
    // Sets the bar's look once it is loaded.
    virtual void awakeFromNib();

protected:
    double progress_ = 0;
};

class CapacityTableViewCell : public BatteryChargeTableViewCell {
    NS_OBJECT(CapacityTableViewCell, BatteryChargeTableViewCell)
public:
    CapacityTableViewCell() = default;
    void setProgress(double progress) override;
    void awakeFromNib() override;
    // The bar's colour now (for tests): red or green.
    bool isGreen() const noexcept { return green_; }

private:
    bool green_ = false;
};
