// UIAlertView(Blocks): alerts that report through blocks instead of a delegate. The blocks live on
// the alert itself; setting any of them makes the alert its own delegate and remembers the delegate
// it had (not retained), which still hears every event after the block has run.
//
// Button indexes are the platform's: with a cancel title the cancel button is 0 and the other
// titles follow from 1 in the order given. Main thread only.
#pragma once

#include <Foundation/NSArray.h>
#include <UIKit/UIAlertView.h>

#include <functional>

using UIAlertViewCompletionBlock = std::function<void(const Ref<UIAlertView>& alertView, NSInteger buttonIndex)>;
using UIAlertViewBlock = std::function<void(const Ref<UIAlertView>& alertView)>;
using UIAlertViewShouldEnableBlock = std::function<bool(const Ref<UIAlertView>& alertView)>;

// `+showWithTitle:message:style:cancelButtonTitle:otherButtonTitles:tapBlock:`: makes the alert,
// stores the tap block (when given), shows the alert and answers it.
Ref<UIAlertView> showWithTitleMessageStyleCancelButtonTitleOtherButtonTitlesTapBlock(
    const Ref<NSString>& title, const Ref<NSString>& message, UIAlertViewStyle style,
    const Ref<NSString>& cancelButtonTitle, const Ref<NSArray>& otherButtonTitles, UIAlertViewCompletionBlock tapBlock);
// `+showWithTitle:message:cancelButtonTitle:otherButtonTitles:tapBlock:`: the same, default style.
Ref<UIAlertView> showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(const Ref<NSString>& title,
                                                                                const Ref<NSString>& message,
                                                                                const Ref<NSString>& cancelButtonTitle,
                                                                                const Ref<NSArray>& otherButtonTitles,
                                                                                UIAlertViewCompletionBlock tapBlock);

UIAlertViewCompletionBlock tapBlock(const Ref<UIAlertView>& alertView);
void setTapBlock(const Ref<UIAlertView>& alertView, UIAlertViewCompletionBlock block);
UIAlertViewCompletionBlock willDismissBlock(const Ref<UIAlertView>& alertView);
void setWillDismissBlock(const Ref<UIAlertView>& alertView, UIAlertViewCompletionBlock block);
UIAlertViewCompletionBlock didDismissBlock(const Ref<UIAlertView>& alertView);
void setDidDismissBlock(const Ref<UIAlertView>& alertView, UIAlertViewCompletionBlock block);
UIAlertViewBlock willPresentBlock(const Ref<UIAlertView>& alertView);
void setWillPresentBlock(const Ref<UIAlertView>& alertView, UIAlertViewBlock block);
UIAlertViewBlock didPresentBlock(const Ref<UIAlertView>& alertView);
void setDidPresentBlock(const Ref<UIAlertView>& alertView, UIAlertViewBlock block);
UIAlertViewBlock cancelBlock(const Ref<UIAlertView>& alertView);
void setCancelBlock(const Ref<UIAlertView>& alertView, UIAlertViewBlock block);
UIAlertViewShouldEnableBlock shouldEnableFirstOtherButtonBlock(const Ref<UIAlertView>& alertView);
void setShouldEnableFirstOtherButtonBlock(const Ref<UIAlertView>& alertView, UIAlertViewShouldEnableBlock block);

// `_checkAlertViewDelegate`: when the alert's delegate is not the alert itself, remembers that
// delegate as the earlier one and makes the alert its own delegate.
void checkAlertViewDelegate(const Ref<UIAlertView>& alertView);
