// The scripted operator on the camera and display screens. It sees the screen as the eye does
// (OperatorHands: what the panel shows, its faults included) and the device only through its senses
// (the torch's light, how bright the screen shines); it holds the camera to what a screen asks (a
// white or black surface, the test chart) and answers honestly from what it saw:
// a fill with a dead area, a ghost or a crack is not even; a preview that is black, frozen or
// without the chart is not right; a torch that stayed dark is not on.
#pragma once

#include <Core/DXBaseViewController.h>

#include <functional>
#include <optional>
#include <string>

namespace camera_operator {

// A new operator starts with nothing seen: it forgets the screen and the camera screen it looked at
// in an earlier session of the same process.
void forget();
// The system camera screen (UIImagePickerController) on top: the operator tries the camera's zoom,
// focus and flash, then takes the picture, or cancels when the camera gives none. Answers whether
// it did anything; false when no such screen is shown.
bool actOnImagePicker();
// Whether the operator handles the screen class here.
bool isCameraDisplayScreen(const std::string& screenClass);
// One step on such a screen; `scripted` answers a test key's scripted answer, if any. Answers
// whether the operator did anything.
bool act(const Ref<DXBaseViewController>& screen,
         const std::function<std::optional<bool>(const std::string&)>& scripted);

} // namespace camera_operator
