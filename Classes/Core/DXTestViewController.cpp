#include <Core/DXTestViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/UIActionSheet+Block.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Categorys/UIView+Frame.h>
#include <Core/DXProfileManager.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSUserDefaults.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UINavigationController.h>

#include <cstdlib>
#include <mutex>

NS_IMPLEMENT_CLASS(DXTestViewController, UIViewController) {
    b.conformsTo(NS_PROTOCOL(DXNavigationHeaderViewDelegate));
    b.conformsTo(NS_PROTOCOL(DXBaseViewControllerDelegate));
    b.conformsTo(NS_PROTOCOL(DXStartViewControllerDelegate));
    b.method("choose:", &DXTestViewController::choose);
    b.method("testViewController:withResult:endTest:", &DXTestViewController::testViewControllerWithResultEndTest);
    b.method("testViewController:withRetryModel:", &DXTestViewController::testViewControllerWithRetryModel);
    b.method("startViewController:withIndexOfDoItem:", &DXTestViewController::startViewControllerWithIndexOfDoItem);
    b.method("navigationHeaderView:didClickButton:type:",
             &DXTestViewController::navigationHeaderViewDidClickButtonType);
    b.property("testModels", &DXTestViewController::testModels, &DXTestViewController::setTestModels);
    b.property("runType", &DXTestViewController::runType, &DXTestViewController::setRunType);
    b.property("indexOfHandle", &DXTestViewController::indexOfHandle, &DXTestViewController::setIndexOfHandle);
}

namespace {

std::mutex& resultNameLock() {
    static std::mutex lock;
    return lock;
}
Ref<NSString>& resultName() {
    static Ref<NSString> name = NSString::from("DXResultViewController");
    return name;
}

bool isFresh(const Ref<DXTestModel>& model) {
    if (model->result() != DXTestResultNotRun) {
        return false;
    }
    if (auto results = model->subTestItemsResult()) {
        for (const auto& [key, value] : *results) {
            if (!NSObjectsEqual(value, DXSubTestNotTest())) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

Ref<NSString> DXTestViewController::resultScreenClassName() {
    std::lock_guard guard(resultNameLock());
    return resultName();
}

void DXTestViewController::setResultScreenClassName(const Ref<NSString>& name) {
    std::lock_guard guard(resultNameLock());
    resultName() = name ? name : NSString::from("DXResultViewController");
}

void DXTestViewController::resetTestModel(const Ref<DXTestModel>& model) {
    if (!model) {
        return;
    }
    model->setResult(DXTestResultNotRun);
    if (auto results = model->subTestItemsResult()) {
        auto keys = results->allKeys();
        for (const id& key : *keys) {
            results->setObjectForKey(DXSubTestNotTest(), key);
        }
    }
}

Ref<DXTestModel> DXTestViewController::modelAtIndex(NSUInteger index) const {
    auto models = testModels();
    if (!models || index >= models->count()) {
        return nullptr;
    }
    return cast<DXTestModel>(models->objectAtIndex(index));
}

bool DXTestViewController::isSingleTest() const {
    auto models = testModels();
    return models && models->count() == 1;
}

void DXTestViewController::store(const Ref<DXTestModel>& model, NSInteger result) {
    // The stored run is written to disk before this returns, so nothing is lost when the process
    // ends right after.
    if (!DXProfileManager::sharedManager()->updateStateInPersistentWithTestModel(result, model)) {
        NSLog("run: storing the result of %@ failed", model ? model->profilekey() : nullptr);
    }
}

// ---- Start ----

void DXTestViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto models = testModels();
    NSUInteger count = models ? models->count() : 0;
    for (NSUInteger i = 0; i < count; ++i) {
        if (auto model = modelAtIndex(i); model && model->result() == DXTestResultNotRun) {
            setIndexOfHandle(i);
            break;
        }
    }
    if (indexOfHandle() >= count) {
        // An empty run ends at once, once the container is on the navigation stack.
        NSLog("run: nothing to run");
        Weak<DXTestViewController> weakSelf(Ref<DXTestViewController>(this));
        dispatch_async(dispatch_get_main_queue(), [weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->finishRun();
            }
        });
        return;
    }
    run(modelAtIndex(indexOfHandle()));
}

void DXTestViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
}

void DXTestViewController::run(const Ref<DXTestModel>&) {
    // The first page: the record at indexOfHandle, or a later one when its screen cannot be made.
    auto page = pageForCurrentRecord();
    if (!page) {
        Weak<DXTestViewController> weakSelf(Ref<DXTestViewController>(this));
        dispatch_async(dispatch_get_main_queue(), [weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->finishRun();
            }
        });
        return;
    }
    addFirstPage(page, cast<DXBaseViewController>(page) != nullptr);
}

