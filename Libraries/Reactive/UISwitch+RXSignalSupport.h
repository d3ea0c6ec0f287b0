// A two-way channel to the state of a UISwitch. A category of UISwitch, as a free function:
//
//     Ref<RXChannelTerminal> terminal = rx_newOnChannel(toggle);
//
// The terminal sends the switch's "on" (an NSNumber boolean) after every value-changed event (the
// operator's flip); a value sent into it sets "on" (nil sets NO) without sending an event. It
// completes when the switch deallocates. Each call makes a new channel.
#pragma once

#include <Reactive/RXChannelTerminal.h>
#include <UIKit/UISwitch.h>

Ref<RXChannelTerminal> rx_newOnChannel(const Ref<UISwitch>& control);
