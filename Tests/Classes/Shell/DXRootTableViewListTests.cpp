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
        showList({"Wi-Fi", "GPS"}, {"Decoration"});
    }
    // A root screen whose list holds the automatic and the manual tests named, shown.
    void showList(const std::vector<std::string>& automatic, const std::vector<std::string>& manual) {
        root_ = make<DXRootTableViewController>();
        showInNavigation(root_);
        advance(0.5);
        if (auto start = root_->startViewController()) {
            start->dismissViewControllerAnimatedCompletion(false, nullptr);
        }
        auto list = NSMutableArray::array();
        auto section = [&](NSInteger type, const std::vector<std::string>& titles) {
            auto s = make<DXSectionModel>();
            s->setType(type);
            auto tests = NSMutableArray::array();
            list->addObject(s);
            for (const auto& title : titles) {
                auto t = make<DXTestModel>(NSString::from(title));
                t->setIsAuto(type == DXSectionTypeAuto);
                tests->addObject(t);
                list->addObject(t);
            }
            s->setList(tests);
            return s;
        };
        root_->setAutoSection(section(DXSectionTypeAuto, automatic));
        root_->setManualSection(section(DXSectionTypeManual, manual));
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

TEST_F(RootListTest, SectionRowsShowTheirWholeTextOnNarrowAndWidePhones) {
    for (double width : {320.0, 375.0}) {
        useScreen(width, width == 320 ? 568 : 667);
        showList(std::vector<std::string>(12, "Wi-Fi"), std::vector<std::string>(10, "Decoration"));
        root_->menuPopoverDidSelectMenuItemAtIndex(nullptr, 0); // select all: two-digit counts
        for (NSInteger row : {0, 13}) {
            auto table = root_->tableView();
            UITestDriver::scrollTo(table,
                                   table->rectForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(row, 0)).origin);
            auto section = cast<DXSectionTableViewCell>(cell(row));
            ASSERT_TRUE(section) << width << " row " << row;
            EXPECT_EQ(section->frame().size, CGSizeMake(width, 40));
            auto label = section->label();
            auto button = section->selectedButton();
            EXPECT_EQ(label->text()->str(), row == 0 ? "AUTOMATIC (12 selected)" : "MANUAL (10 selected)");
            EXPECT_EQ(button->currentTitle()->str(), "Remove all");
            // Side by side inside the row, each wide enough for its text.
            CGRect text = label->convertRectToView(label->bounds(), section);
            CGRect tap = button->convertRectToView(button->bounds(), section);
            EXPECT_LE(CGRectGetMaxX(text), tap.origin.x) << width;
            EXPECT_LE(CGRectGetMaxX(tap), width) << width;
            EXPECT_LE(label->sizeThatFits(CGSizeZero).width, text.size.width) << width << " " << label->text()->str();
            EXPECT_LE(button->titleLabel()->sizeThatFits(CGSizeZero).width, tap.size.width) << width;
        }
    }
}
