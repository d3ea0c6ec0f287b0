#include <Shell/DXResultHeaderView.h>

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(DXResultHeaderView, UIView) {
    b.method("awakeFromNib", &DXResultHeaderView::awakeFromNib);
    b.property("titleLabel", &DXResultHeaderView::titleLabel, &DXResultHeaderView::setTitleLabel, "weak");
    b.property("passLabel", &DXResultHeaderView::passLabel, &DXResultHeaderView::setPassLabel, "weak");
    b.property("failureLabel", &DXResultHeaderView::failureLabel, &DXResultHeaderView::setFailureLabel, "weak");
}

namespace {

Ref<UILabel> addLabel(const Ref<UIView>& view, CGRect frame, const Ref<UIFont>& font, const Ref<UIColor>& colour,
                      NSTextAlignment alignment) {
    auto label = make<UILabel>(frame);
    label->setFont(font);
    label->setTextColor(colour);
    label->setTextAlignment(alignment);
    view->addSubview(label);
    return label;
}

const bool nibRegistered = [] {
    UINib::registerNibNamed("DXResultHeaderView", [](const id&) -> Ref<NSArray> {
        CGFloat width = UIScreen::mainScreen()->bounds().size.width;
        auto header = make<DXResultHeaderView>(CGRectMake(0, 0, width, 84));
        header->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.96, 1));
        header->setTitleLabel(addLabel(header, CGRectMake(16, 10, width - 32, 30), UIFont::boldSystemFontOfSize(20),
                                       UIColor::blackColor(), NSTextAlignmentLeft));
        CGFloat half = (width - 32) / 2;
        header->setPassLabel(addLabel(header, CGRectMake(16, 46, half, 26), UIFont::systemFontOfSize(17),
                                      UIColor::colorWithRedGreenBlueAlpha(0.18, 0.63, 0.26, 1), NSTextAlignmentLeft));
        header->setFailureLabel(addLabel(header, CGRectMake(16 + half, 46, half, 26), UIFont::systemFontOfSize(17),
                                         UIColor::colorWithRedGreenBlueAlpha(0.82, 0.2, 0.17, 1),
                                         NSTextAlignmentRight));
        return NSArray::arrayWithObjects({header});
    });
    return true;
}();

} // namespace

Ref<DXResultHeaderView> DXResultHeaderView::header() {
    (void)nibRegistered;
    auto objects = UINibLoadNibNamedOwnerOptions(NSString::from("DXResultHeaderView"), nullptr, nullptr);
    auto header = objects && objects->count() ? cast<DXResultHeaderView>(objects->lastObject()) : nullptr;
    if (header) {
        header->setAutoresizingMask(UIViewAutoresizingNone);
    }
    return header;
}

void DXResultHeaderView::awakeFromNib() {
    if (auto label = titleLabel()) {
        label->setText(DXLocalizedString("RESULT_CONTROLLER_TEST_RESULTS"));
    }
    setPassCount(0);
    setFailureCount(0);
}

void DXResultHeaderView::setPassCount(NSInteger count) {
    passCount_ = count;
    if (auto label = passLabel()) {
        label->setText(DXLocalizedStringWithArguments("RESULT_CONTROLLER_PASS"_ns, {NSFormatArgument(count)}));
    }
}

void DXResultHeaderView::setFailureCount(NSInteger count) {
    failureCount_ = count;
    if (auto label = failureLabel()) {
        label->setText(DXLocalizedStringWithArguments("RESULT_CONTROLLER_FAIL"_ns, {NSFormatArgument(count)}));
    }
}
