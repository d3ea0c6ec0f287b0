#include <Shell/StartViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>
#include <Shell/DXModalPresentation.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(StartViewController, UIViewController) {
    b.method("onStart:", &StartViewController::onStart);
    b.property("startButton", &StartViewController::startButton, &StartViewController::setStartButton, "weak");
    b.property("label", &StartViewController::label, &StartViewController::setLabel, "weak");
    b.property("titleLabel", &StartViewController::titleLabel, &StartViewController::setTitleLabel, "weak");
}

namespace {

// The page's layout resource: a dark page with the title at the top, the greeting in the middle
// and the Start button under it, connected to the owner's outlets and action.
const bool nibRegistered = [] {
    UINib::registerNibNamed("StartViewController", [](const id& owner) -> Ref<NSArray> {
        CGRect bounds = UIScreen::mainScreen()->bounds();
        CGFloat width = bounds.size.width;
        auto view = make<UIView>(bounds);
        view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        view->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.08, 0.2, 0.35, 1));
        auto title = make<UILabel>(CGRectMake(20, 80, width - 40, 44));
        title->setTextAlignment(NSTextAlignmentCenter);
        title->setTextColor(UIColor::whiteColor());
        title->setFont(UIFont::boldSystemFontOfSize(30));
        view->addSubview(title);
        auto label = make<UILabel>(CGRectMake(20, bounds.size.height / 2 - 80, width - 40, 100));
        label->setNumberOfLines(0);
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setTextColor(UIColor::whiteColor());
        view->addSubview(label);
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setFrame(CGRectMake(width / 2 - 80, bounds.size.height / 2 + 40, 160, 48));
        button->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
        view->addSubview(button);
        if (auto screen = cast<StartViewController>(owner)) {
            screen->setView(view);
            screen->setTitleLabel(title);
            screen->setLabel(label);
            screen->setStartButton(button);
            button->addTargetActionForControlEvents(screen, "onStart:", UIControlEventTouchUpInside);
        }
        return NSArray::arrayWithObjects({view});
    });
    return true;
}();

} // namespace

Ref<StartViewController> StartViewController::showStartViewControllerOnStart(const Ref<UIViewController>& presenting,
                                                                             StartBlock onStart) {
    (void)nibRegistered;
    auto screen = make<StartViewController>();
    screen->setOnstart(std::move(onStart));
    DXPresentOverContext(presenting, screen);
    return screen;
}

void StartViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto startTitle = DXLocalizedString("STARTVIEWCONTROLLER_STARTBUTTON");
    if (auto title = titleLabel()) {
        title->setText("Celvix"_ns);
    }
    if (auto greeting = label()) {
        greeting->setText(DXLocalizedStringWithArguments("STARTVIEWCONTROLLER_LABEL"_ns, {startTitle, "Celvix"_ns}));
    }
    if (auto button = startButton()) {
        button->setTitleForState(startTitle, UIControlStateNormal);
        DXStyleShellButton(button);
    }
}

void StartViewController::onStart(const id&) {
    if (onstart_) {
        // A copy: the block may replace itself or dismiss this page.
        auto block = onstart_;
        block();
    }
}
