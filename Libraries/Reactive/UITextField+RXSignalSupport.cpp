#include <Reactive/UITextField+RXSignalSupport.h>

#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/UIControl+RXSignalSupport.h>
#include <Reactive/UIControl+RXSignalSupportPrivate.h>

Ref<RXSignal> rx_textSignal(const Ref<UITextField>& field) {
    if (!field) {
        NSException::raise(NSInvalidArgumentException, "rx_textSignal needs a text field");
    }
    Weak<UITextField> weakField(field);
    return RXSignal::defer([weakField] { return RXSignal::return_(id(weakField.lock())); })
        ->concat(rx_signalForControlEvents(field, RXTextFieldTextEvents))
        ->map([](const id& sender) -> id {
            auto textField = cast<UITextField>(sender);
            return textField ? id(textField->text()) : nullptr;
        })
        ->takeUntil(rx_willDeallocSignal(field))
        ->named("%@ -rx_textSignal", rx_description(field));
}

Ref<RXChannelTerminal> rx_newTextChannel(const Ref<UITextField>& field) {
    return rx_channelForControlEventsKeyNilValue(field, RXTextFieldTextEvents, "text"_ns, NSString::string());
}
