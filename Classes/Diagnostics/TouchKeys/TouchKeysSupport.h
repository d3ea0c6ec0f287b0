// Small helpers shared by the touch and key screens: the record's time limit, sub-item lists, the
// tall-screen sizes, and a Skip button of the system type.
#pragma once

#include <Foundation/NSArray.h>
#include <UIKit/UIButton.h>

#include <vector>

namespace dx_touchkeys {

// The record's time limit in seconds: its `timeout`, or the long default (21600) when that is 0 or
// negative.
inline constexpr double kLongTimeLimit = 21600;
double timeLimit(NSInteger timeout);
// A sub-item list of mutable dictionaries, one per title ("title" = the title).
Ref<NSArray> subItems(const std::vector<const char*>& titles);
// Sets "result" of sub-item `index` (1 done, 2 failed); nothing when there is no such item.
void markSubItem(const Ref<NSArray>& list, NSUInteger index, NSInteger result);
// The main screen is exactly 375 x 812 or 414 x 896 points (the phones without a Home button).
bool isTallScreen();
// A Skip button of the system type titled "BASETEST_CONTROLLER_ACTIONSHEET_SKIP", 100 x 40.
Ref<UIButton> makeSkipButton();

} // namespace dx_touchkeys
