// The screen base and its header bar.
#include "ScreenTestCase.h"

#include <Core/DXViewController.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UISupport/STProgressHUD.h>

namespace {

// A header delegate that records the taps.
class HeaderListener : public NSObject {
    NS_OBJECT(HeaderListener, NSObject)
public:
    std::vector<NSUInteger> types;
    void clicked(const Ref<DXNavigationHeaderView>&, const Ref<UIButton>&, NSUInteger type) { types.push_back(type); }
};

using ScreenBaseTest = ScreenTestCase;

} // namespace

NS_IMPLEMENT_CLASS(HeaderListener, NSObject) {
    b.method("navigationHeaderView:didClickButton:type:", &HeaderListener::clicked);
}

TEST_F(ScreenBaseTest, HeaderHeightFollowsTheScreen) {
    struct Case {
        double w, h, header;
    };
    for (auto c :
         {Case{375, 812, 88}, Case{375, 667, 64}, Case{414, 736, 64}, Case{414, 896, 88}, Case{320, 568, 64}}) {
        useScreen(c.w, c.h);
        EXPECT_EQ(DXHeaderHeight(), c.header) << c.w << " x " << c.h;
        auto screen = make<DXViewController>();
        screen->loadViewIfNeeded();
        auto header = screen->headerView();
        ASSERT_TRUE(header);
        EXPECT_EQ(header->frame(), CGRectMake(0, 0, c.w, c.header));
        EXPECT_EQ(header->superview().get(), screen->view().get());
        // The buttons stay at the bottom of the bar.
        EXPECT_EQ(header->backButton()->frame().origin.y + header->backButton()->frame().size.height, c.header);
        EXPECT_LE(header->menuButton()->frame().origin.x + header->menuButton()->frame().size.width, c.w);
    }
}

TEST_F(ScreenBaseTest, ScreenSetsUpItsHeaderAndHidesTheNavigationBar) {
    auto screen = make<DXViewController>();
    auto navigation = showInNavigation(screen);
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    auto header = screen->headerView();
    EXPECT_TRUE(header->isHideSaveButton());
    EXPECT_TRUE(header->saveButton()->isHidden());
    EXPECT_FALSE(header->isHideBackButton());
    EXPECT_FALSE(header->delegate());
    EXPECT_TRUE(screen->view()->backgroundColor()->isEqual(UIColor::whiteColor()));
    EXPECT_TRUE(screen->prefersHomeIndicatorAutoHidden());
    EXPECT_FALSE(UIApplication::sharedApplication()->isStatusBarHidden());
    EXPECT_TRUE(logged("DXViewController viewDidLoad"));
    header->setHideRunButton(true);
    EXPECT_TRUE(header->isHideRunButton());
    header->setHideRunButton(false);
    EXPECT_FALSE(header->isHideRunButton());
}

TEST_F(ScreenBaseTest, HeaderTapsReachOnlyADelegateThatAnswers) {
    auto screen = make<DXViewController>();
    showInNavigation(screen);
    auto header = screen->headerView();
    // No delegate, then a delegate without the operation: nothing happens.
    EXPECT_TRUE(UITestDriver::tapView(header->menuButton()));
    header->setDelegate(make<NSObject>());
    EXPECT_TRUE(UITestDriver::tapView(header->menuButton()));
    EXPECT_TRUE(UIAlertView::visibleAlerts().empty());

    auto listener = make<HeaderListener>();
    header->setDelegate(listener);
    UITestDriver::tapView(header->runButton());
    UITestDriver::tapView(header->menuButton());
    UITestDriver::tapView(header->backButton());
    EXPECT_EQ(listener->types, (std::vector<NSUInteger>{1, 2, 0}));
}

TEST_F(ScreenBaseTest, DefaultHeaderAnswerIsAHelloAlert) {
    auto screen = make<DXViewController>();
    showInNavigation(screen);
    screen->headerView()->setDelegate(screen);
    UITestDriver::tapView(screen->headerView()->backButton());
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert, screen->alertView());
    EXPECT_EQ(alert->title()->str(), "Celvix");
    EXPECT_EQ(alert->message()->str(), "Hello");
    EXPECT_EQ(alert->buttonTitleAtIndex(0)->str(), "Cancel");
    EXPECT_EQ(alert->buttonTitleAtIndex(1)->str(), "Ok");
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("Ok"));
}

TEST_F(ScreenBaseTest, CacheAlertCancelStillSaysRemovedForOneSecond) {
    auto screen = make<DXViewController>();
    showInNavigation(screen);
    auto model = make<DXTestModel>("T"_ns);
    model->setProfilekey("K"_ns);
    ASSERT_TRUE(DXProfileManager::sharedManager()->storeTasksInPersistent(NSArray::arrayWithObjects({model})));
    screen->headerView()->headerTap(nullptr);
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message()->str(), "Did you want to remove cache file or profile?");
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("Cancel"));
    runUntilIdle();
    EXPECT_TRUE(UITestDriver::isTextVisible("removed!"));
    EXPECT_EQ(DXProfileManager::sharedManager()->loadPersistentTasks()->count(), 1u);
    EXPECT_TRUE(runUntil([] { return !UITestDriver::isTextVisible("removed!"); }, 2.0));
    EXPECT_LT(elapsed(), 2.0);
    // "remove cache file" removes the stored run.
    screen->headerView()->headerTap(nullptr);
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("remove cache file"));
    EXPECT_EQ(DXProfileManager::sharedManager()->loadPersistentTasks()->count(), 0u);
}

TEST_F(ScreenBaseTest, DeallocIsLoggedWithTheScreensClass) {
    {
        auto screen = make<DXTestModelsViewController>(NSArray::array());
        screen->loadViewIfNeeded();
    }
    EXPECT_TRUE(logged("DXTestModelsViewController dealloc."));
}
