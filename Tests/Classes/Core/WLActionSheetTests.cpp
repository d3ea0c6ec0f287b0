// The app's own bottom sheet: rows, reported indexes, heights, animation times and colours, on a
// 375 x 667 portrait screen and virtual time.
#include "ScreenTestCase.h"

#include <Core/WLActionSheet.h>
#include <Core/WLSheetItem.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

class WLActionSheetTests : public ScreenTestCase {
protected:
    void SetUp() override {
        ScreenTestCase::SetUp();
        SimDevice::current().loadProfile("iPhone7,2");
        host_ = make<UIViewController>();
        window_ = UITestDriver::showRootViewController(host_);
    }

    Ref<WLActionSheet> sheet(const char* title, const char* cancel, std::vector<const char*> others) {
        std::vector<id> titles;
        for (auto* t : others) {
            titles.push_back(NSString::from(t));
        }
        auto s = make<WLActionSheet>(title ? NSString::from(title) : nullptr, cancel ? NSString::from(cancel) : nullptr,
                                     NSArray::arrayWithVector(titles));
        s->dismissForCompletionHandle(
            [this](NSInteger index, bool cancelled) { reports_.emplace_back(index, cancelled); });
        return s;
    }

    // Shows the sheet and lets its slide-in finish.
    void show(const Ref<WLActionSheet>& s) {
        s->showView();
        advance(0.6);
        UITestDriver::layout();
    }

    Ref<UITableViewCell> cellAt(const Ref<WLActionSheet>& s, NSInteger row, NSInteger section) {
        auto cell = s->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(row, section));
        EXPECT_TRUE(cell) << "row " << row << " of section " << section;
        return cell;
    }
    std::string textAt(const Ref<WLActionSheet>& s, NSInteger row, NSInteger section) {
        auto cell = cellAt(s, row, section);
        return cell && cell->textLabel()->text() ? cell->textLabel()->text()->str() : std::string();
    }
    void tapRow(const Ref<WLActionSheet>& s, NSInteger row, NSInteger section) {
        ASSERT_TRUE(UITestDriver::tapView(cellAt(s, row, section)));
    }

    Ref<UIViewController> host_;
    std::vector<std::pair<NSInteger, bool>> reports_;
};

} // namespace

TEST_F(WLActionSheetTests, RowsAndReportedIndexes) {
    auto s = sheet("T", "Z", {"A", "B"});
    show(s);
    EXPECT_EQ(s->superview(), window_) << "the sheet lies over the window";
    EXPECT_EQ(s->frame().size.height, 667);
    auto table = s->tableView();
    ASSERT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(table->numberOfRowsInSection(0), 3);
    EXPECT_EQ(table->numberOfRowsInSection(1), 1);
    EXPECT_EQ(textAt(s, 0, 0), "T");
    EXPECT_EQ(textAt(s, 1, 0), "A");
    EXPECT_EQ(textAt(s, 2, 0), "B");
    EXPECT_EQ(textAt(s, 0, 1), "Z");
    EXPECT_EQ(table->frame().origin.y + table->frame().size.height, 667) << "slid up to the bottom edge";

    tapRow(s, 0, 0);
    EXPECT_TRUE(reports_.empty()) << "the title row is not a choice";
    EXPECT_TRUE(s->superview());

    tapRow(s, 2, 0);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], std::make_pair(NSInteger(1), false));
    advance(0.6);
    EXPECT_FALSE(s->superview()) << "the sheet removes itself once it has slid away";
}

TEST_F(WLActionSheetTests, CancelRowReportsTheChoiceCountAsCancel) {
    auto s = sheet("T", "Z", {"A", "B"});
    show(s);
    tapRow(s, 0, 1);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], std::make_pair(NSInteger(2), true));
}

TEST_F(WLActionSheetTests, TapAboveTheTableCancelsWithTheLargestIndex) {
    auto s = sheet(nullptr, "Z", {"A"});
    show(s);
    ASSERT_TRUE(UITestDriver::tapAtPoint(CGPointMake(100, 50)));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], std::make_pair(std::numeric_limits<NSInteger>::max(), true));
    advance(0.6);
    EXPECT_FALSE(s->superview());
}

TEST_F(WLActionSheetTests, EmptyOrNilTitlesGiveNoRows) {
    auto a = sheet("", "", {"A"});
    EXPECT_FALSE(a->titleModel());
    EXPECT_FALSE(a->cancelModel());
    show(a);
    EXPECT_EQ(a->tableView()->numberOfSections(), 1) << "no cancel section, no gap";
    EXPECT_EQ(a->tableViewHeightForHeaderInSection(a->tableView(), 1), 8);
    auto b = sheet(nullptr, nullptr, {});
    EXPECT_FALSE(b->titleModel());
    EXPECT_FALSE(b->otherModels());
}

