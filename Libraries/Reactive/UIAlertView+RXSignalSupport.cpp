#include <Reactive/UIAlertView+RXSignalSupport.h>

#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>
#include <UIKit/UIKitProtocols.h>

namespace {

// The button index (the second argument) of every call of the delegate method.
Ref<RXSignal> buttonIndexSignal(const Ref<UIAlertView>& alertView, SEL selector, const char* name) {
    Ref<RXDelegateProxy> proxy = rx_delegateProxy(alertView);
    Ref<RXSignal> signal = proxy->signalForSelector(selector)
                               ->reduceEach([](const id&, const id& buttonIndex) { return buttonIndex; })
                               ->takeUntil(rx_willDeallocSignal(alertView))
                               ->named("%@ -%s", rx_description(alertView), name);
    rx_installDelegateProxy(alertView, proxy);
    return signal;
}

} // namespace

Ref<RXDelegateProxy> rx_delegateProxy(const Ref<UIAlertView>& alertView) {
    if (!alertView) {
        NSException::raise(NSInvalidArgumentException, "rx_delegateProxy needs an alert view");
    }
    return rx_associatedDelegateProxy(alertView, UIAlertViewDelegateProtocol());
}

Ref<RXSignal> rx_buttonClickedSignal(const Ref<UIAlertView>& alertView) {
    return buttonIndexSignal(alertView, "alertView:clickedButtonAtIndex:", "rx_buttonClickedSignal");
}

Ref<RXSignal> rx_willDismissSignal(const Ref<UIAlertView>& alertView) {
    return buttonIndexSignal(alertView, "alertView:willDismissWithButtonIndex:", "rx_willDismissSignal");
}
