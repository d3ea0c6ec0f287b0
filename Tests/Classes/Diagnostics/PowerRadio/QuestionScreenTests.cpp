// The question screens, each run in the run container: their texts, and YES passing and NO failing
// the test whatever the question.
#include "RunTestCase.h"

#include <Diagnostics/PowerRadio/ManualTestViewController.h>
#include <Diagnostics/PowerRadio/PowerOnOffViewController.h>
#include <Diagnostics/PowerRadio/SimTrayViewController.h>
#include <Diagnostics/PowerRadio/TrueToneViewController.h>
#include <Diagnostics/PowerRadio/WaterDamgeViewController.h>

namespace {

struct Screen {
    const char* controller;
    const char* title; // the title line ("" when the screen empties it)
    const char* question;
    const char* extra; // nullptr without a third text
};

const Screen kScreens[] = {
    {"WaterDamgeViewController", "Water damage", "Is the device free of water damage?", nullptr},
    {"PowerOnOffViewController", "", "Does the power button work?", nullptr},
    {"TrueToneViewController", "True Tone", "Does True Tone change the display colours?",
     "Open Control Centre and switch True Tone on and off."},
    {"EngravingViewController", "Engraving", "Is the device free of engravings?", nullptr},
    {"SimTrayViewController", "", "Is the SIM tray present and undamaged?", nullptr},
    {"RemoveAttachedViewController", "Accessories", "Have all accessories been removed?", nullptr},
    {"DecorationViewController", "Decoration", "Is the device free of stickers and decorations?", nullptr},
    {"ManualTestViewController", "Operator question", "Is the charging port free of dust?", nullptr},
    {"CrashScreenViewController", "Screen damage", "Is the screen free of damage?", nullptr},
};

class QuestionScreenTest : public RunTestCase, public ::testing::WithParamInterface<Screen> {
protected:
    Ref<DXTestModel> questionRecord(const char* key) {
        auto model = record(key, GetParam().controller);
        // Only the manual screen shows the record's own question.
        model->setQuestion("Is the charging port free of dust?"_ns);
        return model;
    }
};

[[maybe_unused]] void PrintTo(const Screen& screen, std::ostream* os) {
    *os << screen.controller;
}

std::string nameOf(const ::testing::TestParamInfo<Screen>& info) {
    return info.param.controller;
}

} // namespace

TEST_P(QuestionScreenTest, ShowsItsTextsAndYesPassesNoFails) {
    const Screen& s = GetParam();
    auto c = startRun({questionRecord("FIRST"), questionRecord("SECOND")}, DXRunTypeProfile);
    auto screen = testScreen();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->getClass()->name(), s.controller);
    auto question = cast<UILabel>(screen->valueForKey("question"_ns));
    ASSERT_TRUE(question);
    EXPECT_EQ(question->text() ? question->text()->str() : "", s.question);
    EXPECT_TRUE(UITestDriver::isTextVisible(s.question));
    Ref<UILabel> title = screen->labelTitle();
    if (!title) {
        title = cast<UILabel>(screen->valueForKey("titleLabel"_ns));
    }
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text() ? title->text()->str() : "", s.title);
    if (s.extra) {
        EXPECT_TRUE(UITestDriver::isTextVisible(s.extra));
    }
    // The question sits below the header.
    EXPECT_GE(question->frame().origin.y, DXHeaderHeight());
    EXPECT_FALSE(screen->answerView()->isHidden());

    answer(true);
    answer(false);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 2}));
    expectStoredMatchesMemory();
    EXPECT_TRUE(resultScreen());
    // No question screen writes sub-results.
    EXPECT_EQ(model(0)->subTestItemsResult()->count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Screens, QuestionScreenTest, ::testing::ValuesIn(kScreens), nameOf);

using QuestionScreenDetailTest = RunTestCase;

TEST_F(QuestionScreenDetailTest, ManualQuestionWithoutTextShowsAnEmptyLabel) {
    startRun({record("MANUAL_INSTRUCTION_TEST_1", "ManualTestViewController")}, DXRunTypeSingleTest);
    auto screen = cast<ManualTestViewController>(page());
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->question()->text() && screen->question()->text()->length() > 0);
    answer(true);
    EXPECT_EQ(results(), std::vector<NSInteger>{1});
}

TEST_F(QuestionScreenDetailTest, ManualQuestionIsNotLookedUp) {
    auto model = record("MANUAL_INSTRUCTION_TEST_2", "ManualTestViewController");
    // A text that is also a key of the string tables stays as it is.
    model->setQuestion("TEST_FAILED"_ns);
    startRun({model}, DXRunTypeSingleTest);
    EXPECT_EQ(cast<ManualTestViewController>(page())->question()->text()->str(), "TEST_FAILED");
}

TEST_F(QuestionScreenDetailTest, SimTrayIsSupportedOnlyWithACarrierRecord) {
    auto ask = [] {
        return cast<NSNumber>(NSClassFromString("SimTrayViewController")->performClassSelector("isSupport"));
    };
    ASSERT_TRUE(SimDevice::current().carrier());
    ASSERT_TRUE(ask());
    EXPECT_EQ(ask()->integerValue(), 1);
    SimDevice::current().setCarrier(std::nullopt);
    EXPECT_EQ(ask()->integerValue(), 0);
    // Every other question screen keeps the base's answer.
    auto base = cast<NSNumber>(NSClassFromString("WaterDamgeViewController")->performClassSelector("isSupport"));
    EXPECT_FALSE(base->boolValue());
}

TEST_F(QuestionScreenDetailTest, AnAnswerAfterTheScreenHasGoneDoesNotCount) {
    auto c =
        startRun({record("A", "EngravingViewController"), record("B", "DecorationViewController")}, DXRunTypeProfile);
    auto first = testScreen();
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    // The skipped screen's answer button, tapped in code after it left: nothing changes.
    auto yes = cast<UIButton>(first->answerView()->viewWithTag(DXAnswerTagYes));
    yes->sendActionsForControlEvents(UIControlEventTouchUpInside);
    settle();
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    EXPECT_EQ(c->indexOfHandle(), 1u);
    expectStoredMatchesMemory();
}
