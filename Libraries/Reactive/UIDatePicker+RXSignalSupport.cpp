#include <Reactive/UIDatePicker+RXSignalSupport.h>

#include <Reactive/UIControl+RXSignalSupportPrivate.h>

Ref<RXChannelTerminal> rx_newDateChannelWithNilValue(const Ref<UIDatePicker>& control, const id& nilValue) {
    return rx_channelForControlEventsKeyNilValue(control, UIControlEventValueChanged, "date"_ns, nilValue);
}
