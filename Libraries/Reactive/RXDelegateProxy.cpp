#include <Reactive/RXDelegateProxy.h>

#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXDelegateProxy, NSObject) {}

RXDelegateProxy::RXDelegateProxy(Protocol* protocol) : protocol_(protocol) {
    if (protocol) {
        RXDelegateProxy::class_()->addProtocol(protocol);
    }
}

Ref<RXSignal> RXDelegateProxy::signalForSelector(SEL selector) {
    return rx_signalForSelectorFromProtocol(id(this), selector, protocol_);
}

bool RXDelegateProxy::respondsToSelector(SEL selector) const {
    if (Ref<NSObject> delegate = proxiedDelegate_.lock(); delegate && delegate->respondsToSelector(selector)) {
        return true;
    }
    return NSObject::respondsToSelector(selector);
}

id RXDelegateProxy::forwardingTargetForSelector(SEL) const {
    return proxiedDelegate_.lock();
}
