// Layout that changes while a screen is up: a constraint's constant moves a view at the next layout
// pass, deactivating and activating constraints swaps one arrangement for another, a removed view
// keeps its own size, and a holder that changes size lays its content out again.
#include <Support/PlatformTestCase.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITestDriver.h>

namespace {

Ref<NSLayoutConstraint> pin(const id& a, NSLayoutAttribute aa, const id& b, NSLayoutAttribute ba, CGFloat constant) {
    auto c = NSLayoutConstraint::constraintWithItemAttributeRelatedByToItemAttributeMultiplierConstant(
        a, aa, NSLayoutRelationEqual, b, ba, 1, constant);
    c->setActive(true);
    return c;
}

Ref<NSLayoutConstraint> fixed(const id& a, NSLayoutAttribute aa, CGFloat constant) {
    return pin(a, aa, nullptr, NSLayoutAttributeNotAnAttribute, constant);
}

} // namespace

class LayoutChangeTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        holder = make<UIView>(CGRectMake(0, 0, 300, 400));
        box = make<UIView>();
        box->setTranslatesAutoresizingMaskIntoConstraints(false);
        holder->addSubview(box);
        left = pin(box, NSLayoutAttributeLeading, holder, NSLayoutAttributeLeading, 20);
        top = pin(box, NSLayoutAttributeTop, holder, NSLayoutAttributeTop, 30);
        width = fixed(box, NSLayoutAttributeWidth, 100);
        height = fixed(box, NSLayoutAttributeHeight, 50);
        holder->layoutIfNeeded();
    }
    Ref<UIView> holder;
    Ref<UIView> box;
    Ref<NSLayoutConstraint> left, top, width, height;
};

TEST_F(LayoutChangeTests, AConstantChangeTakesEffectAtTheNextLayoutPass) {
    EXPECT_EQ(box->frame(), CGRectMake(20, 30, 100, 50));
    top->setConstant(80);
    width->setConstant(150);
    EXPECT_EQ(box->frame(), CGRectMake(20, 30, 100, 50)) << "nothing moves before layout";
    holder->layoutIfNeeded();
    EXPECT_EQ(box->frame(), CGRectMake(20, 80, 150, 50));
}

TEST_F(LayoutChangeTests, DeactivatingOneArrangementAndActivatingAnotherSwapsThem) {
    left->setActive(false);
    auto right = pin(box, NSLayoutAttributeTrailing, holder, NSLayoutAttributeTrailing, -10);
    holder->layoutIfNeeded();
    EXPECT_EQ(box->frame(), CGRectMake(190, 30, 100, 50));
    EXPECT_FALSE(left->isActive());

    NSLayoutConstraint::deactivateConstraints(NSArray::arrayWithObjects({right}));
    NSLayoutConstraint::activateConstraints(NSArray::arrayWithObjects({left}));
    holder->layoutIfNeeded();
    EXPECT_EQ(box->frame(), CGRectMake(20, 30, 100, 50));
}

TEST_F(LayoutChangeTests, RemovingAViewKeepsItsOwnSizeAndTheRestSolvable) {
    auto below = make<UIView>();
    below->setTranslatesAutoresizingMaskIntoConstraints(false);
    holder->addSubview(below);
    pin(below, NSLayoutAttributeTop, box, NSLayoutAttributeBottom, 8);
    pin(below, NSLayoutAttributeLeading, holder, NSLayoutAttributeLeading, 0);
    fixed(below, NSLayoutAttributeWidth, 10);
    fixed(below, NSLayoutAttributeHeight, 10);
    holder->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(below->frame().origin.y, 88);

    box->removeFromSuperview();
    EXPECT_TRUE(width->isActive()) << "the removed view's own size constraints stay with it";
    holder->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(below->frame().size.width, 10);
    EXPECT_DOUBLE_EQ(below->frame().origin.x, 0);
}

TEST_F(LayoutChangeTests, AHolderThatChangesSizeLaysItsContentOutAgain) {
    auto fill = make<UIView>();
    fill->setTranslatesAutoresizingMaskIntoConstraints(false);
    holder->addSubview(fill);
    pin(fill, NSLayoutAttributeLeading, holder, NSLayoutAttributeLeading, 0);
    pin(fill, NSLayoutAttributeTrailing, holder, NSLayoutAttributeTrailing, 0);
    pin(fill, NSLayoutAttributeBottom, holder, NSLayoutAttributeBottom, 0);
    fixed(fill, NSLayoutAttributeHeight, 44);
    holder->layoutIfNeeded();
    EXPECT_EQ(fill->frame(), CGRectMake(0, 356, 300, 44));
    holder->setFrame(CGRectMake(0, 0, 400, 300)); // turned to landscape
    holder->layoutIfNeeded();
    EXPECT_EQ(fill->frame(), CGRectMake(0, 256, 400, 44));
    EXPECT_EQ(box->frame(), CGRectMake(20, 30, 100, 50)) << "pinned to the top-left, it stays";
}

TEST_F(LayoutChangeTests, ConstraintPlacedViewsInAWindowFollowAtTheNextTurnWithoutBeingAsked) {
    auto screen = make<UIViewController>();
    UITestDriver::showRootViewController(screen);
    auto label = make<UIView>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    screen->view()->addSubview(label);
    auto x = pin(label, NSLayoutAttributeCenterX, screen->view(), NSLayoutAttributeCenterX, 0);
    pin(label, NSLayoutAttributeTop, screen->view(), NSLayoutAttributeTop, 100);
    fixed(label, NSLayoutAttributeWidth, 80);
    fixed(label, NSLayoutAttributeHeight, 20);
    UITestDriver::layout();
    // Frames are rounded to the screen's pixels.
    CGFloat pixel = 1.0 / UIScreen::mainScreen()->scale();
    CGFloat mid = CGRectGetMidX(screen->view()->bounds());
    EXPECT_NEAR(CGRectGetMidX(label->frame()), mid, pixel);
    x->setConstant(30);
    runUntilIdle(); // the next turn of the main run loop lays out
    EXPECT_NEAR(CGRectGetMidX(label->frame()), mid + 30, pixel);
}
