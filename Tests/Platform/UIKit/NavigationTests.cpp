// Navigation as the test-run container uses it: the stack and what each screen is told, popping to
// the root or to a screen, replacing the stack, the delegate's will/did show, the bar's title, and a
// push that starts while another is still animating.
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UINavigationBar.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UITestDriver.h>

#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class StackScreen : public UIViewController {
    NS_OBJECT(StackScreen, UIViewController)
public:
    StackScreen() = default;
    StackScreen(std::string name, Log* log) : name_(std::move(name)), log_(log) { setTitle(NSString::from(name_)); }
    void viewDidAppear(bool) override { log_->push_back(name_ + " appeared"); }
    void viewDidDisappear(bool) override { log_->push_back(name_ + " disappeared"); }
    std::string name_;
    Log* log_ = nullptr;
};

class NavigationWatcher : public NSObject {
    NS_OBJECT(NavigationWatcher, NSObject)
public:
    void willShow(const Ref<UINavigationController>&, const Ref<UIViewController>& vc, bool animated) {
        log.push_back("will " + vc->title()->str() + (animated ? " animated" : ""));
    }
    void didShow(const Ref<UINavigationController>&, const Ref<UIViewController>& vc, bool) {
        log.push_back("did " + vc->title()->str());
    }
    Log log;
};

} // namespace

NS_IMPLEMENT_CLASS(StackScreen, UIViewController) {}
NS_IMPLEMENT_CLASS(NavigationWatcher, NSObject) {
    b.method("navigationController:willShowViewController:animated:", &NavigationWatcher::willShow);
    b.method("navigationController:didShowViewController:animated:", &NavigationWatcher::didShow);
}

class NavigationTests : public PlatformTestCase {
protected:
    Ref<StackScreen> screen(const char* name) { return make<StackScreen>(name, &log); }
    std::vector<std::string> titles(const Ref<NSArray>& controllers) {
        std::vector<std::string> out;
        for (NSUInteger i = 0; i < controllers->count(); ++i) {
            out.push_back(cast<UIViewController>(controllers->objectAtIndex(i))->title()->str());
        }
        return out;
    }
    Log log;
};

TEST_F(NavigationTests, ScreensKnowTheirNavigationControllerWhileOnTheStack) {
    auto root = screen("Start");
    auto nav = make<UINavigationController>(root);
    UITestDriver::showRootViewController(nav);
    auto next = screen("Speaker");
    EXPECT_FALSE(next->navigationController());
    nav->pushViewControllerAnimated(next, false);
    EXPECT_EQ(next->navigationController(), nav);
    EXPECT_EQ(next->parentViewController(), nav);
    EXPECT_EQ(nav->visibleViewController(), next);
    EXPECT_TRUE(next->view()->window()) << "the top screen is on screen";
    EXPECT_FALSE(root->view()->window()) << "the screen under it is not";
    nav->popViewControllerAnimated(false);
    EXPECT_FALSE(next->navigationController());
    EXPECT_TRUE(root->view()->window());
}

TEST_F(NavigationTests, TheDriversWindowsAreOutOfReachOnceTheTestEnds) {
    // Screens refer to their test's state (here the log); when the tests of the binary share a
    // process, a later test must not reach them. At the test's end (while its fixture still stands)
    // the driver's windows are hidden and their screens disappear, so that they stop what they run;
    // a later test hiding every window tells them nothing more.
    auto root = screen("Start");
    auto window = UITestDriver::showRootViewController(make<UINavigationController>(root));
    EXPECT_FALSE(window->isHidden());
    DispatchClock::endTest();
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(log, (Log{"Start appeared", "Start disappeared"}));
    for (const auto& w : UIWindow::allWindows()) {
        w->setHidden(true); // what a later test's clean-up does
    }
    EXPECT_EQ(log, (Log{"Start appeared", "Start disappeared"}));
}

