// The touch grid and the border canvas on their own: their cells and targets for the screen sizes,
// what a finger greens, and when they report.
#include "TouchKeysTestCase.h"

#include <Diagnostics/TouchKeys/PrecisionViewController.h>
#include <Diagnostics/TouchKeys/SJTouchView.h>
#include <Diagnostics/TouchKeys/XCanvas.h>
#include <UIKit/UIColor.h>

class TouchViewTests : public TouchKeysTestCase {
protected:
    // A full-screen view in a plain root screen.
    template <class V>
    Ref<V> show(const Ref<V>& view) {
        auto root = make<UIViewController>();
        window_ = UITestDriver::showRootViewController(root);
        root->view()->addSubview(view);
        UITestDriver::layout();
        return view;
    }
    int reports = 0;
};

TEST_F(TouchViewTests, TheGridHasFiveCellsToAWholeRow) {
    useScreen(375, 667);
    auto grid = show(SJTouchView::touchViewOnAllTouch(CGRectMake(0, 0, 375, 667), nullptr));
    auto cells = grid->cells();
    ASSERT_EQ(cells.size(), 40u);
    EXPECT_TRUE(CGRectEqualToRect(cells[39]->frame(), CGRectMake(300, 525, 75, 75)));
    EXPECT_FALSE(cells[0]->isUserInteractionEnabled());
    useScreen(375, 812);
    EXPECT_EQ(make<SJTouchView>(CGRectMake(0, 0, 375, 812))->cells().size(), 50u);
    useScreen(414, 736);
    auto wide = make<SJTouchView>(CGRectMake(0, 0, 414, 736));
    wide->layoutIfNeeded();
    EXPECT_EQ(wide->cells().size(), 40u);
    EXPECT_NEAR(wide->cells()[39]->frame().origin.y, 7 * 82.8, 1e-9);
}

TEST_F(TouchViewTests, AFingerWhereFourCellsMeetGreensAllFourAndTheStripNone) {
    useScreen(375, 667);
    auto grid = show(SJTouchView::touchViewOnAllTouch(CGRectMake(0, 0, 375, 667), nullptr));
    ASSERT_TRUE(UITestDriver::tapAtPoint(CGPointMake(75, 75)));
    EXPECT_EQ(grid->touchedCount(), 4u);
    EXPECT_TRUE(grid->cells()[0]->isTouched());
    EXPECT_TRUE(NSObjectsEqual(grid->cells()[6]->backgroundColor(), UIColor::greenColor()));
    UITestDriver::tapAtPoint(CGPointMake(200, 640)); // the strip below the last row
    EXPECT_EQ(grid->touchedCount(), 4u);
}

TEST_F(TouchViewTests, TheGridReportsOnceAtTheLiftAfterTheLastCell) {
    useScreen(375, 667);
    auto grid = show(
        SJTouchView::touchViewOnAllTouch(CGRectMake(0, 0, 375, 667), [this](const Ref<SJTouchView>&) { ++reports; }));
    auto cells = grid->cells();
    strokeRows(std::vector<Ref<SJTouchButton>>(cells.begin(), cells.end() - 1));
    EXPECT_EQ(reports, 0);
    // The last cell under a finger that stays down: no report until it lifts.
    auto finger = UITestDriver::touchDown(centre(cells.back()));
    EXPECT_EQ(grid->touchedCount(), 40u);
    EXPECT_EQ(reports, 0);
    UITestDriver::touchUp(finger);
    EXPECT_EQ(reports, 1);
    UITestDriver::tapAtPoint(centre(cells[3]));
    EXPECT_EQ(reports, 1);
    grid->reset();
    EXPECT_EQ(grid->touchedCount(), 0u);
    EXPECT_FALSE(grid->hasNotify());
}

