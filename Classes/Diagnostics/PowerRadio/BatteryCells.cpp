#include <Diagnostics/PowerRadio/BatteryCells.h>

#include <Foundation/NSArray.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UINib.h>

#include <cmath>

NS_IMPLEMENT_CLASS(BatteryChargeTableViewCell, UITableViewCell) {
    using C = BatteryChargeTableViewCell;
    b.property("fieldName", &C::fieldName, &C::setFieldName, "weak");
    b.property("fieldValue", &C::fieldValue, &C::setFieldValue, "weak");
    b.property("progressBar", &C::progressBar, &C::setProgressBar, "weak");
}

NS_IMPLEMENT_CLASS(CapacityTableViewCell, BatteryChargeTableViewCell) {}

namespace {

void colour(const Ref<StripedProgressBar>& bar, double r, double g, double b) {
    if (!bar) {
        return;
    }
    bar->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(r / 255, g / 255, b / 255, 0.5));
    bar->setProgressTintColors(
        NSArray::arrayWithObjects({UIColor::colorWithRedGreenBlueAlpha(r / 255, g / 255, b / 255, 1.0)}));
}

template <class Cell>
void registerCell(const char* name) {
    UINib::registerNibNamed(name, [](const id&) -> Ref<NSArray> {
        auto cell = make<Cell>();
        cell->setFrame(CGRectMake(0, 0, 320, 71));
        auto content = cell->contentView();
        auto fieldName = make<UILabel>(CGRectMake(15, 4, 140, 30));
        fieldName->setFont(UIFont::systemFontOfSize(15));
        auto value = make<UILabel>(CGRectMake(160, 4, 145, 30));
        value->setFont(UIFont::systemFontOfSize(15));
        value->setTextAlignment(NSTextAlignmentRight);
        value->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        auto bar = make<StripedProgressBar>(CGRectMake(15, 40, 290, 20));
        bar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        content->addSubview(fieldName);
        content->addSubview(value);
        content->addSubview(bar);
        cell->setFieldName(fieldName);
        cell->setFieldValue(value);
        cell->setProgressBar(bar);
        cell->awakeFromNib();
        return NSArray::arrayWithObjects({cell});
    });
}

const bool cellsRegistered = [] {
    registerCell<BatteryChargeTableViewCell>("BatteryChargeTableViewCell");
    registerCell<CapacityTableViewCell>("CapacityTableViewCell");
    return true;
}();

} // namespace

void BatteryChargeTableViewCell::awakeFromNib() {
    (void)cellsRegistered;
    if (auto bar = progressBar()) {
        bar->setType(1);
        bar->setHideStripes(true);
        bar->setHideTrack(true);
        bar->setHideGloss(true);
        bar->setIndicatorTextDisplayMode(2);
    }
    colour(progressBar(), 152, 190, 0);
}

void BatteryChargeTableViewCell::setProgress(double progress) {
    progress_ = progress;
    if (progress > 0 && std::isfinite(progress) && progressBar()) {
        progressBar()->setProgressAnimated(progress, true);
    }
}

void CapacityTableViewCell::awakeFromNib() {
    BatteryChargeTableViewCell::awakeFromNib();
    colour(progressBar(), 217, 56, 41);
    green_ = false;
}

void CapacityTableViewCell::setProgress(double progress) {
    progress_ = progress;
    if (!(progress > 0) || !std::isfinite(progress) || !progressBar()) {
        return;
    }
    progressBar()->setProgressAnimated(progress, true);
    green_ = progress >= 0.8;
    if (green_) {
        colour(progressBar(), 152, 190, 0);
    } else {
        colour(progressBar(), 217, 56, 41);
    }
}
