#include <Reactive/UIStepper+RXSignalSupport.h>

#include <Reactive/UIControl+RXSignalSupportPrivate.h>

Ref<RXChannelTerminal> rx_newValueChannelWithNilValue(const Ref<UIStepper>& control, const id& nilValue) {
    return rx_channelForControlEventsKeyNilValue(control, UIControlEventValueChanged, "value"_ns, nilValue);
}
