#include "QuestionLayout.h"

#include <Core/DXLayoutResource.h>
#include <Foundation/NSNumber.h>
#include <UIKit/NSText.h>
#include <UIKit/UIFont.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

namespace dx_question {

using namespace dx_layout;

void registerLayout(const std::string& name, bool withExtraLabel,
                    std::function<void(const id& owner, const Labels& labels)> connect) {
    UINib::registerNibNamed(name, [withExtraLabel, connect](const id& owner) -> Ref<NSArray> {
        CGRect screen = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(screen);
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        CGFloat textWidth = screen.size.width - 48;

        Labels labels;
        labels.title = make<UILabel>();
        labels.title->setFont(UIFont::boldSystemFontOfSize(26));
        labels.title->setTextAlignment(NSTextAlignmentCenter);
        place(root, labels.title);
        pin(root, labels.title, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 32);
        pin(root, labels.title, NSLayoutAttributeCenterX, root, NSLayoutAttributeCenterX, 0);

        labels.question = make<UILabel>();
        labels.question->setFont(UIFont::systemFontOfSize(22));
        labels.question->setNumberOfLines(0);
        labels.question->setTextAlignment(NSTextAlignmentCenter);
        labels.question->setPreferredMaxLayoutWidth(textWidth);
        place(root, labels.question);
        pin(root, labels.question, NSLayoutAttributeTop, labels.title, NSLayoutAttributeBottom, 40);
        pin(root, labels.question, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 24);
        pin(root, labels.question, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -24);

        if (withExtraLabel) {
            labels.extra = make<UILabel>();
            labels.extra->setFont(UIFont::systemFontOfSize(17));
            labels.extra->setNumberOfLines(0);
            labels.extra->setTextAlignment(NSTextAlignmentCenter);
            labels.extra->setPreferredMaxLayoutWidth(textWidth);
            place(root, labels.extra);
            pin(root, labels.extra, NSLayoutAttributeTop, labels.question, NSLayoutAttributeBottom, 24);
            pin(root, labels.extra, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 24);
            pin(root, labels.extra, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -24);
        }
        if (owner) {
            connect(owner, labels);
        }
        return NSArray::arrayWithObjects({root});
    });
}

void answerFromChoose(const Ref<DXBaseViewController>& screen) {
    Weak<DXBaseViewController> weakScreen(screen);
    // An answer counts only while the screen is shown.
    screen->choose()->takeUntil(screen->disappear())->subscribeNext([weakScreen](const id& value) {
        auto self = weakScreen.lock();
        auto yes = cast<NSNumber>(value);
        if (!self || !self->info()) {
            return;
        }
        self->info()->setResult(yes && yes->boolValue() ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });
}

void observePresent(const Ref<DXBaseViewController>& screen) {
    screen->present()->subscribeNext([](const id&) {});
}

} // namespace dx_question
