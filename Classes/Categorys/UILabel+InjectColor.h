// UILabel(InjectColor): every label whose font is exactly 16 points shows dark grey text. The hook
// takes the place of the label class's willMoveToSuperview: once per process, when the program
// starts; the platform's own method stays reachable as dx_willMoveToSuperview:.
#pragma once

#include <UIKit/UILabel.h>

// `-dx_willMoveToSuperview:`: the platform's willMoveToSuperview:, then dark grey text for a
// 16-point font. (After the exchange, the label class's willMoveToSuperview: runs this.)
void dx_willMoveToSuperview(const Ref<UILabel>& label, const Ref<UIView>& newSuperview);
// Whether the hook is in place (it is installed when the program starts).
bool UILabelInjectColorInstalled();
