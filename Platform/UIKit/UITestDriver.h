// UITestDriver: what an operator does to the screen, for tests and the simulator: show a screen,
// tap a view, a point, a button by title, an alert or sheet button by title or index, type into a
// field, put fingers down and move and lift them, scroll, press firmly (3D Touch), take a picture
// or cancel in an image picker, and read the
// screen back as text (the controller stack, the visible labels, buttons, fields, cells, alerts and
// sheets).
//
// Taps and touches go through the key window's hit-testing, exactly as a finger would: a view that
// is covered, hidden or not interactive does not get the tap. Every action runs the pending layout
// first and afterwards lets the main queue run what is due now (without moving the clock).
#pragma once

#include <UIKit/UIActionSheet.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UIBarButtonItem.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImagePickerController.h>
#include <UIKit/UIScrollView.h>
#include <UIKit/UITextField.h>
#include <UIKit/UITextView.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

#include <string>
#include <vector>

class UITestDriver {
public:
    // A key window the size of the screen showing `controller` as its root.
    static Ref<UIWindow> showRootViewController(const Ref<UIViewController>& controller);
    // Runs pending layout and display in every window.
    static void layout();
    // Runs what is due on the main queue now; the clock does not move.
    static void settle();

    // Taps. Each answers whether a view took the touch.
    static bool tapView(const Ref<UIView>& view);
    static bool tapAtPoint(CGPoint windowPoint);
    // The first visible, enabled button whose current title is `title`.
    static bool tapButtonTitled(const std::string& title);
    static bool tapBarButtonItem(const Ref<UIBarButtonItem>& item);

    // Alerts and sheets: the top one (the last shown). False when there is none or no button has
    // the title.
    static Ref<UIAlertView> topAlert();
    static Ref<UIActionSheet> topSheet();
    static bool tapAlertButtonTitled(const std::string& title);
    static bool tapAlertButtonAtIndex(NSInteger index);
    static bool tapSheetButtonTitled(const std::string& title);
    static bool tapSheetButtonAtIndex(NSInteger index);

    // Typing: taps the field (which makes it first responder) and types each character.
    static bool typeIntoField(const Ref<UITextField>& field, const std::string& text);
    static bool typeIntoTextView(const Ref<UITextView>& view, const std::string& text);

    // Touches, for multi-touch and drawing: each call sends one event carrying every finger that
    // is down (the others as stationary). Locations are in window coordinates, which are the
    // screen's. The simulated digitizer decides what is reported (see SimTouchKeys): a finger in a
    // dead area or off the glass is not; force is what the display senses.
    static Ref<UITouch> touchDown(CGPoint windowPoint, CGFloat force = 0);
    static void touchMove(const Ref<UITouch>& touch, CGPoint windowPoint, CGFloat force = 0);
    static void touchUp(const Ref<UITouch>& touch);
    static void touchCancel(const Ref<UITouch>& touch);
    // One finger from `from` to `to` in `steps` moves, then up.
    static void drag(CGPoint from, CGPoint to, int steps = 10);
    // One finger along a polyline at `speed` points a second, sampled 60 times a second (on virtual
    // time the clock moves with the finger), then up.
    static void drawPath(const std::vector<CGPoint>& polyline, double speed = 1000);
    // Several fingers land (one event) and lift (one event) together, `hold` seconds apart on
    // virtual time.
    static std::vector<Ref<UITouch>> fingersDown(const std::vector<CGPoint>& windowPoints);
    static void fingersUp(const std::vector<Ref<UITouch>>& touches);
    static void tapFingers(const std::vector<CGPoint>& windowPoints, double hold = 0.1);
    // One finger pressing in place with the given forces, one sample each `interval` seconds.
    static void pressWithForceCurve(CGPoint windowPoint, const std::vector<double>& forces, double interval = 0.05);
    // Fingers on the glass, and those of them that the digitizer reports.
    static size_t activeTouchCount();
    static size_t reportedTouchCount();

    static void scrollTo(const Ref<UIScrollView>& scrollView, CGPoint offset);
    // Pulls the scroll view down past its refresh control: begins refreshing and sends
    // value-changed. False when it has no refresh control or one that is refreshing or disabled.
    static bool pullToRefresh(const Ref<UIScrollView>& scrollView);

    // Image pickers. The picker on screen: the topmost presented controller when it is one.
    static Ref<UIImagePickerController> topImagePicker();
    // "Take picture": the top picker's camera takes a picture; with a library source the operator
    // chooses `image` (a made-up photo when nil). Answers whether a picture was delivered.
    static bool takePicture(const Ref<UIImage>& image = nullptr);
    // "Cancel" in the top picker; false when there is none.
    static bool cancelImagePicker();

    // 3D Touch on a view registered for previewing: the peek asks the delegate for a preview
    // controller (answered), the pop commits it.
    static Ref<UIViewController> peek(const Ref<UIViewController>& controller, CGPoint locationInSource);
    static void pop(const Ref<UIViewController>& controller, const Ref<UIViewController>& preview);

    // The screen as text, one item per line; a cell is shown with the texts of its labels.
    static std::string describeScreen();
    // The texts of the visible labels, buttons, fields and cells, front to back in tree order.
    static std::vector<std::string> visibleTexts();
    static bool isTextVisible(const std::string& text);
    static Ref<UIButton> findButton(const std::string& title);
    static Ref<UILabel> findLabel(const std::string& text);
    // The view of `cls` (or a subclass) found first in the visible tree.
    static Ref<UIView> findView(Class cls);
    static Ref<UIViewController> topViewController();

private:
    static void send(UITouchPhase phase, const Ref<UITouch>& touch);
    static void sendPhases(const std::vector<std::pair<Ref<UITouch>, UITouchPhase>>& changes);
};
