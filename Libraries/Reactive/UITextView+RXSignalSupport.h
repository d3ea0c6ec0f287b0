// A text view's text as a signal, through a delegate proxy. Categories of UITextView, as free
// functions:
//
//     rx_textSignal(textView)->subscribeNext(...);
//
// `rx_textSignal` sends the view's current text at once on subscription, then its text at every
// textViewDidChange: (the operator's edits); it completes when the view deallocates. Asking for it
// makes the view's delegate proxy its delegate; the previous delegate keeps receiving every other
// delegate call.
#pragma once

#include <Reactive/RXDelegateProxy.h>
#include <Reactive/RXSignal.h>
#include <UIKit/UITextView.h>

// The view's proxy for UITextViewDelegate, made on first use and kept with the view.
Ref<RXDelegateProxy> rx_delegateProxy(const Ref<UITextView>& textView);
Ref<RXSignal> rx_textSignal(const Ref<UITextView>& textView);
