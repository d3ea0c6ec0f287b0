#include <Diagnostics/Sensors/MeterCells.h>

#include <Core/DXLayoutResource.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UINib.h>

NS_IMPLEMENT_CLASS(InverseProgressView, UIProgressView) {}

NS_IMPLEMENT_CLASS(MeterTableViewCell, UITableViewCell) {
    using C = MeterTableViewCell;
    b.property("fieldName", &C::fieldName, &C::setFieldName, "weak");
    b.property("fieldValue", &C::fieldValue, &C::setFieldValue, "weak");
    b.property("inverseProgress", &C::inverseProgress, &C::setInverseProgress, "weak");
    b.property("forwardProgress", &C::forwardProgress, &C::setForwardProgress, "weak");
}

NS_IMPLEMENT_CLASS(MeterNormalTableViewCell, UITableViewCell) {
    using C = MeterNormalTableViewCell;
    b.property("fieldName", &C::fieldName, &C::setFieldName, "weak");
    b.property("fieldValue", &C::fieldValue, &C::setFieldValue, "weak");
}

namespace {

using namespace dx_layout;

// Name and value at the left, then the inverse bar immediately left of the forward bar.
const bool layoutsRegistered = [] {
    UINib::registerNibNamed("MeterTableViewCell", [](const id&) -> Ref<NSArray> {
        auto cell = make<MeterTableViewCell>();
        cell->setFrame(CGRectMake(0, 0, 375, 22));
        auto content = cell->contentView();
        auto name = make<UILabel>(CGRectMake(8, 0, 24, 22));
        auto value = make<UILabel>(CGRectMake(32, 0, 64, 22));
        auto inverse = make<InverseProgressView>();
        inverse->setFrame(CGRectMake(100, 10, 130, 2));
        auto forward = make<UIProgressView>();
        forward->setFrame(CGRectMake(230, 10, 130, 2));
        for (const Ref<UIView>& v :
             {Ref<UIView>(name), Ref<UIView>(value), Ref<UIView>(inverse), Ref<UIView>(forward)}) {
            content->addSubview(v);
        }
        cell->setFieldName(name);
        cell->setFieldValue(value);
        cell->setInverseProgress(inverse);
        cell->setForwardProgress(forward);
        return NSArray::arrayWithObjects({cell});
    });
    UINib::registerNibNamed("MeterNormalTableViewCell", [](const id&) -> Ref<NSArray> {
        auto cell = make<MeterNormalTableViewCell>();
        cell->setFrame(CGRectMake(0, 0, 375, 22));
        auto name = make<UILabel>(CGRectMake(8, 0, 260, 22));
        auto value = make<UILabel>(CGRectMake(270, 0, 97, 22));
        cell->contentView()->addSubview(name);
        cell->contentView()->addSubview(value);
        cell->setFieldName(name);
        cell->setFieldValue(value);
        return NSArray::arrayWithObjects({cell});
    });
    return true;
}();

} // namespace

void MeterTableViewCell::configureCell(const Ref<MeterModel>& model) {
    (void)layoutsRegistered;
    if (!model) {
        return;
    }
    if (auto label = fieldName()) {
        label->setText(model->coordinate());
    }
    if (auto label = fieldValue()) {
        label->setText(model->meterValue());
    }
    colorProgressViewsBackColorForeColor(inverseProgress(), model->backColor(), model->foreColor());
    colorProgressViewsBackColorForeColor(forwardProgress(), model->backColor(), model->foreColor());
    if (auto bar = inverseProgress()) {
        bar->setProgress(model->inverseProgressValue() ? model->inverseProgressValue()->floatValue() : 0.0f);
    }
    if (auto bar = forwardProgress()) {
        bar->setProgress(model->foreProgressValue() ? model->foreProgressValue()->floatValue() : 0.0f);
    }
}

void MeterTableViewCell::colorProgressViewsBackColorForeColor(const Ref<UIProgressView>& bar, const Ref<UIColor>& back,
                                                              const Ref<UIColor>& fore) {
    if (!bar) {
        return;
    }
    CGAffineTransform thick = CGAffineTransformMakeScale(1, 2);
    if (bar->isKindOfClass(InverseProgressView::class_())) {
        bar->setTransform(CGAffineTransformTranslate(thick, 1, 2));
        bar->setProgressTintColor(back);
        bar->setTrackTintColor(fore);
    } else {
        bar->setTransform(CGAffineTransformTranslate(thick, -1, 2));
        bar->setProgressTintColor(fore);
        bar->setTrackTintColor(back);
    }
}

void MeterNormalTableViewCell::setValueColor(const Ref<UIColor>& color) {
    if (auto label = fieldValue()) {
        label->setTextColor(color);
    }
}
