#include <Foundation/NSLog.h>
#include <Support/LogCapture.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/LayoutSolver.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UILabel.h>
#include <UIKit/UILayoutGuide.h>
#include <UIKit/UITestDriver.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using uikit_detail::LayoutSolver;

namespace {

Ref<NSLayoutConstraint> constraint(const id& a, NSLayoutAttribute aa, NSLayoutRelation rel, const id& b,
                                   NSLayoutAttribute ba, CGFloat multiplier, CGFloat constant,
                                   float priority = UILayoutPriorityRequired) {
    auto c = NSLayoutConstraint::constraintWithItemAttributeRelatedByToItemAttributeMultiplierConstant(
        a, aa, rel, b, ba, multiplier, constant);
    c->setPriority(priority);
    c->setActive(true);
    return c;
}

Ref<NSLayoutConstraint> equal(const id& a, NSLayoutAttribute aa, const id& b, NSLayoutAttribute ba,
                              CGFloat constant = 0, float priority = UILayoutPriorityRequired) {
    return constraint(a, aa, NSLayoutRelationEqual, b, ba, 1, constant, priority);
}

Ref<NSLayoutConstraint> size(const id& a, NSLayoutAttribute aa, NSLayoutRelation rel, CGFloat constant,
                             float priority = UILayoutPriorityRequired) {
    return constraint(a, aa, rel, nullptr, NSLayoutAttributeNotAnAttribute, 1, constant, priority);
}

Ref<UIView> placed(const Ref<UIView>& parent) {
    auto v = make<UIView>();
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent->addSubview(v);
    return v;
}

void format(const Ref<UIView>& host, const char* text, std::initializer_list<std::pair<const char*, id>> views,
            NSLayoutFormatOptions options = 0) {
    auto dict = NSMutableDictionary::dictionary();
    for (const auto& [name, view] : views) {
        dict->setObjectForKey(view, NSString::from(name));
    }
    host->addConstraints(NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews(NSString::from(text),
                                                                                            options, nullptr, dict));
}

} // namespace

class AutoLayoutTests : public PlatformTestCase {};

// MARK: - The solver

TEST_F(AutoLayoutTests, SolverHonoursPrioritiesLevelByLevel) {
    LayoutSolver s;
    auto x = s.addVariable();
    // One constraint at 999 against three at 998 that pull the other way: a weighted sum would
    // give in to the three; levels keep the higher one whole.
    ASSERT_TRUE(
        s.addConstraint(LayoutSolver::Expression::of(x).add(-100), LayoutSolver::Relation::GreaterOrEqual, 999));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(s.addConstraint(LayoutSolver::Expression::of(x), LayoutSolver::Relation::LessOrEqual, 998));
    }
    EXPECT_NEAR(s.value(x), 100, 1e-9);
    ASSERT_TRUE(s.addConstraint(LayoutSolver::Expression::of(x).add(-50), LayoutSolver::Relation::Equal));
    EXPECT_NEAR(s.value(x), 50, 1e-9) << "required beats every optional level";
}

TEST_F(AutoLayoutTests, SolverRefusesAConflictingRequiredConstraintAndKeepsItsState) {
    LayoutSolver s;
    auto x = s.addVariable();
    auto y = s.addVariable();
    ASSERT_TRUE(s.addConstraint(LayoutSolver::Expression::of(x).add(-10), LayoutSolver::Relation::GreaterOrEqual));
    ASSERT_TRUE(s.addConstraint(LayoutSolver::Expression::of(y).add(LayoutSolver::Expression::of(x), -2)));
    EXPECT_FALSE(s.addConstraint(LayoutSolver::Expression::of(x).add(-5), LayoutSolver::Relation::LessOrEqual));
    EXPECT_FALSE(s.addConstraint(LayoutSolver::Expression::of(y).add(-4)));
    ASSERT_TRUE(s.addConstraint(LayoutSolver::Expression::of(x).add(-12), LayoutSolver::Relation::Equal, 500));
    EXPECT_NEAR(s.value(x), 12, 1e-9) << "the refused constraints left nothing behind";
    EXPECT_NEAR(s.value(y), 24, 1e-9);
}

