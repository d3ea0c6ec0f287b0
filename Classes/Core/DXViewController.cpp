#include <Core/DXViewController.h>

#include <Categorys/UIAlertView+Blocks.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreen.h>

#include <cmath>

NS_IMPLEMENT_CLASS(DXViewController, UIViewController) {
    b.conformsTo(NS_PROTOCOL(DXNavigationHeaderViewDelegate));
    b.method("navigationHeaderView:didClickButton:type:", &DXViewController::navigationHeaderViewDidClickButtonType);
    b.property("headerView", &DXViewController::headerView, &DXViewController::setHeaderView);
    b.property("alertView", &DXViewController::alertView, &DXViewController::setAlertView);
    b.property("testlabel", &DXViewController::testlabel, &DXViewController::setTestlabel);
    b.property("testlabel2", &DXViewController::testlabel2, &DXViewController::setTestlabel2);
}

NS_IMPLEMENT_CLASS(DXTestModelsViewController, DXViewController) {}

CGFloat DXHeaderHeight() {
    CGSize size = UIScreen::mainScreen()->bounds().size;
    bool tall = (size.width == 375 && size.height == 812) || (size.width == 414 && size.height == 896);
    return tall ? 88 : 64;
}

DXViewController::DXViewController() {
    logDealloc();
}

DXViewController::DXViewController(const Ref<NSString>& nibName, const id& bundle) : UIViewController(nibName, bundle) {
    logDealloc();
}

void DXViewController::logDealloc() {
    // Logged while the object is still whole, so that the line names the screen's own class.
    addDeallocHook([](NSObject* self) { static_cast<DXViewController*>(self)->willDealloc(); });
}

void DXViewController::willDealloc() {
    NSLog("%@ dealloc.", NSStringFromClass(getClass()));
}

void DXViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    NSLog("%@ viewDidLoad", NSStringFromClass(getClass()));
    if (auto navigation = navigationController()) {
        navigation->setNavigationBarHidden(true);
    }
    auto header = DXNavigationHeaderView::header();
    if (header) {
        header->setFrame(CGRectMake(0, 0, std::floor(UIScreen::mainScreen()->bounds().size.width), DXHeaderHeight()));
        view()->addSubview(header);
        header->setHideSaveButton(true);
    }
    setHeaderView(header);
    view()->setBackgroundColor(UIColor::whiteColor());
}

void DXViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    UIApplication::sharedApplication()->setStatusBarHidden(false);
}

void DXViewController::navigationHeaderViewDidClickButtonType(const Ref<DXNavigationHeaderView>&, const Ref<UIButton>&,
                                                              NSUInteger) {
    setAlertView(showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
        NSString::from("Celvix"), NSString::from("Hello"), NSString::from("Cancel"),
        NSArray::arrayWithObjects({NSString::from("Ok")}), [](const Ref<UIAlertView>&, NSInteger) {}));
}
