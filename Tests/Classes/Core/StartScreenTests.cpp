// The start screen: its texts and layout, and Start.
#include "ScreenTestCase.h"

#include <Core/DXStartViewController.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UINib.h>

namespace {

class StartListener : public NSObject {
    NS_OBJECT(StartListener, NSObject)
public:
    std::vector<NSUInteger> indexes;
    void start(const Ref<DXStartViewController>&, NSUInteger index) { indexes.push_back(index); }
};

using StartScreenTest = ScreenTestCase;

Ref<DXTestModel> record() {
    auto model = make<DXTestModel>("Touch screen"_ns);
    model->setInstruction("Draw along the borders of the screen."_ns);
    return model;
}

} // namespace

NS_IMPLEMENT_CLASS(StartListener, NSObject) {
    b.method("startViewController:withIndexOfDoItem:", &StartListener::start);
}

TEST_F(StartScreenTest, ShowsTheRecordAndItsPlaceInTheRun) {
    auto start = make<DXStartViewController>(record(), 2, 12, nullptr);
    showInNavigation(start);
    EXPECT_EQ(start->testProgressLabel()->text()->str(), "3/12");
    EXPECT_EQ(start->testTitleLabel()->text()->str(), "Touch screen");
    EXPECT_EQ(start->desc()->text()->str(), "Draw along the borders of the screen.");
    EXPECT_TRUE(UITestDriver::isTextVisible("Start"));
    // No icon: an empty image view.
    EXPECT_FALSE(start->testImageView()->image());
    EXPECT_FALSE(start->headerView()->isHideBackButton());
    // Content starts below the header.
    EXPECT_GE(start->testImageView()->frame().origin.y, DXHeaderHeight());
}

TEST_F(StartScreenTest, TopConstraintsMoveDownByTheHeaderWhateverTheirSign) {
    for (auto [w, h] : {std::pair{375.0, 812.0}, std::pair{375.0, 667.0}}) {
        useScreen(w, h);
        auto start = make<DXStartViewController>(record(), 0, 1, nullptr);
        auto layout = UINibLoadNibNamedOwnerOptions("DXStartViewController"_ns, nullptr, nullptr);
        Ref<UIView> plain = cast<UIView>(layout->objectAtIndex(0));
        start->loadViewIfNeeded();
        std::vector<CGFloat> before, after;
        for (const auto& c : plain->constraintList()) {
            if (c->secondItem().get() == static_cast<NSObject*>(plain.get()) &&
                c->secondAttribute() == NSLayoutAttributeTop) {
                before.push_back(c->constant());
            }
        }
        for (const auto& c : start->view()->constraintList()) {
            if (c->secondItem().get() == static_cast<NSObject*>(start->view().get()) &&
                c->secondAttribute() == NSLayoutAttributeTop) {
                after.push_back(c->constant());
            }
        }
        ASSERT_EQ(before.size(), after.size());
        ASSERT_FALSE(before.empty());
        for (size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(after[i], before[i] + DXHeaderHeight());
        }
    }
}

TEST_F(StartScreenTest, StartTellsTheDelegateItsIndex) {
    auto listener = make<StartListener>();
    auto header = make<NSObject>();
    auto start = make<DXStartViewController>(record(), 4, 9, header);
    showInNavigation(start);
    EXPECT_EQ(start->headerView()->delegate().get(), header.get());
    // No delegate: nothing happens.
    EXPECT_TRUE(UITestDriver::tapButtonTitled("Start"));
    start->setDelegate(listener);
    EXPECT_TRUE(UITestDriver::tapButtonTitled("Start"));
    EXPECT_EQ(listener->indexes, std::vector<NSUInteger>{4});
}

TEST_F(StartScreenTest, DeallocLogsBothLines) {
    {
        auto start = make<DXStartViewController>(record(), 0, 1, nullptr);
        start->loadViewIfNeeded();
        int runs = 0;
        start->startBlock = [&] { ++runs; };
        start->dismiss(nullptr);
        EXPECT_EQ(runs, 1);
    }
    EXPECT_TRUE(logged("DXStartViewController dealloc"));
    EXPECT_TRUE(logged("DXStartViewController dealloc."));
}
