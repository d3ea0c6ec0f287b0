// UIAccessibility: what assistive technologies (VoiceOver) are told. Headless, nothing speaks:
// posted notifications are kept, oldest first (the last 100), for tests and the simulator to read.
// The views' own accessibility properties are members of UIView.
#pragma once

#include <Runtime/NSObject.h>

#include <cstdint>
#include <vector>

using UIAccessibilityNotifications = uint32_t;
inline constexpr UIAccessibilityNotifications UIAccessibilityScreenChangedNotification = 1000;
inline constexpr UIAccessibilityNotifications UIAccessibilityLayoutChangedNotification = 1001;
inline constexpr UIAccessibilityNotifications UIAccessibilityAnnouncementNotification = 1008;
inline constexpr UIAccessibilityNotifications UIAccessibilityPageScrolledNotification = 1009;

// Posts a notification with its argument (an element, a string to announce, or nil). Main thread.
void UIAccessibilityPostNotification(UIAccessibilityNotifications notification, const id& argument);
// NO: no screen reader runs here.
bool UIAccessibilityIsVoiceOverRunning();

struct UIAccessibilityPosting {
    UIAccessibilityNotifications notification;
    id argument;
};
// What was posted (see the header comment).
std::vector<UIAccessibilityPosting> UIAccessibilityPostedNotifications();