TEST_F(NavigationTests, PopToRootAndToAScreenAnswerWhatWasPopped) {
    auto root = screen("Start");
    auto nav = make<UINavigationController>(root);
    UITestDriver::showRootViewController(nav);
    auto a = screen("A"), b = screen("B"), c = screen("C");
    nav->pushViewControllerAnimated(a, false);
    nav->pushViewControllerAnimated(b, false);
    nav->pushViewControllerAnimated(c, false);
    log.clear();

    auto popped = nav->popToViewControllerAnimated(a, false);
    EXPECT_EQ(titles(popped), (Log{"B", "C"}));
    EXPECT_EQ(log, (Log{"C disappeared", "A appeared"})) << "B was never on screen, so it is told nothing";
    EXPECT_EQ(nav->topViewController(), a);

    nav->pushViewControllerAnimated(b, false);
    popped = nav->popToRootViewControllerAnimated(false);
    EXPECT_EQ(titles(popped), (Log{"A", "B"}));
    EXPECT_EQ(titles(nav->viewControllers()), (Log{"Start"}));
    EXPECT_EQ(nav->popToRootViewControllerAnimated(false)->count(), 0u) << "nothing above the root";
    EXPECT_THROW(nav->popToViewControllerAnimated(c, false), NSException) << "not on the stack";
}

TEST_F(NavigationTests, ReplacingTheStackShowsTheNewTop) {
    auto nav = make<UINavigationController>(screen("Start"));
    UITestDriver::showRootViewController(nav);
    log.clear();
    auto list = screen("List"), result = screen("Result");
    nav->setViewControllers(NSArray::arrayWithObjects({list, result}));
    EXPECT_EQ(titles(nav->viewControllers()), (Log{"List", "Result"}));
    EXPECT_EQ(log, (Log{"Start disappeared", "Result appeared"}));
    EXPECT_EQ(list->navigationController(), nav);
    EXPECT_EQ(nav->navigationBar()->title()->str(), "Result");
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(nav->navigationBar()->title()->str(), "List");
}

TEST_F(NavigationTests, TheDelegateIsToldBeforeAndAfterEachTransition) {
    auto nav = make<UINavigationController>(screen("Start"));
    auto watcher = make<NavigationWatcher>();
    nav->setDelegate(watcher);
    UITestDriver::showRootViewController(nav);
    watcher->log.clear();
    nav->pushViewControllerAnimated(screen("Camera"), true);
    EXPECT_EQ(watcher->log, (Log{"will Camera animated"}));
    advance(UINavigationTransitionDuration);
    EXPECT_EQ(watcher->log, (Log{"will Camera animated", "did Camera"}));
    watcher->log.clear();
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(watcher->log, (Log{"will Start", "did Start"}));
}

TEST_F(NavigationTests, APushDuringAnAnimatedPushFinishesTheFirstAtOnce) {
    auto nav = make<UINavigationController>(screen("Start"));
    UITestDriver::showRootViewController(nav);
    log.clear();
    auto first = screen("First"), second = screen("Second");
    nav->pushViewControllerAnimated(first, true);
    advance(UINavigationTransitionDuration / 2);
    nav->pushViewControllerAnimated(second, true);
    EXPECT_EQ(log, (Log{"Start disappeared", "First appeared"})) << "the first push ended when the second began";
    advance(UINavigationTransitionDuration);
    EXPECT_EQ(log, (Log{"Start disappeared", "First appeared", "First disappeared", "Second appeared"}));
    EXPECT_EQ(titles(nav->viewControllers()), (Log{"Start", "First", "Second"}));
    EXPECT_EQ(UITestDriver::topViewController(), second);
}

TEST_F(NavigationTests, TheBarCanBeHiddenAndTheContentTakesItsPlace) {
    auto root = screen("Start");
    auto nav = make<UINavigationController>(root);
    UITestDriver::showRootViewController(nav);
    UITestDriver::layout();
    CGRect withBar = root->view()->frame();
    nav->setNavigationBarHidden(true);
    UITestDriver::layout();
    EXPECT_TRUE(nav->isNavigationBarHidden());
    CGRect without = root->view()->frame();
    EXPECT_LT(without.origin.y, withBar.origin.y);
    EXPECT_GT(without.size.height, withBar.size.height);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(without), CGRectGetMaxY(withBar));
}
