// RXDelegateProxy: stands in as the delegate for one protocol. Calls of protocol methods for which
// a selector signal exists (`signalForSelector`) go to that signal only; every other call goes on
// to the real delegate (`rx_proxiedDelegate`, held weakly), and the proxy answers
// respondsToSelector for whatever the real delegate answers.
//
//     auto proxy = make<RXDelegateProxy>(NS_PROTOCOL(UIAlertViewDelegate));
//     proxy->setRx_proxiedDelegate(alert->delegate());
//     alert->setDelegate(proxy);
//     proxy->signalForSelector("alertView:clickedButtonAtIndex:")->subscribeNext(...);
#pragma once

#include <Reactive/RXSignal.h>

class RXDelegateProxy : public NSObject {
    NS_OBJECT(RXDelegateProxy, NSObject)
public:
    // `initWithProtocol:`; also declares the protocol on the RXDelegateProxy class.
    explicit RXDelegateProxy(Protocol* protocol);

    Protocol* protocol() const noexcept { return protocol_; }
    // rx_signalForSelectorFromProtocol on the proxy with its protocol.
    Ref<RXSignal> signalForSelector(SEL selector);

    // The real delegate (weak).
    Ref<NSObject> rx_proxiedDelegate() const { return proxiedDelegate_.lock(); }
    void setRx_proxiedDelegate(const id& delegate) { proxiedDelegate_ = delegate; }

    bool isProxy() const override { return true; }
    // YES when the real delegate responds, else what the proxy itself answers.
    bool respondsToSelector(SEL selector) const override;
    // The real delegate, for every selector the proxy does not answer itself.
    id forwardingTargetForSelector(SEL selector) const override;

private:
    Protocol* protocol_;
    Weak<NSObject> proxiedDelegate_;
};
