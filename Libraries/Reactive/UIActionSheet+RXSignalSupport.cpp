#include <Reactive/UIActionSheet+RXSignalSupport.h>

#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>
#include <UIKit/UIKitProtocols.h>

Ref<RXDelegateProxy> rx_delegateProxy(const Ref<UIActionSheet>& actionSheet) {
    if (!actionSheet) {
        NSException::raise(NSInvalidArgumentException, "rx_delegateProxy needs an action sheet");
    }
    return rx_associatedDelegateProxy(actionSheet, UIActionSheetDelegateProtocol());
}

Ref<RXSignal> rx_buttonClickedSignal(const Ref<UIActionSheet>& actionSheet) {
    Ref<RXDelegateProxy> proxy = rx_delegateProxy(actionSheet);
    Ref<RXSignal> signal = proxy->signalForSelector("actionSheet:clickedButtonAtIndex:")
                               ->reduceEach([](const id&, const id& buttonIndex) { return buttonIndex; })
                               ->takeUntil(rx_willDeallocSignal(actionSheet))
                               ->named("%@ -rx_buttonClickedSignal", rx_description(actionSheet));
    rx_installDelegateProxy(actionSheet, proxy);
    return signal;
}