void DXTestViewController::addFirstPage(const Ref<UIViewController>& page, bool fillBounds) {
    addChildViewController(page);
    view()->addSubview(page->view());
    if (fillBounds) {
        page->view()->setFrame(view()->bounds());
    }
    setOldViewController(page);
}

void DXTestViewController::presentStartWithModel(const Ref<DXTestModel>& model) {
    auto count = testModels() ? testModels()->count() : 0;
    auto start = make<DXStartViewController>(model, indexOfHandle(), count, Ref<DXTestViewController>(this));
    start->setDelegate(Ref<DXTestViewController>(this));
    addFirstPage(start, false);
}

void DXTestViewController::presentTestWithModel(const Ref<DXTestModel>& model) {
    if (auto screen = testScreenForModel(model)) {
        addFirstPage(screen, true);
    }
}

// ---- Pages ----

Ref<DXBaseViewController> DXTestViewController::testScreenForModel(const Ref<DXTestModel>& model) {
    Ref<DXTestViewController> self(this);
    auto screen = DXBaseViewController::screenWithClassName(model ? model->controllerName() : nullptr, model, self);
    if (!screen) {
        return nullptr;
    }
    screen->setDelegate(self);
    // A record shown again starts fresh, in memory and in the stored run.
    if (!isFresh(model)) {
        resetTestModel(model);
        store(model, DXTestResultNotRun);
    }
    currentScreen_ = Ref<UIViewController>(screen);
    return screen;
}

Ref<UIViewController> DXTestViewController::pageForModel(const Ref<DXTestModel>& model) {
    if (!model) {
        return nullptr;
    }
    Class cls = NSClassFromString(model->controllerName());
    if (!cls || !cls->isSubclassOfClass(DXBaseViewController::class_()) || !cls->canCreateInstances()) {
        return nullptr;
    }
    if (model->showInstruction()) {
        Ref<DXTestViewController> self(this);
        auto start = make<DXStartViewController>(model, indexOfHandle(), testModels()->count(), self);
        start->setDelegate(self);
        currentScreen_ = nullptr;
        return start;
    }
    return testScreenForModel(model);
}

Ref<UIViewController> DXTestViewController::pageForCurrentRecord() {
    auto models = testModels();
    NSUInteger count = models ? models->count() : 0;
    while (indexOfHandle() < count) {
        auto model = modelAtIndex(indexOfHandle());
        if (auto page = pageForModel(model)) {
            return page;
        }
        NSLog("run: no test screen %@ for %@; passed over", model ? model->controllerName() : nullptr,
              model ? model->profilekey() : nullptr);
        setIndexOfHandle(indexOfHandle() + 1);
    }
    return nullptr;
}

void DXTestViewController::showPageWithModel(const Ref<DXTestModel>& model) {
    if (auto page = pageForModel(model)) {
        switchViewControllerToViewController(oldViewController(), page);
    }
}

void DXTestViewController::switchViewControllerToViewController(const Ref<UIViewController>&,
                                                                const Ref<UIViewController>& to) {
    // A slide still running ends now, so that the page it brought is the one that leaves.
    completeRunningTransition();
    Ref<DXTestViewController> self(this);
    Ref<UIView> container = view();
    CGRect frame = container->frame();
    CGFloat w = width(container);
    CGRect bounds = container->bounds();
    to->view()->setFrame(CGRectMake(bounds.origin.x + w, bounds.origin.y, bounds.size.width, bounds.size.height));
    addChildViewController(to);
    auto old = oldViewController();
    if (!old || old->parentViewController().get() != this) {
        container->addSubview(to->view());
        to->view()->setFrame(frame);
        to->performSelectorWithArguments("didMoveToParentViewController:", {self});
        setOldViewController(to);
        return;
    }
    transitionFromViewControllerToViewControllerDurationOptionsAnimationsCompletion(
        old, to, DXRunSlideDuration, 0,
        [old, to, frame, w] {
            old->view()->setFrame(CGRectMake(frame.origin.x - w, frame.origin.y, frame.size.width, frame.size.height));
            to->view()->setFrame(frame);
        },
        [self, old, to](bool) {
            to->performSelectorWithArguments("didMoveToParentViewController:", {self});
            old->removeFromParentViewController();
            self->setOldViewController(to);
        });
}

