// Control events as signals. A category of UIControl, as a free function taking the control first:
//
//     rx_signalForControlEvents(button, UIControlEventTouchUpInside)->subscribeNext(...);
//
// Each subscription adds its own target to the control; the signal sends the control at every
// event of the mask, on the main thread where the platform sends actions, and completes when the
// control deallocates. Disposing a subscription removes its target and nothing of it stays with
// the control.
#pragma once

#include <Reactive/RXSignal.h>
#include <UIKit/UIControl.h>

Ref<RXSignal> rx_signalForControlEvents(const Ref<UIControl>& control, UIControlEvents controlEvents);
