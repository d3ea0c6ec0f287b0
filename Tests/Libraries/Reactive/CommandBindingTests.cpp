// Commands bound to buttons, bar button items and refresh controls.
#include "ReactiveTestSupport.h"

#include <Reactive/UIBarButtonItem+RXCommandSupport.h>
#include <Reactive/UIButton+RXCommandSupport.h>
#include <Reactive/UIRefreshControl+RXCommandSupport.h>
#include <Support/LogCapture.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIScrollView.h>
#include <UIKit/UITestDriver.h>

using namespace rxtest;

namespace {

// A command whose executions are subjects that the test ends by hand. The inputs are kept weakly:
// a bound control keeps its command, so the command's block must not keep the control.
struct ManualCommand {
    ManualCommand(const Ref<RXSignal>& enabledSignal = nullptr) {
        auto runs = runs_;
        auto inputs = inputs_;
        command = make<RXCommand>(enabledSignal, [runs, inputs](const id& input) {
            inputs->push_back(Weak<NSObject>(input));
            auto subject = RXSubject::subject();
            runs->push_back(subject);
            return Ref<RXSignal>(subject);
        });
    }
    std::vector<Ref<RXSubject>>& runs() { return *runs_; }
    size_t executions() const { return inputs_->size(); }
    id input(size_t index) const { return (*inputs_)[index].lock(); }

    Ref<RXCommand> command;

private:
    std::shared_ptr<std::vector<Ref<RXSubject>>> runs_ = std::make_shared<std::vector<Ref<RXSubject>>>();
    std::shared_ptr<std::vector<Weak<NSObject>>> inputs_ = std::make_shared<std::vector<Weak<NSObject>>>();
};

} // namespace

class RXCommandBindingTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        screen_ = make<UIViewController>();
        UITestDriver::showRootViewController(screen_);
    }
    void TearDown() override {
        for (const auto& window : UIWindow::allWindows()) {
            window->setHidden(true); // when the tests share a process
        }
        screen_ = nullptr;
        PlatformTestCase::TearDown();
    }
    Ref<UIButton> addButton(const char* title) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setFrame(CGRectMake(20, 100, 120, 44));
        button->setTitleForState(NSString::from(title), UIControlStateNormal);
        screen_->view()->addSubview(button);
        return button;
    }
    Ref<UIViewController> screen_;
};

TEST_F(RXCommandBindingTests, AButtonExecutesItsCommandAndFollowsItsEnabledState) {
    auto button = addButton("Send");
    ManualCommand send;
    setRx_command(button, send.command);
    EXPECT_EQ(rx_command(button), send.command);
    EXPECT_TRUE(button->isEnabled());

    ASSERT_TRUE(UITestDriver::tapButtonTitled("Send"));
    runUntilIdle(); // executions start on the main-thread scheduler
    ASSERT_EQ(send.executions(), 1u);
    EXPECT_EQ(send.input(0), button) << "the button is the input";
    EXPECT_FALSE(button->isEnabled()) << "disabled while the command executes";
    EXPECT_FALSE(UITestDriver::tapButtonTitled("Send"));

    send.runs()[0]->sendCompleted();
    runUntilIdle();
    EXPECT_TRUE(button->isEnabled());
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Send"));
    runUntilIdle();
    EXPECT_EQ(send.executions(), 2u);
    send.runs()[1]->sendError(makeError(3));
    runUntilIdle();
    EXPECT_TRUE(button->isEnabled()) << "a failed execution ends too";
}

TEST_F(RXCommandBindingTests, SettingACommandAgainInstallsTheActionOnceAndReplacesTheBinding) {
    auto button = addButton("Retake");
    auto gate = RXSubject::subject();
    ManualCommand first(gate);
    ManualCommand second;
    setRx_command(button, first.command);
    setRx_command(button, first.command);
    setRx_command(button, second.command);
    ASSERT_TRUE(button->actionsForTargetForControlEvent(button, UIControlEventTouchUpInside));
    EXPECT_EQ(button->actionsForTargetForControlEvent(button, UIControlEventTouchUpInside)->count(), 1u);

    gate->sendNext(box(false));
    runUntilIdle();
    EXPECT_TRUE(button->isEnabled()) << "the first command's state no longer reaches the button";
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Retake"));
    runUntilIdle();
    EXPECT_EQ(first.executions(), 0u);
    EXPECT_EQ(second.executions(), 1u) << "one tap, one execution of the current command";
    second.runs()[0]->sendCompleted();
    runUntilIdle();

    setRx_command(button, nullptr);
    EXPECT_FALSE(rx_command(button));
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Retake"));
    runUntilIdle();
    EXPECT_EQ(second.executions(), 1u) << "without a command a tap does nothing";
}

