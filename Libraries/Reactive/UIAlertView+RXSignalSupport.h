// An alert's buttons as signals, through a delegate proxy. Categories of UIAlertView, as free
// functions:
//
//     rx_buttonClickedSignal(alert)->subscribeNext([](const id& index) { ... });
//
// The signals send the button index (an NSNumber, in the platform's numbering) of every
// alertView:clickedButtonAtIndex: / alertView:willDismissWithButtonIndex: and complete when the
// alert deallocates. Asking for one makes the alert's delegate proxy its delegate (once); the
// previous delegate keeps receiving every delegate call that has no signal.
#pragma once

#include <Reactive/RXDelegateProxy.h>
#include <Reactive/RXSignal.h>
#include <UIKit/UIAlertView.h>

// The alert's proxy for UIAlertViewDelegate, made on first use and kept with the alert.
Ref<RXDelegateProxy> rx_delegateProxy(const Ref<UIAlertView>& alertView);
Ref<RXSignal> rx_buttonClickedSignal(const Ref<UIAlertView>& alertView);
Ref<RXSignal> rx_willDismissSignal(const Ref<UIAlertView>& alertView);
