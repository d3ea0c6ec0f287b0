#include <Reactive/UISwitch+RXSignalSupport.h>

#include <Foundation/NSNumber.h>
#include <Reactive/UIControl+RXSignalSupportPrivate.h>

Ref<RXChannelTerminal> rx_newOnChannel(const Ref<UISwitch>& control) {
    return rx_channelForControlEventsKeyNilValue(control, UIControlEventValueChanged, "on"_ns, box(false));
}
