// A command bound to a bar button item. Categories of UIBarButtonItem, as free functions:
//
//     setRx_command(saveItem, command);
//
// While a command is set, the item is enabled exactly when the command is, and every tap executes
// the command with the item as input. The item becomes its own target: a target and action it had
// before are replaced (a warning is logged). Setting nil stops following the command's enabled
// state and leaves taps doing nothing.
#pragma once

#include <Reactive/RXCommand.h>
#include <UIKit/UIBarButtonItem.h>

Ref<RXCommand> rx_command(const Ref<UIBarButtonItem>& item);
void setRx_command(const Ref<UIBarButtonItem>& item, const Ref<RXCommand>& command);
