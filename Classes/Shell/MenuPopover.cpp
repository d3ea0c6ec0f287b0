#include <Shell/MenuPopover.h>

#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITableViewCell.h>
#include <UIKit/UIWindow.h>

NS_IMPLEMENT_PROTOCOL(MenuPopoverDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("menuPopover:didSelectMenuItemAtIndex:", "v@:@q");
}

NS_IMPLEMENT_CLASS(MenuPopover, UIView) {
    b.conformsTo(UITableViewDataSourceProtocol());
    b.conformsTo(UITableViewDelegateProtocol());
    b.method("dismissMenuPopover:", &MenuPopover::dismissMenuPopover);
    b.method("numberOfSectionsInTableView:", &MenuPopover::numberOfSectionsInTableView);
    b.method("tableView:numberOfRowsInSection:", &MenuPopover::tableViewNumberOfRowsInSection);
    b.method("tableView:heightForRowAtIndexPath:", &MenuPopover::tableViewHeightForRowAtIndexPath);
    b.method("tableView:cellForRowAtIndexPath:", &MenuPopover::tableViewCellForRowAtIndexPath);
    b.method("tableView:didSelectRowAtIndexPath:", &MenuPopover::tableViewDidSelectRowAtIndexPath);
    b.property("menuPopoverDelegate", &MenuPopover::menuPopoverDelegate, &MenuPopover::setMenuPopoverDelegate, "weak");
    b.property("menuItems", &MenuPopover::menuItems, &MenuPopover::setMenuItems);
    b.property("containerButton", &MenuPopover::containerButton, &MenuPopover::setContainerButton);
}

namespace {

constexpr double kFadeDuration = 0.5;
constexpr double kRowHeight = 44.0;
constexpr CGFloat kPointerWidth = 23;
constexpr CGFloat kPointerHeight = 11;
const char* const kCellIdentifier = "MenuPopoverCell";
constexpr NSInteger kDeleteProfileRow = 2;

bool profileFileExists() {
    auto path = NSSandbox::documentsPath()->stringByAppendingPathComponent("quorvane_config.txt"_ns);
    return NSFileManager::defaultManager()->fileExistsAtPath(path);
}

} // namespace

MenuPopover::MenuPopover(CGRect frame, const Ref<NSArray>& items) : UIView(frame) {
    menuItems_ = items;
    Ref<MenuPopover> self(this);
    auto container = UIButton::buttonWithType(UIButtonTypeCustom);
    container->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.1));
    container->addTargetActionForControlEvents(self, "dismissMenuPopover:", UIControlEventTouchUpInside);
    container->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                                   UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin |
                                   UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    containerButton_ = container;

    CGRect screen = UIScreen::mainScreen()->bounds();
    NSLog("%@", NSStringFromCGRect(screen));

    auto pointer = make<UIImageView>(UIImage::imageNamed("options_pointer"_ns));
    CGFloat pointerX = frame.origin.x + 140;
    auto model = UIDevice::currentDevice()->model();
    if (!(model && model->hasPrefix("iPad"_ns))) {
        auto current = getCurrentVC();
        auto currentView = current ? current->view() : nullptr;
        pointerX = currentView ? currentView->convertPointToView(CGPointMake(screen.size.width, frame.origin.y), self).x
                               : screen.size.width;
    }
    pointer->setFrame(CGRectMake(pointerX, frame.origin.y, kPointerWidth, kPointerHeight));
    pointer->setTag(kMenuPopoverPointerTag);
    container->addSubview(pointer);

    auto table =
        make<UITableView>(CGRectMake(0, kPointerHeight, frame.size.width, frame.size.height), UITableViewStylePlain);
    table->setDataSource(self);
    table->setDelegate(self);
    table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    table->setScrollEnabled(false);
    table->setBackgroundColor(UIColor::clearColor());
    table->setTag(kMenuPopoverTableTag);
    table->setBackgroundView(make<UIImageView>(UIImage::imageNamed("Menu_PopOver_BG"_ns)));
    addSubview(table);
    container->addSubview(self);
}

void MenuPopover::showInView(const Ref<UIView>& view) {
    auto window = view ? view->window() : nullptr;
    auto root = window ? window->rootViewController() : nullptr;
    if (!root) {
        return;
    }
    auto container = containerButton_;
    Ref<MenuPopover> self(this);
    if (superview() != container) {
        container->addSubview(self);
    }
    container->setAlpha(0);
    container->setFrame(root->view()->frame());
    root->view()->addSubview(container);
    UIView::animateWithDurationAnimations(kFadeDuration, [container] { container->setAlpha(1); });
}

