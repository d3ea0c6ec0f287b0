// The rows of the meter table and their parts: InverseProgressView (the bar coloured the other way
// round), MeterTableViewCell (a reading with a two-bar meter whose zero is in the middle) and
// MeterNormalTableViewCell (a heading row). Their layout resources are named after them.
#pragma once

#include <Diagnostics/Sensors/MeterModel.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIProgressView.h>
#include <UIKit/UITableViewCell.h>

class InverseProgressView : public UIProgressView {
    NS_OBJECT(InverseProgressView, UIProgressView)
public:
    InverseProgressView() = default;
};

class MeterTableViewCell : public UITableViewCell {
    NS_OBJECT(MeterTableViewCell, UITableViewCell)
public:
    MeterTableViewCell() : UITableViewCell(UITableViewCellStyleDefault, NSString::from("MeterTableViewCell")) {}
    NS_WEAK_PROPERTY(UILabel, fieldName, setFieldName)
    NS_WEAK_PROPERTY(UILabel, fieldValue, setFieldValue)
    NS_WEAK_PROPERTY(UIProgressView, inverseProgress, setInverseProgress)
    NS_WEAK_PROPERTY(UIProgressView, forwardProgress, setForwardProgress)

    void configureCell(const Ref<MeterModel>& model);
    void colorProgressViewsBackColorForeColor(const Ref<UIProgressView>& bar, const Ref<UIColor>& back,
                                              const Ref<UIColor>& fore);
};

class MeterNormalTableViewCell : public UITableViewCell {
    NS_OBJECT(MeterNormalTableViewCell, UITableViewCell)
public:
    MeterNormalTableViewCell()
        : UITableViewCell(UITableViewCellStyleDefault, NSString::from("MeterNormalTableViewCell")) {}
    NS_WEAK_PROPERTY(UILabel, fieldName, setFieldName)
    NS_WEAK_PROPERTY(UILabel, fieldValue, setFieldValue)
    void setValueColor(const Ref<UIColor>& color);
};
