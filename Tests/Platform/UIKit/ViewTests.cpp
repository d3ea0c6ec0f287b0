#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIView.h>
#include <UIKit/UIWindow.h>

#include <string>
#include <vector>

namespace {

class HookView : public UIView {
    NS_OBJECT(HookView, UIView)
public:
    HookView() = default;
    explicit HookView(std::vector<std::string>* log) : log_(log) {}
    void willMoveToSuperview(const Ref<UIView>& s) override {
        log_->push_back(s ? "willMoveToSuperview" : "willMoveToSuperview nil");
    }
    void didMoveToSuperview() override { log_->push_back("didMoveToSuperview"); }
    void willMoveToWindow(const Ref<UIWindow>& w) override {
        log_->push_back(w ? "willMoveToWindow" : "willMoveToWindow nil");
    }
    void didMoveToWindow() override { log_->push_back("didMoveToWindow"); }
    void layoutSubviews() override { log_->push_back("layoutSubviews"); }
    std::vector<std::string>* log_ = nullptr;
};

} // namespace

NS_IMPLEMENT_CLASS(HookView, UIView) {}

class ViewTests : public PlatformTestCase {};

TEST_F(ViewTests, GeometryFollowsFrameBoundsCenterAndTransform) {
    auto v = make<UIView>(CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(v->center(), CGPointMake(60, 45));
    EXPECT_EQ(v->bounds(), CGRectMake(0, 0, 100, 50));
    v->setCenter(CGPointMake(100, 100));
    EXPECT_EQ(v->frame(), CGRectMake(50, 75, 100, 50));
    v->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(v->frame(), CGRectMake(0, 50, 200, 100));
    EXPECT_EQ(v->bounds().size, CGSizeMake(100, 50));
}

TEST_F(ViewTests, ConversionsAcrossTreesCountEachRootsFrame) {
    // Two windows meet on the screen; nil is the view's own window.
    auto top = make<UIWindow>(CGRectMake(0, 0, 375, 667)), lower = make<UIWindow>(CGRectMake(0, 100, 375, 200));
    auto a = make<UIView>(CGRectMake(10, 20, 100, 100)), b = make<UIView>(CGRectMake(5, 5, 50, 50));
    top->addSubview(a);
    lower->addSubview(b);
    b->setBounds(CGRectMake(0, 10, 50, 50));
    EXPECT_EQ(a->convertPointToView(CGPointZero, b), CGPointMake(5, -75));
    EXPECT_EQ(b->convertPointFromView(CGPointZero, a), CGPointMake(5, -75));
    EXPECT_EQ(b->convertPointToView(CGPointZero, nullptr), CGPointMake(5, -5));
    // A view outside any window is its own root, placed by its frame; nil is the space of that frame.
    auto menu = make<UIView>(CGRectMake(145, 64, 250, 128)), row = make<UIView>(CGRectMake(0, 11, 250, 44));
    menu->addSubview(row);
    EXPECT_EQ(a->convertPointToView(CGPointMake(365, 44), menu), CGPointMake(230, 0));
    EXPECT_EQ(row->convertRectToView(row->bounds(), nullptr), CGRectMake(145, 75, 250, 44));
    EXPECT_EQ(row->convertPointFromView(CGPointMake(145, 75), nullptr), CGPointZero);
    menu->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(menu->convertPointToView(CGPointZero, nullptr), CGPointMake(20, 0));
    // A slanted view: the rectangle holds all four slanted corners, not only two.
    a->setTransform(CGAffineTransformMake(1, 0, -1, 1, 0, 0));
    EXPECT_EQ(a->convertRectToView(CGRectMake(0, 0, 100, 50), nullptr), CGRectMake(10, 20, 150, 50));
}

TEST_F(ViewTests, TreeHooksRunAroundMovesAndWindowChanges) {
    std::vector<std::string> log;
    auto window = UITestDriver::showRootViewController(make<UIViewController>());
    auto v = make<HookView>(&log);
    window->addSubview(v);
    EXPECT_EQ(log, (std::vector<std::string>{"willMoveToSuperview", "willMoveToWindow", "didMoveToWindow",
                                             "didMoveToSuperview"}));
    log.clear();
    v->removeFromSuperview();
    EXPECT_EQ(log, (std::vector<std::string>{"willMoveToSuperview nil", "willMoveToWindow nil", "didMoveToWindow",
                                             "didMoveToSuperview"}));
    EXPECT_FALSE(v->window());
}

TEST_F(ViewTests, SubviewOrderTagsAndCycles) {
    auto root = make<UIView>(CGRectMake(0, 0, 100, 100));
    auto a = make<UIView>();
    auto b = make<UIView>();
    b->setTag(7);
    root->addSubview(a);
    root->addSubview(b);
    root->bringSubviewToFront(a);
    EXPECT_EQ(root->subviewList().back(), a);
    root->sendSubviewToBack(a);
    EXPECT_EQ(root->subviewList().front(), a);
    EXPECT_EQ(root->viewWithTag(7), b);
    EXPECT_EQ(root->viewWithTag(99), nullptr);
    EXPECT_THROW(a->addSubview(root), NSException);
    EXPECT_EQ(root->layer()->sublayerList().front(), a->layer()) << "layers follow the subview order";
}

TEST_F(ViewTests, HitTestingSkipsHiddenAndNonInteractiveViewsAndPicksTheFrontmost) {
    auto root = make<UIView>(CGRectMake(0, 0, 200, 200));
    auto back = make<UIView>(CGRectMake(0, 0, 100, 100));
    auto front = make<UIView>(CGRectMake(50, 50, 100, 100));
    root->addSubview(back);
    root->addSubview(front);
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(60, 60), nullptr), front);
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(10, 10), nullptr), back);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(60, 60), nullptr), back);
    back->setHidden(true);
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(60, 60), nullptr), root);
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(250, 60), nullptr), nullptr);
}

