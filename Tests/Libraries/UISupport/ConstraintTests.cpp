#include <Support/PlatformTestCase.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITestDriver.h>
#include <UISupport/LCCompositeConstraint.h>
#include <UISupport/LCViewConstraint.h>
#include <UISupport/NSArray+LCAdditions.h>
#include <UISupport/NSLayoutConstraint+LCDebugAdditions.h>
#include <UISupport/UIView+LCAdditions.h>

#include <regex>
#include <string>

namespace {

Ref<NSValue> boxedSize(CGFloat w, CGFloat h) {
    CGSize size{w, h};
    return NSValue::valueWithBytesObjCType(&size, sizeof size, "{CGSize=dd}");
}

Ref<NSValue> boxedPoint(CGFloat x, CGFloat y) {
    CGPoint point{x, y};
    return NSValue::valueWithBytesObjCType(&point, sizeof point, "{CGPoint=dd}");
}

Ref<LCLayoutConstraint> platformConstraint(const id& constraint) {
    return cast<LCViewConstraint>(constraint)->layoutConstraint();
}

std::string text(const Ref<NSString>& s) {
    return s->UTF8String();
}

// Raises NSException with this name and a reason that contains `part`.
template <class F>
void expectRaise(F&& f, const char* name, const char* part) {
    try {
        f();
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), name);
        EXPECT_NE(e.reason().find(part), std::string::npos) << e.reason();
    }
}

class ConstraintBuilderTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        controller = make<UIViewController>();
        window = UITestDriver::showRootViewController(controller);
        screen = controller->view();
        UITestDriver::layout();
    }
    Ref<UIView> addView() {
        auto v = make<UIView>();
        screen->addSubview(v);
        return v;
    }
    Ref<UIViewController> controller;
    Ref<UIWindow> window;
    Ref<UIView> screen;
};

} // namespace

TEST_F(ConstraintBuilderTests, CentreAndBoxedSizeInstallFourConstraintsAndSolve) {
    auto target = addView();
    target->setFrame(CGRectMake(20, 100, 200, 300));
    auto view = addView();
    auto installed = lc_makeConstraints(view, [&](const Ref<LCConstraintMaker>& make) {
        EXPECT_FALSE(view->translatesAutoresizingMaskIntoConstraints());
        make->centerX()->equalTo()(target);
        make->centerY()->equalTo()(target);
        make->size()->equalTo()(boxedSize(100, 40));
    });
    ASSERT_EQ(installed->count(), 3u); // the size composite counts once
    auto centerX = platformConstraint(installed->objectAtIndex(0));
    EXPECT_EQ(centerX->secondItem(), target);
    EXPECT_EQ(centerX->secondAttribute(), NSLayoutAttributeCenterX);
    EXPECT_EQ(centerX->installedView(), screen);
    auto size = cast<LCCompositeConstraint>(installed->objectAtIndex(2));
    ASSERT_EQ(size->childConstraints().size(), 2u);
    auto w = platformConstraint(size->childConstraints()[0]);
    auto h = platformConstraint(size->childConstraints()[1]);
    EXPECT_EQ(w->constant(), 100);
    EXPECT_EQ(h->constant(), 40);
    EXPECT_EQ(w->secondItem(), nullptr);
    EXPECT_EQ(w->installedView(), view);
    EXPECT_EQ(h->installedView(), view);
    EXPECT_EQ(lc_installedConstraints(view)->count(), 4u);

    screen->layoutIfNeeded();
    EXPECT_TRUE(CGRectEqualToRect(view->frame(), CGRectMake(70, 230, 100, 40)));
}

TEST_F(ConstraintBuilderTests, CentreXAndBottomOffsetPinAViewAboveTheBottom) {
    auto label = make<UILabel>();
    label->setText("Next"_ns);
    screen->addSubview(label);
    auto installed = lc_makeConstraints(label, [&](const Ref<LCConstraintMaker>& make) {
        make->centerX()->equalTo()(screen);
        make->bottom()->equalTo()(screen)->offset()(-90);
    });
    auto bottom = platformConstraint(installed->objectAtIndex(1));
    EXPECT_EQ(bottom->constant(), -90);
    EXPECT_EQ(bottom->secondItem(), screen);
    EXPECT_EQ(bottom->installedView(), screen);
    screen->layoutIfNeeded();
    CGRect bounds = screen->bounds();
    CGRect frame = label->frame();
    EXPECT_GT(frame.size.width, 0);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(frame), bounds.size.height - 90);
    EXPECT_NEAR(CGRectGetMidX(frame), bounds.size.width / 2, 0.5);
}

