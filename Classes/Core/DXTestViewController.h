// DXTestViewController: the run container. It walks one run (an ordered list of test records),
// showing for each record its start screen (when the record asks for its instruction) and then its
// test screen, made by the class name the record carries. Each result reported by the shown screen
// is set on the record and stored in the persisted run before the container moves on. The header
// bar of every shown screen opens the run's sheet: Back, Skip and Exit. At the end of the run the
// run type decides: 0 pops the container, 1 pushes the result screen (DXResultViewController),
// anything else stays.
//
// Faults this container guards against:
//   - a result counts only when it comes from the screen being shown; a late report from a screen
//     that Skip or Back already left is ignored;
//   - Back clears the previous record (result 0, every sub-test "NOT_TEST") in memory and in the
//     stored run; a record shown again for a new test screen (Retry, a restored run that starts over)
//     starts fresh in the same way;
//   - an empty run ends at once as its run type says;
//   - a record whose screen class does not exist, or is not a test screen, is passed over with a log
//     line and keeps its result.
// Main thread only.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Core/DXNavigationHeaderView.h>
#include <Core/DXStartViewController.h>
#include <Core/DXTestModel.h>
#include <Foundation/NSArray.h>
#include <UIKit/UIActionSheet.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UIViewController.h>

// What the end of the run and Exit do.
enum DXRunType : NSInteger {
    DXRunTypeSingleTest = 0, // pop the container (Exit without confirmation)
    DXRunTypeProfile = 1,    // push the result screen (Exit asks, then ends the process)
};

// Duration of the slide from one screen of the run to the next.
inline constexpr double DXRunSlideDuration = 0.3;

class DXTestViewController : public UIViewController {
    NS_OBJECT(DXTestViewController, UIViewController)
public:
    DXTestViewController() = default;

    NS_PROPERTY(Ref<NSArray>, testModels, setTestModels)
    NS_PROPERTY(NSInteger, runType, setRunType)
    NS_PROPERTY(Ref<UIViewController>, oldViewController, setOldViewController)
    NS_PROPERTY(NSUInteger, indexOfHandle, setIndexOfHandle)
    NS_PROPERTY(Ref<UIActionSheet>, currentActionSheet, setCurrentActionSheet)
    NS_WEAK_PROPERTY(UIAlertView, alertView, setAlertView)

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    bool prefersHomeIndicatorAutoHidden() override { return true; }

    void run(const Ref<DXTestModel>& model);
    void presentStartWithModel(const Ref<DXTestModel>& model);
    void presentTestWithModel(const Ref<DXTestModel>& model);
    void switchViewControllerToViewController(const Ref<UIViewController>& from, const Ref<UIViewController>& to);
    void previousTest();
    void retryTest();
    void nextTest();
    void showPageWithModel(const Ref<DXTestModel>& model);
    bool isSingleTest() const;
    // `choose:`: sets the current record's result to the sender's tag and moves on.
    void choose(const id& sender);

    // DXBaseViewControllerDelegate.
    void testViewControllerWithResultEndTest(const Ref<UIViewController>& screen, NSInteger result, bool endTest);
    void testViewControllerWithRetryModel(const Ref<UIViewController>& screen, const Ref<DXTestModel>& model);
    // DXStartViewControllerDelegate.
    void startViewControllerWithIndexOfDoItem(const Ref<DXStartViewController>& screen, NSUInteger index);
    // DXNavigationHeaderViewDelegate: every button opens the run's sheet.
    void navigationHeaderViewDidClickButtonType(const Ref<DXNavigationHeaderView>& header, const Ref<UIButton>& button,
                                                NSUInteger type);

    // The screen that results are taken from now (the last test screen made for the current record).
    Ref<UIViewController> currentScreen() const { return currentScreen_.lock(); }

    // The record at `index`, or nil.
    Ref<DXTestModel> modelAtIndex(NSUInteger index) const;
    // The class of the result screen pushed at the end of a profile run: "DXResultViewController",
    // made by name and given `testModels` and `fromFailScreen` by key. Tests may name a stand-in.
    static Ref<NSString> resultScreenClassName();
    static void setResultScreenClassName(const Ref<NSString>& name);
    // Resets a record for a new test: result 0 and every sub-test "NOT_TEST" (the keys stay).
    static void resetTestModel(const Ref<DXTestModel>& model);

private:
    // The page for the record at indexOfHandle (its start screen or its test screen); records whose
    // screen cannot be made are passed over, moving indexOfHandle on. nil past the last record.
    Ref<UIViewController> pageForCurrentRecord();
    Ref<UIViewController> pageForModel(const Ref<DXTestModel>& model);
    void addFirstPage(const Ref<UIViewController>& page, bool fillBounds);
    Ref<DXBaseViewController> testScreenForModel(const Ref<DXTestModel>& model);
    void store(const Ref<DXTestModel>& model, NSInteger result);
    void dismissAlert();
    void finishRun();
    void exitRun();
    void confirmSkip();
    void showResultScreen(bool fromFailScreen);

    Weak<UIViewController> currentScreen_;
    bool started_ = false;
    // A page is sliding in; the page asked for meanwhile (the latest one) follows when it has arrived,
    // so two slides never run at once and no page is left over another.
    bool sliding_ = false;
    Ref<UIViewController> queuedPage_;
};
