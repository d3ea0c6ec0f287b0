// UIButton(Block): a button that runs a block for the control events it was given. Main thread only.
#pragma once

#include <UIKit/UIButton.h>

#include <functional>

using DXButtonActionBlock = std::function<void(const Ref<UIButton>& sender)>;

// `-handleControlEvent:withBlock:`: stores the block (a later call replaces it) and makes the
// button its own target for `events` with the action `actionBlock:`.
void handleControlEventWithBlock(const Ref<UIButton>& button, UIControlEvents events, DXButtonActionBlock block);
// `-actionBlock:`: runs the stored block, when there is one, with the sender.
void actionBlock(const Ref<UIButton>& button, const id& sender);
