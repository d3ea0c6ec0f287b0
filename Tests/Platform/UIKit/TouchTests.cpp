#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UITapGestureRecognizer.h>
#include <UIKit/UITestDriver.h>

#include <set>
#include <string>
#include <vector>

namespace {

class TouchScreen : public UIViewController {
    NS_OBJECT(TouchScreen, UIViewController)
public:
    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) override {
        auto all1 = touches->allObjects();
        for (const auto& o : *all1) {
            auto t = cast<UITouch>(o);
            down.insert(t->view()->tag());
            began.push_back(t->locationInView(view()));
        }
    }
    void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) override {
        auto t = cast<UITouch>(touches->anyObject());
        moves.push_back({t->previousLocationInView(view()), t->locationInView(view())});
    }
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) override {
        auto all2 = touches->allObjects();
        for (const auto& o : *all2) {
            down.erase(cast<UITouch>(o)->view()->tag());
        }
    }
    void tapped(const Ref<UIGestureRecognizer>&) { ++taps; }
    std::set<NSInteger> down;
    std::vector<CGPoint> began;
    std::vector<std::pair<CGPoint, CGPoint>> moves;
    int taps = 0;
};

} // namespace

NS_IMPLEMENT_CLASS(TouchScreen, UIViewController) {
    b.method("tapped:", &TouchScreen::tapped);
}

class TouchTests : public PlatformTestCase {
protected:
    Ref<UIImageView> circle(const Ref<UIView>& parent, CGRect frame, NSInteger tag) {
        auto v = make<UIImageView>(frame);
        v->setUserInteractionEnabled(true);
        v->setTag(tag);
        parent->addSubview(v);
        return v;
    }
};

TEST_F(TouchTests, TouchesReachTheHitViewAndClimbToTheController) {
    auto screen = make<TouchScreen>();
    UITestDriver::showRootViewController(screen);
    circle(screen->view(), CGRectMake(0, 100, 80, 80), 1);
    circle(screen->view(), CGRectMake(100, 100, 80, 80), 2);
    circle(screen->view(), CGRectMake(200, 100, 80, 80), 3);
    auto t1 = UITestDriver::touchDown(CGPointMake(40, 140));
    auto t2 = UITestDriver::touchDown(CGPointMake(140, 140));
    EXPECT_EQ(screen->down, (std::set<NSInteger>{1, 2}));
    auto t3 = UITestDriver::touchDown(CGPointMake(240, 140));
    EXPECT_EQ(screen->down, (std::set<NSInteger>{1, 2, 3})) << "three fingers at once";
    EXPECT_EQ(UITestDriver::activeTouchCount(), 3u);
    UITestDriver::touchUp(t2);
    EXPECT_EQ(screen->down, (std::set<NSInteger>{1, 3}));
    UITestDriver::touchUp(t1);
    UITestDriver::touchUp(t3);
    EXPECT_TRUE(screen->down.empty());
}

TEST_F(TouchTests, MovesCarryPreviousLocations) {
    auto screen = make<TouchScreen>();
    UITestDriver::showRootViewController(screen);
    auto t = UITestDriver::touchDown(CGPointMake(10, 10), 1.5);
    EXPECT_DOUBLE_EQ(t->force(), 1.5);
    UITestDriver::touchMove(t, CGPointMake(30, 40));
    UITestDriver::touchMove(t, CGPointMake(50, 80));
    UITestDriver::touchUp(t);
    ASSERT_EQ(screen->moves.size(), 2u);
    EXPECT_EQ(screen->moves[0].first, CGPointMake(10, 10));
    EXPECT_EQ(screen->moves[0].second, CGPointMake(30, 40));
    EXPECT_EQ(screen->moves[1].first, CGPointMake(30, 40));
}

TEST_F(TouchTests, TapRecognizerFiresAndCancelsTheViewsTouch) {
    auto screen = make<TouchScreen>();
    UITestDriver::showRootViewController(screen);
    auto area = circle(screen->view(), CGRectMake(0, 100, 200, 200), 5);
    auto tap = make<UITapGestureRecognizer>(screen, "tapped:");
    area->addGestureRecognizer(tap);
    EXPECT_TRUE(UITestDriver::tapView(area));
    EXPECT_EQ(screen->taps, 1);
    EXPECT_EQ(tap->state(), UIGestureRecognizerStatePossible) << "reset once the touch is gone";

    auto t = UITestDriver::touchDown(CGPointMake(50, 150));
    UITestDriver::touchMove(t, CGPointMake(150, 250));
    UITestDriver::touchUp(t);
    EXPECT_EQ(screen->taps, 1) << "a drag is no tap";
}
