// A two-way channel to one value of a control, the base of the control channels
// (rx_newOnChannel, rx_newValueChannelWithNilValue, rx_newTextChannel, ...):
//
//     Ref<RXChannelTerminal> terminal =
//         rx_channelForControlEventsKeyNilValue(slider, UIControlEventValueChanged, "value"_ns, box(0.0f));
//
// The returned terminal sends the control's value for `key` after every event of the mask (what the
// operator did); every value sent into it is written to the control's `key` (nil writes
// `nilValue`), without an event and so without an echo. The channel completes when the control
// deallocates; completing it stops both directions.
#pragma once

#include <Reactive/RXChannelTerminal.h>
#include <UIKit/UIControl.h>

Ref<RXChannelTerminal> rx_channelForControlEventsKeyNilValue(const Ref<UIControl>& control,
                                                             UIControlEvents controlEvents, const Ref<NSString>& key,
                                                             const id& nilValue);
