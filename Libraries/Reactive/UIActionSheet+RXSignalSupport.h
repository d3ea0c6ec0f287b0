// An action sheet's buttons as a signal, through a delegate proxy. Categories of UIActionSheet, as
// free functions:
//
//     rx_buttonClickedSignal(sheet)->subscribeNext([](const id& index) { ... });
//
// The signal sends the button index (an NSNumber, in the platform's numbering) of every
// actionSheet:clickedButtonAtIndex: and completes when the sheet deallocates. Asking for it makes
// the sheet's delegate proxy its delegate (once); the previous delegate keeps receiving every
// other delegate call.
#pragma once

#include <Reactive/RXDelegateProxy.h>
#include <Reactive/RXSignal.h>
#include <UIKit/UIActionSheet.h>

// The sheet's proxy for UIActionSheetDelegate, made on first use and kept with the sheet.
Ref<RXDelegateProxy> rx_delegateProxy(const Ref<UIActionSheet>& actionSheet);
Ref<RXSignal> rx_buttonClickedSignal(const Ref<UIActionSheet>& actionSheet);
