// The root screen's manual-selection list, shown on purpose (the session road keeps it hidden).
#include "ScreenTestCase.h"

#include <Categorys/DXLocalizedString.h>
#include <Shell/DXRootTableViewCell.h>
#include <Shell/DXRootTableViewController.h>
#include <Shell/StartViewController.h>

namespace {

class RootListTest : public ScreenTestCase {
protected:
    void SetUp() override {
        ScreenTestCase::SetUp();
        root_ = make<DXRootTableViewController>();
        showInNavigation(root_);
        advance(0.5);
        if (auto start = root_->startViewController()) {
            start->dismissViewControllerAnimatedCompletion(false, nullptr);
        }
        auto list = NSMutableArray::array();
        auto section = [&](NSInteger type, std::initializer_list<const char*> titles) {
            auto s = make<DXSectionModel>();
            s->setType(type);
            auto tests = NSMutableArray::array();
            list->addObject(s);
            for (auto title : titles) {
                auto t = make<DXTestModel>(NSString::from(title));
                t->setIsAuto(type == DXSectionTypeAuto);
                tests->addObject(t);
                list->addObject(t);
            }
            s->setList(tests);
            return s;
        };
        root_->setAutoSection(section(DXSectionTypeAuto, {"Wi-Fi", "GPS"}));
        root_->setManualSection(section(DXSectionTypeManual, {"Decoration"}));
        root_->setTestList(list);
        root_->headerView()->setHidden(false);
        root_->tableView()->setHidden(false);
        root_->tableView()->reloadData();
        UITestDriver::layout();
    }
    void TearDown() override {
        root_ = nullptr;
        ScreenTestCase::TearDown();
    }
    Ref<UITableViewCell> cell(NSInteger row) {
        root_->tableView()->layoutIfNeeded(); // a reload lays the rows out again
        return root_->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(row, 0));
    }
    Ref<DXTestModel> test(NSInteger row) { return cast<DXTestModel>(root_->testList()->objectAtIndex(row)); }

    Ref<DXRootTableViewController> root_;
};

} // namespace

TEST_F(RootListTest, SelectingTheLastTestOfASectionTurnsItsButtonToRemoveAll) {
    auto remove = DXLocalizedString("ROOT_MENU_REMOVE_ALL")->str();
    auto select = DXLocalizedString("ROOT_MENU_SELECT_ALL")->str();
    EXPECT_TRUE(root_->headerView()->runButton()->isHidden());
    EXPECT_TRUE(root_->headerView()->saveButton()->isHidden());
    root_->clickTestSelectButton(cast<DXRootTableViewCell>(cell(1))->selectionButton());
    EXPECT_TRUE(test(1)->selected());
    EXPECT_FALSE(root_->headerView()->runButton()->isHidden());
    EXPECT_NE(root_->autoSection()->buttontitle()->str(), remove);
    root_->clickTestSelectButton(cast<DXRootTableViewCell>(cell(2))->selectionButton());
    EXPECT_EQ(root_->autoSection()->buttontitle()->str(), remove);
    EXPECT_EQ(root_->autoSection()->label()->str(), "AUTOMATIC (2 selected)");
    root_->clickTestSelectButton(cast<DXRootTableViewCell>(cell(1))->selectionButton());
    EXPECT_EQ(root_->autoSection()->buttontitle()->str(), select);
    root_->clickTestSelectButton(cast<DXRootTableViewCell>(cell(2))->selectionButton());
    EXPECT_TRUE(root_->headerView()->runButton()->isHidden());
}

TEST_F(RootListTest, SectionButtonSelectsAndClearsItsSection) {
    auto sectionCell = cast<DXSectionTableViewCell>(cell(3));
    ASSERT_TRUE(sectionCell);
    root_->menuPopoverDidSelectMenuItemAtIndex(nullptr, 1); // start from nothing selected
    root_->tableView()->reloadData();
    sectionCell = cast<DXSectionTableViewCell>(cell(3));
    root_->clickSectionSelectButton(sectionCell->selectedButton());
    EXPECT_TRUE(test(4)->selected());
    EXPECT_EQ(root_->manualSection()->label()->str(), "MANUAL (1 selected)");
    sectionCell = cast<DXSectionTableViewCell>(cell(3));
    root_->clickSectionSelectButton(sectionCell->selectedButton());
    EXPECT_FALSE(test(4)->selected());
}

TEST_F(RootListTest, MenuSelectAllThenDeleteProfileWithoutAFileOnlyClearsTheRun) {
    root_->menuPopoverDidSelectMenuItemAtIndex(nullptr, 0);
    EXPECT_TRUE(test(1)->selected() && test(2)->selected() && test(4)->selected());
    NSUserDefaults::standardUserDefaults()->setObjectForKey(NSArray::array(), "tasks"_ns);
    root_->menuPopoverDidSelectMenuItemAtIndex(nullptr, 2);
    advance(2.5);
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("tasks"_ns));
    EXPECT_FALSE(root_->menuPopover());
}

TEST_F(RootListTest, RowHeightsAndATapOnASectionRowDoesNothing) {
    auto table = root_->tableView();
    EXPECT_EQ(root_->tableViewHeightForRowAtIndexPath(table, NSIndexPath::indexPathForRowInSection(0, 0)), 40);
    EXPECT_EQ(root_->tableViewHeightForRowAtIndexPath(table, NSIndexPath::indexPathForRowInSection(1, 0)), 70);
    root_->tableViewDidSelectRowAtIndexPath(table, NSIndexPath::indexPathForRowInSection(0, 0));
    EXPECT_EQ(navigation_->topViewController(), root_);
}

TEST_F(RootListTest, ASectionRowShowsItsWholeTextOnNarrowAndWidePhones) {
    for (double width : {320.0, 375.0}) {
        useScreen(width, 568);
        auto section = make<DXSectionModel>();
        section->setLabel(DXLocalizedStringWithArguments("ROOT_HEADER_AUTO_TESTING"_ns, {12}));
        section->setButtontitle(DXLocalizedString("ROOT_MENU_REMOVE_ALL"));
        auto row = make<DXSectionTableViewCell>();
        row->setupCell(section);
        auto label = row->label(), title = row->selectedButton()->titleLabel();
        EXPECT_LE(label->sizeThatFits(CGSizeZero).width, label->bounds().size.width) << label->text()->str();
        EXPECT_LE(title->sizeThatFits(CGSizeZero).width, row->selectedButton()->bounds().size.width);
        EXPECT_LE(CGRectGetMaxX(label->frame()), row->selectedButton()->frame().origin.x) << width;
    }
}
