#include <Core/WLSheetItem.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UILabel.h>

NS_IMPLEMENT_CLASS(WLSheetItem, UITableViewCell) {}

void WLSheetItem::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    CGRect bounds = this->bounds();
    textLabel()->setFrame(CGRectMake(15, 0, bounds.size.width - 30, bounds.size.height));
    if (auto separator = separatorView()) {
        CGRect frame = separator->frame();
        separator->setFrame(CGRectMake(0, frame.origin.y, bounds.size.width, frame.size.height));
    }
}
