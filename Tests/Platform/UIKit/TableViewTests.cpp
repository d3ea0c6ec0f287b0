// UITableView as the list screens use it: sections with headers and footers, row heights from the
// delegate, geometry and hit-testing of rows, scrolling to a row, selection through the delegate's
// will/should answers, multiple selection, and reloading after the data changed.
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIColor.h>
#include <UIKit/UITableView.h>
#include <UIKit/UITestDriver.h>

#include <string>
#include <vector>

namespace {

class SectionedSource : public UIViewController {
    NS_OBJECT(SectionedSource, UIViewController)
public:
    std::vector<std::vector<std::string>> sections{{"Wi-Fi", "Bluetooth"}, {"Speaker", "Microphone", "Receiver"}};
    std::vector<std::string> log;
    NSInteger refuseRow = -1;   // willSelect answers nil for this row
    NSInteger redirectRow = -1; // willSelect answers row 0 of the same section for this row
    bool highlight = true;

    NSInteger sectionCount(const Ref<UITableView>&) { return static_cast<NSInteger>(sections.size()); }
    NSInteger rows(const Ref<UITableView>&, NSInteger section) {
        return static_cast<NSInteger>(sections[static_cast<size_t>(section)].size());
    }
    Ref<UITableViewCell> cell(const Ref<UITableView>& table, const Ref<NSIndexPath>& path) {
        auto c = table->dequeueReusableCellWithIdentifierForIndexPath("item"_ns, path);
        c->textLabel()->setText(NSString::from(text(path)));
        return c;
    }
    Ref<NSString> title(const Ref<UITableView>&, NSInteger section) { return section == 0 ? "Radios"_ns : "Audio"_ns; }
    CGFloat rowHeight(const Ref<UITableView>&, const Ref<NSIndexPath>& path) { return path->section() == 0 ? 60 : 44; }
    CGFloat headerHeight(const Ref<UITableView>&, NSInteger) { return 30; }
    CGFloat footerHeight(const Ref<UITableView>&, NSInteger section) { return section == 0 ? 10 : 0; }
    bool shouldHighlight(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return highlight; }
    Ref<NSIndexPath> willSelect(const Ref<UITableView>&, const Ref<NSIndexPath>& path) {
        log.push_back("will " + text(path));
        if (path->row() == refuseRow) {
            return nullptr;
        }
        if (path->row() == redirectRow) {
            return NSIndexPath::indexPathForRowInSection(0, path->section());
        }
        return path;
    }
    void didSelect(const Ref<UITableView>&, const Ref<NSIndexPath>& path) { log.push_back("did " + text(path)); }
    void didDeselect(const Ref<UITableView>&, const Ref<NSIndexPath>& path) {
        log.push_back("deselected " + text(path));
    }
    std::string text(const Ref<NSIndexPath>& path) const {
        return sections[static_cast<size_t>(path->section())][static_cast<size_t>(path->row())];
    }
};

Ref<NSIndexPath> at(NSInteger row, NSInteger section) {
    return NSIndexPath::indexPathForRowInSection(row, section);
}

} // namespace

NS_IMPLEMENT_CLASS(SectionedSource, UIViewController) {
    b.method("numberOfSectionsInTableView:", &SectionedSource::sectionCount);
    b.method("tableView:numberOfRowsInSection:", &SectionedSource::rows);
    b.method("tableView:cellForRowAtIndexPath:", &SectionedSource::cell);
    b.method("tableView:titleForHeaderInSection:", &SectionedSource::title);
    b.method("tableView:heightForRowAtIndexPath:", &SectionedSource::rowHeight);
    b.method("tableView:heightForHeaderInSection:", &SectionedSource::headerHeight);
    b.method("tableView:heightForFooterInSection:", &SectionedSource::footerHeight);
    b.method("tableView:shouldHighlightRowAtIndexPath:", &SectionedSource::shouldHighlight);
    b.method("tableView:willSelectRowAtIndexPath:", &SectionedSource::willSelect);
    b.method("tableView:didSelectRowAtIndexPath:", &SectionedSource::didSelect);
    b.method("tableView:didDeselectRowAtIndexPath:", &SectionedSource::didDeselect);
}

class TableViewTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        source = make<SectionedSource>();
        UITestDriver::showRootViewController(source);
        table = make<UITableView>(CGRectMake(0, 0, 320, 200), UITableViewStylePlain);
        table->registerClassForCellReuseIdentifier(UITableViewCell::class_(), "item"_ns);
        table->setDataSource(source);
        table->setDelegate(source);
        source->view()->addSubview(table);
        table->layoutIfNeeded();
    }
    void TearDown() override {
        table = nullptr;
        source = nullptr;
        PlatformTestCase::TearDown();
    }
    using Log = std::vector<std::string>;
    Ref<SectionedSource> source;
    Ref<UITableView> table;
};

