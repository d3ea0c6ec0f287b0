// RXKVOChannelData: what a KVO channel knows about a write in progress on one thread: whether the
// key-value notification that the write causes on this thread is to be ignored (so the channel does
// not echo its own writes back).
#pragma once

#include <Foundation/NSString.h>

class RXKVOChannelData : public NSObject {
    NS_OBJECT(RXKVOChannelData, NSObject)
public:
    RXKVOChannelData() = default;

    // New data for the channel (its owner, compared by address and never retained).
    static Ref<RXKVOChannelData> dataForChannel(const void* channel);

    bool ignoreNextUpdate() const noexcept { return ignoreNextUpdate_; }
    void setIgnoreNextUpdate(bool ignore) noexcept { ignoreNextUpdate_ = ignore; }
    const void* owner() const noexcept { return owner_; }

private:
    bool ignoreNextUpdate_ = false;
    const void* owner_ = nullptr;
};
