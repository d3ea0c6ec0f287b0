// CameraLayout: the column layouts of the camera and display screens.
#include "CameraLayout.h"

#include <Core/DXLayoutResource.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <UIKit/NSText.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UISegmentedControl.h>
#include <UIKit/UISlider.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace dx_camera {

using namespace dx_layout;

void registerLayout(const std::string& name, std::vector<Outlet> outlets) {
    UINib::registerNibNamed(name, [outlets](const id& owner) -> Ref<NSArray> {
        CGRect screen = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(screen);
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        std::map<std::string, Ref<UIView>> panels;
        // A screen with a panel of controls leaves less of its height to the picture.
        bool withPanel =
            std::any_of(outlets.begin(), outlets.end(), [](const Outlet& o) { return o.kind == Kind::Panel; });
        std::map<std::string, Ref<UIView>> lastIn; // the last view of each column ("" the root's)
        for (const Outlet& outlet : outlets) {
            Ref<UIView> column = outlet.parent.empty() ? root : panels[outlet.parent];
            if (!column) {
                column = root;
            }
            Ref<UIView> view;
            switch (outlet.kind) {
            case Kind::Label: {
                auto label = make<UILabel>();
                label->setNumberOfLines(0);
                label->setTextAlignment(NSTextAlignmentCenter);
                label->setFont(UIFont::systemFontOfSize(outlet.key == "labelTitle" ? 22 : 15));
                label->setPreferredMaxLayoutWidth(screen.size.width - 32);
                if (!outlet.parent.empty()) {
                    label->setTextColor(UIColor::whiteColor()); // on the panel's dark ground
                }
                view = label;
                break;
            }
            case Kind::Button:
                view = UIButton::buttonWithType(UIButtonTypeSystem);
                break;
            case Kind::Picture:
                view = make<UIImageView>();
                size(root, view, NSLayoutAttributeHeight, std::floor(screen.size.height * (withPanel ? 0.26 : 0.42)));
                break;
            case Kind::Activity:
                view = make<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
                break;
            case Kind::Segmented:
                view = make<UISegmentedControl>(NSArray::arrayWithObjects({"Auto"_ns, "Locked"_ns}));
                size(root, view, NSLayoutAttributeWidth, 200);
                break;
            case Kind::Slider:
                view = make<UISlider>();
                size(root, view, NSLayoutAttributeHeight, 30);
                break;
            case Kind::Panel:
                // A dark ground, as over a camera picture: the yellow of the controls on it and the
                // white of its texts read on it.
                view = make<UIView>();
                view->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.1, 0.85));
                view->layer()->setCornerRadius(8);
                panels[outlet.key] = view;
                break;
            }
            view->setHidden(outlet.hidden);
            place(column, view);
            std::string columnKey = outlet.parent;
            auto above = lastIn[columnKey];
            if (above && outlet.slot == Slot::InPlaceOfPrevious) {
                // Shares the slot of the view before it; the column goes on below that one.
                pin(column, view, NSLayoutAttributeTop, above, NSLayoutAttributeTop, 0);
                pin(column, view, NSLayoutAttributeCenterX, column, NSLayoutAttributeCenterX, 0);
                if (owner) {
                    owner->setValueForKey(view, NSString::from(outlet.key));
                }
                continue;
            }
            if (above) {
                pin(column, view, NSLayoutAttributeTop, above, NSLayoutAttributeBottom, withPanel ? 4 : 8);
            } else {
                pin(column, view, NSLayoutAttributeTop, column, NSLayoutAttributeTop, outlet.parent.empty() ? 16 : 4);
            }
            if (outlet.kind == Kind::Label || outlet.kind == Kind::Picture || outlet.kind == Kind::Slider ||
                outlet.kind == Kind::Panel) {
                pin(column, view, NSLayoutAttributeLeft, column, NSLayoutAttributeLeft, 16);
                pin(column, view, NSLayoutAttributeRight, column, NSLayoutAttributeRight, -16);
            } else {
                pin(column, view, NSLayoutAttributeCenterX, column, NSLayoutAttributeCenterX, 0);
            }
            lastIn[columnKey] = view;
            if (owner) {
                owner->setValueForKey(view, NSString::from(outlet.key));
            }
        }
        // Each panel is as tall as its column.
        for (auto& [key, panel] : panels) {
            if (auto last = lastIn[key]) {
                pin(panel, panel, NSLayoutAttributeBottom, last, NSLayoutAttributeBottom, 4);
            } else {
                size(panel, panel, NSLayoutAttributeHeight, 0);
            }
        }
        return NSArray::arrayWithObjects({root});
    });
}

Ref<NSArray> subItems(const std::vector<const char*>& titles) {
    auto list = NSMutableArray::array();
    for (const char* title : titles) {
        auto item = NSMutableDictionary::dictionary();
        if (title) {
            item->setObjectForKey(NSString::from(title), "title"_ns);
        }
        list->addObject(item);
    }
    return list;
}

void markSubItem(const Ref<NSArray>& list, NSUInteger index, NSInteger result) {
    if (!list || index >= list->count()) {
        return;
    }
    if (auto item = cast<NSMutableDictionary>(list->objectAtIndex(index))) {
        item->setObjectForKey(NSNumber::numberWithInteger(result), "result"_ns);
    }
}

} // namespace dx_camera
