// Helpers shared by the touch and key screens.
#include <Diagnostics/TouchKeys/TouchKeysSupport.h>

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UIScreen.h>

namespace dx_touchkeys {

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

bool isTallScreen() {
    CGSize s = UIScreen::mainScreen()->bounds().size;
    return (s.width == 375 && s.height == 812) || (s.width == 414 && s.height == 896);
}

Ref<UIButton> makeSkipButton() {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitleForState(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SKIP"), UIControlStateNormal);
    button->setFrame(CGRectMake(0, 0, 100, 40));
    return button;
}

} // namespace dx_touchkeys
