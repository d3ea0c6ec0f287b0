#include <Reactive/UIButton+RXCommandSupport.h>

#include <Foundation/NSArray.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>

Ref<RXCommand> rx_command(const Ref<UIButton>& button) {
    return button ? rx_associatedCommand(button) : nullptr;
}

void setRx_command(const Ref<UIButton>& button, const Ref<RXCommand>& command) {
    if (!button) {
        NSException::raise(NSInvalidArgumentException, "setRx_command: needs a button");
    }
    rx_associateCommand(button, command);
    if (!command) {
        return;
    }
    rx_addCommandPerformAction(UIButton::class_());
    Ref<NSArray> actions = button->actionsForTargetForControlEvent(button, UIControlEventTouchUpInside);
    if (actions && actions->containsObject(NSString::from(rx_commandPerformActionSelector().name()))) {
        return;
    }
    button->addTargetActionForControlEvents(button, rx_commandPerformActionSelector(), UIControlEventTouchUpInside);
}
