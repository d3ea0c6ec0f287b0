#include <Shell/DXResultViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/PGProgressHUD+AutoHide.h>
#include <Categorys/UIActionSheet+Block.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Core/DXLayoutResource.h>
#include <Core/DXProfileManager.h>
#include <CoreTelephony/CTTelephonyNetworkInfo.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSURL.h>
#include <Foundation/NSUserDefaults.h>
#include <Runtime/ClassBuilder.h>
#include <Shell/BrindleHttpClient.h>
#include <Shell/DXResultTableViewCell.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

#include <cstdlib>
#include <mutex>

NS_IMPLEMENT_CLASS(DXResultViewController, DXViewController) {
    b.conformsTo(UITableViewDataSourceProtocol());
    b.conformsTo(UITableViewDelegateProtocol());
    b.conformsTo(NS_PROTOCOL(DXStartViewControllerDelegate));
    b.conformsTo(NS_PROTOCOL(DXBaseViewControllerDelegate));
    b.conformsTo(NS_PROTOCOL(GradeCommentViewControllerDelegate));
    b.method("tableView:numberOfRowsInSection:", &DXResultViewController::tableViewNumberOfRowsInSection);
    b.method("tableView:cellForRowAtIndexPath:", &DXResultViewController::tableViewCellForRowAtIndexPath);
    b.method("tableView:heightForRowAtIndexPath:", &DXResultViewController::tableViewHeightForRowAtIndexPath);
    b.method("tableView:didSelectRowAtIndexPath:", &DXResultViewController::tableViewDidSelectRowAtIndexPath);
    b.method("startViewController:withIndexOfDoItem:", &DXResultViewController::startViewControllerWithIndexOfDoItem);
    b.method("testViewController:withResult:endTest:", &DXResultViewController::testViewControllerWithResultEndTest);
    b.method("testViewController:withRetryModel:", &DXResultViewController::testViewControllerWithRetryModel);
    b.method("gradeCommentViewController:cancel:onSave:",
             &DXResultViewController::gradeCommentViewControllerCancelOnSave);
    b.method("end:", &DXResultViewController::end);
    b.property("fromFailScreen", &DXResultViewController::fromFailScreen, &DXResultViewController::setFromFailScreen);
    b.property("confirmRemoveSimCard", &DXResultViewController::confirmRemoveSimCard,
               &DXResultViewController::setConfirmRemoveSimCard);
    b.property("testModels", &DXResultViewController::testModels, &DXResultViewController::setTestModels);
    b.property("tableView", &DXResultViewController::tableView, &DXResultViewController::setTableView, "weak");
    b.property("tableList", &DXResultViewController::tableList, &DXResultViewController::setTableList);
    b.property("bottomButton", &DXResultViewController::bottomButton, &DXResultViewController::setBottomButton, "weak");
    b.property("evaluateButton", &DXResultViewController::evaluateButton, &DXResultViewController::setEvaluateButton,
               "weak");
}

namespace {

// Stores a re-run's result in the run store; a store that cannot be written is logged, the result
// stays in memory and on screen.
void persist(NSInteger result, const Ref<DXTestModel>& model) {
    if (!DXProfileManager::sharedManager()->updateStateInPersistentWithTestModel(result, model)) {
        NSLog("result: the run store could not be written for %@", model->profilekey());
    }
}

const char* const kCellIdentifier = "DXResultTableViewCell";
const char* const kDecoyKey = "AUDIT_OPERATOR";
constexpr double kSlide = 0.3;
constexpr NSInteger kEvaluateTag = 100;

std::mutex& exitLock() {
    static std::mutex lock;
    return lock;
}
std::function<void(int)>& exitHandler() {
    static std::function<void(int)> handler = [](int status) { std::exit(status); };
    return handler;
}

Ref<UIButton> makeEndButton(const Ref<UIView>& root, const id& owner, NSInteger tag, const Ref<UIColor>& colour) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTag(tag);
    button->setBackgroundColor(colour);
    button->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(18));
    if (owner) {
        button->addTargetActionForControlEvents(owner, "end:", UIControlEventTouchUpInside);
    }
    dx_layout::place(root, button);
    return button;
}

