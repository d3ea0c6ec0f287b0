// A self-hiding text message over a view, on the progress overlay.
#pragma once

#include <UISupport/PGProgressHUD.h>

// `+showAutoHideMessageWithTitle:time:parentView:completionBlock:`: a text-only overlay (details
// text `title`, margin 10, 15 points below the centre) over `parentView`; it hides itself, animated,
// after `time` seconds, leaves its superview and then runs `completion`.
void showAutoHideMessageWithTitleTimeParentViewCompletionBlock(const Ref<NSString>& title, double time,
                                                               const Ref<UIView>& parentView,
                                                               PGProgressHUD::CompletionBlock completion);
