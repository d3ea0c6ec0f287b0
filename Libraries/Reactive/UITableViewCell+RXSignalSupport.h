// Reuse of a UITableViewCell as a signal. A category of UITableViewCell, as a free function:
//
//     rx_prepareForReuseSignal(view)->subscribeNext(...);   // e.g. takeUntil it in a configure step
//
// The signal sends `[RXUnit defaultUnit]` every time prepareForReuse is sent to the view (after the
// view's own prepareForReuse) and completes when the view deallocates. Every call answers the same
// signal.
#pragma once

#include <Reactive/RXSignal.h>
#include <UIKit/UITableViewCell.h>

Ref<RXSignal> rx_prepareForReuseSignal(const Ref<UITableViewCell>& view);