TEST_F(AutoLayoutTests, ConstraintsThatCannotBeSolvedAreRefusedWhenMade) {
    auto root = make<UIView>();
    auto v = placed(root);
    auto make = [&](NSLayoutAttribute a, CGFloat multiplier, CGFloat constant) {
        return NSLayoutConstraint::constraintWithItemAttributeRelatedByToItemAttributeMultiplierConstant(
            v, a, NSLayoutRelationEqual, root, a, multiplier, constant);
    };
    EXPECT_THROW(make(NSLayoutAttributeLeft, 0, 10), NSException) << "a location equal to a constant";
    EXPECT_NO_THROW(make(NSLayoutAttributeWidth, 0, 10));
    EXPECT_THROW(make(NSLayoutAttributeLeft, std::numeric_limits<double>::infinity(), 0), NSException);
    EXPECT_THROW(make(NSLayoutAttributeLeft, 1, std::nan("")), NSException);
    auto c = make(NSLayoutAttributeLeft, 1, 5);
    EXPECT_THROW(c->setConstant(std::nan("")), NSException);
    EXPECT_EQ(c->constant(), 5);
}

// MARK: - Views

TEST_F(AutoLayoutTests, EqualWidthsShareTheRowBetweenFixedGaps) {
    auto root = make<UIView>(CGRectMake(0, 0, 370, 200));
    auto a = placed(root);
    auto b = placed(root);
    format(root, "H:|-20-[a]-10-[b(==a)]-20-|", {{"a", a}, {"b", b}});
    format(root, "V:|-30-[a(40)]", {{"a", a}});
    format(root, "V:|-30-[b(==a)]", {{"a", a}, {"b", b}});
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRectMake(20, 30, 160, 40));
    EXPECT_EQ(b->frame(), CGRectMake(190, 30, 160, 40));

    root->setFrame(CGRectMake(0, 0, 270, 200));
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 110) << "a new size of the root lays out again";
    EXPECT_EQ(b->frame().origin.x, 140);
}

TEST_F(AutoLayoutTests, CenteringUsesIntrinsicSizesOfLabelsAndButtons) {
    auto root = make<UIView>(CGRectMake(0, 0, 300, 400));
    auto label = make<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setText("Hello"_ns); // 17 pt: 5 x 8.5 = 42.5 -> 43 wide, 20.4 -> 21 high
    root->addSubview(label);
    equal(label, NSLayoutAttributeCenterX, root, NSLayoutAttributeCenterX);
    equal(label, NSLayoutAttributeCenterY, root, NSLayoutAttributeCenterY);
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitleForState("Skip"_ns, UIControlStateNormal);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(button);
    equal(button, NSLayoutAttributeCenterX, root, NSLayoutAttributeCenterX);
    equal(button, NSLayoutAttributeBottom, root, NSLayoutAttributeBottom, -90);
    root->layoutIfNeeded();

    CGSize ls = label->intrinsicContentSize();
    EXPECT_EQ(label->frame().size, ls);
    EXPECT_NEAR(label->center().x, 150, 0.34);
    EXPECT_NEAR(label->center().y, 200, 0.34);
    CGSize bs = button->intrinsicContentSize();
    EXPECT_EQ(button->frame().size, bs);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(button->frame()), 310);

    label->setText("A much longer greeting"_ns);
    EXPECT_TRUE(root->needsLayout()) << "a new text asks the root for layout";
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size, label->intrinsicContentSize());
    EXPECT_NEAR(label->center().x, 150, 0.34);
}

