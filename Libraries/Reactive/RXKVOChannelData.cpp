#include <Reactive/RXKVOChannelData.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXKVOChannelData, NSObject) {}

Ref<RXKVOChannelData> RXKVOChannelData::dataForChannel(const void* channel) {
    auto data = make<RXKVOChannelData>();
    data->owner_ = channel;
    return data;
}
