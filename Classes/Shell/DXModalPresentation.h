// How the shell's small modal screens are laid over the screen that presents them: cross-dissolve,
// over the current context where the platform offers it, so that the presenting screen stays
// visible underneath.
#pragma once

#include <UIKit/UIViewController.h>

void DXPresentOverContext(const Ref<UIViewController>& presenting, const Ref<UIViewController>& screen);

// The button look of the shell's screens: a 1-point white border with corners of 5 points.
void DXStyleShellButton(const Ref<UIView>& button);
