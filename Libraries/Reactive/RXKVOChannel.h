// RXKVOChannel: a channel bound to a key path of an object through key-value observation. The
// leading terminal carries the property's values (the current value first); a value sent into the
// following terminal is written to the property (the nil value for nil), and the notification that
// this write causes on the writing thread is not echoed back. The channel completes when the target
// begins to deallocate; a write whose key path cannot be reached (an intermediate value is nil) is
// dropped.
//
//     auto channel = make<RXKVOChannel>(model, "name"_ns, ""_ns);
//     channel->followingTerminal()->subscribeNext(...);        // the property's values
//     channel->followingTerminal()->sendNext("new name"_ns);   // writes the property
//
// `channel->setObjectForKeyedSubscript(other->followingTerminal(), "followingTerminal"_ns)` binds two
// channels both ways.
#pragma once

#include <Reactive/RXChannel.h>
#include <Reactive/RXKVOChannelData.h>

class RXKVOChannel : public RXChannel {
    NS_OBJECT(RXKVOChannel, RXChannel)
public:
    // `initWithTarget:keyPath:nilValue:`: the target is held weakly.
    RXKVOChannel(const id& target, const Ref<NSString>& keyPath, const id& nilValue);

    Ref<NSObject> target() const;
    const Ref<NSString>& keyPath() const noexcept { return keyPath_; }

    // The terminal for the key ("leadingTerminal" or "followingTerminal").
    Ref<RXChannelTerminal> objectForKeyedSubscript(const Ref<NSString>& key);
    // Binds `otherTerminal` both ways with this channel's terminal for the key: the other side first
    // receives this side's current value; this side then receives the other's later values.
    void setObjectForKeyedSubscript(const Ref<RXChannelTerminal>& otherTerminal, const Ref<NSString>& key);

    // This channel's write data on the calling thread, or nil.
    Ref<RXKVOChannelData> currentThreadData() const;

private:
    void createCurrentThreadData() const;
    void destroyCurrentThreadData() const;
    void clearTarget();

    mutable std::mutex lock_;
    Weak<NSObject> target_;
    Ref<NSString> keyPath_;
};