// The screen's layout: the list fills the area under the header bar (its top constraint is moved
// down by the header height when the screen loads), the trade-in and evaluate buttons share the
// bottom edge.
const bool nibRegistered = [] {
    UINib::registerNibNamed("DXResultViewController", [](const id& owner) -> Ref<NSArray> {
        using namespace dx_layout;
        auto screen = cast<DXResultViewController>(owner);
        auto root = make<UIView>(UIScreen::mainScreen()->bounds());
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);

        auto table = make<UITableView>(CGRectZero, UITableViewStylePlain);
        place(root, table);
        pin(root, table, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0);
        pin(root, table, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0);
        pin(root, table, NSLayoutAttributeRight, root, NSLayoutAttributeRight, 0);

        auto evaluate =
            makeEndButton(root, owner, kEvaluateTag, UIColor::colorWithRedGreenBlueAlpha(0.4, 0.4, 0.45, 1));
        auto tradeIn = makeEndButton(root, owner, 1, UIColor::colorWithRedGreenBlueAlpha(0.13, 0.45, 0.75, 1));
        pin(root, table, NSLayoutAttributeBottom, tradeIn, NSLayoutAttributeTop, 0);
        for (const auto& button : {evaluate, tradeIn}) {
            pin(root, button, NSLayoutAttributeBottom, root, NSLayoutAttributeBottom, 0);
            size(root, button, NSLayoutAttributeHeight, 56);
        }
        pin(root, evaluate, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0);
        pin(root, evaluate, NSLayoutAttributeRight, tradeIn, NSLayoutAttributeLeft, -1);
        pin(root, tradeIn, NSLayoutAttributeRight, root, NSLayoutAttributeRight, 0);
        pin(root, evaluate, NSLayoutAttributeWidth, tradeIn, NSLayoutAttributeWidth, 0);

        if (screen) {
            table->setDataSource(screen);
            table->setDelegate(screen);
            screen->setTableView(table);
            screen->setBottomButton(tradeIn);
            screen->setEvaluateButton(evaluate);
        }
        return NSArray::arrayWithObjects({root});
    });
    return true;
}();

Ref<NSString> text(const char* s) {
    return NSString::from(s);
}

} // namespace

void DXResultViewController::setProcessExitHandler(std::function<void(int)> handler) {
    std::lock_guard guard(exitLock());
    exitHandler() = handler ? std::move(handler) : [](int status) { std::exit(status); };
}

// MARK: - Loading

Ref<NSArray> DXResultViewController::listedRecords(bool includeNeverRun) const {
    auto list = NSMutableArray::array();
    auto models = testModels();
    if (!models) {
        return list;
    }
    for (const auto& item : *models) {
        auto model = cast<DXTestModel>(item);
        if (!model || (model->profilekey() && model->profilekey()->isEqualToString(text(kDecoyKey)))) {
            continue;
        }
        if (!includeNeverRun && model->result() == DXTestResultNotRun) {
            continue;
        }
        list->addObject(model);
    }
    return list;
}

void DXResultViewController::viewDidLoad() {
    (void)nibRegistered;
    DXViewController::viewDidLoad();
    auto root = view();
    if (auto button = bottomButton()) {
        button->setExclusiveTouch(true);
    }
    CGFloat headerHeight = DXHeaderHeight();
    auto constraints = root->constraints();
    for (const auto& item : *constraints) {
        auto constraint = cast<NSLayoutConstraint>(item);
        if (constraint && constraint->secondItem().get() == root.get() &&
            constraint->secondAttribute() == NSLayoutAttributeTop) {
            constraint->setConstant(constraint->constant() + headerHeight);
        }
    }
    if (auto header = headerView()) {
        header->setHideBackButton(true);
        // The header was added before the layout's views: keep it in front.
        root->bringSubviewToFront(header);
    }
    if (auto table = tableView()) {
        table->registerNibForCellReuseIdentifier(DXResultTableViewCell::nib(), text(kCellIdentifier));
        table->setSeparatorInset(UIEdgeInsetsZero);
        table->setTableFooterView(make<UIView>());
    }
    if (auto button = bottomButton()) {
        button->setTitleForState(DXLocalizedString("RESULT_CONTROLLER_TRADE_IN"), UIControlStateNormal);
    }
    if (auto button = evaluateButton()) {
        button->setTitleForState(DXLocalizedString("RESULT_CONTROLLER_EVALUATE"), UIControlStateNormal);
    }
    setTableList(listedRecords(false));
    if (auto table = tableView()) {
        table->setTableHeaderView(resultHeaderView());
    }
}

