#include <Core/ChooseViewController.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(ChooseViewController, UIViewController) {
    b.method("onChoose:", &ChooseViewController::onChoose);
    b.property("individualBtn", &ChooseViewController::individualBtn, &ChooseViewController::setIndividualBtn, "weak");
    b.property("allTestBtn", &ChooseViewController::allTestBtn, &ChooseViewController::setAllTestBtn, "weak");
}

namespace {

Ref<UIButton> makeChoice(const Ref<UIView>& view, const id& owner, const char* title, NSInteger tag, CGFloat y) {
    CGRect bounds = view->bounds();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(40, y, bounds.size.width - 80, 50));
    button->setTitleForState(NSString::from(title), UIControlStateNormal);
    button->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    button->setTag(tag);
    button->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin |
                                UIViewAutoresizingFlexibleBottomMargin);
    if (owner) {
        button->addTargetActionForControlEvents(owner, "onChoose:", UIControlEventTouchUpInside);
    }
    view->addSubview(button);
    return button;
}

const bool nibRegistered = [] {
    UINib::registerNibNamed("ChooseViewController", [](const id& owner) -> Ref<NSArray> {
        CGRect bounds = UIScreen::mainScreen()->bounds();
        auto view = make<UIView>(bounds);
        view->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.6));
        view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        auto all = makeChoice(view, owner, "All tests", 0, bounds.size.height / 2 - 60);
        auto individual = makeChoice(view, owner, "Individual tests", 1, bounds.size.height / 2 + 10);
        if (auto controller = cast<ChooseViewController>(owner)) {
            controller->setAllTestBtn(all);
            controller->setIndividualBtn(individual);
        }
        return NSArray::arrayWithObjects({view});
    });
    return true;
}();

} // namespace

Ref<ChooseViewController>
ChooseViewController::showChooseViewControllerOnChoose(const Ref<UIViewController>& presenting, OnChoose onchoose) {
    (void)nibRegistered;
    auto chooser = make<ChooseViewController>();
    chooser->setOnchoose(std::move(onchoose));
    chooser->setModalTransitionStyle(UIModalTransitionStyleCrossDissolve);
    // Every system this runs on presents over the current context.
    chooser->setDefinesPresentationContext(true);
    chooser->setModalPresentationStyle(UIModalPresentationOverCurrentContext);
    if (presenting) {
        presenting->presentViewControllerAnimatedCompletion(chooser, true, nullptr);
    }
    return chooser;
}

void ChooseViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    for (const auto& button : {individualBtn(), allTestBtn()}) {
        if (!button) {
            continue;
        }
        button->layer()->setBorderWidth(1.0);
        button->layer()->setBorderColor(UIColor::whiteColor()->CGColor());
        button->layer()->setCornerRadius(5.0);
    }
}

void ChooseViewController::onChoose(const Ref<UIButton>& sender) {
    if (onchoose_) {
        onchoose_(sender && sender->tag() != 0);
    }
}
