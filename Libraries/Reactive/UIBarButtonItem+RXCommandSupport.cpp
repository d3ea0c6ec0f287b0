#include <Reactive/UIBarButtonItem+RXCommandSupport.h>

#include <Foundation/NSLog.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>

#include <mutex>

namespace {

SEL performAction() {
    static const SEL action("rx_commandPerformAction:");
    return action;
}

// Bar button items answer `rx_commandPerformAction:` from the first command set on any of them on.
void addPerformAction() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIBarButtonItem::class_()->addInstanceMethod(
            performAction(),
            [](NSObject* self, const std::vector<id>& arguments) -> id {
                rx_commandPerformAction(id(self), arguments.empty() ? nullptr : arguments[0]);
                return nullptr;
            },
            "v@:@");
    });
}

} // namespace

Ref<RXCommand> rx_command(const Ref<UIBarButtonItem>& item) {
    return item ? rx_associatedCommand(item) : nullptr;
}

void setRx_command(const Ref<UIBarButtonItem>& item, const Ref<RXCommand>& command) {
    if (!item) {
        NSException::raise(NSInvalidArgumentException, "setRx_command: needs a bar button item");
    }
    rx_associateCommand(item, command);
    if (!command) {
        return;
    }
    addPerformAction();
    id target = item->target();
    if (target.get() == static_cast<NSObject*>(item.get()) && item->action() == performAction()) {
        return;
    }
    if (target) {
        NSLog("WARNING: UIBarButtonItem.rx_command hijacks the control's existing target and action.");
    }
    item->setTarget(item);
    item->setAction(performAction());
}