TEST_F(RXCommandBindingTests, AnEnabledInputDisablesTheButton) {
    auto button = addButton("Retry");
    auto gate = RXSubject::subject();
    ManualCommand retry(gate);
    setRx_command(button, retry.command);
    gate->sendNext(box(false));
    runUntilIdle();
    EXPECT_FALSE(button->isEnabled());
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    runUntilIdle();
    EXPECT_TRUE(retry.executions() == 0) << "a disabled command runs nothing";
    gate->sendNext(box(true));
    runUntilIdle();
    EXPECT_TRUE(button->isEnabled());
}

TEST_F(RXCommandBindingTests, ABarButtonItemBecomesItsOwnTargetAndWarnsOnceWhenItHadOne) {
    LogCapture log;
    auto previousTarget = make<NSObject>();
    auto item = make<UIBarButtonItem>("Save"_ns, UIBarButtonItemStyleDone, previousTarget, "save:");
    ManualCommand save;
    setRx_command(item, save.command);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "WARNING: UIBarButtonItem.rx_command hijacks the control's existing target and action."}));
    EXPECT_EQ(item->target(), item);
    EXPECT_EQ(item->action(), SEL("rx_commandPerformAction:"));
    setRx_command(item, save.command);
    EXPECT_EQ(log.lines().size(), 1u) << "its own target is not a hijack";

    ASSERT_TRUE(UITestDriver::tapBarButtonItem(item));
    runUntilIdle();
    ASSERT_EQ(save.executions(), 1u);
    EXPECT_EQ(save.input(0), item) << "the item is the input";
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(UITestDriver::tapBarButtonItem(item));
    save.runs()[0]->sendCompleted();
    runUntilIdle();
    EXPECT_TRUE(item->isEnabled());

    auto plain = make<UIBarButtonItem>(UIBarButtonSystemItemDone, nullptr, SEL());
    setRx_command(plain, save.command);
    EXPECT_EQ(log.lines().size(), 1u) << "an item without a target has nothing to hijack";
    ASSERT_TRUE(UITestDriver::tapBarButtonItem(plain));
    runUntilIdle();
    EXPECT_EQ(save.executions(), 2u);
}

TEST_F(RXCommandBindingTests, ARefreshControlEndsRefreshingWhenItsExecutionEnds) {
    auto scroll = make<UIScrollView>(CGRectMake(0, 0, 320, 400));
    screen_->view()->addSubview(scroll);
    auto refresh = make<UIRefreshControl>();
    scroll->setRefreshControl(refresh);
    ManualCommand reload;
    setRx_command(refresh, reload.command);
    EXPECT_EQ(rx_command(refresh), reload.command);

    ASSERT_TRUE(UITestDriver::pullToRefresh(scroll));
    runUntilIdle();
    ASSERT_EQ(reload.executions(), 1u);
    EXPECT_EQ(reload.input(0), refresh) << "the refresh control is the input";
    EXPECT_TRUE(refresh->isRefreshing());
    EXPECT_FALSE(refresh->isEnabled()) << "disabled while the command executes";
    reload.runs()[0]->sendNext(box(1));
    runUntilIdle();
    EXPECT_TRUE(refresh->isRefreshing()) << "values do not end the refresh";
    reload.runs()[0]->sendCompleted();
    runUntilIdle();
    EXPECT_FALSE(refresh->isRefreshing());
    EXPECT_TRUE(refresh->isEnabled());

    ASSERT_TRUE(UITestDriver::pullToRefresh(scroll));
    runUntilIdle();
    reload.runs()[1]->sendError(makeError(5));
    runUntilIdle();
    EXPECT_FALSE(refresh->isRefreshing()) << "a failed execution ends the refresh too";

    // A pull that the command refuses (an execution is still active) ends at once.
    reload.command->execute(nullptr);
    runUntilIdle();
    refresh->setEnabled(true);
    refresh->pull();
    runUntilIdle();
    EXPECT_FALSE(refresh->isRefreshing());
    EXPECT_EQ(reload.executions(), 3u);

    setRx_command(refresh, nullptr);
    reload.runs()[2]->sendCompleted();
    runUntilIdle();
    refresh->setEnabled(true);
    refresh->pull();
    runUntilIdle();
    EXPECT_TRUE(refresh->isRefreshing()) << "without a command nobody ends the refresh";
    EXPECT_EQ(reload.executions(), 3u);
}