TEST_F(TableViewTests, SectionsStackHeadersRowsAndFooters) {
    EXPECT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(table->numberOfRowsInSection(1), 3);
    // Section 0: header 30, rows 60 + 60, footer 10 = 160; section 1: header 30, rows 3 x 44.
    EXPECT_EQ(table->rectForRowAtIndexPath(at(0, 0)), CGRectMake(0, 30, 320, 60));
    EXPECT_EQ(table->rectForRowAtIndexPath(at(1, 0)), CGRectMake(0, 90, 320, 60));
    EXPECT_EQ(table->rectForRowAtIndexPath(at(0, 1)), CGRectMake(0, 190, 320, 44));
    EXPECT_EQ(table->rectForSection(1), CGRectMake(0, 160, 320, 162));
    EXPECT_DOUBLE_EQ(table->contentSize().height, 322);
    // Points in a header, a row and below the last row.
    EXPECT_FALSE(table->indexPathForRowAtPoint(CGPointMake(10, 20)));
    EXPECT_TRUE(table->indexPathForRowAtPoint(CGPointMake(10, 100))->isEqual(at(1, 0)));
    EXPECT_TRUE(table->indexPathForRowAtPoint(CGPointMake(10, 250))->isEqual(at(1, 1)));
    EXPECT_FALSE(table->indexPathForRowAtPoint(CGPointMake(10, 400)));
}

TEST_F(TableViewTests, OnlyTheRowsInTheBoundsHaveCells) {
    // 200 points show rows 0-0, 0-1 and the first row of section 1 (190..234).
    auto paths = table->indexPathsForVisibleRows();
    ASSERT_EQ(paths->count(), 3u);
    EXPECT_TRUE(cast<NSIndexPath>(paths->objectAtIndex(2))->isEqual(at(0, 1)));
    EXPECT_FALSE(table->cellForRowAtIndexPath(at(1, 1)));
    auto cell = table->cellForRowAtIndexPath(at(1, 0));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->textLabel()->text()->str(), "Bluetooth");
    EXPECT_TRUE(table->indexPathForCell(cell)->isEqual(at(1, 0)));
}

TEST_F(TableViewTests, ScrollingToARowPutsItWhereAsked) {
    table->scrollToRowAtIndexPathAtScrollPositionAnimated(at(1, 1), UITableViewScrollPositionTop, false);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 122 - 0) << "the content ends at 322, so the offset stops at 122";
    table->scrollToRowAtIndexPathAtScrollPositionAnimated(at(0, 0), UITableViewScrollPositionTop, false);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 30);
    table->scrollToRowAtIndexPathAtScrollPositionAnimated(at(0, 1), UITableViewScrollPositionBottom, false);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 34); // row 1-0 ends at 234; 234 - 200
    table->scrollToRowAtIndexPathAtScrollPositionAnimated(at(0, 0), UITableViewScrollPositionMiddle, false);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 0) << "never above the top";
    EXPECT_TRUE(table->cellForRowAtIndexPath(at(0, 0)));
}

TEST_F(TableViewTests, TappingARowAsksTheDelegateThenSelects) {
    EXPECT_TRUE(UITestDriver::tapView(table->cellForRowAtIndexPath(at(0, 0))));
    EXPECT_EQ(source->log, (Log{"will Wi-Fi", "did Wi-Fi"}));
    EXPECT_TRUE(table->indexPathForSelectedRow()->isEqual(at(0, 0)));

    source->log.clear();
    UITestDriver::tapView(table->cellForRowAtIndexPath(at(1, 0)));
    EXPECT_EQ(source->log, (Log{"will Bluetooth", "deselected Wi-Fi", "did Bluetooth"}))
        << "one selection at a time: the old row is deselected first";
    EXPECT_EQ(table->indexPathsForSelectedRows()->count(), 1u);
}

TEST_F(TableViewTests, WillSelectMayRefuseOrRedirectAndHighlightingMayBeRefused) {
    source->refuseRow = 1;
    table->userSelectRowAtIndexPath(at(1, 0));
    EXPECT_FALSE(table->indexPathForSelectedRow()) << "willSelect answered nil";
    EXPECT_EQ(source->log, (Log{"will Bluetooth"}));

    source->log.clear();
    source->refuseRow = -1;
    source->redirectRow = 2;
    table->userSelectRowAtIndexPath(at(2, 1));
    EXPECT_EQ(source->log, (Log{"will Receiver", "did Speaker"}));
    EXPECT_TRUE(table->indexPathForSelectedRow()->isEqual(at(0, 1)));

    source->log.clear();
    source->highlight = false;
    table->userSelectRowAtIndexPath(at(0, 0));
    EXPECT_TRUE(source->log.empty()) << "a row that may not highlight is not selected";
    EXPECT_TRUE(table->indexPathForSelectedRow()->isEqual(at(0, 1)));
}

