#include <Categorys/PGProgressHUD+AutoHide.h>

void showAutoHideMessageWithTitleTimeParentViewCompletionBlock(const Ref<NSString>& title, double time,
                                                               const Ref<UIView>& parentView,
                                                               PGProgressHUD::CompletionBlock completion) {
    if (!parentView) {
        return;
    }
    auto hud = PGProgressHUD::showHUDAddedToAnimated(parentView, true);
    hud->setMode(PGProgressHUDModeText);
    hud->setLabelText(NSString::string());
    hud->setDetailsLabelText(title);
    hud->setMargin(10.0);
    hud->setYOffset(15.0);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->setCompletionBlock(std::move(completion));
    hud->hideAnimatedAfterDelay(true, time);
}