TEST_F(AutoLayoutTests, CompressionResistanceAndHuggingAreWeighedByPriority) {
    auto root = make<UIView>(CGRectMake(0, 0, 300, 100));
    auto label = make<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setText("0123456789012345678901234567890123456789"_ns); // 340 wide
    root->addSubview(label);
    format(root, "H:|-(>=10)-[l]-(>=10)-|", {{"l", label}});
    format(root, "V:|[l]", {{"l", label}});
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size.width, 280) << "required margins beat compression resistance (750)";

    auto wide = placed(root);
    wide->setContentHuggingPriorityForAxis(UILayoutPriorityDefaultLow, UILayoutConstraintAxisHorizontal);
    size(wide, NSLayoutAttributeWidth, NSLayoutRelationGreaterThanOrEqual, 50);
    size(wide, NSLayoutAttributeWidth, NSLayoutRelationEqual, 120, UILayoutPriorityDefaultLow);
    size(wide, NSLayoutAttributeWidth, NSLayoutRelationLessThanOrEqual, 80, UILayoutPriorityDefaultHigh);
    equal(wide, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft);
    equal(wide, NSLayoutAttributeTop, root, NSLayoutAttributeTop);
    size(wide, NSLayoutAttributeHeight, NSLayoutRelationEqual, 10);
    root->layoutIfNeeded();
    EXPECT_EQ(wide->frame().size.width, 80) << "750 wins over 250";

    label->setContentCompressionResistancePriorityForAxis(UILayoutPriorityRequired, UILayoutConstraintAxisHorizontal);
    LogCapture capture;
    root->setNeedsLayout();
    root->layoutIfNeeded();
    auto log = capture.finish();
    ASSERT_FALSE(log.empty()) << "two required constraints conflict: one is left out and logged";
    EXPECT_NE(log.front().find("Unable to simultaneously satisfy constraints"), std::string::npos);
}

TEST_F(AutoLayoutTests, ChainsAndMultipliersPlaceSiblingsRelativeToEachOther) {
    auto root = make<UIView>(CGRectMake(0, 0, 400, 600));
    auto a = placed(root);
    auto b = placed(root);
    auto c = placed(root);
    format(root, "V:|-[a(50)]-[b(==a)]-[c(==a)]", {{"a", a}, {"b", b}, {"c", c}});
    constraint(a, NSLayoutAttributeWidth, NSLayoutRelationEqual, root, NSLayoutAttributeWidth, 0.5, 0);
    constraint(b, NSLayoutAttributeWidth, NSLayoutRelationEqual, a, NSLayoutAttributeWidth, 0.5, 0);
    constraint(c, NSLayoutAttributeWidth, NSLayoutRelationEqual, b, NSLayoutAttributeWidth, 1, 25);
    for (const auto& v : {a, b, c}) {
        equal(v, NSLayoutAttributeLeading, root, NSLayoutAttributeLeading, 0);
    }
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRectMake(0, 20, 200, 50));
    EXPECT_EQ(b->frame(), CGRectMake(0, 78, 100, 50));
    EXPECT_EQ(c->frame(), CGRectMake(0, 136, 125, 50));
}

TEST_F(AutoLayoutTests, MultipliersOfPositionsMeasureFromTheHoldersOrigin) {
    // Three views of fixed length spread over a box that itself lies away from the root's origin:
    // the middle one's right edge is half the box's right edge plus 25.
    auto root = make<UIView>(CGRectMake(0, 0, 400, 200));
    auto box = placed(root);
    format(root, "H:|-60-[box(300)]", {{"box", box}});
    format(root, "V:|-20-[box(100)]", {{"box", box}});
    std::vector<Ref<UIView>> views{placed(box), placed(box), placed(box)};
    for (size_t i = 0; i < views.size(); ++i) {
        const auto& v = views[i];
        size(v, NSLayoutAttributeWidth, NSLayoutRelationEqual, 50);
        size(v, NSLayoutAttributeHeight, NSLayoutRelationEqual, 10);
        equal(v, NSLayoutAttributeTop, box, NSLayoutAttributeTop);
    }
    equal(views[0], NSLayoutAttributeLeft, box, NSLayoutAttributeLeft, 10);
    constraint(views[1], NSLayoutAttributeRight, NSLayoutRelationEqual, box, NSLayoutAttributeRight, 0.5,
               (50 + 10) * 0.5 - 10 * 0.5);
    equal(views[2], NSLayoutAttributeRight, box, NSLayoutAttributeRight, -10);
    root->layoutIfNeeded();
    EXPECT_EQ(box->frame(), CGRectMake(60, 20, 300, 100));
    EXPECT_EQ(views[0]->frame().origin.x, 10);
    EXPECT_EQ(CGRectGetMaxX(views[1]->frame()), 175);
    EXPECT_EQ(CGRectGetMaxX(views[2]->frame()), 290);
    EXPECT_EQ(views[1]->frame().origin.x - CGRectGetMaxX(views[0]->frame()),
              views[2]->frame().origin.x - CGRectGetMaxX(views[1]->frame()))
        << "equal gaps";
}