TEST_F(TouchViewTests, TheGridRowsFollowItsBoundsAndAnEmptyGridNeverPasses) {
    useScreen(375, 667);
    auto grid = show(
        SJTouchView::touchViewOnAllTouch(CGRectMake(0, 0, 375, 667), [this](const Ref<SJTouchView>&) { ++reports; }));
    // A shorter view holds fewer rows: the grid drops the rows it cannot show.
    grid->setFrame(CGRectMake(0, 0, 375, 300));
    grid->layoutIfNeeded();
    EXPECT_EQ(grid->cells().size(), 20u);
    for (const auto& cell : grid->cells()) {
        EXPECT_LE(CGRectGetMaxY(cell->frame()), 300.0);
    }
    strokeRows(grid->cells());
    EXPECT_EQ(reports, 1);

    auto empty =
        show(SJTouchView::touchViewOnAllTouch(CGRectMake(0, 0, 0, 0), [this](const Ref<SJTouchView>&) { ++reports; }));
    empty->layoutIfNeeded();
    EXPECT_TRUE(empty->cells().empty());
    empty->touchesEndedWithEvent(NSSet::set(), nullptr);
    EXPECT_EQ(reports, 1);
}

TEST_F(TouchViewTests, TheCanvasTargetsForEachScreen) {
    useScreen(375, 667);
    auto canvas = make<XCanvas>(CGRectMake(0, 0, 375, 667));
    auto items = canvas->items();
    ASSERT_EQ(items.size(), 108u);
    EXPECT_NEAR(items[13 + 21]->frame().origin.y, 22 * 375.0 / 13, 1e-9); // the bottom row
    EXPECT_FALSE(items[0]->isUserInteractionEnabled());
    EXPECT_EQ(canvas->subviewList().back(), canvas->maskView());
    useScreen(375, 812);
    EXPECT_EQ(make<XCanvas>(CGRectMake(0, 0, 375, 812))->items().size(), 120u);
    useScreen(414, 896);
    EXPECT_EQ(make<XCanvas>(CGRectMake(0, 0, 414, 896))->items().size(), 120u);
    useScreen(768, 1024);
    EXPECT_EQ(make<XCanvas>(CGRectMake(0, 0, 768, 1024))->items().size(), 84u);
}

TEST_F(TouchViewTests, ATapGreensWithoutDrawingAndStrokesReportOnceAtTheLift) {
    useScreen(375, 667);
    auto canvas =
        show(XCanvas::touchViewOnAllTouch(CGRectMake(0, 0, 375, 667), [this](const Ref<XCanvas>&) { ++reports; }));
    ASSERT_TRUE(UITestDriver::tapAtPoint(centre(canvas->items()[0])));
    EXPECT_EQ(canvas->touchedCount(), 1u);
    EXPECT_TRUE(CGPathIsEmpty(canvas->path()));
    // Slow small steps still green every target crossed.
    UITestDriver::drawPath({centre(canvas->items()[1]), centre(canvas->items()[5])}, 60);
    EXPECT_EQ(canvas->touchedCount(), 6u);
    EXPECT_FALSE(CGPathIsEmpty(canvas->path()));
    strokeBorderAndDiagonals(canvas->items());
    EXPECT_EQ(canvas->touchedCount(), 108u);
    EXPECT_EQ(reports, 1);
    strokeThrough(std::vector<Ref<XItem>>{canvas->items()[0], canvas->items()[1]});
    EXPECT_EQ(reports, 1);
}

TEST_F(TouchViewTests, TheForceListScrollsToTheNewestForce) {
    useScreen(375, 667);
    int calls = 0;
    auto view = show(PrecisionTouchView::touchViewOnCompleted(CGRectMake(0, 0, 375, 667),
                                                              [&](const Ref<PrecisionTouchView>&, bool) { ++calls; }));
    auto list = view->valueList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->frame(), CGRectMake(0, 26, 80, 200));
    // Twenty touches hold more lines than the 200-point list shows.
    for (int i = 0; i < 20; ++i) {
        auto finger = UITestDriver::touchDown(CGPointMake(200, 300));
        ASSERT_TRUE(finger);
        UITestDriver::touchUp(finger);
        // The list ends with an empty line after the newest force; that force's line is in sight.
        CGFloat shownTo = list->contentOffset().y + list->bounds().size.height;
        EXPECT_GE(shownTo + 1, list->contentSize().height - list->font()->lineHeight())
            << "touch " << i << ": the newest line is out of sight";
    }
    EXPECT_GT(list->contentSize().height, list->bounds().size.height);
    EXPECT_GT(list->contentOffset().y, 0);
    EXPECT_EQ(view->count(), 9u);
    EXPECT_EQ(calls, 11); // the tenth touch and every one after it
}
