#include <Reactive/UITextView+RXSignalSupport.h>

#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXTuple.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>
#include <UIKit/UIKitProtocols.h>

Ref<RXDelegateProxy> rx_delegateProxy(const Ref<UITextView>& textView) {
    if (!textView) {
        NSException::raise(NSInvalidArgumentException, "rx_delegateProxy needs a text view");
    }
    return rx_associatedDelegateProxy(textView, UITextViewDelegateProtocol());
}

Ref<RXSignal> rx_textSignal(const Ref<UITextView>& textView) {
    Ref<RXDelegateProxy> proxy = rx_delegateProxy(textView);
    Weak<UITextView> weakView(textView);
    Ref<RXSignal> signal =
        RXSignal::defer([weakView] { return RXSignal::return_(RXTuple::tupleWithObjects({id(weakView.lock())})); })
            ->concat(proxy->signalForSelector("textViewDidChange:"))
            ->reduceEach([](const Ref<UITextView>& view) -> id { return view ? id(view->text()) : nullptr; })
            ->takeUntil(rx_willDeallocSignal(textView))
            ->named("%@ -rx_textSignal", rx_description(textView));
    rx_installDelegateProxy(textView, proxy);
    return signal;
}
