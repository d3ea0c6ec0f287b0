#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UITestDriver.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string>& journal() {
    static std::vector<std::string> j;
    return j;
}

class Screen : public UIViewController {
    NS_OBJECT(Screen, UIViewController)
public:
    Screen() = default;
    explicit Screen(std::string name) : name_(std::move(name)) {}
    void viewDidLoad() override { journal().push_back(name_ + " viewDidLoad"); }
    void viewWillAppear(bool) override { journal().push_back(name_ + " viewWillAppear"); }
    void viewDidAppear(bool) override { journal().push_back(name_ + " viewDidAppear"); }
    void viewWillDisappear(bool) override { journal().push_back(name_ + " viewWillDisappear"); }
    void viewDidDisappear(bool) override { journal().push_back(name_ + " viewDidDisappear"); }
    std::string name_;
};

} // namespace

NS_IMPLEMENT_CLASS(Screen, UIViewController) {}

class ControllerTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        journal().clear();
    }
};

using Log = std::vector<std::string>;

TEST_F(ControllerTests, NavigationPushAndPopRunInThePlatformOrderOnTheClock) {
    auto a = make<Screen>("A");
    auto nav = make<UINavigationController>(a);
    auto window = UITestDriver::showRootViewController(nav);
    EXPECT_EQ(journal(), (Log{"A viewDidLoad", "A viewWillAppear", "A viewDidAppear"}));

    journal().clear();
    auto b = make<Screen>("B");
    nav->pushViewControllerAnimated(b, true);
    EXPECT_EQ(journal(), (Log{"B viewDidLoad", "A viewWillDisappear", "B viewWillAppear"}));
    EXPECT_EQ(nav->topViewController(), b);
    advance(UINavigationTransitionDuration - 0.01);
    EXPECT_EQ(journal().size(), 3u) << "the push ends only when its animation does";
    advance(0.02);
    EXPECT_EQ(journal(), (Log{"B viewDidLoad", "A viewWillDisappear", "B viewWillAppear", "A viewDidDisappear",
                              "B viewDidAppear"}));

    journal().clear();
    Weak<Screen> weakB(b);
    b = nullptr;
    EXPECT_TRUE(weakB.lock()) << "the stack owns the pushed screen";
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(journal(), (Log{"B viewWillDisappear", "A viewWillAppear", "B viewDidDisappear", "A viewDidAppear"}));
    EXPECT_FALSE(weakB.lock()) << "a popped screen is released";
    EXPECT_EQ(nav->popViewControllerAnimated(false), nullptr) << "the root stays";
}

TEST_F(ControllerTests, PushingTheSameControllerTwiceRaises) {
    auto a = make<Screen>("A");
    auto nav = make<UINavigationController>(a);
    UITestDriver::showRootViewController(nav);
    EXPECT_THROW(nav->pushViewControllerAnimated(a, false), NSException);
}

TEST_F(ControllerTests, ModalPresentAndDismissTellTheScreenUnderneath) {
    auto a = make<Screen>("A");
    UITestDriver::showRootViewController(a);
    journal().clear();
    auto m = make<Screen>("M");
    int completions = 0;
    a->presentViewControllerAnimatedCompletion(m, true, [&] { ++completions; });
    EXPECT_EQ(journal(), (Log{"M viewDidLoad", "A viewWillDisappear", "M viewWillAppear"}));
    advance(UIModalTransitionDuration);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(journal(), (Log{"M viewDidLoad", "A viewWillDisappear", "M viewWillAppear", "A viewDidDisappear",
                              "M viewDidAppear"}));
    EXPECT_EQ(a->presentedViewController(), m);
    EXPECT_EQ(m->presentingViewController(), a);
    EXPECT_EQ(UITestDriver::topViewController(), m);

    // A second presentation from a screen that presents already does nothing.
    a->presentViewControllerAnimatedCompletion(make<Screen>("N"), false, [&] { ++completions; });
    EXPECT_EQ(completions, 1);

    journal().clear();
    m->dismissViewControllerAnimatedCompletion(false, [&] { ++completions; });
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(journal(), (Log{"M viewWillDisappear", "A viewWillAppear", "M viewDidDisappear", "A viewDidAppear"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_TRUE(a->view()->window());
}

TEST_F(ControllerTests, ChildTransitionEndsOnTheClock) {
    auto container = make<Screen>("C");
    UITestDriver::showRootViewController(container);
    auto first = make<Screen>("1");
    container->addChildViewController(first);
    container->view()->addSubview(first->view());
    first->didMoveToParentViewController(container);
    auto second = make<Screen>("2");
    container->addChildViewController(second);
    CGRect bounds = container->view()->bounds();
    second->view()->setFrame(CGRectOffset(bounds, bounds.size.width, 0));
    journal().clear();

    bool done = false;
    bool finishedFlag = false;
    container->transitionFromViewControllerToViewControllerDurationOptionsAnimationsCompletion(
        first, second, 0.3, 0,
        [&] {
            first->view()->setFrame(CGRectOffset(bounds, -bounds.size.width, 0));
            second->view()->setFrame(bounds);
        },
        [&](bool finished) {
            done = true;
            finishedFlag = finished;
            first->removeFromParentViewController();
        });
    EXPECT_EQ(journal(), (Log{"1 viewWillDisappear", "2 viewWillAppear"}));
    EXPECT_EQ(second->view()->frame(), bounds) << "model values change at once";
    advance(0.29);
    EXPECT_FALSE(done);
    advance(0.01);
    EXPECT_TRUE(done);
    EXPECT_TRUE(finishedFlag);
    EXPECT_EQ(journal(), (Log{"1 viewWillDisappear", "2 viewWillAppear", "1 viewDidDisappear", "2 viewDidAppear"}));
    EXPECT_FALSE(first->view()->superview());
    EXPECT_EQ(container->childViewControllerList().size(), 1u);
}

TEST_F(ControllerTests, TransitionBetweenForeignControllersRaises) {
    auto container = make<Screen>("C");
    auto a = make<Screen>("A");
    auto b = make<Screen>("B");
    container->addChildViewController(a);
    EXPECT_THROW(container->transitionFromViewControllerToViewControllerDurationOptionsAnimationsCompletion(
                     a, b, 0.3, 0, nullptr, nullptr),
                 NSException);
}

TEST_F(ControllerTests, ChildAddedToAVisibleContainerAppears) {
    auto container = make<Screen>("C");
    UITestDriver::showRootViewController(container);
    journal().clear();
    auto child = make<Screen>("K");
    container->addChildViewController(child);
    container->view()->addSubview(child->view());
    EXPECT_EQ(journal(), (Log{"K viewDidLoad", "K viewWillAppear", "K viewDidAppear"}));
    journal().clear();
    child->view()->removeFromSuperview();
    EXPECT_EQ(journal(), (Log{"K viewWillDisappear", "K viewDidDisappear"}));
}

TEST_F(ControllerTests, AppearanceCallbacksAreSentBySelector) {
    auto a = make<Screen>("A");
    std::vector<bool> seen;
    a->addInvocationObserver("viewWillAppear:",
                             [&](NSObject*, const std::vector<id>& args) { seen.push_back(unbox<bool>(args.at(0))); });
    UITestDriver::showRootViewController(a);
    EXPECT_EQ(seen, (std::vector<bool>{false}));
}