TEST_F(ConstraintBuilderTests, ConstantsRelateToTheSuperviewOrTheViewItself) {
    auto view = addView();
    auto installed = lc_makeConstraints(view, [&](const Ref<LCConstraintMaker>& make) {
        make->width()->equalTo()(box(100));
        make->left()->equalTo()(box(10));
        make->top()->insets()(UIEdgeInsets{10, 20, 30, 40});
        make->right()->insets()(UIEdgeInsets{10, 20, 30, 40});
        make->bottom()->insets()(UIEdgeInsets{10, 20, 30, 40});
        make->centerX()->insets()(UIEdgeInsets{10, 20, 30, 40});
        make->height()->equalTo()(view)->dividedBy()(4);
    });
    auto width = platformConstraint(installed->objectAtIndex(0));
    EXPECT_EQ(width->secondItem(), nullptr);
    EXPECT_EQ(width->secondAttribute(), NSLayoutAttributeNotAnAttribute);
    EXPECT_EQ(width->constant(), 100);
    EXPECT_EQ(width->installedView(), view);
    auto left = platformConstraint(installed->objectAtIndex(1));
    EXPECT_EQ(left->secondItem(), screen);
    EXPECT_EQ(left->secondAttribute(), NSLayoutAttributeLeft);
    EXPECT_EQ(left->constant(), 10);
    EXPECT_EQ(left->installedView(), screen);
    EXPECT_EQ(platformConstraint(installed->objectAtIndex(2))->constant(), 10);
    EXPECT_EQ(platformConstraint(installed->objectAtIndex(3))->constant(), -40);
    EXPECT_EQ(platformConstraint(installed->objectAtIndex(4))->constant(), -30);
    EXPECT_EQ(platformConstraint(installed->objectAtIndex(5))->constant(), 0);
    EXPECT_EQ(platformConstraint(installed->objectAtIndex(6))->multiplier(), 0.25);
}

TEST_F(ConstraintBuilderTests, ChainsCompositesAndArraysReplaceTheirConstraintInPlace) {
    auto view = addView();
    auto a = addView();
    auto b = addView();
    auto maker = make<LCConstraintMaker>(view);
    auto first = maker->width();
    auto chained = maker->left()->top();
    ASSERT_EQ(maker->constraints().size(), 2u);
    EXPECT_EQ(maker->constraints()[0], first);
    auto composite = cast<LCCompositeConstraint>(maker->constraints()[1]);
    ASSERT_TRUE(composite);
    EXPECT_EQ(composite, chained);
    EXPECT_EQ(composite->childConstraints().size(), 2u);

    auto toArray = first->equalTo()(NSArray::arrayWithObjects({a, b}));
    auto arrayComposite = cast<LCCompositeConstraint>(toArray);
    ASSERT_TRUE(arrayComposite);
    EXPECT_EQ(maker->constraints()[0], toArray);
    ASSERT_EQ(arrayComposite->childConstraints().size(), 2u);
    EXPECT_EQ(cast<LCViewConstraint>(arrayComposite->childConstraints()[1])->secondViewAttribute()->view(), b);

    composite->key()("edge"_ns);
    EXPECT_STREQ(cast<NSString>(cast<LCViewConstraint>(composite->childConstraints()[1])->lc_key())->UTF8String(),
                 "edge[1]");
}

TEST_F(ConstraintBuilderTests, UpdateKeepsThePlatformConstraintAndRemakeReplacesIt) {
    auto view = addView();
    lc_makeConstraints(view, [&](const Ref<LCConstraintMaker>& make) {
        make->centerX()->equalTo()(screen);
        make->bottom()->equalTo()(screen)->offset()(-90);
    });
    auto before = platformConstraint(LCViewConstraint::installedConstraintsForView(view)->lastObject());
    size_t count = screen->constraintList().size();
    auto updated = lc_updateConstraints(
        view, [&](const Ref<LCConstraintMaker>& make) { make->bottom()->equalTo()(screen)->offset()(-80); });
    EXPECT_EQ(screen->constraintList().size(), count);
    auto after = platformConstraint(updated->objectAtIndex(0));
    EXPECT_EQ(after->constant(), -80);
    EXPECT_EQ(after->firstAttribute(), NSLayoutAttributeBottom);

    // A different priority is a different constraint.
    lc_updateConstraints(view, [&](const Ref<LCConstraintMaker>& make) {
        make->bottom()->equalTo()(screen)->offset()(-70)->priorityLow()();
    });
    EXPECT_EQ(screen->constraintList().size(), count + 1);

    auto remade = lc_remakeConstraints(
        view, [&](const Ref<LCConstraintMaker>& make) { make->bottom()->lessThanOrEqualTo()(screen); });
    EXPECT_EQ(lc_installedConstraints(view)->count(), 1u);
    EXPECT_EQ(screen->constraintList().size(), count - 1);
    EXPECT_EQ(platformConstraint(remade->objectAtIndex(0))->relation(), NSLayoutRelationLessThanOrEqual);
    (void)before;
}

