#include <Reactive/UIBarButtonItem+RXCommandSupport.h>

#include <Foundation/NSLog.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>

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
    rx_addCommandPerformAction(UIBarButtonItem::class_());
    id target = item->target();
    if (target.get() == static_cast<NSObject*>(item.get()) && item->action() == rx_commandPerformActionSelector()) {
        return;
    }
    if (target) {
        NSLog("WARNING: UIBarButtonItem.rx_command hijacks the control's existing target and action.");
    }
    item->setTarget(item);
    item->setAction(rx_commandPerformActionSelector());
}
