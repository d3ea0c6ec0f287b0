// A command bound to a button. Categories of UIButton, as free functions:
//
//     setRx_command(sendButton, command);
//
// While a command is set, the button is enabled exactly when the command is, and every
// touch-up-inside executes the command with the button as input. The button keeps the command.
// Setting another command replaces the binding (the action is installed once); setting nil stops
// following the command's enabled state and leaves taps doing nothing.
#pragma once

#include <Reactive/RXCommand.h>
#include <UIKit/UIButton.h>

Ref<RXCommand> rx_command(const Ref<UIButton>& button);
void setRx_command(const Ref<UIButton>& button, const Ref<RXCommand>& command);
