// The pictures an image picker delivers, as a signal through a delegate proxy. Categories of
// UIImagePickerController, as free functions:
//
//     rx_imageSelectedSignal(picker)->subscribeNext([](const id& info) { ... });
//
// The signal sends the info dictionary of every imagePickerController:didFinishPickingMediaWithInfo:
// and completes at imagePickerControllerDidCancel: or when the picker deallocates. Asking for it
// makes the picker's delegate proxy its delegate (once). The picking and the cancel calls then go to
// the signal; the previous delegate keeps receiving every other delegate call (the navigation ones
// included). The picker is not dismissed for the caller: dismiss it from the subscription, on a
// value and on completion, as a delegate would.
#pragma once

#include <Reactive/RXDelegateProxy.h>
#include <Reactive/RXSignal.h>
#include <UIKit/UIImagePickerController.h>

// The picker's proxy for UIImagePickerControllerDelegate, made on first use and kept with it.
Ref<RXDelegateProxy> rx_delegateProxy(const Ref<UIImagePickerController>& picker);
Ref<RXSignal> rx_imageSelectedSignal(const Ref<UIImagePickerController>& picker);