TEST_F(ViewTests, AutoresizingFollowsTheMask) {
    auto root = make<UIView>(CGRectMake(0, 0, 100, 100));
    auto fill = make<UIView>(CGRectMake(10, 10, 80, 80));
    fill->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto pinned = make<UIView>(CGRectMake(80, 80, 10, 10));
    pinned->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleTopMargin);
    root->addSubview(fill);
    root->addSubview(pinned);
    root->setFrame(CGRectMake(0, 0, 200, 150));
    EXPECT_EQ(fill->frame(), CGRectMake(10, 10, 180, 130));
    EXPECT_EQ(pinned->frame(), CGRectMake(180, 130, 10, 10));
}

TEST_F(ViewTests, LayoutRunsOnceAtTheNextPass) {
    std::vector<std::string> log;
    auto window = UITestDriver::showRootViewController(make<UIViewController>());
    auto v = make<HookView>(&log);
    window->addSubview(v);
    log.clear();
    v->setNeedsLayout();
    v->setNeedsLayout();
    EXPECT_TRUE(log.empty());
    runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"layoutSubviews"}));
}

TEST_F(ViewTests, AnimationEndsOnTheClockWithFinishedFlag) {
    auto v = make<UIView>(CGRectMake(0, 0, 10, 10));
    int calls = 0;
    bool finished = false;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.3, 0.1, 0, [&] { v->setAlpha(0.5); },
        [&](bool f) {
            ++calls;
            finished = f;
        });
    EXPECT_DOUBLE_EQ(v->alpha(), 0.5) << "the model value changes at once";
    EXPECT_TRUE(v->layer()->hasAnimationForKey("opacity"));
    advance(0.39);
    EXPECT_EQ(calls, 0);
    advance(0.01);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(v->layer()->hasAnimationForKey("opacity"));
}

TEST_F(ViewTests, RemovingAnimationsEndsThemUnfinished) {
    auto v = make<UIView>(CGRectMake(0, 0, 10, 10));
    std::vector<bool> results;
    UIView::animateWithDurationAnimationsCompletion(
        1.0, [&] { v->setFrame(CGRectMake(5, 5, 10, 10)); }, [&](bool f) { results.push_back(f); });
    v->layer()->removeAllAnimations();
    runUntilIdle();
    EXPECT_EQ(results, (std::vector<bool>{false}));
    advance(2);
    EXPECT_EQ(results.size(), 1u) << "the completion runs once";
}

TEST_F(ViewTests, VisualFormatBecomesConstraints) {
    auto root = make<UIView>(CGRectMake(0, 0, 320, 480));
    auto camera = make<UIView>();
    auto cancel = make<UIView>();
    root->addSubview(camera);
    root->addSubview(cancel);
    auto views = NSDictionary::dictionaryWithEntries({{"_cameraView"_ns, camera}, {"_cancelButton"_ns, cancel}});
    auto v = NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews(
        "V:|[_cameraView][_cancelButton(60)]|"_ns, 0, nullptr, views);
    ASSERT_EQ(v->count(), 4u);
    auto height = cast<NSLayoutConstraint>(v->objectAtIndex(0));
    EXPECT_EQ(height->firstItem(), cancel);
    EXPECT_EQ(height->firstAttribute(), NSLayoutAttributeHeight);
    EXPECT_EQ(height->constant(), 60);
    auto top = cast<NSLayoutConstraint>(v->objectAtIndex(1));
    EXPECT_EQ(top->firstItem(), camera);
    EXPECT_EQ(top->firstAttribute(), NSLayoutAttributeTop);
    EXPECT_EQ(top->secondItem(), root);
    auto bottom = cast<NSLayoutConstraint>(v->objectAtIndex(3));
    EXPECT_EQ(bottom->firstItem(), root);
    EXPECT_EQ(bottom->firstAttribute(), NSLayoutAttributeBottom);
    EXPECT_EQ(bottom->secondItem(), cancel);

    auto metrics = NSDictionary::dictionaryWithEntries({{"margin"_ns, box(20.0)}});
    auto h = NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews(
        "|-(>=margin@999)-[_cameraView]-[_cancelButton]"_ns, 0, metrics, views);
    ASSERT_EQ(h->count(), 2u);
    auto lead = cast<NSLayoutConstraint>(h->objectAtIndex(0));
    EXPECT_EQ(lead->relation(), NSLayoutRelationGreaterThanOrEqual);
    EXPECT_EQ(lead->constant(), 20);
    EXPECT_FLOAT_EQ(lead->priority(), 999);
    EXPECT_EQ(cast<NSLayoutConstraint>(h->objectAtIndex(1))->constant(), 8) << "standard spacing between siblings";

    root->addConstraints(v);
    EXPECT_EQ(root->constraintList().size(), 4u);
    EXPECT_TRUE(height->isActive());
    height->setActive(false);
    EXPECT_EQ(root->constraintList().size(), 3u);

    EXPECT_THROW(NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews("H:[nobody]"_ns, 0, nullptr, views),
                 NSException);
    EXPECT_THROW(
        NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews("H:[_cameraView"_ns, 0, nullptr, views),
        NSException);
}
