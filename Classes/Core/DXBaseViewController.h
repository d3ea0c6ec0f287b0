// DXBaseViewController: the base of every test screen. A screen is made for one test record
// (`info`), shows the header bar with its back button (reporting to `headerDelegate`, the run
// container) and a YES/NO answer bar at the bottom, and exposes its appearance, answers and the
// application's background/foreground changes as signals. The screen's own logic sets the record's
// result and sub-results and ends the test with gotoResultView, which reports once to `delegate`
// (DXBaseViewControllerDelegate) or first offers the failed-test alert (Retry / Exit).
//
// Screens are made by class name: screenWithClassName makes the class's instance with plain
// initialisation and gives it the record and header delegate (`initWithTestModel:headerDelegate:`).
// Main thread only.
#pragma once

#include <Core/DXTestModel.h>
#include <Core/DXViewController.h>
#include <Foundation/NSNumber.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXSignal.h>
#include <Reactive/RXSubject.h>

// Required: `testViewController:withResult:endTest:` (screen, NSInteger result, BOOL endTest) and
// `testViewController:withRetryModel:` (screen, record). Sent by selector.
NS_DECLARE_PROTOCOL(DXBaseViewControllerDelegate);
// Declared for screens that offer their own way back; nothing adopts it.
NS_DECLARE_PROTOCOL(DXNavigationBackProtocol);

// Height of the answer bar, and the tags of its buttons.
inline constexpr CGFloat DXAnswerBarHeight = 89;
enum DXAnswerTag : NSInteger { DXAnswerTagYes = 1, DXAnswerTagNo = 2 };

// The marker file of a run ended from the failed-test alert, in the documents folder.
const Ref<NSString>& DXTestFailedMarkerFileName(); // "test_failed_doResult.flg"

class DXBaseViewController : public DXViewController {
    NS_OBJECT(DXBaseViewController, DXViewController)
public:
    DXBaseViewController() = default;
    // `initWithTestModel:headerDelegate:`.
    DXBaseViewController(const Ref<DXTestModel>& info, const id& headerDelegate);

    // A new screen of the class named `className` for the record, or nil when there is no such class,
    // it cannot be made, or it is not a test screen.
    static Ref<DXBaseViewController> screenWithClassName(const Ref<NSString>& className, const Ref<DXTestModel>& info,
                                                         const id& headerDelegate);

    NS_PROPERTY(Ref<DXTestModel>, info, setInfo)
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    id headerDelegate() const { return headerDelegate_.lock(); }
    void setHeaderDelegate(const id& delegate) { headerDelegate_ = delegate; }
    NS_PROPERTY(NSInteger, triggerViewController, setTriggerViewController)
    NS_PROPERTY(Ref<UIView>, answerView, setAnswerView)
    NS_PROPERTY(Ref<NSArray>, subItemlist, setSubItemlist)
    NS_WEAK_PROPERTY(UILabel, labelTitle, setLabelTitle)
    NS_WEAK_PROPERTY(UIButton, resultButton, setResultButton)
    NS_WEAK_PROPERTY(UIButton, failButton, setFailButton)
    NS_WEAK_PROPERTY(UIButton, successButton, setSuccessButton)
    NS_PROPERTY(bool, isFailedBySkip, setIsFailedBySkip)
    NS_PROPERTY(Ref<NSNumber>, isSingle, setIsSingle)
    NS_PROPERTY(bool, isRetryItem, setIsRetryItem)
    // Declared for screens that never use them.
    id backDelegate() const { return backDelegate_.lock(); }
    void setBackDelegate(const id& delegate) { backDelegate_ = delegate; }
    NS_PROPERTY(Ref<NSArray>, doItems, setDoItems)
    NS_PROPERTY(NSInteger, handleIndex, setHandleIndex)
    NS_PROPERTY(Ref<RXDisposable>, stopDisposable, setStopDisposable)
    NS_PROPERTY(bool, isAutoRunning, setIsAutoRunning)
    NS_PROPERTY(Ref<RXSubject>, pushToResultView, setPushToResultView)
    NS_PROPERTY(Ref<RXSubject>, pushToPreviousView, setPushToPreviousView)
    NS_PROPERTY(Ref<RXSubject>, pushToRootView, setPushToRootView)

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;
    NSInteger preferredStatusBarStyle() override { return 1; }

    // `choose:`: the answer buttons' action; the `choose` signal observes it.
    void choose(const id& sender);
    void createAnswerView();
    // Reports a result to the delegate: the state itself without sub-results, 3 for 3, else 2 when a
    // sub-result is "FAIL", else the record's result.
    void completeTestWithResult(NSInteger state);
    // The failed-test alert: Retry asks the delegate for a new screen; Exit writes the marker file
    // and ends the run with result 2.
    void showTestFailedScreen();
    void hideHeaderView(bool hide);
    void hidenButtons(bool hide);
    void fail(const id& sender);
    void success(const id& sender);
    // Ends the test once: a "FAIL" sub-result makes the result 2 (unless it is 3); a 2 may first
    // offer the failed-test alert; otherwise the result is reported.
    void gotoResultView();
    void gotoPreviousView() {}
    void backToRootView() {}
    void createBackButton() {}
    bool isLastTestingItem() const { return false; }
    bool navigationShouldPopOnBackButton() { return false; }

    // YES on every viewWillAppear:, NO on every viewWillDisappear:; made once and kept.
    Ref<RXSignal> present();
    // For each subscriber: YES (tag 1) or NO for the next answer tap, then completion.
    Ref<RXSignal> choose();
    // Application background / foreground notifications until `disappear` fires.
    Ref<RXSignal> enterToBackgound();
    Ref<RXSignal> enterToForeground();
    // YES on every viewWillDisappear:; a new signal on every call.
    virtual Ref<RXSignal> disappear();

    // The failed-test alert shown now, if any (for tests).
    Ref<UIAlertView> failedTestAlert() const { return failedAlert_.lock(); }
    // Whether gotoResultView has run.
    bool isCompleted() const noexcept { return completed_; }

protected:
    void willDealloc() override;

private:
    void reportToDelegate(NSInteger result, bool endTest);
    Weak<NSObject> delegate_;
    Weak<NSObject> headerDelegate_;
    Weak<NSObject> backDelegate_;
    Ref<RXSignal> present_;
    Ref<RXSignal> choose_;
    Ref<RXSignal> enterToBackgound_;
    Ref<RXSignal> enterToForeground_;
    Weak<UIAlertView> failedAlert_;
    bool completed_ = false;
};