Ref<DXResultHeaderView> DXResultViewController::resultHeaderView() {
    if (!resultHeaderView_) {
        resultHeaderView_ = DXResultHeaderView::header();
        NSInteger pass = 0;
        NSInteger fail = 0;
        if (auto list = tableList()) {
            for (const auto& item : *list) {
                auto model = cast<DXTestModel>(item);
                pass += model && model->result() == DXTestResultPass ? 1 : 0;
                fail += model && model->result() == DXTestResultFail ? 1 : 0;
            }
        }
        if (resultHeaderView_) {
            resultHeaderView_->setPassCount(pass);
            resultHeaderView_->setFailureCount(fail);
        }
    }
    return resultHeaderView_;
}

void DXResultViewController::refreshResultView() {
    auto header = resultHeaderView();
    if (header) {
        NSInteger pass = 0;
        NSInteger fail = 0;
        if (auto list = tableList()) {
            for (const auto& item : *list) {
                auto model = cast<DXTestModel>(item);
                pass += model && model->result() == DXTestResultPass ? 1 : 0;
                fail += model && model->result() == DXTestResultFail ? 1 : 0;
            }
        }
        header->setPassCount(pass);
        header->setFailureCount(fail);
    }
    if (auto table = tableView()) {
        table->reloadData();
    }
}

// MARK: - Table

NSInteger DXResultViewController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) {
    auto list = tableList();
    return list ? static_cast<NSInteger>(list->count()) : 0;
}

Ref<UITableViewCell> DXResultViewController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                                            const Ref<NSIndexPath>& indexPath) {
    auto cell = tableView->dequeueReusableCellWithIdentifierForIndexPath(text(kCellIdentifier), indexPath);
    auto list = tableList();
    auto row = indexPath->row();
    if (auto resultCell = cast<DXResultTableViewCell>(cell);
        resultCell && list && row >= 0 && row < static_cast<NSInteger>(list->count())) {
        resultCell->setupCell(cast<DXTestModel>(list->objectAtIndex(static_cast<NSUInteger>(row))));
    }
    return cell;
}

double DXResultViewController::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) {
    return DXResultTableViewCell::heightOfCell();
}

Ref<DXBaseViewController> DXResultViewController::makeTestScreen(const Ref<DXTestModel>& model) {
    Ref<DXResultViewController> self(this);
    auto screen = DXBaseViewController::screenWithClassName(model->controllerName(), model, self);
    if (!screen) {
        NSLog("result: no test screen %@ for %@", model->controllerName(), model->profilekey());
        return nullptr;
    }
    screen->setDelegate(self);
    screen->setInfo(model);
    screen->setTriggerViewController(1);
    return screen;
}