TEST_F(WLActionSheetTests, SheetWithoutRowsOffersOneEmptyCancelRow) {
    auto s = sheet(nullptr, nullptr, {});
    show(s);
    EXPECT_EQ(s->tableView()->numberOfSections(), 2);
    EXPECT_EQ(s->tableView()->numberOfRowsInSection(0), 0);
    EXPECT_EQ(s->tableViewHeight(), 50);
    EXPECT_EQ(s->tableViewHeightForHeaderInSection(s->tableView(), 1), 0);
    tapRow(s, 0, 1);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], std::make_pair(NSInteger(0), true));
}

// One-line rows in a 14-point font are the 50-point minimum.
static Ref<WLActionSheet> withFiftyPointRows(Ref<WLActionSheet> s) {
    s->setOtherTitlesFont(UIFont::systemFontOfSize(14));
    s->reloadData();
    return s;
}

TEST_F(WLActionSheetTests, HeightsAndAnimationTimes) {
    auto s = withFiftyPointRows(sheet(nullptr, "Z", {}));
    ASSERT_EQ(s->cancelModel()->height(), 50);
    EXPECT_EQ(s->tableHeight(), 58) << "a 50-point cancel row and the 8-point gap";
    EXPECT_TRUE(s->tableViewShouldFixed());
    s->showView();
    EXPECT_DOUBLE_EQ(s->animationDuration(), 0.35) << "58 / 667 raised to the minimum";

    std::vector<const char*> many(20, "Choice");
    auto tall = withFiftyPointRows(sheet("T", "Z", many));
    EXPECT_EQ(tall->tableHeight(), 667 - 44);
    EXPECT_FALSE(tall->tableViewShouldFixed());
    tall->showView();
    EXPECT_DOUBLE_EQ(tall->animationDuration(), 0.5) << "0.93 lowered to the maximum";
    EXPECT_TRUE(tall->tableView()->isScrollEnabled());
    EXPECT_TRUE(tall->tableView()->showsVerticalScrollIndicator());
    EXPECT_FALSE(s->tableView()->isScrollEnabled());
    EXPECT_FALSE(s->tableView()->showsVerticalScrollIndicator());

    std::vector<const char*> five(5, "Choice");
    auto mid = withFiftyPointRows(sheet(nullptr, "Z", five));
    ASSERT_EQ(mid->tableHeight(), 308);
    mid->showView();
    EXPECT_DOUBLE_EQ(mid->animationDuration(), 0.46);
}

TEST_F(WLActionSheetTests, LongChoiceWrapsIntoATallerCentredRow) {
    std::string text;
    for (int i = 0; i < 12; ++i) {
        text += "a rather long choice ";
    }
    auto s = sheet(nullptr, nullptr, {text.c_str()});
    auto model = cast<WLSheetModel>(s->otherModels()->objectAtIndex(0));
    EXPECT_GT(model->height(), 50);
    show(s);
    auto cell = cellAt(s, 0, 0);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->frame().size.height, model->height());
    EXPECT_EQ(cell->textLabel()->numberOfLines(), 0);
    EXPECT_EQ(cell->textLabel()->textAlignment(), NSTextAlignmentCenter);
    EXPECT_EQ(cell->frame().size.width, 375);
    EXPECT_EQ(cell->textLabel()->frame().origin.x, 15);
    EXPECT_EQ(cell->textLabel()->frame().size.width, 375 - 30);
}

TEST_F(WLActionSheetTests, ColoursOfDestructiveAndCancelRows) {
    auto s = sheet("T", "Z", {"A", "B"});
    s->setDestructiveButtonIndex(1);
    show(s);
    EXPECT_TRUE(cellAt(s, 2, 0)->textLabel()->textColor()->isEqual(UIColor::blackColor()))
        << "the default destructive colour is black";
    EXPECT_TRUE(cellAt(s, 0, 1)->textLabel()->textColor()->isEqual(UIColor::grayColor()))
        << "the cancel row takes the title colour";

    auto red = sheet("T", "Z", {"A", "B"});
    red->setDestructiveButtonIndex(1);
    red->setDestructiveColor(UIColor::redColor());
    red->setTitleColor(nullptr);
    show(red);
    EXPECT_TRUE(cellAt(red, 2, 0)->textLabel()->textColor()->isEqual(UIColor::redColor()));
    EXPECT_TRUE(cellAt(red, 1, 0)->textLabel()->textColor()->isEqual(UIColor::blackColor()));
    EXPECT_TRUE(red->titleColor()->isEqual(UIColor::grayColor())) << "a nil colour is ignored";
}

TEST_F(WLActionSheetTests, NewFontDrawsAtOnceButResizesOnlyAfterReload) {
    auto s = sheet(nullptr, nullptr, {"A"});
    auto big = UIFont::systemFontOfSize(60);
    auto model = cast<WLSheetModel>(s->otherModels()->objectAtIndex(0));
    double before = model->height();
    s->setOtherTitlesFont(big);
    EXPECT_EQ(model->height(), before);
    show(s);
    EXPECT_EQ(cellAt(s, 0, 0)->textLabel()->font(), big);
    s->reloadData();
    EXPECT_GT(model->height(), before + 30);
}
