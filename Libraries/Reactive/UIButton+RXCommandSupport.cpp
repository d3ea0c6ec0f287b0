#include <Reactive/UIButton+RXCommandSupport.h>

#include <Foundation/NSArray.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>

#include <mutex>

namespace {

SEL performAction() {
    static const SEL action("rx_commandPerformAction:");
    return action;
}

// Buttons answer `rx_commandPerformAction:` from the first command set on any of them on.
void addPerformAction() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIButton::class_()->addInstanceMethod(
            performAction(),
            [](NSObject* self, const std::vector<id>& arguments) -> id {
                rx_commandPerformAction(id(self), arguments.empty() ? nullptr : arguments[0]);
                return nullptr;
            },
            "v@:@");
    });
}

} // namespace

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
    addPerformAction();
    Ref<NSArray> actions = button->actionsForTargetForControlEvent(button, UIControlEventTouchUpInside);
    if (actions && actions->containsObject(NSString::from(performAction().name()))) {
        return;
    }
    button->addTargetActionForControlEvents(button, performAction(), UIControlEventTouchUpInside);
}
