// DXResultViewController: the last screen of a run. It lists the run's results (the audit decoy
// never, tests that never ran only after a re-run passed), counts passes and failures, re-runs a
// single test from the list (its start page first when the record asks for one), and sends the
// final transaction for a trade-in or an evaluation. After an accepted trade-in the process ends.
//
// The run container makes it by name and sets `testModels` (and `fromFailScreen`) by key. Its view
// comes from the layout resource "DXResultViewController" (registered in code). Main thread only.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Core/DXStartViewController.h>
#include <Core/DXViewController.h>
#include <Shell/DXResultHeaderView.h>
#include <Shell/GradeCommentViewController.h>
#include <UIKit/UIActionSheet.h>
#include <UIKit/UITableView.h>

#include <functional>

class DXResultViewController : public DXViewController {
    NS_OBJECT(DXResultViewController, DXViewController)
public:
    DXResultViewController() = default;

    NS_PROPERTY(bool, fromFailScreen, setFromFailScreen)
    NS_PROPERTY(bool, confirmRemoveSimCard, setConfirmRemoveSimCard)
    NS_PROPERTY(Ref<NSArray>, testModels, setTestModels)
    NS_WEAK_PROPERTY(UITableView, tableView, setTableView)
    NS_WEAK_PROPERTY(UIViewController, oldViewController, setOldViewController)
    NS_PROPERTY(Ref<NSArray>, tableList, setTableList)
    NS_WEAK_PROPERTY(UIButton, bottomButton, setBottomButton)
    NS_WEAK_PROPERTY(UIButton, evaluateButton, setEvaluateButton)
    NS_PROPERTY(Ref<UIActionSheet>, currentActionSheet, setCurrentActionSheet)
    NS_PROPERTY(Ref<GradeCommentViewController>, gradeCommentViewController, setGradeCommentViewController)

    // The table header, counted on first use.
    Ref<DXResultHeaderView> resultHeaderView();

    void viewDidLoad() override;

    // Table.
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section);
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                        const Ref<NSIndexPath>& indexPath);
    double tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);
    // Re-runs the row's test.
    void tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);

    // From a start page this screen showed: slides its test screen in.
    void startViewControllerWithIndexOfDoItem(const Ref<DXStartViewController>& start, NSUInteger index);
    // From a re-run test screen: stores the result and takes the screen away.
    void testViewControllerWithResultEndTest(const Ref<UIViewController>& screen, NSInteger result, bool endTest);
    void testViewControllerWithRetryModel(const Ref<UIViewController>& screen, const Ref<DXTestModel>& model) {}
    // Any button of a child's header bar: the Exit / Skip / Cancel sheet.
    void navigationHeaderViewDidClickButtonType(const Ref<DXNavigationHeaderView>& headerView,
                                                const Ref<UIButton>& button, NSUInteger type) override;

    // The buttons' action: tag 100 evaluates, any other tag trades in.
    void end(const Ref<UIButton>& sender);
    // Sends the final transaction with the evaluate text ("0" trade-in, "1" evaluation).
    void reportToTempServer(const Ref<NSString>& evaluate);
    // Counts the listed records again and reloads the table.
    void refreshResultView();

    // Not reached by any screen or button.
    void checkSimCard(std::function<void()> block);
    bool isAllFinish() const;
    void showNotFinishAlertView();
    void showPasswordAlertView();
    bool isAllSuccess() const;
    bool isSimTestSuccess() const;
    bool hasSim() const;

    // The grade and comment form (nothing presents it).
    void presentGradeCommentViewControllerWithQuestion(const Ref<NSArray>& questions);
    void gradeCommentViewControllerCancelOnSave(const Ref<GradeCommentViewController>& form, bool cancel,
                                                const Ref<NSArray>& answers);

    // How the process ends after an accepted trade-in (std::exit by default); tests replace it.
    static void setProcessExitHandler(std::function<void(int)> handler);

private:
    Ref<NSArray> listedRecords(bool includeNeverRun) const;
    Ref<DXBaseViewController> makeTestScreen(const Ref<DXTestModel>& model);
    void slideOutChild();
    Ref<DXTestModel> childRecord() const;

    Ref<DXResultHeaderView> resultHeaderView_;
};
