#include <Categorys/DXBlockBox.h>
#include <Categorys/UIActionSheet+Block.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

namespace {

const char kTapBlockKey = 0;
using TapBox = DXBlockBox<void(const Ref<UIActionSheet>&, NSInteger)>;

// The sheet's own delegate operation, added to the sheet class once per process.
const bool installed = [] {
    ClassBuilder<UIActionSheet> b(UIActionSheet::class_());
    b.methodBlock("actionSheet:clickedButtonAtIndex:", [](UIActionSheet* self, Ref<UIActionSheet>, NSInteger index) {
        if (auto block = TapBox::blockOf(self, &kTapBlockKey)) {
            block(Ref<UIActionSheet>(self), index);
        }
    });
    return true;
}();

} // namespace

UIActionSheetCompletionBlock tapBlock(const Ref<UIActionSheet>& actionSheet) {
    return TapBox::blockOf(actionSheet.get(), &kTapBlockKey);
}

void setTapBlock(const Ref<UIActionSheet>& actionSheet, UIActionSheetCompletionBlock block) {
    (void)installed;
    if (actionSheet) {
        TapBox::store(actionSheet.get(), &kTapBlockKey, std::move(block), OBJC_ASSOCIATION_RETAIN);
    }
}

Ref<UIActionSheet> showWithTitleCancelButtonTitleDestructiveButtonTitleOtherButtonTitlesTapBlock(
    const Ref<NSString>& title, const Ref<NSString>& cancelButtonTitle, const Ref<NSString>& destructiveButtonTitle,
    const Ref<NSArray>& otherButtonTitles, UIActionSheetCompletionBlock tapBlock) {
    std::vector<Ref<NSString>> first;
    if (otherButtonTitles && otherButtonTitles->count() > 0) {
        first.push_back(cast<NSString>(otherButtonTitles->objectAtIndex(0)));
    }
    auto sheet = make<UIActionSheet>(title, nullptr, cancelButtonTitle, destructiveButtonTitle, first);
    if (otherButtonTitles) {
        for (NSUInteger i = 1; i < otherButtonTitles->count(); ++i) {
            sheet->addButtonWithTitle(cast<NSString>(otherButtonTitles->objectAtIndex(i)));
        }
    }
    if (tapBlock) {
        setTapBlock(sheet, std::move(tapBlock));
    }
    sheet->setDelegate(sheet);
    Ref<UIView> host;
    if (auto window = UIApplication::sharedApplication()->keyWindow()) {
        if (auto root = window->rootViewController()) {
            host = root->view();
        }
    }
    sheet->showInView(host);
    return sheet;
}
