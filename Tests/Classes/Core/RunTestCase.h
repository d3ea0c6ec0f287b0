// Fixture of the run tests: runs of question screens in the run container, pushed on a navigation
// stack, with a stand-in result screen, and helpers that act as the operator does (answer, open the
// header sheet, tap alert and sheet buttons) and compare the stored run with the one in memory.
#pragma once

#include "ScreenTestCase.h"

#include <Core/DXBaseViewController.h>
#include <Core/DXStartViewController.h>
#include <Core/DXTestViewController.h>
#include <Runtime/ClassBuilder.h>

// The screen pushed at the end of a profile run, standing in for the result screen.
class StandInResultScreen : public UIViewController {
    NS_OBJECT(StandInResultScreen, UIViewController)
public:
    StandInResultScreen() = default;
    NS_PROPERTY(Ref<NSArray>, testModels, setTestModels)
    NS_PROPERTY(bool, fromFailScreen, setFromFailScreen)
};

class RunTestCase : public ScreenTestCase {
protected:
    void SetUp() override {
        ScreenTestCase::SetUp();
        DXTestViewController::setResultScreenClassName(NSString::from("StandInResultScreen"));
    }
    void TearDown() override {
        container_ = nullptr;
        DXTestViewController::setResultScreenClassName(nullptr);
        ScreenTestCase::TearDown();
    }

    static Ref<DXTestModel> record(const char* key, const char* controller = "WaterDamgeViewController",
                                   bool instruction = false, bool failedScreen = false) {
        auto model = make<DXTestModel>(NSString::from(key));
        model->setProfilekey(NSString::from(key));
        model->setControllerName(NSString::from(controller));
        model->setShowInstruction(instruction);
        model->setShowTestFailedScreen(failedScreen);
        model->setInstruction(NSString::from(std::string("Instruction of ") + key));
        model->setSubTestItemsResult(NSMutableDictionary::dictionary());
        return model;
    }

    // Stores the run as a run build does and shows its container on a navigation stack.
    Ref<DXTestViewController> startRun(const std::vector<Ref<DXTestModel>>& records, NSInteger runType) {
        auto list = NSMutableArray::array();
        for (const auto& r : records) {
            list->addObject(r);
        }
        EXPECT_TRUE(DXProfileManager::sharedManager()->storeTasksInPersistent(list));
        auto root = make<UIViewController>();
        showInNavigation(root);
        container_ = make<DXTestViewController>();
        container_->setTestModels(list);
        container_->setRunType(runType);
        navigation_->pushViewControllerAnimated(container_, false);
        settle();
        return container_;
    }

    // Lets slides and transitions finish.
    static void settle() {
        UITestDriver::settle();
        advance(0.5);
        UITestDriver::layout();
    }

    Ref<UIViewController> page() const { return container_->oldViewController(); }
    Ref<DXBaseViewController> testScreen() const { return cast<DXBaseViewController>(page()); }
    Ref<DXStartViewController> startScreen() const { return cast<DXStartViewController>(page()); }
    Ref<DXTestModel> model(NSUInteger i) const { return container_->modelAtIndex(i); }

    void answer(bool yes) {
        ASSERT_TRUE(testScreen()) << UITestDriver::describeScreen();
        ASSERT_TRUE(UITestDriver::tapButtonTitled(yes ? "YES" : "NO")) << UITestDriver::describeScreen();
        settle();
    }
    void openSheet() {
        auto screen = cast<DXViewController>(page());
        ASSERT_TRUE(screen);
        ASSERT_TRUE(UITestDriver::tapView(screen->headerView()->backButton()));
        ASSERT_TRUE(UITestDriver::topSheet());
    }
    static std::vector<std::string> sheetTitles() {
        std::vector<std::string> titles;
        if (auto sheet = UITestDriver::topSheet()) {
            for (NSInteger i = 0; i < sheet->numberOfButtons(); ++i) {
                titles.push_back(sheet->buttonTitleAtIndex(i)->str());
            }
        }
        return titles;
    }
    void tapSheet(const char* title) {
        ASSERT_TRUE(UITestDriver::tapSheetButtonTitled(title));
        settle();
    }
    void tapAlert(const char* title) {
        ASSERT_TRUE(UITestDriver::tapAlertButtonTitled(title)) << UITestDriver::describeScreen();
        settle();
    }

    std::vector<NSInteger> results() const {
        std::vector<NSInteger> r;
        auto models = container_->testModels();
        for (const id& item : *models) {
            r.push_back(cast<DXTestModel>(item)->result());
        }
        return r;
    }
    static std::vector<NSInteger> storedResults() {
        std::vector<NSInteger> r;
        auto stored = DXProfileManager::sharedManager()->loadPersistentTasks();
        for (const id& item : *stored) {
            r.push_back(cast<DXTestModel>(item)->result());
        }
        return r;
    }
    // The stored run holds the same records, results and sub-results as memory.
    void expectStoredMatchesMemory() const {
        auto stored = DXProfileManager::sharedManager()->loadPersistentTasks();
        auto memory = container_->testModels();
        ASSERT_EQ(stored->count(), memory->count());
        for (NSUInteger i = 0; i < memory->count(); ++i) {
            auto s = cast<DXTestModel>(stored->objectAtIndex(i));
            auto m = cast<DXTestModel>(memory->objectAtIndex(i));
            EXPECT_EQ(s->profilekey()->str(), m->profilekey()->str());
            EXPECT_EQ(s->result(), m->result()) << m->profilekey()->str();
            auto ss = s->subTestItemsResult();
            auto ms = m->subTestItemsResult();
            EXPECT_TRUE((!ss || ss->count() == 0) && (!ms || ms->count() == 0) ? true : NSObjectsEqual(ss, ms))
                << m->profilekey()->str() << ": " << NSDescription(ss)->str() << " / " << NSDescription(ms)->str();
        }
    }
    Ref<StandInResultScreen> resultScreen() const {
        return cast<StandInResultScreen>(navigation_->topViewController());
    }

    Ref<DXTestViewController> container_;
};
