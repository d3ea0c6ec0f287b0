// The layout resources of the sensor screens, registered in code: a column of views under the
// header (labels, buttons, image views, an activity indicator, a map), each connected to the outlet
// of the same name on the screen by key-value coding, some of them hidden at first. A map fills
// the width and the rest of the height down to the bottom margin; it shows the user's location and
// has the screen (the layout's owner) as its delegate.
#pragma once

#include <Runtime/NSObject.h>

#include <string>
#include <vector>

namespace dx_sensors {

// Mark: a small image (a step's result mark) at the left of the view before it, in that view's row;
// it takes no height of the column.
enum class Kind { Label, Button, Image, Activity, Map, Mark };

struct Outlet {
    std::string key; // the screen's property ("labelTitle" for the base's title line)
    Kind kind = Kind::Label;
    bool hidden = false;
};

// Registers the layout resource `name` (the screen's class name).
void registerLayout(const std::string& name, std::vector<Outlet> outlets);

} // namespace dx_sensors

class NSArray;
class NSString;

namespace dx_sensors {

// The time limit of a record in seconds: its `timeout`, or the long default when that is 0 (or
// negative, which no limit can mean).
inline constexpr double kLongTimeLimit = 21600;
double timeLimit(NSInteger timeout);
// A sub-item list of mutable dictionaries, one per title ("title" = the title).
Ref<NSArray> subItems(const std::vector<const char*>& titles);
// Marks sub-item `index` of the screen's list with "result" (1 done, 2 failed).
void markSubItem(const Ref<NSArray>& list, NSUInteger index, NSInteger result);

} // namespace dx_sensors
