// MenuPopover: a small drop-down menu of text rows on a background image, with a pointer above it,
// shown over a dimmed full-screen button that closes it when tapped. The chosen row goes to the
// menu's delegate.
#pragma once

#include <Foundation/NSArray.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIButton.h>
#include <UIKit/UITableView.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>

// `@protocol MenuPopoverDelegate`: `menuPopover:didSelectMenuItemAtIndex:`.
NS_DECLARE_PROTOCOL(MenuPopoverDelegate);

inline constexpr NSInteger kMenuPopoverPointerTag = 1011;
inline constexpr NSInteger kMenuPopoverTableTag = 1012;

class MenuPopover : public UIView {
    NS_OBJECT(MenuPopover, UIView)
public:
    // `initWithFrame:menuItems:`: builds the menu without showing it.
    MenuPopover(CGRect frame, const Ref<NSArray>& menuItems);

    // Held weakly: the owner keeps the menu, not the other way round.
    NS_WEAK_PROPERTY(NSObject, menuPopoverDelegate, setMenuPopoverDelegate)
    NS_PROPERTY(Ref<NSArray>, menuItems, setMenuItems)
    NS_PROPERTY(Ref<UIButton>, containerButton, setContainerButton)

    // Shows the menu over the root screen of `view`'s window, fading in over 0.5 seconds.
    void showInView(const Ref<UIView>& view);
    // Fades out over 0.5 seconds, then leaves the screen. A menu that was built but never hidden
    // holds itself through its container; hide releases that hold.
    void hide();
    void dismissMenuPopover(const id& sender = nullptr);
    // Landscape (3 and 4) moves the pointer and the table 50 points right, anything else 50 left.
    void layoutUIForInterfaceOrientation(NSInteger orientation);
    // The screen at the top of the normal-level window.
    static Ref<UIViewController> getCurrentVC();

    // Table data source and delegate.
    NSInteger numberOfSectionsInTableView(const Ref<UITableView>& tableView);
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section);
    double tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                        const Ref<NSIndexPath>& indexPath);
    void tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);
};
