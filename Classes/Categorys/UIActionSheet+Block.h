// UIActionSheet(Block): action sheets that report the tapped button through a block. Callers tell
// buttons apart by title (the platform numbers the destructive button first, then the other
// titles given at creation, then cancel, then titles added later). Main thread only.
#pragma once

#include <Foundation/NSArray.h>
#include <UIKit/UIActionSheet.h>

#include <functional>

using UIActionSheetCompletionBlock = std::function<void(const Ref<UIActionSheet>& actionSheet, NSInteger buttonIndex)>;

// `+showWithTitle:cancelButtonTitle:destructiveButtonTitle:otherButtonTitles:tapBlock:`: makes the
// sheet, stores the tap block, makes the sheet its own delegate and shows it in the view of the key
// window's root view controller; answers the sheet.
Ref<UIActionSheet> showWithTitleCancelButtonTitleDestructiveButtonTitleOtherButtonTitlesTapBlock(
    const Ref<NSString>& title, const Ref<NSString>& cancelButtonTitle, const Ref<NSString>& destructiveButtonTitle,
    const Ref<NSArray>& otherButtonTitles, UIActionSheetCompletionBlock tapBlock);

UIActionSheetCompletionBlock tapBlock(const Ref<UIActionSheet>& actionSheet);
void setTapBlock(const Ref<UIActionSheet>& actionSheet, UIActionSheetCompletionBlock block);