TEST_F(AutoLayoutTests, NestedViewsGetFramesInTheirOwnSuperview) {
    auto root = make<UIView>(CGRectMake(0, 0, 300, 300));
    auto box = placed(root);
    format(root, "H:|-40-[box]-40-|", {{"box", box}});
    format(root, "V:|-50-[box(100)]", {{"box", box}});
    auto inner = placed(box);
    format(box, "H:|-10-[inner]-10-|", {{"inner", inner}});
    format(box, "V:|-5-[inner]-5-|", {{"inner", inner}});
    root->layoutIfNeeded();
    EXPECT_EQ(box->frame(), CGRectMake(40, 50, 220, 100));
    EXPECT_EQ(inner->frame(), CGRectMake(10, 5, 200, 90)) << "relative to its superview, in the same pass";

    auto constant = cast<NSLayoutConstraint>(root->constraints()->objectAtIndex(0));
    constant->setConstant(20);
    root->layoutIfNeeded();
    EXPECT_EQ(box->frame().size.width, 240);
    EXPECT_EQ(inner->frame().size.width, 220);
}

TEST_F(AutoLayoutTests, AmbiguousViewsKeepTheirFramesAndFreeViewsAreLeftAlone) {
    auto root = make<UIView>(CGRectMake(0, 0, 300, 300));
    auto half = placed(root);
    half->setFrame(CGRectMake(7, 9, 30, 40));
    equal(half, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 100);
    auto untouched = placed(root);
    untouched->setFrame(CGRectMake(1, 2, 3, 4));
    root->layoutIfNeeded();
    EXPECT_EQ(half->frame(), CGRectMake(100, 9, 30, 40)) << "what no constraint decides stays";
    EXPECT_EQ(untouched->frame(), CGRectMake(1, 2, 3, 4));
}

TEST_F(AutoLayoutTests, GuidesTakePartInLayout) {
    auto root = make<UIView>(CGRectMake(0, 0, 200, 200));
    root->setLayoutMargins(UIEdgeInsetsMake(10, 15, 20, 25));
    auto v = placed(root);
    equal(v, NSLayoutAttributeLeading, root->layoutMarginsGuide(), NSLayoutAttributeLeading);
    equal(v, NSLayoutAttributeTrailing, root->layoutMarginsGuide(), NSLayoutAttributeTrailing);
    equal(v, NSLayoutAttributeTop, root, NSLayoutAttributeTopMargin);
    equal(v, NSLayoutAttributeBottom, root, NSLayoutAttributeBottomMargin);
    auto spacer = make<UILayoutGuide>();
    root->addLayoutGuide(spacer);
    equal(spacer, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 5);
    equal(spacer, NSLayoutAttributeTop, v, NSLayoutAttributeBottom);
    equal(spacer, NSLayoutAttributeBottom, root, NSLayoutAttributeBottom);
    size(spacer, NSLayoutAttributeWidth, NSLayoutRelationEqual, 30);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), CGRectMake(15, 10, 160, 170));
    EXPECT_EQ(spacer->layoutFrame(), CGRectMake(5, 180, 30, 20));
}

