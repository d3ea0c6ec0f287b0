// Alerts, sheets and buttons that report through blocks.
#include "CoreTestCase.h"

#include <Categorys/UIActionSheet+Block.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Categorys/UIButton+Block.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UITestDriver.h>

namespace {

// A delegate the alert had before it got a block.
class EarlierDelegate : public NSObject {
    NS_OBJECT(EarlierDelegate, NSObject)
public:
    std::vector<std::string>* events = nullptr;
    void clicked(const Ref<UIAlertView>&, NSInteger index) { events->push_back("delegate " + std::to_string(index)); }
    void didDismiss(const Ref<UIAlertView>&, NSInteger index) {
        events->push_back("delegate dismissed " + std::to_string(index));
    }
    bool shouldEnable(const Ref<UIAlertView>&) { return false; }
};

class BlockControlsTest : public CoreTestCase {
protected:
    void SetUp() override {
        CoreTestCase::SetUp();
        root_ = make<UIViewController>();
        window_ = UITestDriver::showRootViewController(root_);
    }
    void TearDown() override {
        for (auto& alert : UIAlertView::visibleAlerts()) {
            alert->dismissWithClickedButtonIndexAnimated(0, false);
        }
        for (auto& sheet : UIActionSheet::visibleSheets()) {
            sheet->dismissWithClickedButtonIndexAnimated(sheet->cancelButtonIndex(), false);
        }
        CoreTestCase::TearDown();
    }
    static Ref<NSArray> titles(std::initializer_list<const char*> list) {
        auto array = NSMutableArray::array();
        for (auto t : list) {
            array->addObject(NSString::from(t));
        }
        return array;
    }
    Ref<UIViewController> root_;
    Ref<UIWindow> window_;
};

} // namespace

NS_IMPLEMENT_CLASS(EarlierDelegate, NSObject) {
    b.method("alertView:clickedButtonAtIndex:", &EarlierDelegate::clicked);
    b.method("alertView:didDismissWithButtonIndex:", &EarlierDelegate::didDismiss);
    b.method("alertViewShouldEnableFirstOtherButton:", &EarlierDelegate::shouldEnable);
}

TEST_F(BlockControlsTest, AlertWithOnlyCancelHasOneButtonAtIndexZero) {
    std::vector<NSInteger> taps;
    auto alert = showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
        "Celvix"_ns, "Message"_ns, "Cancel"_ns, NSArray::array(),
        [&](const Ref<UIAlertView>& a, NSInteger index) { taps.push_back(index); });
    ASSERT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->numberOfButtons(), 1);
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("Cancel"));
    EXPECT_EQ(taps, std::vector<NSInteger>{0});
    EXPECT_FALSE(alert->isVisible());
}

TEST_F(BlockControlsTest, AlertNumbersOtherTitlesFromOneInOrder) {
    std::vector<NSInteger> taps;
    auto alert = showWithTitleMessageStyleCancelButtonTitleOtherButtonTitlesTapBlock(
        "Celvix"_ns, nullptr, UIAlertViewStylePlainTextInput, "Cancel"_ns, titles({"A", "B", "C"}),
        [&](const Ref<UIAlertView>&, NSInteger index) { taps.push_back(index); });
    EXPECT_EQ(alert->alertViewStyle(), UIAlertViewStylePlainTextInput);
    ASSERT_EQ(alert->numberOfButtons(), 4);
    EXPECT_EQ(alert->buttonTitleAtIndex(0)->str(), "Cancel");
    EXPECT_EQ(alert->buttonTitleAtIndex(1)->str(), "A");
    EXPECT_EQ(alert->buttonTitleAtIndex(2)->str(), "B");
    EXPECT_EQ(alert->buttonTitleAtIndex(3)->str(), "C");
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("C"));
    EXPECT_EQ(taps, std::vector<NSInteger>{3});
}

TEST_F(BlockControlsTest, BlocksRunBeforeTheEarlierDelegate) {
    std::vector<std::string> events;
    auto delegate = make<EarlierDelegate>();
    delegate->events = &events;
    auto alert = make<UIAlertView>("T"_ns, "M"_ns, delegate, "Cancel"_ns, std::vector<Ref<NSString>>{"OK"_ns});
    setTapBlock(alert,
                [&](const Ref<UIAlertView>&, NSInteger index) { events.push_back("block " + std::to_string(index)); });
    setDidDismissBlock(alert, [&](const Ref<UIAlertView>&, NSInteger index) {
        events.push_back("block dismissed " + std::to_string(index));
    });
    EXPECT_EQ(alert->delegate().get(), static_cast<NSObject*>(alert.get()));
    alert->setAlertViewStyle(UIAlertViewStylePlainTextInput);
    alert->show();
    // With no block of its own the alert asks the earlier delegate, which says NO.
    EXPECT_FALSE(alert->isButtonEnabledAtIndex(1));
    setShouldEnableFirstOtherButtonBlock(alert, [](const Ref<UIAlertView>&) { return true; });
    EXPECT_TRUE(alert->isButtonEnabledAtIndex(1));
    EXPECT_TRUE(UITestDriver::tapAlertButtonAtIndex(1));
    EXPECT_EQ(events, (std::vector<std::string>{"block 1", "delegate 1", "block dismissed 1", "delegate dismissed 1"}));
    // Setting a second block keeps the earlier delegate (the alert is its own delegate already).
    setWillPresentBlock(alert, [](const Ref<UIAlertView>&) {});
    EXPECT_TRUE(willPresentBlock(alert));
    EXPECT_FALSE(cancelBlock(alert));
}

TEST_F(BlockControlsTest, SheetReportsTheTappedIndexAndTitle) {
    std::string tapped;
    auto sheet = showWithTitleCancelButtonTitleDestructiveButtonTitleOtherButtonTitlesTapBlock(
        "Title"_ns, "Cancel"_ns, "Exit"_ns, titles({"Back", "Skip"}),
        [&](const Ref<UIActionSheet>& s, NSInteger index) { tapped = s->buttonTitleAtIndex(index)->str(); });
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->hostView().get(), root_->view().get());
    EXPECT_EQ(sheet->delegate().get(), static_cast<NSObject*>(sheet.get()));
    EXPECT_TRUE(UITestDriver::tapSheetButtonTitled("Skip"));
    EXPECT_EQ(tapped, "Skip");
}

TEST_F(BlockControlsTest, SheetWithoutBlockCanBeTapped) {
    auto sheet = showWithTitleCancelButtonTitleDestructiveButtonTitleOtherButtonTitlesTapBlock(
        nullptr, "Cancel"_ns, nullptr, nullptr, nullptr);
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_TRUE(UITestDriver::tapSheetButtonTitled("Cancel"));
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(BlockControlsTest, ButtonRunsItsBlockOncePerTap) {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setFrame(CGRectMake(10, 100, 100, 40));
    root_->view()->addSubview(button);
    std::vector<UIButton*> senders;
    handleControlEventWithBlock(button, UIControlEventTouchUpInside,
                                [&](const Ref<UIButton>& sender) { senders.push_back(sender.get()); });
    EXPECT_TRUE(UITestDriver::tapView(button));
    EXPECT_TRUE(UITestDriver::tapView(button));
    EXPECT_EQ(senders, (std::vector<UIButton*>{button.get(), button.get()}));
    // A later block replaces the first one.
    int second = 0;
    handleControlEventWithBlock(button, UIControlEventTouchUpInside, [&](const Ref<UIButton>&) { ++second; });
    EXPECT_TRUE(UITestDriver::tapView(button));
    EXPECT_EQ(senders.size(), 2u);
    EXPECT_EQ(second, 1);
}
