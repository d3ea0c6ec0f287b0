// A two-way channel to the value of a UIStepper. A category of UIStepper, as a free function:
//
//     Ref<RXChannelTerminal> terminal = rx_newValueChannelWithNilValue(control, nilValue);
//
// The terminal sends the control's "value" after every value-changed event (the operator's
// change); a value sent into it sets "value" (nil sets `nilValue`) without sending an event. It
// completes when the control deallocates. Each call makes a new channel.
#pragma once

#include <Reactive/RXChannelTerminal.h>
#include <UIKit/UIStepper.h>

Ref<RXChannelTerminal> rx_newValueChannelWithNilValue(const Ref<UIStepper>& control, const id& nilValue);
