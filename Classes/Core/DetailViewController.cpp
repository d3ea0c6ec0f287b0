#include <Core/DetailViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(DetailViewController, UIViewController) {
    b.property("percentLabel", &DetailViewController::percentLabel, &DetailViewController::setPercentLabel, "weak");
}

namespace {

const bool nibRegistered = [] {
    UINib::registerNibNamed("DetailViewController", [](const id& owner) -> Ref<NSArray> {
        CGRect bounds = UIScreen::mainScreen()->bounds();
        auto view = make<UIView>(bounds);
        view->setBackgroundColor(UIColor::whiteColor());
        view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        auto label = make<UILabel>(CGRectMake(20, bounds.size.height / 2 - 30, bounds.size.width - 40, 60));
        label->setFont(UIFont::systemFontOfSize(28));
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin |
                                   UIViewAutoresizingFlexibleBottomMargin);
        view->addSubview(label);
        if (auto controller = cast<DetailViewController>(owner)) {
            controller->setPercentLabel(label);
        }
        return NSArray::arrayWithObjects({view});
    });
    return true;
}();

} // namespace

Ref<NSString> DetailViewController::precisionText(NSInteger percent) {
    (void)nibRegistered;
    return DXLocalizedStringWithArguments(NSString::from("PRECISION_CONTROLLER_RESULT_LABEL"),
                                          {NSFormatArgument(percent)});
}

void DetailViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (auto label = percentLabel()) {
        label->setText(precisionText(50));
    }
}
