// Gesture actions as a signal. A category of UIGestureRecognizer, as a free function:
//
//     rx_gestureSignal(tap)->subscribeNext(...);
//
// Each subscription adds its own target to the recognizer; the signal sends the recognizer at
// every action (began, changed, recognized) and completes when the recognizer deallocates.
// Disposing a subscription removes its target.
#pragma once

#include <Reactive/RXSignal.h>
#include <UIKit/UIGestureRecognizer.h>

Ref<RXSignal> rx_gestureSignal(const Ref<UIGestureRecognizer>& recognizer);
