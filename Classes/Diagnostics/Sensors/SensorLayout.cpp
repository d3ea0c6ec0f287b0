#include "SensorLayout.h"

#include <Core/DXLayoutResource.h>
#include <Foundation/NSArray.h>
#include <MapKit/MKMapView.h>
#include <UIKit/NSText.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

namespace dx_sensors {

using namespace dx_layout;

void registerLayout(const std::string& name, std::vector<Outlet> outlets) {
    UINib::registerNibNamed(name, [outlets](const id& owner) -> Ref<NSArray> {
        CGRect screen = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(screen);
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        Ref<UIView> above;
        for (const Outlet& outlet : outlets) {
            if (outlet.kind == Kind::Mark) {
                auto mark = make<UIImageView>();
                mark->setHidden(outlet.hidden);
                place(root, mark);
                size(root, mark, NSLayoutAttributeWidth, 20);
                size(root, mark, NSLayoutAttributeHeight, 20);
                pin(root, mark, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 2);
                if (above) {
                    pin(root, mark, NSLayoutAttributeCenterY, above, NSLayoutAttributeCenterY, 0);
                } else {
                    pin(root, mark, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 24);
                }
                if (owner) {
                    owner->setValueForKey(mark, NSString::from(outlet.key));
                }
                continue;
            }
            Ref<UIView> view;
            switch (outlet.kind) {
            case Kind::Label: {
                auto label = make<UILabel>();
                label->setNumberOfLines(0);
                label->setTextAlignment(NSTextAlignmentCenter);
                label->setFont(UIFont::systemFontOfSize(outlet.key == "labelTitle" ? 24 : 17));
                label->setPreferredMaxLayoutWidth(screen.size.width - 48);
                view = label;
                break;
            }
            case Kind::Button: {
                auto button = UIButton::buttonWithType(UIButtonTypeSystem);
                view = button;
                break;
            }
            case Kind::Image:
                view = make<UIImageView>();
                size(root, view, NSLayoutAttributeWidth, 64);
                size(root, view, NSLayoutAttributeHeight, 64);
                break;
            case Kind::Activity:
                view = make<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
                break;
            case Kind::Mark:
                break;
            case Kind::Map: {
                auto map = make<MKMapView>();
                map->setShowsUserLocation(true);
                map->setDelegate(owner);
                view = map;
                break;
            }
            }
            view->setHidden(outlet.hidden);
            place(root, view);
            if (above) {
                pin(root, view, NSLayoutAttributeTop, above, NSLayoutAttributeBottom, 16);
            } else {
                pin(root, view, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 24);
            }
            if (outlet.kind == Kind::Map) {
                // Above the bottom margin (which the screen base moves up over the answer bar).
                pin(root, root, NSLayoutAttributeBottom, view, NSLayoutAttributeBottom, 24);
            }
            if (outlet.kind == Kind::Label || outlet.kind == Kind::Map) {
                pin(root, view, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 24);
                pin(root, view, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -24);
            } else {
                pin(root, view, NSLayoutAttributeCenterX, root, NSLayoutAttributeCenterX, 0);
            }
            above = view;
            if (owner) {
                owner->setValueForKey(view, NSString::from(outlet.key));
            }
        }
        return NSArray::arrayWithObjects({root});
    });
}

} // namespace dx_sensors

#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>

namespace dx_sensors {

double timeLimit(NSInteger timeout) {
    return timeout > 0 ? static_cast<double>(timeout) : kLongTimeLimit;
}

Ref<NSArray> subItems(const std::vector<const char*>& titles) {
    auto list = NSMutableArray::array();
    for (const char* title : titles) {
        auto item = NSMutableDictionary::dictionary();
        item->setObjectForKey(NSString::from(title), "title"_ns);
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

} // namespace dx_sensors