void DXResultViewController::tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView,
                                                              const Ref<NSIndexPath>& indexPath) {
    tableView->deselectRowAtIndexPathAnimated(indexPath, true);
    auto list = tableList();
    auto row = indexPath->row();
    if (!list || row < 0 || row >= static_cast<NSInteger>(list->count()) || oldViewController()) {
        return;
    }
    tableView->setUserInteractionEnabled(false);
    auto model = cast<DXTestModel>(list->objectAtIndex(static_cast<NSUInteger>(row)));
    Ref<DXResultViewController> self(this);
    Ref<UIViewController> child;
    if (model->showInstruction()) {
        auto models = testModels();
        auto start =
            make<DXStartViewController>(model, static_cast<NSUInteger>(row), models ? models->count() : 0, self);
        start->setDelegate(self);
        child = start;
    } else {
        child = makeTestScreen(model);
    }
    if (!child) {
        // A record whose screen class does not exist cannot be run again; the list stays as it is.
        tableView->setUserInteractionEnabled(true);
        return;
    }
    auto root = view();
    addChildViewController(child);
    CGRect frame = root->frame();
    child->view()->setFrame(CGRectOffset(frame, frame.size.width, 0));
    root->addSubview(child->view());
    Weak<UITableView> weakTable(tableView);
    UIView::animateWithDurationAnimationsCompletion(
        kSlide, [child, frame] { child->view()->setFrame(frame); },
        [weakTable](bool) {
            if (auto table = weakTable.lock()) {
                table->setUserInteractionEnabled(true);
            }
        });
    child->didMoveToParentViewController(self);
    setOldViewController(child);
}

// MARK: - Children

void DXResultViewController::startViewControllerWithIndexOfDoItem(const Ref<DXStartViewController>& start,
                                                                  NSUInteger index) {
    auto list = tableList();
    auto from = oldViewController();
    if (!list || index >= list->count() || !from || from.get() != start.get()) {
        return;
    }
    auto model = cast<DXTestModel>(list->objectAtIndex(index));
    auto screen = makeTestScreen(model);
    if (!screen) {
        slideOutChild();
        return;
    }
    auto root = view();
    CGRect bounds = root->bounds();
    CGRect frame = root->frame();
    screen->view()->setFrame(CGRectOffset(bounds, bounds.size.width, 0));
    addChildViewController(screen);
    Ref<DXResultViewController> self(this);
    transitionFromViewControllerToViewControllerDurationOptionsAnimationsCompletion(
        from, screen, kSlide, 0,
        [from, screen, frame] {
            from->view()->setFrame(CGRectOffset(frame, -frame.size.width, 0));
            screen->view()->setFrame(frame);
        },
        [self, from, screen](bool) {
            screen->didMoveToParentViewController(self);
            from->removeFromParentViewController();
            self->setOldViewController(screen);
        });
}

void DXResultViewController::testViewControllerWithResultEndTest(const Ref<UIViewController>& screen, NSInteger result,
                                                                 bool) {
    auto test = cast<DXBaseViewController>(screen);
    // Only the screen shown now reports; a late report from one that Exit or Skip already took away
    // would overwrite the result the operator chose.
    if (!test || test.get() != oldViewController().get()) {
        return;
    }
    if (auto sheet = currentActionSheet(); sheet && sheet->isVisible()) {
        sheet->dismissWithClickedButtonIndexAnimated(sheet->cancelButtonIndex(), false);
    }
    auto model = test->info();
    if (model) {
        model->setResult(result);
        persist(result, model);
    }
    test->view()->removeFromSuperview();
    test->removeFromParentViewController();
    setOldViewController(nullptr);
    if (result == DXTestResultPass) {
        setTableList(listedRecords(true));
        setFromFailScreen(false);
        if (auto table = tableView()) {
            table->reloadData();
        }
    }
    refreshResultView();
    if (auto table = tableView()) {
        table->setUserInteractionEnabled(true);
    }
}

Ref<DXTestModel> DXResultViewController::childRecord() const {
    auto child = oldViewController();
    if (auto test = cast<DXBaseViewController>(child)) {
        return test->info();
    }
    if (auto start = cast<DXStartViewController>(child)) {
        return start->testModel();
    }
    return nullptr;
}