void MenuPopover::hide() {
    auto container = containerButton_;
    Ref<MenuPopover> self(this);
    UIView::animateWithDurationAnimationsCompletion(
        kFadeDuration, [container] { container->setAlpha(0); },
        [container, self](bool) {
            container->removeFromSuperview();
            // The container keeps the menu only while it shows: the menu keeps the container, and
            // the two would otherwise keep each other for good. showInView puts the menu back.
            self->removeFromSuperview();
        });
}

void MenuPopover::dismissMenuPopover(const id&) {
    hide();
}

void MenuPopover::layoutUIForInterfaceOrientation(NSInteger orientation) {
    CGFloat shift = (orientation == 3 || orientation == 4) ? 50 : -50;
    for (NSInteger tag : {kMenuPopoverPointerTag, kMenuPopoverTableTag}) {
        if (auto view = containerButton_->viewWithTag(tag)) {
            CGRect frame = view->frame();
            frame.origin.x += shift;
            view->setFrame(frame);
        }
    }
}

Ref<UIViewController> MenuPopover::getCurrentVC() {
    auto application = UIApplication::sharedApplication();
    auto window = application->keyWindow();
    if (!window || window->windowLevel() != UIWindowLevelNormal) {
        auto windows = application->windows();
        window = nullptr;
        for (const id& item : *windows) {
            auto candidate = cast<UIWindow>(item);
            if (candidate && candidate->windowLevel() == UIWindowLevelNormal) {
                window = candidate;
                break;
            }
        }
    }
    if (!window) {
        return nullptr;
    }
    auto subviews = window->subviews();
    if (subviews && subviews->count() > 0) {
        auto front = cast<UIView>(subviews->objectAtIndex(0));
        if (auto controller = cast<UIViewController>(front ? front->nextResponder() : nullptr)) {
            return controller;
        }
    }
    return window->rootViewController();
}

NSInteger MenuPopover::numberOfSectionsInTableView(const Ref<UITableView>&) {
    return 1;
}

NSInteger MenuPopover::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) {
    return menuItems_ ? static_cast<NSInteger>(menuItems_->count()) : 0;
}

double MenuPopover::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) {
    return kRowHeight;
}

Ref<UITableViewCell> MenuPopover::tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                                 const Ref<NSIndexPath>& indexPath) {
    auto identifier = NSString::from(kCellIdentifier);
    auto cell = tableView->dequeueReusableCellWithIdentifier(identifier);
    if (!cell) {
        cell = make<UITableViewCell>(UITableViewCellStyleDefault, identifier);
        cell->textLabel()->setFont(UIFont::boldSystemFontOfSize(15));
        cell->textLabel()->setTextColor(UIColor::whiteColor());
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        cell->setBackgroundColor(UIColor::clearColor());
    }
    NSInteger row = indexPath->row();
    NSInteger count = tableViewNumberOfRowsInSection(tableView, 0);
    // A reused cell may carry the separator of an earlier row.
    auto contentView = cell->contentView();
    if (auto old = contentView->viewWithTag(kMenuPopoverTableTag + 1)) {
        old->removeFromSuperview();
    }
    if (count >= 2 && row < count - 1) {
        auto line = make<UIImageView>(UIImage::imageNamed("DefaultLine"_ns));
        line->setFrame(CGRectMake(10, 43, frame().size.width - 20, 1));
        line->setOpaque(true);
        line->setTag(kMenuPopoverTableTag + 1);
        contentView->addSubview(line);
    }
    cell->textLabel()->setText(row < count ? cast<NSString>(menuItems_->objectAtIndex(row)) : nullptr);
    cell->textLabel()->setEnabled(row != kDeleteProfileRow || profileFileExists());
    return cell;
}

void MenuPopover::tableViewDidSelectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& indexPath) {
    hide();
    id delegate = menuPopoverDelegate();
    SEL selector("menuPopover:didSelectMenuItemAtIndex:");
    if (delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithArguments(selector,
                                               {Ref<MenuPopover>(this), box(static_cast<NSInteger>(indexPath->row()))});
    }
}
