#include <Reactive/UIControl+RXSignalSupport.h>

#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>

namespace {
// The action of every target: the sender goes to the subscriber as a value.
SEL sendNextAction() {
    static const SEL action("sendNext:");
    return action;
}
} // namespace

Ref<RXSignal> rx_signalForControlEvents(const Ref<UIControl>& control, UIControlEvents controlEvents) {
    if (!control) {
        NSException::raise(NSInvalidArgumentException, "rx_signalForControlEvents: needs a control");
    }
    return rx_targetActionSignal(
               control,
               [controlEvents](const id& object, const id& target) {
                   static_cast<UIControl*>(object.get())
                       ->addTargetActionForControlEvents(target, sendNextAction(), controlEvents);
               },
               [controlEvents](const id& object, const id& target) {
                   static_cast<UIControl*>(object.get())
                       ->removeTargetActionForControlEvents(target, sendNextAction(), controlEvents);
               })
        ->named("%@ -rx_signalForControlEvents: %lx", rx_description(control),
                static_cast<unsigned long>(controlEvents));
}
