// A signal operator that stops one signal when another one fires, passing the trigger's events on.
#pragma once

#include <Reactive/RXSignal.h>

// `-takeUntilWithSignal:`: the receiver's events until the trigger sends anything. The trigger's
// value, error or completion is passed on to the subscriber and then cuts the subscription to the
// receiver; the trigger's own subscription stays, so its later values pass on too. Disposing of the
// result's subscription disposes of both.
Ref<RXSignal> takeUntilWithSignal(const Ref<RXSignal>& receiver, const Ref<RXSignal>& trigger);
