// A finger that goes down on a control and drags across its edge: the drag events, the touch-up
// events and the tracking slop (70 points around the control still count as inside), through the
// test driver as a finger would do it.
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIControl.h>
#include <UIKit/UITestDriver.h>

#include <string>
#include <vector>

namespace {

// Records each control event by name, in order, and what the tracking hooks saw.
class TrackingRecorder : public NSObject {
    NS_OBJECT(TrackingRecorder, NSObject)
public:
    std::vector<std::string> events;
    void down() { events.push_back("down"); }
    void dragInside() { events.push_back("dragInside"); }
    void dragOutside() { events.push_back("dragOutside"); }
    void dragEnter() { events.push_back("dragEnter"); }
    void dragExit() { events.push_back("dragExit"); }
    void upInside() { events.push_back("upInside"); }
    void upOutside() { events.push_back("upOutside"); }
    void cancel() { events.push_back("cancel"); }
};

class TrackedControl : public UIControl {
    NS_OBJECT(TrackedControl, UIControl)
public:
    using UIControl::UIControl;
    bool acceptTracking = true;
    bool keepTracking = true;
    int begins = 0;
    int continues = 0;
    int ends = 0;
    int cancels = 0;
    std::vector<bool> highlights; // isHighlighted() at each continue
    bool beginTrackingWithTouchWithEvent(const Ref<UITouch>&, const Ref<UIEvent>&) override {
        ++begins;
        return acceptTracking;
    }
    bool continueTrackingWithTouchWithEvent(const Ref<UITouch>&, const Ref<UIEvent>&) override {
        ++continues;
        return keepTracking;
    }
    void endTrackingWithTouchWithEvent(const Ref<UITouch>&, const Ref<UIEvent>&) override { ++ends; }
    void cancelTrackingWithEvent(const Ref<UIEvent>&) override { ++cancels; }
};

} // namespace

NS_IMPLEMENT_CLASS(TrackingRecorder, NSObject) {
    b.method("down", &TrackingRecorder::down);
    b.method("dragInside", &TrackingRecorder::dragInside);
    b.method("dragOutside", &TrackingRecorder::dragOutside);
    b.method("dragEnter", &TrackingRecorder::dragEnter);
    b.method("dragExit", &TrackingRecorder::dragExit);
    b.method("upInside", &TrackingRecorder::upInside);
    b.method("upOutside", &TrackingRecorder::upOutside);
    b.method("cancel", &TrackingRecorder::cancel);
}
NS_IMPLEMENT_CLASS(TrackedControl, UIControl) {}

class ControlTrackingTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        screen = make<UIViewController>();
        UITestDriver::showRootViewController(screen);
        // The control spans x 100..200, y 200..250 of the window.
        control = make<TrackedControl>(CGRectMake(100, 200, 100, 50));
        screen->view()->addSubview(control);
        recorder = make<TrackingRecorder>();
        const std::pair<const char*, UIControlEvents> actions[] = {
            {"down", UIControlEventTouchDown},
            {"dragInside", UIControlEventTouchDragInside},
            {"dragOutside", UIControlEventTouchDragOutside},
            {"dragEnter", UIControlEventTouchDragEnter},
            {"dragExit", UIControlEventTouchDragExit},
            {"upInside", UIControlEventTouchUpInside},
            {"upOutside", UIControlEventTouchUpOutside},
            {"cancel", UIControlEventTouchCancel},
        };
        for (const auto& [action, event] : actions) {
            control->addTargetActionForControlEvents(recorder, action, event);
        }
    }
    void TearDown() override {
        control = nullptr;
        screen = nullptr;
        recorder = nullptr;
        PlatformTestCase::TearDown();
    }
    using Events = std::vector<std::string>;
    Ref<UIViewController> screen;
    Ref<TrackedControl> control;
    Ref<TrackingRecorder> recorder;
};

TEST_F(ControlTrackingTests, DragAcrossTheSlopEdgeAndBack) {
    auto touch = UITestDriver::touchDown(CGPointMake(150, 225));
    EXPECT_TRUE(control->isHighlighted());
    EXPECT_TRUE(control->isTracking());
    EXPECT_TRUE(control->isTouchInside());
    UITestDriver::touchMove(touch, CGPointMake(160, 230)); // inside the bounds
    UITestDriver::touchMove(touch, CGPointMake(250, 230)); // 50 past the right edge: within the slop
    EXPECT_TRUE(control->isHighlighted()) << "the slop still counts as inside";
    UITestDriver::touchMove(touch, CGPointMake(275, 230)); // 75 past: outside
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTouchInside());
    UITestDriver::touchMove(touch, CGPointMake(300, 230)); // still outside
    UITestDriver::touchMove(touch, CGPointMake(150, 135)); // 65 above the top edge: back inside
    EXPECT_TRUE(control->isHighlighted());
    UITestDriver::touchUp(touch);
    EXPECT_EQ(recorder->events,
              (Events{"down", "dragInside", "dragInside", "dragExit", "dragOutside", "dragEnter", "upInside"}));
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTracking());
    EXPECT_EQ(control->begins, 1);
    EXPECT_EQ(control->continues, 5);
    EXPECT_EQ(control->ends, 1);
}

