// RXChannel: a two-way binding made of two terminals. What is sent into the leading terminal comes
// out of the following terminal (the latest such value is replayed to a new subscriber of the
// following terminal); what is sent into the following terminal comes out of the leading terminal
// from then on, with no replay. An error or completion sent into either terminal ends both sides.
#pragma once

#include <Reactive/RXChannelTerminal.h>

class RXChannel : public NSObject {
    NS_OBJECT(RXChannel, NSObject)
public:
    RXChannel();

    const Ref<RXChannelTerminal>& leadingTerminal() const noexcept { return leadingTerminal_; }
    const Ref<RXChannelTerminal>& followingTerminal() const noexcept { return followingTerminal_; }

private:
    Ref<RXChannelTerminal> leadingTerminal_;
    Ref<RXChannelTerminal> followingTerminal_;
};
