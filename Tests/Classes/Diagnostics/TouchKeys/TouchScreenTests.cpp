// The grid, draw and touch-panel screens run in the run container: passed by a finger over every
// target, failed by Skip, timed out (the panel), and never passed through a dead screen area.
#include "TouchKeysTestCase.h"

#include <Diagnostics/TouchKeys/TouchScreenViewController.h>
#include <UIKit/UIApplication.h>

class TouchScreenTests : public TouchKeysTestCase {};

TEST_F(TouchScreenTests, TheGridPassesWhenEveryCellIsTouched) {
    auto screen = cast<TouchScreenViewController>(run("TouchScreenViewController"));
    ASSERT_TRUE(screen);
    EXPECT_TRUE(UIApplication::sharedApplication()->isStatusBarHidden());
    ASSERT_EQ(screen->subItemlist()->count(), 1u);
    auto cells = screen->touchView()->cells();
    EXPECT_EQ(cells.size(), 50u);
    // The panel fills the strip below the grid: 812 mod 75 = 62 points.
    EXPECT_DOUBLE_EQ(screen->panelView()->frame().size.height, 62);
    strokeRows(cells);
    settle();
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(ended());
    EXPECT_FALSE(UIApplication::sharedApplication()->isStatusBarHidden());
}

TEST_F(TouchScreenTests, ADeadAreaKeepsTheGridFromPassingAndSkipFails) {
    keys.addDeadArea({150, 300, 75, 75});
    auto screen = cast<TouchScreenViewController>(run("TouchScreenViewController"));
    ASSERT_TRUE(screen);
    strokeRows(screen->touchView()->cells());
    for (const auto& cell : screen->touchView()->cells()) {
        UITestDriver::tapAtPoint(centre(cell));
    }
    settle();
    EXPECT_FALSE(ended());
    EXPECT_EQ(screen->touchView()->touchedCount(), 49u);
    advance(30000); // no time limit: it waits
    EXPECT_FALSE(ended());
    ASSERT_TRUE(UITestDriver::tapView(screen->skipButton()));
    settle();
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(screen->isFailedBySkip());
}

TEST_F(TouchScreenTests, GarbageTouchesNeverPassTheGrid) {
    auto screen = cast<TouchScreenViewController>(run("TouchScreenViewController"));
    ASSERT_TRUE(screen);
    std::vector<CGPoint> points;
    for (int i = 0; i < 1000; ++i) {
        points.push_back(CGPointMake(i % 3 ? NAN : 5000, i));
    }
    UITestDriver::tapFingers(points);
    keys.injectGhostTouch(NAN, 10);
    keys.injectGhostTouch(-100, -100);
    auto stray = make<UITouch>();
    UITestDriver::touchUp(stray);
    screen->touchView()->touchesEndedWithEvent(nullptr, nullptr);
    settle();
    EXPECT_FALSE(ended());
    EXPECT_EQ(screen->touchView()->touchedCount(), 0u);
}

TEST_F(TouchScreenTests, TheDrawTestPassesOverTheBorderAndDiagonals) {
    auto screen = cast<XTouchViewController>(run("XTouchViewController"));
    ASSERT_TRUE(screen);
    // The tall screen: the canvas starts 30 points down and is 772 high.
    EXPECT_DOUBLE_EQ(screen->touchView()->frame().origin.y, 30);
    EXPECT_DOUBLE_EQ(screen->touchView()->frame().size.height, 772);
    EXPECT_TRUE(screen->headerView()->isHidden());
    auto items = screen->touchView()->items();
    ASSERT_EQ(items.size(), 120u);
    strokeBorderAndDiagonals(items);
    settle();
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(TouchScreenTests, TheDrawTestSkipFailsAndADeadDigitizerNeverPasses) {
    keys.setDigitizerState(SimTouchKeys::DigitizerState::Dead);
    auto screen = cast<XTouchViewController>(run("XTouchViewController"));
    ASSERT_TRUE(screen);
    strokeBorderAndDiagonals(screen->touchView()->items());
    EXPECT_EQ(screen->touchView()->touchedCount(), 0u);
    EXPECT_FALSE(ended());
    // Skip is pressed by the operator's finger, which a dead digitizer does not report: the run
    // container's own Skip would be the way out. Tap it through the control itself here.
    screen->skipButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    settle();
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(TouchScreenTests, ThePanelTestRunsGridThenCanvas) {
    auto screen = cast<TPViewController>(run("TPViewController", 60));
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->xView()->isHidden());
    advance(50);
    strokeRows(screen->touchView()->cells());
    settle();
    EXPECT_FALSE(ended());
    EXPECT_FALSE(screen->xView()->isHidden());
    EXPECT_TRUE(screen->touchView()->isHidden());
    advance(50); // the canvas has its own 60 seconds
    EXPECT_FALSE(ended());
    strokeBorderAndDiagonals(screen->xView()->items());
    settle();
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(TouchScreenTests, ThePanelTimesOutInEachPhase) {
    keys.addDeadArea({0, 0, 20, 20});
    run("TPViewController", 10);
    advance(9);
    EXPECT_FALSE(ended());
    advance(1.5);
    EXPECT_EQ(result(), DXTestResultTimeout);

    TearDown();
    SetUp();
    auto screen = cast<TPViewController>(run("TPViewController", 10));
    strokeRows(screen->touchView()->cells());
    settle();
    advance(9);
    EXPECT_FALSE(ended());
    advance(1.5);
    EXPECT_EQ(result(), DXTestResultTimeout);
}

TEST_F(TouchScreenTests, SkipInTheCanvasPhaseFailsAndLeavingEndsTheLimit) {
    auto screen = cast<TPViewController>(run("TPViewController", 10));
    ASSERT_TRUE(screen);
    strokeRows(screen->touchView()->cells());
    settle();
    ASSERT_TRUE(UITestDriver::tapView(screen->skipButton()));
    settle();
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(screen->isFailedBySkip());

    TearDown();
    SetUp();
    screen = cast<TPViewController>(run("TPViewController", 0));
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    advance(30000);
    EXPECT_EQ(result(), DXTestResultNotRun);
}