TEST_F(ConstraintBuilderTests, UninstallAndInstallAgain) {
    auto view = addView();
    auto installed =
        lc_makeConstraints(view, [&](const Ref<LCConstraintMaker>& make) { make->width()->equalTo()(box(30)); });
    auto constraint = cast<LCViewConstraint>(installed->objectAtIndex(0));
    EXPECT_TRUE(constraint->hasBeenInstalled());
    constraint->install(); // a second install does nothing
    EXPECT_EQ(view->constraintList().size(), 1u);
    constraint->uninstall();
    EXPECT_FALSE(constraint->hasBeenInstalled());
    EXPECT_EQ(view->constraintList().size(), 0u);
    EXPECT_EQ(constraint->layoutConstraint(), nullptr); // nothing else kept it
    EXPECT_EQ(lc_installedConstraints(view)->count(), 0u);
    constraint->activate();
    EXPECT_TRUE(constraint->hasBeenInstalled());
    EXPECT_EQ(view->constraintList().size(), 1u);
    // A constant changed after install reaches the platform constraint at once.
    constraint->offset()(45);
    EXPECT_EQ(constraint->layoutConstraint()->constant(), 45);
}

TEST_F(ConstraintBuilderTests, RemovingAViewDropsItsConstraintsToViewsOutsideItsSubtree) {
    auto outside = addView();
    auto container = addView();
    auto child = make<UIView>();
    container->addSubview(child);
    auto installed = lc_makeConstraints(child, [&](const Ref<LCConstraintMaker>& make) {
        make->left()->equalTo()(outside);  // on the screen: leaves with the container
        make->top()->equalTo()(container); // on the container: stays
        make->width()->equalTo()(box(50)); // on the child itself: stays
    });
    auto toOutside = cast<LCViewConstraint>(installed->objectAtIndex(0));
    auto toContainer = cast<LCViewConstraint>(installed->objectAtIndex(1));
    auto width = cast<LCViewConstraint>(installed->objectAtIndex(2));
    // The container's own constraint to the screen leaves with it too.
    auto pinned =
        lc_makeConstraints(container, [&](const Ref<LCConstraintMaker>& make) { make->right()->equalTo()(screen); });
    auto containerToScreen = cast<LCViewConstraint>(pinned->objectAtIndex(0));
    Ref<LCLayoutConstraint> platformToOutside = toOutside->layoutConstraint();
    EXPECT_EQ(platformToOutside->installedView(), screen);
    size_t onScreen = screen->constraintList().size();

    container->removeFromSuperview();
    EXPECT_FALSE(platformToOutside->isActive());
    EXPECT_FALSE(toOutside->hasBeenInstalled());
    EXPECT_FALSE(containerToScreen->hasBeenInstalled());
    EXPECT_EQ(screen->constraintList().size(), onScreen - 2);
    EXPECT_TRUE(toContainer->hasBeenInstalled());
    EXPECT_TRUE(width->hasBeenInstalled());
    EXPECT_EQ(container->constraintList().size(), 1u);

    // Moving a view into another superview is a removal too; constraints inside it stay.
    screen->addSubview(container);
    auto again =
        lc_makeConstraints(child, [&](const Ref<LCConstraintMaker>& make) { make->left()->equalTo()(outside); });
    auto other = addView();
    other->addSubview(container);
    EXPECT_FALSE(cast<LCViewConstraint>(again->objectAtIndex(0))->hasBeenInstalled());
    EXPECT_TRUE(toContainer->hasBeenInstalled());
    screen->layoutIfNeeded(); // nothing left refers to a view across the move
}