// ---- Moving through the run ----

void DXTestViewController::dismissAlert() {
    if (auto alert = alertView(); alert && alert->isVisible()) {
        alert->dismissWithClickedButtonIndexAnimated(0, false);
    }
}

void DXTestViewController::nextTest() {
    dismissAlert();
    if (auto sheet = currentActionSheet(); sheet && sheet->isVisible()) {
        sheet->dismissWithClickedButtonIndexAnimated(sheet->cancelButtonIndex(), false);
    }
    setIndexOfHandle(indexOfHandle() + 1);
    if (auto page = pageForCurrentRecord()) {
        switchViewControllerToViewController(oldViewController(), page);
        return;
    }
    finishRun();
}

void DXTestViewController::finishRun() {
    NSLog("all finish.");
    completeRunningTransition();
    currentScreen_ = nullptr;
    if (auto old = oldViewController()) {
        old->removeFromParentViewController();
    }
    switch (runType()) {
    case DXRunTypeSingleTest:
        if (auto navigation = navigationController()) {
            navigation->popViewControllerAnimated(true);
        }
        break;
    case DXRunTypeProfile:
        showResultScreen(false);
        break;
    default:
        break;
    }
}

void DXTestViewController::previousTest() {
    dismissAlert();
    if (indexOfHandle() == 0) {
        return;
    }
    setIndexOfHandle(indexOfHandle() - 1);
    if (auto page = pageForCurrentRecord()) {
        switchViewControllerToViewController(oldViewController(), page);
    } else {
        finishRun();
    }
}

void DXTestViewController::retryTest() {
    dismissAlert();
    if (auto page = pageForCurrentRecord()) {
        switchViewControllerToViewController(oldViewController(), page);
    } else {
        finishRun();
    }
}

void DXTestViewController::choose(const id& sender) {
    auto view = cast<UIView>(sender);
    if (auto model = modelAtIndex(indexOfHandle())) {
        model->setResult(view ? view->tag() : 0);
    }
    nextTest();
}

void DXTestViewController::showResultScreen(bool fromFailScreen) {
    Class cls = NSClassFromString(resultScreenClassName());
    auto screen = cls ? cast<UIViewController>(cls->createInstance()) : nullptr;
    if (!screen) {
        NSLog("run: no result screen %@", resultScreenClassName());
        return;
    }
    screen->setValueForKey(testModels(), NSString::from("testModels"));
    if (fromFailScreen) {
        screen->setValueForKey(NSNumber::numberWithBool(true), NSString::from("fromFailScreen"));
    }
    if (auto navigation = navigationController()) {
        navigation->pushViewControllerAnimated(screen, true);
    }
}

// ---- Delegates ----

void DXTestViewController::testViewControllerWithResultEndTest(const Ref<UIViewController>& screen, NSInteger result,
                                                               bool endTest) {
    if (!screen || screen != currentScreen()) {
        NSLog("run: a result from %@, which is no longer shown, is ignored", screen);
        return;
    }
    currentScreen_ = nullptr;
    auto model = modelAtIndex(indexOfHandle());
    if (!endTest) {
        dismissAlert();
        if (model) {
            model->setResult(result);
            store(model, result);
            nextTest();
        }
        return;
    }
    completeRunningTransition();
    if (auto old = oldViewController()) {
        old->removeFromParentViewController();
    }
    if (model) {
        model->setResult(result);
        store(model, result);
    }
    showResultScreen(true);
}

