#include <Core/DXNavigationHeaderView.h>

#include <Categorys/DXUtility.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Core/DXProfileManager.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSBundle.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UINib.h>
#include <UIKit/UITapGestureRecognizer.h>
#include <UISupport/STProgressHUD.h>

NS_IMPLEMENT_PROTOCOL(DXNavigationHeaderViewDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("navigationHeaderView:didClickButton:type:", "v@:@@Q");
}

NS_IMPLEMENT_CLASS(DXNavigationHeaderView, UIView) {
    b.method("clickButton:", &DXNavigationHeaderView::clickButton);
    b.method("headerTap:", &DXNavigationHeaderView::headerTap);
    b.property("backButton", &DXNavigationHeaderView::backButton, &DXNavigationHeaderView::setBackButton, "weak");
    b.property("runButton", &DXNavigationHeaderView::runButton, &DXNavigationHeaderView::setRunButton, "weak");
    b.property("menuButton", &DXNavigationHeaderView::menuButton, &DXNavigationHeaderView::setMenuButton, "weak");
    b.property("saveButton", &DXNavigationHeaderView::saveButton, &DXNavigationHeaderView::setSaveButton, "weak");
}

namespace {

// The layout resource of the header: a bar 64 points high with the back button on the left and
// save, run and menu on the right, each 44 points high at the bottom of the bar, so that a taller
// bar keeps them above its lower edge.
constexpr CGFloat kNominalWidth = 375;
constexpr CGFloat kNominalHeight = 64;
constexpr CGFloat kButtonHeight = 44;
constexpr CGFloat kButtonWidth = 56;

Ref<UIButton> makeButton(const Ref<DXNavigationHeaderView>& header, const char* title, NSInteger tag, CGFloat x,
                         UIViewAutoresizing mask) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(x, kNominalHeight - kButtonHeight, kButtonWidth, kButtonHeight));
    button->setTitleForState(NSString::from(title), UIControlStateNormal);
    button->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::systemFontOfSize(15));
    button->setTag(tag);
    button->setAutoresizingMask(mask | UIViewAutoresizingFlexibleTopMargin);
    button->addTargetActionForControlEvents(header, "clickButton:", UIControlEventTouchUpInside);
    header->addSubview(button);
    return button;
}

const bool nibRegistered = [] {
    UINib::registerNibNamed("DXNavigationHeaderView", [](const id&) -> Ref<NSArray> {
        auto header = make<DXNavigationHeaderView>(CGRectMake(0, 0, kNominalWidth, kNominalHeight));
        header->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.13, 0.45, 0.75, 1));
        header->setBackButton(
            makeButton(header, "<", DXNavigationHeaderButtonBack, 4, UIViewAutoresizingFlexibleRightMargin));
        header->setSaveButton(makeButton(header, "Save", DXNavigationHeaderButtonSave,
                                         kNominalWidth - 3 * kButtonWidth - 4, UIViewAutoresizingFlexibleLeftMargin));
        header->setRunButton(makeButton(header, "Run", DXNavigationHeaderButtonRun,
                                        kNominalWidth - 2 * kButtonWidth - 4, UIViewAutoresizingFlexibleLeftMargin));
        header->setMenuButton(makeButton(header, "Menu", DXNavigationHeaderButtonMenu, kNominalWidth - kButtonWidth - 4,
                                         UIViewAutoresizingFlexibleLeftMargin));
        return NSArray::arrayWithObjects({header});
    });
    return true;
}();

} // namespace

Ref<DXNavigationHeaderView> DXNavigationHeaderView::header() {
    (void)nibRegistered;
    auto objects = UINibLoadNibNamedOwnerOptions(NSString::from("DXNavigationHeaderView"), nullptr, nullptr);
    if (!objects || objects->count() == 0) {
        return nullptr;
    }
    auto header = cast<DXNavigationHeaderView>(objects->lastObject());
    if (!header) {
        return nullptr;
    }
    header->setAutoresizingMask(UIViewAutoresizingNone);
    header->setUserInteractionEnabled(true);
    for (const auto& button : {header->backButton(), header->runButton(), header->menuButton(), header->saveButton()}) {
        if (button) {
            button->setExclusiveTouch(true);
        }
    }
    // The cache-removal gesture is prepared but, as the header is made, attached to nothing.
    [[maybe_unused]] auto tap = make<UITapGestureRecognizer>(header, SEL("headerTap:"));
    tap->setNumberOfTapsRequired(3);
    return header;
}

void DXNavigationHeaderView::clickButton(const Ref<UIButton>& button) {
    id delegate = this->delegate();
    SEL selector("navigationHeaderView:didClickButton:type:");
    if (delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithArguments(selector, {Ref<DXNavigationHeaderView>(this), button,
                                                          box(static_cast<NSUInteger>(button ? button->tag() : 0))});
    }
}

void DXNavigationHeaderView::headerTap(const id&) {
    auto others = NSArray::arrayWithObjects({NSString::from("remove cache file"), NSString::from("remove profile")});
    cacheAlert_ = showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
        DXUtility::clientVersionNoBuildVersion(), NSString::from("Did you want to remove cache file or profile?"),
        NSString::from("Cancel"), others, [](const Ref<UIAlertView>&, NSInteger index) {
            if (index == 1) {
                DXProfileManager::sharedManager()->removeTasks();
            } else if (index == 2) {
                DXProfileManager::sharedManager()->removeProfile();
            }
            STProgressHUD::showSuccessWithStatus(NSString::from("removed!"));
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(1.0 * NSEC_PER_SEC)),
                           dispatch_get_main_queue(), [] { STProgressHUD::dismiss(); });
        });
}

void DXNavigationHeaderView::setHideBackButton(bool hide) {
    hideBackButton_ = hide;
    if (auto b = backButton()) {
        b->setHidden(hide);
    }
}
void DXNavigationHeaderView::setHideRunButton(bool hide) {
    hideRunButton_ = hide;
    if (auto b = runButton()) {
        b->setHidden(hide);
    }
}
void DXNavigationHeaderView::setHideMenuButton(bool hide) {
    hideMenuButton_ = hide;
    if (auto b = menuButton()) {
        b->setHidden(hide);
    }
}
void DXNavigationHeaderView::setHideSaveButton(bool hide) {
    hideSaveButton_ = hide;
    if (auto b = saveButton()) {
        b->setHidden(hide);
    }
}
bool DXNavigationHeaderView::isHideBackButton() const {
    auto b = backButton();
    return b && b->isHidden();
}
bool DXNavigationHeaderView::isHideRunButton() const {
    auto b = runButton();
    return b && b->isHidden();
}
bool DXNavigationHeaderView::isHideMenuButton() const {
    auto b = menuButton();
    return b && b->isHidden();
}