TEST_F(ControlTrackingTests, LiftingOutsideTheSlopSendsTouchUpOutside) {
    auto touch = UITestDriver::touchDown(CGPointMake(150, 225));
    UITestDriver::touchMove(touch, CGPointMake(150, 400)); // 150 below: outside
    UITestDriver::touchUp(touch);
    EXPECT_EQ(recorder->events, (Events{"down", "dragExit", "upOutside"}));
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_EQ(control->ends, 1);
}

TEST_F(ControlTrackingTests, LiftingWithinTheSlopCountsAsInside) {
    auto touch = UITestDriver::touchDown(CGPointMake(150, 225));
    UITestDriver::touchMove(touch, CGPointMake(31, 225)); // 69 left of the control
    UITestDriver::touchUp(touch);
    EXPECT_EQ(recorder->events, (Events{"down", "dragInside", "upInside"}));

    recorder->events.clear();
    touch = UITestDriver::touchDown(CGPointMake(150, 225));
    UITestDriver::touchMove(touch, CGPointMake(29, 225)); // 71 left: outside
    UITestDriver::touchUp(touch);
    EXPECT_EQ(recorder->events, (Events{"down", "dragExit", "upOutside"}));
}

TEST_F(ControlTrackingTests, ADragThatEndsWhereItBeganAfterLeavingIsStillATap) {
    UITestDriver::drag(CGPointMake(150, 225), CGPointMake(150, 600), 1);
    EXPECT_EQ(recorder->events, (Events{"down", "dragExit", "upOutside"}));
    recorder->events.clear();
    auto touch = UITestDriver::touchDown(CGPointMake(150, 225));
    UITestDriver::touchMove(touch, CGPointMake(150, 600));
    UITestDriver::touchMove(touch, CGPointMake(150, 225));
    UITestDriver::touchUp(touch);
    EXPECT_EQ(recorder->events, (Events{"down", "dragExit", "dragEnter", "upInside"}));
}

TEST_F(ControlTrackingTests, CancelledTouchSendsTouchCancelAndNoTouchUp) {
    auto touch = UITestDriver::touchDown(CGPointMake(150, 225));
    UITestDriver::touchCancel(touch);
    EXPECT_EQ(recorder->events, (Events{"down", "cancel"}));
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTracking());
    EXPECT_EQ(control->cancels, 1);
    EXPECT_EQ(control->ends, 0);
}

TEST_F(ControlTrackingTests, TrackingRefusedOrStoppedSkipsTheLaterHooks) {
    control->acceptTracking = false;
    auto touch = UITestDriver::touchDown(CGPointMake(150, 225));
    EXPECT_FALSE(control->isTracking());
    UITestDriver::touchMove(touch, CGPointMake(160, 225));
    UITestDriver::touchUp(touch);
    EXPECT_EQ(control->continues, 0) << "no continue for a touch whose tracking was refused";
    EXPECT_EQ(control->ends, 0);

    control->acceptTracking = true;
    control->keepTracking = false;
    touch = UITestDriver::touchDown(CGPointMake(150, 225));
    UITestDriver::touchMove(touch, CGPointMake(160, 225));
    EXPECT_FALSE(control->isTracking()) << "continue answered no";
    UITestDriver::touchMove(touch, CGPointMake(170, 225));
    UITestDriver::touchUp(touch);
    EXPECT_EQ(control->continues, 1) << "not asked again once it stopped";
    EXPECT_EQ(control->ends, 0);
}

TEST_F(ControlTrackingTests, ADisabledControlGetsNoEventsForTheWholeTouch) {
    control->setEnabled(false);
    auto touch = UITestDriver::touchDown(CGPointMake(150, 225));
    control->setEnabled(true); // enabled again while the finger is down
    UITestDriver::touchMove(touch, CGPointMake(160, 225));
    UITestDriver::touchUp(touch);
    EXPECT_TRUE(recorder->events.empty()) << "a touch that began on a disabled control is not tracked";
    EXPECT_FALSE(control->isHighlighted());
}

TEST_F(ControlTrackingTests, TouchesOutsideTheControlNeverReachIt) {
    auto touch = UITestDriver::touchDown(CGPointMake(150, 180)); // 20 above: the slop is for tracking only
    UITestDriver::touchMove(touch, CGPointMake(150, 225));
    UITestDriver::touchUp(touch);
    EXPECT_TRUE(recorder->events.empty());
    EXPECT_EQ(control->begins, 0);
}
