#include <Reactive/UISegmentedControl+RXSignalSupport.h>

#include <Reactive/UIControl+RXSignalSupportPrivate.h>

Ref<RXChannelTerminal> rx_newSelectedSegmentIndexChannelWithNilValue(const Ref<UISegmentedControl>& control,
                                                                     const id& nilValue) {
    return rx_channelForControlEventsKeyNilValue(control, UIControlEventValueChanged, "selectedSegmentIndex"_ns,
                                                 nilValue);
}
