// Reuse of a UICollectionReusableView as a signal. A category of UICollectionReusableView, as a free function:
//
//     rx_prepareForReuseSignal(view)->subscribeNext(...);   // e.g. takeUntil it in a configure step
//
// The signal sends `[RXUnit defaultUnit]` every time prepareForReuse is sent to the view (after the
// view's own prepareForReuse) and completes when the view deallocates. Every call answers the same
// signal.
#pragma once

#include <Reactive/RXSignal.h>
#include <UIKit/UICollectionReusableView.h>

Ref<RXSignal> rx_prepareForReuseSignal(const Ref<UICollectionReusableView>& view);
