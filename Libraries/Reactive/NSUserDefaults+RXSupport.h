// The user defaults as a channel terminal. A category method of NSUserDefaults, as a free function
// taking the defaults first.
#pragma once

#include <Foundation/NSUserDefaults.h>
#include <Reactive/RXChannelTerminal.h>

// `-rx_channelTerminalForKey:`: a terminal whose subscribers receive the value of the key (the
// current one first, then each change made anywhere, without repeating an unchanged value), and
// whose values are stored under the key (on a private background scheduler). A value written
// through the terminal is not echoed back to it; a later change back to an earlier value is still
// delivered. A value the defaults cannot store ends the terminal with an error
// (NSCocoaErrorDomain, NSPropertyListWriteInvalidError). The defaults object is held weakly.
Ref<RXChannelTerminal> rx_channelTerminalForKey(const Ref<NSUserDefaults>& defaults, const Ref<NSString>& key);