void DXResultViewController::slideOutChild() {
    auto child = oldViewController();
    if (!child) {
        return;
    }
    // The child no longer counts as shown: a report it still sends is ignored.
    setOldViewController(nullptr);
    CGRect frame = view()->frame();
    Weak<DXResultViewController> weakSelf(Ref<DXResultViewController>(this));
    UIView::animateWithDurationAnimationsCompletion(
        kSlide, [child, frame] { child->view()->setFrame(CGRectOffset(frame, -frame.size.width, 0)); },
        [weakSelf, child](bool) {
            child->view()->removeFromSuperview();
            child->removeFromParentViewController();
            if (auto self = weakSelf.lock()) {
                if (auto table = self->tableView()) {
                    table->reloadData();
                    table->setUserInteractionEnabled(true);
                }
            }
        });
}

void DXResultViewController::navigationHeaderViewDidClickButtonType(const Ref<DXNavigationHeaderView>&,
                                                                    const Ref<UIButton>&, NSUInteger) {
    Weak<DXResultViewController> weakSelf(Ref<DXResultViewController>(this));
    setCurrentActionSheet(showWithTitleCancelButtonTitleDestructiveButtonTitleOtherButtonTitlesTapBlock(
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_TITLE"),
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL"),
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_EXIT"),
        NSArray::arrayWithObjects({DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SKIP")}),
        [weakSelf](const Ref<UIActionSheet>& sheet, NSInteger index) {
            auto self = weakSelf.lock();
            if (!self || index < 0) {
                return;
            }
            auto title = sheet->buttonTitleAtIndex(index);
            if (!title) {
                return;
            }
            if (title->isEqualToString(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_EXIT"))) {
                self->slideOutChild();
            } else if (title->isEqualToString(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SKIP"))) {
                if (auto model = self->childRecord()) {
                    model->setResult(DXTestResultFail);
                    persist(DXTestResultFail, model);
                }
                self->refreshResultView();
                self->slideOutChild();
            }
        }));
}

// MARK: - Final transaction

void DXResultViewController::end(const Ref<UIButton>& sender) {
    reportToTempServer(text(sender && sender->tag() == kEvaluateTag ? "1" : "0"));
}

void DXResultViewController::reportToTempServer(const Ref<NSString>& evaluate) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    auto webservice = defaults->stringForKey(text("webservice"));
    auto sessionId = defaults->stringForKey(text("sessionid"));
    auto client = BrindleHttpClient::sharedHttpClientWithBaseUrl(webservice);
    auto record =
        client->buildTempTransactionWithSessionIdResultValueResultEvaluate(sessionId, testModels(), nullptr, evaluate);
    auto root = view();
    auto hud = PGProgressHUD::showHUDAddedToAnimated(root, true);
    hud->setLabelText(DXLocalizedString("REPORT_TRANSACTION_LABEL"));
    hud->setMode(PGProgressHUDModeIndeterminate);
    hud->setTaskInProgress(true);

    Weak<DXResultViewController> weakSelf(Ref<DXResultViewController>(this));
    bool tradeIn = evaluate && evaluate->isEqualToString(text("0"));
    client->reportTempTransactionWithData(record)->subscribeNextError(
        [weakSelf, tradeIn](const id& reply) {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            PGProgressHUD::hideHUDForViewAnimated(self->view(), true);
            if (auto refusal = BrindleHttpClient::messageForReply(reply)) {
                showAutoHideMessageWithTitleTimeParentViewCompletionBlock(refusal, 1.0, self->view(), nullptr);
                return;
            }
            showAutoHideMessageWithTitleTimeParentViewCompletionBlock(
                DXLocalizedString("REPORT_TRANSACTION_SUCCESS"), 1.0, self->view(), [tradeIn] {
                    if (!tradeIn) {
                        return;
                    }
                    // Every result is on disk before the process goes.
                    if (!NSUserDefaults::standardUserDefaults()->synchronize()) {
                        NSLog("result: the defaults could not be written before exit");
                    }
                    NSLog("result: trade-in accepted, exit");
                    std::function<void(int)> handler;
                    {
                        std::lock_guard guard(exitLock());
                        handler = exitHandler();
                    }
                    handler(0);
                });
        },
        [weakSelf](const Ref<NSError>& error) {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            PGProgressHUD::hideHUDForViewAnimated(self->view(), true);
            showAutoHideMessageWithTitleTimeParentViewCompletionBlock(BrindleHttpClient::messageForError(error), 1.0,
                                                                      self->view(), nullptr);
        });
}

// MARK: - Operations nothing reaches

void DXResultViewController::checkSimCard(std::function<void()> block) {
    auto root = DXProfileManager::sharedManager()->profileRoot();
    auto prompt = root ? cast<NSNumber>(root->objectForKey(text("removeSIMPrompt"))) : nullptr;
    if (!prompt || !prompt->boolValue()) {
        if (block) {
            block();
        }
        return;
    }
    setAlertView(showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
        text("Celvix"), DXLocalizedString("RESULT_CONTROLLER_ALERT_REMOVE_SIM"),
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL"),
        NSArray::arrayWithObjects({DXLocalizedString("BASETEST_CONTROLLER_OK")}),
        [block](const Ref<UIAlertView>&, NSInteger index) {
            if (index == 1 && block) {
                block();
            }
        }));
}

bool DXResultViewController::isAllFinish() const {
    if (auto list = tableList()) {
        for (const auto& item : *list) {
            auto model = cast<DXTestModel>(item);
            if (model && (model->result() == DXTestResultNotRun || model->result() == DXTestResultTimeout)) {
                return false;
            }
        }
    }
    return true;
}

void DXResultViewController::showNotFinishAlertView() {
    setAlertView(showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
        text("Celvix"), DXLocalizedString("RESULT_VIEW_CONTROLLER_NOFINISH_ALERT_MESSAGE"), text("OK"), nullptr,
        nullptr));
}

void DXResultViewController::showPasswordAlertView() {
    setAlertView(showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
        text("Celvix"), DXLocalizedString("RESULT_VIEW_CONTROLLER_HAVEPASSWORD_ALERT_MESSAGE"),
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL"),
        NSArray::arrayWithObjects({DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SETTINGS")}),
        [](const Ref<UIAlertView>&, NSInteger index) {
            if (index != 1) {
                return;
            }
            auto url = NSURL::URLWithString(text("App-Prefs:root=PASSCODE"));
            auto application = UIApplication::sharedApplication();
            if (url && application->canOpenURL(url)) {
                application->openURL(url);
            }
        }));
}

bool DXResultViewController::isAllSuccess() const {
    if (auto models = testModels()) {
        for (const auto& item : *models) {
            auto model = cast<DXTestModel>(item);
            if (model && model->result() == DXTestResultFail) {
                return false;
            }
        }
    }
    return true;
}

bool DXResultViewController::isSimTestSuccess() const {
    if (auto models = testModels()) {
        for (const auto& item : *models) {
            auto model = cast<DXTestModel>(item);
            if (model && model->profilekey() && model->profilekey()->isEqualToString(text("RF")) &&
                model->result() == DXTestResultPass) {
                return true;
            }
        }
    }
    return false;
}

bool DXResultViewController::hasSim() const {
    auto provider = make<CTTelephonyNetworkInfo>()->subscriberCellularProvider();
    auto code = provider ? provider->mobileNetworkCode() : nullptr;
    return code && code->length() > 0;
}

// MARK: - Grade and comment

void DXResultViewController::presentGradeCommentViewControllerWithQuestion(const Ref<NSArray>& questions) {
    auto form = make<GradeCommentViewController>();
    setGradeCommentViewController(form);
    form->setDelegate(Ref<DXResultViewController>(this));
    form->setQuestions(questions);
    addChildViewController(form);
    form->view()->setFrame(view()->bounds());
    view()->addSubview(form->view());
    form->didMoveToParentViewController(Ref<DXResultViewController>(this));
}

void DXResultViewController::gradeCommentViewControllerCancelOnSave(const Ref<GradeCommentViewController>& form, bool,
                                                                    const Ref<NSArray>& answers) {
    if (form) {
        form->removeFromParentViewController();
    }
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(answers, text("gradeandcomment"));
    if (!defaults->synchronize()) {
        NSLog("result: the defaults could not be written; the answers are kept in memory");
    }
}