TEST_F(TableViewTests, MultipleSelectionTogglesRows) {
    table->setAllowsMultipleSelection(true);
    table->userSelectRowAtIndexPath(at(0, 0));
    table->userSelectRowAtIndexPath(at(1, 0));
    EXPECT_EQ(table->indexPathsForSelectedRows()->count(), 2u);
    table->userSelectRowAtIndexPath(at(0, 0));
    EXPECT_EQ(source->log,
              (Log{"will Wi-Fi", "did Wi-Fi", "will Bluetooth", "did Bluetooth", "will Wi-Fi", "deselected Wi-Fi"}));
    ASSERT_EQ(table->indexPathsForSelectedRows()->count(), 1u);
    EXPECT_TRUE(table->indexPathForSelectedRow()->isEqual(at(1, 0)));

    table->setAllowsSelection(false);
    source->log.clear();
    table->userSelectRowAtIndexPath(at(1, 1));
    EXPECT_TRUE(source->log.empty());
}

TEST_F(TableViewTests, SelectingInCodeTellsNoDelegate) {
    table->selectRowAtIndexPathAnimatedScrollPosition(at(2, 1), false, UITableViewScrollPositionBottom);
    EXPECT_TRUE(table->indexPathForSelectedRow()->isEqual(at(2, 1)));
    EXPECT_TRUE(source->log.empty());
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 122) << "scrolled so that the row shows at the bottom";
    table->deselectRowAtIndexPathAnimated(at(2, 1), false);
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_TRUE(source->log.empty());
}

TEST_F(TableViewTests, ReloadingFollowsTheDataAndDropsTheSelection) {
    table->userSelectRowAtIndexPath(at(0, 0));
    source->sections[0].erase(source->sections[0].begin());
    source->sections.push_back({"Battery"});
    table->deleteRowsAtIndexPathsWithRowAnimation(NSArray::arrayWithObjects({at(0, 0)}), UITableViewRowAnimationFade);
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfSections(), 3);
    EXPECT_EQ(table->numberOfRowsInSection(0), 1);
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_EQ(table->cellForRowAtIndexPath(at(0, 0))->textLabel()->text()->str(), "Bluetooth");
    EXPECT_DOUBLE_EQ(table->contentSize().height, 100 + 162 + 30 + 44);

    // Updates between begin and end: the table follows the data once they end.
    table->beginUpdates();
    source->sections.pop_back();
    table->deleteRowsAtIndexPathsWithRowAnimation(NSArray::arrayWithObjects({at(0, 2)}), UITableViewRowAnimationFade);
    table->endUpdates();
    EXPECT_EQ(table->numberOfSections(), 2);
}

TEST_F(TableViewTests, CellsDrawTheTablesSeparators) {
    auto cell = table->cellForRowAtIndexPath(at(0, 0));
    ASSERT_TRUE(cell);
    auto line = cell->separatorView();
    EXPECT_FALSE(line->isHidden());
    EXPECT_EQ(line->frame(), CGRectMake(15, 59.5, 305, 0.5)) << "the table's default inset";

    // The table's style, colour and inset reach the cells it shows at its next layout.
    table->setSeparatorInset(UIEdgeInsetsZero);
    table->setSeparatorColor(UIColor::redColor());
    table->layoutIfNeeded();
    cell->layoutIfNeeded();
    EXPECT_EQ(line->frame(), CGRectMake(0, 59.5, 320, 0.5));
    EXPECT_TRUE(line->backgroundColor()->isEqual(UIColor::redColor()));
    table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    table->layoutIfNeeded();
    auto cells = table->visibleCells();
    for (const id& item : *cells) {
        EXPECT_TRUE(cast<UITableViewCell>(item)->separatorView()->isHidden());
    }

    // A cell that sets its own inset keeps it; turning the lines on again shows them.
    cell->setSeparatorInset(UIEdgeInsetsMake(0, 40, 0, 0));
    table->setSeparatorStyle(UITableViewCellSeparatorStyleSingleLine);
    table->layoutIfNeeded();
    cell->layoutIfNeeded();
    EXPECT_FALSE(line->isHidden());
    EXPECT_EQ(line->frame(), CGRectMake(40, 59.5, 280, 0.5));
}
