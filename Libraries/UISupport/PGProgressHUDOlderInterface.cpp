// The HUD's older interface: setters that forward to the main interface or to the subviews, and
// running a task on a queue while the HUD is shown.
#include <UISupport/PGProgressHUD.h>

#include <Network/NSProgress.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIWindow.h>

Ref<NSArray> PGProgressHUD::allHUDsForView(const Ref<UIView>& view, Class cls) {
    std::vector<id> huds;
    if (view) {
        for (const auto& subview : view->subviewList()) {
            if (subview->isKindOfClass(cls)) {
                huds.push_back(subview);
            }
        }
    }
    return NSArray::arrayWithVector(std::move(huds));
}

NSUInteger PGProgressHUD::hideAllHUDsForViewAnimated(const Ref<UIView>& view, bool animated) {
    DX_ASSERT_MAIN_THREAD();
    auto huds = allHUDsForView(view);
    for (const id& object : *huds) {
        auto hud = cast<PGProgressHUD>(object);
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hideAnimated(animated);
    }
    return huds->count();
}

Ref<PGProgressHUD> PGProgressHUD::HUDWithWindow(const Ref<UIWindow>& window) {
    return make<PGProgressHUD>(Ref<UIView>(window));
}

void PGProgressHUD::showWhileExecutingOnTargetWithObjectAnimated(SEL method, const id& target, const id& object,
                                                                 bool animated) {
    showAnimatedWhileExecutingBlock(animated, [method, target, object] {
        if (target) {
            target->performSelectorWithObject(method, object);
        }
    });
}

void PGProgressHUD::showAnimatedWhileExecutingBlock(bool animated, std::function<void()> block) {
    showAnimatedWhileExecutingBlockOnQueueCompletionBlock(
        animated, std::move(block), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), nullptr);
}

void PGProgressHUD::showAnimatedWhileExecutingBlockCompletionBlock(bool animated, std::function<void()> block,
                                                                   CompletionBlock completion) {
    showAnimatedWhileExecutingBlockOnQueueCompletionBlock(animated, std::move(block),
                                                          dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                                                          std::move(completion));
}

void PGProgressHUD::showAnimatedWhileExecutingBlockOnQueue(bool animated, std::function<void()> block,
                                                           const dispatch_queue_t& queue) {
    showAnimatedWhileExecutingBlockOnQueueCompletionBlock(animated, std::move(block), queue, nullptr);
}

void PGProgressHUD::showAnimatedWhileExecutingBlockOnQueueCompletionBlock(bool animated, std::function<void()> block,
                                                                          const dispatch_queue_t& queue,
                                                                          CompletionBlock completion) {
    DX_ASSERT_MAIN_THREAD();
    setTaskInProgress(true);
    setCompletionBlock(std::move(completion));
    Ref<PGProgressHUD> self(this);
    dispatch_async(queue, [self, block = std::move(block)] {
        if (block) {
            block();
        }
        dispatch_async(dispatch_get_main_queue(), [self] { self->cleanUp(); });
    });
    showAnimated(animated);
}

void PGProgressHUD::cleanUp() {
    setTaskInProgress(false);
    hideAnimated(useAnimation_);
}

Ref<NSString> PGProgressHUD::labelText() const {
    return label_->text();
}
void PGProgressHUD::setLabelText(const Ref<NSString>& text) {
    label_->setText(text ? cast<NSString>(text->copy()) : nullptr);
}
Ref<UIFont> PGProgressHUD::labelFont() const {
    return label_->font();
}
void PGProgressHUD::setLabelFont(const Ref<UIFont>& font) {
    label_->setFont(font);
}
Ref<UIColor> PGProgressHUD::labelColor() const {
    return label_->textColor();
}
void PGProgressHUD::setLabelColor(const Ref<UIColor>& color) {
    label_->setTextColor(color);
}
Ref<NSString> PGProgressHUD::detailsLabelText() const {
    return detailsLabel_->text();
}
void PGProgressHUD::setDetailsLabelText(const Ref<NSString>& text) {
    detailsLabel_->setText(text ? cast<NSString>(text->copy()) : nullptr);
}
Ref<UIFont> PGProgressHUD::detailsLabelFont() const {
    return detailsLabel_->font();
}
void PGProgressHUD::setDetailsLabelFont(const Ref<UIFont>& font) {
    detailsLabel_->setFont(font);
}
Ref<UIColor> PGProgressHUD::detailsLabelColor() const {
    return detailsLabel_->textColor();
}
void PGProgressHUD::setDetailsLabelColor(const Ref<UIColor>& color) {
    detailsLabel_->setTextColor(color);
}

Ref<UIColor> PGProgressHUD::color() const {
    return bezelView_->color();
}
void PGProgressHUD::setColor(const Ref<UIColor>& color) {
    bezelView_->setColor(color);
}

void PGProgressHUD::setXOffset(CGFloat x) {
    setOffset(CGPointMake(x, offset_.y));
}
void PGProgressHUD::setYOffset(CGFloat y) {
    setOffset(CGPointMake(offset_.x, y));
}

CGFloat PGProgressHUD::cornerRadius() const {
    return bezelView_->layer()->cornerRadius();
}
void PGProgressHUD::setCornerRadius(CGFloat radius) {
    bezelView_->layer()->setCornerRadius(radius);
}

bool PGProgressHUD::dimBackground() const {
    return backgroundView_->style() == PGProgressHUDBackgroundStyleSolidColor &&
           NSObjectsEqual(backgroundView_->color(), UIColor::colorWithWhiteAlpha(0.0, 0.2f));
}
void PGProgressHUD::setDimBackground(bool dim) {
    backgroundView_->setStyle(PGProgressHUDBackgroundStyleSolidColor);
    backgroundView_->setColor(dim ? UIColor::colorWithWhiteAlpha(0.0, 0.2f) : UIColor::clearColor());
}

CGSize PGProgressHUD::size() const {
    return bezelView_->frame().size;
}

void PGProgressHUD::setActivityIndicatorColor(const Ref<UIColor>& color) {
    if (color != activityIndicatorColor_) {
        activityIndicatorColor_ = color;
        if (auto spinner = cast<UIActivityIndicatorView>(indicator_)) {
            spinner->setColor(color);
        }
    }
}