TEST_F(ConstraintBuilderTests, BadTargetsAndUninstallableConstraintsRaiseClearly) {
    auto view = addView();
    expectRaise([&] { lc_makeConstraints(view, [&](auto make) { make->width()->equalTo()(boxedPoint(1, 2)); }); },
                NSInvalidArgumentException, "CGPoint cannot be the constant of a width");
    expectRaise([&] { lc_makeConstraints(view, [&](auto make) { make->left()->equalTo()("10"_ns); }); },
                NSInvalidArgumentException, "NSString");
    expectRaise([&] { lc_makeConstraints(view, [&](auto make) { make->left()->equalTo()(nullptr); }); },
                NSInvalidArgumentException, "nil");
    expectRaise([&] { lc_makeConstraints(view, [&](auto make) { make->center()->equalTo()(boxedSize(1, 2)); }); },
                NSInvalidArgumentException, "CGSize");

    auto orphan = make<UIView>();
    expectRaise([&] { lc_makeConstraints(orphan, [&](auto make) { make->left()->equalTo()(box(10)); }); },
                NSInternalInconsistencyException, "no superview");
    // A size constant needs no superview.
    EXPECT_EQ(lc_makeConstraints(orphan, [&](auto make) { make->width()->equalTo()(box(10)); })->count(), 1u);

    auto otherWindow = make<UIWindow>();
    auto elsewhere = make<UIView>();
    otherWindow->addSubview(elsewhere);
    expectRaise([&] { lc_makeConstraints(view, [&](auto make) { make->top()->equalTo()(elsewhere); }); },
                NSInternalInconsistencyException, "share no ancestor");

    auto abstract = make<LCConstraint>();
    expectRaise([&] { abstract->install(); }, NSInternalInconsistencyException,
                "You must override install in a subclass.");
    expectRaise([&] { abstract->equalTo()(view); }, NSInternalInconsistencyException,
                "You must override equalToWithRelation in a subclass.");
}

TEST_F(ConstraintBuilderTests, DescriptionsReadAsTheBuilderWritesThem) {
    auto view = addView();
    auto installed = lc_makeConstraints(view, [&](const Ref<LCConstraintMaker>& make) {
        make->width()->equalTo()(box(40));
        make->bottom()->equalTo()(screen)->offset()(-90)->priority()(250);
        make->top()->equalTo()(screen)->multipliedBy()(0.5)->priority()(600);
        make->left()->equalTo()(screen);
    });
    std::string width = text(platformConstraint(installed->objectAtIndex(0))->description());
    EXPECT_TRUE(
        std::regex_match(width, std::regex("<LCLayoutConstraint:0x[0-9a-f]+ UIView:0x[0-9a-f]+\\.width == 40>")))
        << width;
    setLc_key(view, "box"_ns);
    platformConstraint(installed->objectAtIndex(1))->setLc_key("pin"_ns);
    std::string bottom = text(platformConstraint(installed->objectAtIndex(1))->description());
    EXPECT_TRUE(std::regex_match(bottom, std::regex("<LCLayoutConstraint:pin UIView:box\\.bottom == "
                                                    "UIView:0x[0-9a-f]+\\.bottom - 90 \\^low>")))
        << bottom;
    std::string top = text(platformConstraint(installed->objectAtIndex(2))->description());
    EXPECT_NE(top.find(".top * 0.5 ^600>"), std::string::npos) << top;
    std::string left = text(platformConstraint(installed->objectAtIndex(3))->description());
    EXPECT_NE(left.find(".left == UIView:"), std::string::npos) << left;
    EXPECT_EQ(left.substr(left.size() - 6), ".left>") << left;
}

TEST_F(ConstraintBuilderTests, ArraysDistributeViewsAndFindTheirCommonSuperview) {
    auto a = addView(), b = addView(), c = addView();
    auto views = NSArray::arrayWithObjects({a, b, c});
    EXPECT_EQ(lc_commonSuperviewOfViews(views), screen);
    EXPECT_EQ(lc_commonSuperviewOfViews(NSArray::arrayWithObjects({a})), a);
    EXPECT_EQ(lc_commonSuperviewOfViews(NSArray::array()), nullptr);

    lc_distributeViewsAlongAxisWithFixedSpacingLeadSpacingTailSpacing(NSArray::arrayWithObjects({a}), 0, 5, 5, 5);
    EXPECT_EQ(lc_installedConstraints(a)->count(), 0u);

    lc_distributeViewsAlongAxisWithFixedItemLengthLeadSpacingTailSpacing(views, LCAxisTypeHorizontal, 50, 10, 10);
    lc_makeConstraints(views, [&](const Ref<LCConstraintMaker>& make) {
        make->top()->equalTo()(box(0));
        make->height()->equalTo()(box(20));
    });
    screen->layoutIfNeeded();
    CGFloat W = screen->bounds().size.width;
    EXPECT_DOUBLE_EQ(a->frame().origin.x, 10);
    EXPECT_DOUBLE_EQ(CGRectGetMaxX(c->frame()), W - 10);
    EXPECT_NEAR(CGRectGetMaxX(b->frame()), W * 0.5 + 25, 0.5);
    EXPECT_DOUBLE_EQ(b->frame().size.width, 50);
}
