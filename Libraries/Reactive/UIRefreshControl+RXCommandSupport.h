// A command bound to a refresh control. Categories of UIRefreshControl, as free functions:
//
//     setRx_command(refreshControl, reloadCommand);
//
// While a command is set, the control is enabled exactly when the command is, and every pull
// (value-changed) executes the command with the control as input; when that execution ends,
// whether it completed or failed (or could not start), the control ends refreshing. Pulls are
// handled one at a time, in order. Setting another command, or nil, replaces the binding.
#pragma once

#include <Reactive/RXCommand.h>
#include <UIKit/UIRefreshControl.h>

Ref<RXCommand> rx_command(const Ref<UIRefreshControl>& refreshControl);
void setRx_command(const Ref<UIRefreshControl>& refreshControl, const Ref<RXCommand>& command);
