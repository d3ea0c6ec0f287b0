#include <Shell/DXModalPresentation.h>

#include <Foundation/NSProcessInfo.h>
#include <QuartzCore/CALayer.h>
#include <UIKit/UIColor.h>
#include <UIKit/UINavigationController.h>

void DXPresentOverContext(const Ref<UIViewController>& presenting, const Ref<UIViewController>& screen) {
    screen->setModalTransitionStyle(UIModalTransitionStyleCrossDissolve);
    if (NSProcessInfo::processInfo()->respondsToSelector("isOperatingSystemAtLeastVersion:")) {
        screen->setDefinesPresentationContext(true);
        screen->setModalPresentationStyle(UIModalPresentationOverCurrentContext);
    } else {
        presenting->setModalPresentationStyle(UIModalPresentationCurrentContext);
        if (auto navigation = presenting->navigationController()) {
            navigation->setModalPresentationStyle(UIModalPresentationCurrentContext);
        }
    }
    presenting->presentViewControllerAnimatedCompletion(screen, true, nullptr);
}

void DXStyleShellButton(const Ref<UIView>& button) {
    if (!button) {
        return;
    }
    button->layer()->setBorderWidth(1);
    button->layer()->setBorderColor(UIColor::whiteColor()->CGColor());
    button->layer()->setCornerRadius(5);
}
