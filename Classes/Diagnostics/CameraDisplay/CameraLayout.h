// The layout resources of the camera and display screens, registered in code: a column of views
// under the header (labels, buttons, a picture area, a spinner, a segmented control, sliders,
// panels that hold their own column), each connected to the outlet of the same name on the screen
// by key-value coding, some hidden at first. Also small helpers the screens share.
#pragma once

#include <Foundation/NSArray.h>
#include <Runtime/NSObject.h>

#include <string>
#include <vector>

namespace dx_camera {

enum class Kind { Label, Button, Picture, Activity, Segmented, Slider, Panel };

// Where a view lies in its column.
enum class Slot {
    Below,             // under the view before it
    InPlaceOfPrevious, // where the view before it lies (the two are never shown together)
};

struct Outlet {
    Outlet(std::string key, Kind kind = Kind::Label, bool hidden = false, std::string parent = {},
           Slot slot = Slot::Below)
        : key(std::move(key)), kind(kind), hidden(hidden), parent(std::move(parent)), slot(slot) {}
    std::string key; // the screen's property ("labelTitle" for the base's title line)
    Kind kind = Kind::Label;
    bool hidden = false;
    std::string parent; // the key of the panel it lies in; empty: the screen's own column
    Slot slot = Slot::Below;
};

// Registers the layout resource `name` (the screen's class name).
void registerLayout(const std::string& name, std::vector<Outlet> outlets);

// A sub-item list of mutable dictionaries, one per title ("title" = the title; no title for nil).
Ref<NSArray> subItems(const std::vector<const char*>& titles);
// Sets "result" (1 done, 2 failed) on sub-item `index`; nothing for an index out of the list.
void markSubItem(const Ref<NSArray>& list, NSUInteger index, NSInteger result);

} // namespace dx_camera
