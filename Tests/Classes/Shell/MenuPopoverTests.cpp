// The menu popover over a screen in a window, on virtual time.
#include "../Core/ScreenTestCase.h"

#include <Runtime/ClassBuilder.h>
#include <Shell/MenuPopover.h>

#include <UIKit/UIImageView.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITableViewCell.h>

namespace {

class MenuOwner : public UIViewController {
    NS_OBJECT(MenuOwner, UIViewController)
public:
    MenuOwner() = default;
    std::vector<NSInteger> chosen;
    void menuPopoverDidSelectMenuItemAtIndex(const Ref<MenuPopover>&, NSInteger index) { chosen.push_back(index); }
};

} // namespace

NS_IMPLEMENT_CLASS(MenuOwner, UIViewController) {
    b.method("menuPopover:didSelectMenuItemAtIndex:", &MenuOwner::menuPopoverDidSelectMenuItemAtIndex);
}

namespace {

class MenuPopoverTest : public ScreenTestCase {
protected:
    void SetUp() override {
        ScreenTestCase::SetUp();
        owner_ = make<MenuOwner>();
        showInNavigation(owner_);
    }
    void TearDown() override {
        if (menu_) {
            menu_->hide();
            advance(1);
        }
        menu_ = nullptr;
        owner_ = nullptr;
        ScreenTestCase::TearDown();
    }
    Ref<MenuPopover> open(std::initializer_list<const char*> items) {
        auto list = NSMutableArray::array();
        for (auto item : items) {
            list->addObject(NSString::from(item));
        }
        menu_ = make<MenuPopover>(CGRectMake(UIScreen::mainScreen()->bounds().size.width - 230, 64, 250, 128), list);
        menu_->setMenuPopoverDelegate(owner_);
        menu_->showInView(owner_->view());
        advance(0.6);
        UITestDriver::layout();
        return menu_;
    }
    Ref<UITableView> table() { return cast<UITableView>(menu_->viewWithTag(kMenuPopoverTableTag)); }
    Ref<UITableViewCell> cell(NSInteger row) {
        return table()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(row, 0));
    }
    static bool hasSeparator(const Ref<UITableViewCell>& cell) {
        auto subviews = cell->contentView()->subviews();
        for (const id& view : *subviews) {
            if (cast<UIImageView>(view)) {
                return true;
            }
        }
        return false;
    }

    Ref<MenuOwner> owner_;
    Ref<MenuPopover> menu_;
};

} // namespace

TEST_F(MenuPopoverTest, RowsSeparatorsAndTheGreyedDeleteRow) {
    open({"Select all", "Remove all", "Delete profile"});
    ASSERT_TRUE(menu_->containerButton()->superview());
    EXPECT_EQ(menu_->containerButton()->alpha(), 1);
    ASSERT_TRUE(cell(0) && cell(1) && cell(2));
    EXPECT_TRUE(hasSeparator(cell(0)));
    EXPECT_TRUE(hasSeparator(cell(1)));
    EXPECT_FALSE(hasSeparator(cell(2)));
    EXPECT_EQ(cell(2)->textLabel()->text()->str(), "Delete profile");
    EXPECT_FALSE(cell(2)->textLabel()->isEnabled()); // no profile file

    // Chosen all the same: the menu closes and the delegate hears index 2.
    UITestDriver::tapView(cell(2));
    EXPECT_EQ(owner_->chosen, std::vector<NSInteger>{2});
    advance(0.6);
    EXPECT_FALSE(menu_->containerButton()->superview());
}

TEST_F(MenuPopoverTest, OneItemHasNoSeparatorAndTheDeleteRowIsEnabledWithAProfile) {
    writeText(documentsFile("quorvane_config.txt"), R"({"profile": []})");
    open({"Only"});
    ASSERT_TRUE(cell(0));
    EXPECT_FALSE(hasSeparator(cell(0)));
    menu_->hide();
    advance(0.6);
    open({"a", "b", "c"});
    EXPECT_TRUE(cell(2)->textLabel()->isEnabled());
}

TEST_F(MenuPopoverTest, ATapOutsideClosesWithoutTellingTheDelegate) {
    open({"a", "b", "c"});
    ASSERT_TRUE(UITestDriver::tapAtPoint(CGPointMake(20, 600)));
    advance(0.6);
    EXPECT_FALSE(menu_->containerButton()->superview());
    EXPECT_TRUE(owner_->chosen.empty());
}

TEST_F(MenuPopoverTest, OrientationShiftsPointerAndTable) {
    open({"a"});
    auto pointer = menu_->containerButton()->viewWithTag(kMenuPopoverPointerTag);
    ASSERT_TRUE(pointer);
    CGFloat x = pointer->frame().origin.x;
    EXPECT_EQ(x, 230) << "the screen's right edge in the menu's own coordinates";
    menu_->layoutUIForInterfaceOrientation(3);
    EXPECT_EQ(pointer->frame().origin.x, x + 50);
    menu_->layoutUIForInterfaceOrientation(1);
    EXPECT_EQ(pointer->frame().origin.x, x);
    EXPECT_EQ(MenuPopover::getCurrentVC(), navigation_);
}
