#include <Reactive/UIGestureRecognizer+RXSignalSupport.h>

#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>

namespace {
// The action of every target: the sender goes to the subscriber as a value.
SEL sendNextAction() {
    static const SEL action("sendNext:");
    return action;
}
} // namespace

Ref<RXSignal> rx_gestureSignal(const Ref<UIGestureRecognizer>& recognizer) {
    if (!recognizer) {
        NSException::raise(NSInvalidArgumentException, "rx_gestureSignal needs a gesture recognizer");
    }
    return rx_targetActionSignal(
               recognizer,
               [](const id& object, const id& target) {
                   static_cast<UIGestureRecognizer*>(object.get())->addTargetAction(target, sendNextAction());
               },
               [](const id& object, const id& target) {
                   static_cast<UIGestureRecognizer*>(object.get())->removeTargetAction(target, sendNextAction());
               })
        ->named("%@ -rx_gestureSignal", rx_description(recognizer));
}
