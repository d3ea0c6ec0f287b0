#include <Reactive/UISlider+RXSignalSupport.h>

#include <Reactive/UIControl+RXSignalSupportPrivate.h>

Ref<RXChannelTerminal> rx_newValueChannelWithNilValue(const Ref<UISlider>& control, const id& nilValue) {
    return rx_channelForControlEventsKeyNilValue(control, UIControlEventValueChanged, "value"_ns, nilValue);
}
