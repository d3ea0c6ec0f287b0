// A text field's text as a signal and as a two-way channel. Categories of UITextField, as free
// functions:
//
//     rx_textSignal(field)->subscribeNext(...);
//
// `rx_textSignal` sends the field's current text at once on subscription, then the text after
// every editing-did-begin and editing-changed event (typing, deleting, the clear button); it
// completes when the field deallocates. Setting `text` in code sends no event and so no value.
#pragma once

#include <Reactive/RXChannelTerminal.h>
#include <Reactive/RXSignal.h>
#include <UIKit/UITextField.h>

// The editing events whose text the signal and the channel send: editing-did-begin and
// editing-changed (not the editing-did-end events).
inline constexpr UIControlEvents RXTextFieldTextEvents = UIControlEventEditingDidBegin | UIControlEventEditingChanged;

Ref<RXSignal> rx_textSignal(const Ref<UITextField>& field);
// A new two-way channel to "text" for the same events; a nil value sent into it sets the empty text.
Ref<RXChannelTerminal> rx_newTextChannel(const Ref<UITextField>& field);
