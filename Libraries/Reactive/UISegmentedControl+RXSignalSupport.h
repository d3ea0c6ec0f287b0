// A two-way channel to the selected segment index of a UISegmentedControl. A category of UISegmentedControl, as a free
// function:
//
//     Ref<RXChannelTerminal> terminal = rx_newSelectedSegmentIndexChannelWithNilValue(control, nilValue);
//
// The terminal sends the control's "selectedSegmentIndex" after every value-changed event (the operator's
// change); a value sent into it sets "selectedSegmentIndex" (nil sets `nilValue`) without sending an event. It
// completes when the control deallocates. Each call makes a new channel.
#pragma once

#include <Reactive/RXChannelTerminal.h>
#include <UIKit/UISegmentedControl.h>

Ref<RXChannelTerminal> rx_newSelectedSegmentIndexChannelWithNilValue(const Ref<UISegmentedControl>& control,
                                                                     const id& nilValue);
