#include <Reactive/UIImagePickerController+RXSignalSupport.h>

#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>
#include <UIKit/UIKitProtocols.h>

Ref<RXDelegateProxy> rx_delegateProxy(const Ref<UIImagePickerController>& picker) {
    if (!picker) {
        NSException::raise(NSInvalidArgumentException, "rx_delegateProxy needs an image picker");
    }
    return rx_associatedDelegateProxy(picker, UIImagePickerControllerDelegateProtocol());
}

Ref<RXSignal> rx_imageSelectedSignal(const Ref<UIImagePickerController>& picker) {
    Ref<RXDelegateProxy> proxy = rx_delegateProxy(picker);
    Ref<RXSignal> cancelled = proxy->signalForSelector("imagePickerControllerDidCancel:");
    Ref<RXSignal> signal = proxy->signalForSelector("imagePickerController:didFinishPickingMediaWithInfo:")
                               ->reduceEach([](const id&, const id& info) { return info; })
                               ->takeUntil(cancelled->merge(rx_willDeallocSignal(picker)))
                               ->named("%@ -rx_imageSelectedSignal", rx_description(picker));
    rx_installDelegateProxy(picker, proxy);
    return signal;
}