void DXTestViewController::testViewControllerWithRetryModel(const Ref<UIViewController>& screen,
                                                            const Ref<DXTestModel>&) {
    if (!screen || screen != currentScreen()) {
        NSLog("run: a retry from %@, which is no longer shown, is ignored", screen);
        return;
    }
    currentScreen_ = nullptr;
    dismissAlert();
    retryTest();
}

void DXTestViewController::startViewControllerWithIndexOfDoItem(const Ref<DXStartViewController>& start,
                                                                NSUInteger index) {
    if (!start || start != oldViewController()) {
        return;
    }
    auto model = modelAtIndex(index);
    if (!model) {
        return;
    }
    if (auto screen = testScreenForModel(model)) {
        switchViewControllerToViewController(oldViewController(), screen);
    } else {
        nextTest();
    }
}

void DXTestViewController::navigationHeaderViewDidClickButtonType(const Ref<DXNavigationHeaderView>&,
                                                                  const Ref<UIButton>&, NSUInteger) {
    auto others = NSMutableArray::array();
    if (!isSingleTest()) {
        if (indexOfHandle() != 0) {
            others->addObject(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_BACK"));
        }
        others->addObject(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SKIP"));
    }
    Weak<DXTestViewController> weakSelf(Ref<DXTestViewController>(this));
    setCurrentActionSheet(showWithTitleCancelButtonTitleDestructiveButtonTitleOtherButtonTitlesTapBlock(
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_TITLE"),
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL"),
        DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_EXIT"), others,
        [weakSelf](const Ref<UIActionSheet>& sheet, NSInteger index) {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            auto title = sheet->buttonTitleAtIndex(index);
            if (NSObjectsEqual(title, DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_EXIT"))) {
                self->exitRun();
            } else if (NSObjectsEqual(title, DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_BACK"))) {
                if (self->indexOfHandle() == 0) {
                    return;
                }
                // The record before starts again: no result and no sub-results, here and stored.
                auto previous = self->modelAtIndex(self->indexOfHandle() - 1);
                resetTestModel(previous);
                self->store(previous, DXTestResultNotRun);
                self->currentScreen_ = nullptr;
                self->previousTest();
            } else if (NSObjectsEqual(title, DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SKIP"))) {
                self->confirmSkip();
            }
        }));
}

void DXTestViewController::exitRun() {
    switch (runType()) {
    case DXRunTypeProfile:
        setAlertView(showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
            NSString::from("Celvix"), DXLocalizedString("READYSTART_CONTROLLER_ALERTVIEW_MESSAGE_EXIT"),
            DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL"),
            NSArray::arrayWithObjects({DXLocalizedString("BASETEST_CONTROLLER_OK")}),
            [](const Ref<UIAlertView>&, NSInteger index) {
                if (index == 1) {
                    // Every result is already on disk; this only makes sure of it.
                    if (!NSUserDefaults::standardUserDefaults()->synchronize()) {
                        NSLog("run: the defaults could not be written before exit");
                    }
                    NSLog("run: exit");
                    std::exit(0);
                }
            }));
        break;
    case DXRunTypeSingleTest:
        if (auto navigation = navigationController()) {
            navigation->popViewControllerAnimated(true);
        }
        break;
    default:
        break;
    }
}

void DXTestViewController::confirmSkip() {
    Weak<DXTestViewController> weakSelf(Ref<DXTestViewController>(this));
    setAlertView(showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
        NSString::from("Celvix"), DXLocalizedString("READYSTART_CONTROLLER_ALERTVIEW_MESSAGE_SKIP"),
        DXLocalizedString("BASETEST_CONTROLLER_NO"),
        NSArray::arrayWithObjects({DXLocalizedString("BASETEST_CONTROLLER_YES")}),
        [weakSelf](const Ref<UIAlertView>&, NSInteger index) {
            auto self = weakSelf.lock();
            if (!self || index != 1) {
                return;
            }
            // The skipped screen is not asked for its result; a late one from it is ignored.
            self->currentScreen_ = nullptr;
            if (auto model = self->modelAtIndex(self->indexOfHandle())) {
                model->setResult(DXTestResultFail);
                self->store(model, DXTestResultFail);
            }
            self->nextTest();
        }));
}
