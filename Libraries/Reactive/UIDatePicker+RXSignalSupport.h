// A two-way channel to the date of a UIDatePicker. A category of UIDatePicker, as a free function:
//
//     Ref<RXChannelTerminal> terminal = rx_newDateChannelWithNilValue(control, nilValue);
//
// The terminal sends the control's "date" after every value-changed event (the operator's
// change); a value sent into it sets "date" (nil sets `nilValue`) without sending an event. It
// completes when the control deallocates. Each call makes a new channel.
#pragma once

#include <Reactive/RXChannelTerminal.h>
#include <UIKit/UIDatePicker.h>

Ref<RXChannelTerminal> rx_newDateChannelWithNilValue(const Ref<UIDatePicker>& control, const id& nilValue);