TEST_F(AutoLayoutTests, ABoxSizedByItsStackedContent) {
    // A centred box as wide as its widest label plus margins, stacked top to bottom, offset from the
    // centre at a priority below the edge margins.
    auto host = make<UIView>(CGRectMake(0, 0, 320, 480));
    auto box = placed(host);
    box->setContentHuggingPriorityForAxis(UILayoutPriorityDefaultLow, UILayoutConstraintAxisHorizontal);
    auto title = make<UILabel>();
    title->setText("Loading"_ns);
    auto details = make<UILabel>();
    details->setText("Please wait a moment"_ns);
    std::vector<Ref<UIView>> stack{title, details};
    for (auto& l : stack) {
        l->setTranslatesAutoresizingMaskIntoConstraints(false);
        l->setContentCompressionResistancePriorityForAxis(998, UILayoutConstraintAxisHorizontal);
        box->addSubview(l);
        equal(l, NSLayoutAttributeCenterX, box, NSLayoutAttributeCenterX);
        format(box, "H:|-(>=20)-[v]-(>=20)-|", {{"v", l}});
    }
    equal(title, NSLayoutAttributeTop, box, NSLayoutAttributeTop, 20);
    equal(details, NSLayoutAttributeTop, title, NSLayoutAttributeBottom, 4);
    equal(box, NSLayoutAttributeBottom, details, NSLayoutAttributeBottom, 20);
    equal(box, NSLayoutAttributeCenterX, host, NSLayoutAttributeCenterX, 0, 998);
    equal(box, NSLayoutAttributeCenterY, host, NSLayoutAttributeCenterY, 15, 998);
    format(host, "H:|-(>=20@999)-[box]-(>=20@999)-|", {{"box", box}});
    host->layoutIfNeeded();

    CGSize t = title->intrinsicContentSize();
    CGSize d = details->intrinsicContentSize();
    EXPECT_NEAR(box->frame().size.width, d.width + 40, 1e-6);
    EXPECT_NEAR(box->frame().size.height, t.height + d.height + 44, 1e-6);
    EXPECT_NEAR(box->center().x, 160, 0.34);
    EXPECT_NEAR(box->center().y, 255, 0.34);
    EXPECT_NEAR(title->center().x, box->bounds().size.width / 2, 0.34);
    EXPECT_EQ(details->frame().origin.y, 20 + t.height + 4);

    // A centre offset that would push the box off the host gives way to the margins.
    cast<NSLayoutConstraint>(host->constraints()->objectAtIndex(0))->setConstant(500);
    host->layoutIfNeeded();
    EXPECT_EQ(CGRectGetMaxX(box->frame()), 300);
}

TEST_F(AutoLayoutTests, ConstraintPlacedButtonInAWindowIsTappable) {
    auto vc = make<UIViewController>();
    UITestDriver::showRootViewController(vc);
    auto skip = UIButton::buttonWithType(UIButtonTypeSystem);
    skip->setTitleForState("Skip"_ns, UIControlStateNormal);
    skip->setTranslatesAutoresizingMaskIntoConstraints(false);
    vc->view()->addSubview(skip);
    equal(skip, NSLayoutAttributeCenterX, vc->view(), NSLayoutAttributeCenterX);
    equal(skip, NSLayoutAttributeBottom, vc->view(), NSLayoutAttributeBottom, -90);
    runUntilIdle(); // the layout pass at the next turn of the main queue
    CGRect screen = vc->view()->bounds();
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(skip->frame()), screen.size.height - 90);
    EXPECT_NEAR(skip->center().x, screen.size.width / 2, 0.34);
    CGPoint middle =
        skip->convertPointToView(CGPointMake(CGRectGetMidX(skip->bounds()), CGRectGetMidY(skip->bounds())), nullptr);
    EXPECT_EQ(skip->window()->hitTestWithEvent(middle, nullptr), skip) << "a finger finds it where it was placed";
}
