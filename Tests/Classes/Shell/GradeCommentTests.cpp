// The grade and comment form, presented over the result screen: default questions, choosing with
// the bottom sheet, saving into the user defaults, and the text rules.
#include "ShellTestCase.h"

#include <Core/WLActionSheet.h>
#include <Foundation/NSJSONSerialization.h>
#include <Shell/DXResultViewController.h>
#include <Shell/GradeCommentViewController.h>
#include <UIKit/NSIndexPath.h>

namespace {

class GradeCommentTests : public ShellTestCase {
protected:
    Ref<GradeCommentViewController> present(const Ref<NSArray>& questions = nullptr) {
        screen_ = make<DXResultViewController>();
        screen_->setTestModels(NSArray::array());
        showInNavigation(screen_);
        screen_->presentGradeCommentViewControllerWithQuestion(questions);
        advance(0.5);
        UITestDriver::layout();
        return screen_->gradeCommentViewController();
    }
    static Ref<NSMutableDictionary> entry(const Ref<GradeCommentViewController>& form, NSUInteger i) {
        return cast<NSMutableDictionary>(form->forms()->objectAtIndex(i));
    }
    static std::string value(const Ref<GradeCommentViewController>& form, NSUInteger i) {
        auto label = cast<UILabel>(entry(form, i)->objectForKey("valueLabel"_ns));
        return label && label->text() ? label->text()->str() : "";
    }
    void choose(const Ref<GradeCommentViewController>& form, NSInteger row, NSInteger section) {
        ASSERT_TRUE(UITestDriver::tapView(cast<UIButton>(entry(form, 0)->objectForKey("button"_ns))));
        advance(0.6);
        auto sheet = cast<WLActionSheet>(UITestDriver::findView(WLActionSheet::class_()));
        ASSERT_TRUE(sheet);
        sheet->tableView()->layoutIfNeeded();
        auto cell = sheet->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(row, section));
        ASSERT_TRUE(cell);
        ASSERT_TRUE(UITestDriver::tapView(cell));
        advance(0.6);
    }
    static std::string storedAnswers() {
        auto stored = NSUserDefaults::standardUserDefaults()->objectForKey("gradeandcomment"_ns);
        if (!stored) {
            return "nil";
        }
        Ref<NSError> error;
        return NSJSONSerialization::dataWithJSONObjectOptionsError(stored, 0, &error)->stringValue();
    }

    Ref<DXResultViewController> screen_;
};

} // namespace

TEST_F(GradeCommentTests, DefaultFormSavesFirstGradeAndEmptyComment) {
    auto form = present();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->parentViewController(), screen_);
    ASSERT_EQ(form->forms()->count(), 2u);
    EXPECT_EQ(value(form, 0), "AP");
    EXPECT_TRUE(UITestDriver::isTextVisible("Grade and comment"));
    EXPECT_TRUE(UITestDriver::isTextVisible("Grade"));
    EXPECT_TRUE(UITestDriver::isTextVisible("Comment"));
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Save and continue"));
    EXPECT_EQ(storedAnswers(), R"([{"GRADE":"AP"},{"COMMENT":""}])");
    EXPECT_FALSE(form->parentViewController());
    advance(0.5);
    EXPECT_FALSE(form->view()->superview()) << "the card closes";
}

TEST_F(GradeCommentTests, ChoosingAndCancellingInTheSheet) {
    auto form = present();
    choose(form, 4, 0); // title row, then AP AB B- C
    EXPECT_EQ(value(form, 0), "C");
    EXPECT_EQ(cast<NSString>(entry(form, 0)->objectForKey("value"_ns))->str(), "C");
    choose(form, 0, 1); // cancel
    EXPECT_EQ(value(form, 0), "C") << "a cancel keeps the earlier choice";
    auto text = cast<UITextView>(entry(form, 1)->objectForKey("textView"_ns));
    ASSERT_TRUE(UITestDriver::typeIntoTextView(text, "Scratched back"));
    EXPECT_LT(form->popupView()->frame().origin.y, form->currentPopViewFrame().origin.y)
        << "the card moves up over the keyboard";
    advance(0.3); // the keyboard has come up
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Save and continue"));
    EXPECT_EQ(storedAnswers(), R"([{"GRADE":"C"},{"COMMENT":"Scratched back"}])");
}

TEST_F(GradeCommentTests, OtherQuestionTypesAreSkipped) {
    auto questions = NSArray::arrayWithObjects(
        {NSDictionary::dictionaryWithEntries({{"type"_ns, "slider"_ns}, {"label"_ns, "Volume"_ns}}),
         NSDictionary::dictionaryWithEntries({{"type"_ns, "comboBox"_ns},
                                              {"label"_ns, "Colour"_ns},
                                              {"items"_ns, NSArray::arrayWithObjects({"Red"_ns})}})});
    auto form = present(questions);
    ASSERT_EQ(form->forms()->count(), 1u);
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Save and continue"));
    EXPECT_EQ(storedAnswers(), R"([{"GRADE":"Red"}])");
}

TEST_F(GradeCommentTests, TextRules) {
    auto form = present();
    auto view = make<UITextView>(CGRectMake(0, 0, 100, 100));
    view->setText(NSString::from(std::string(250, 'a')));
    EXPECT_FALSE(form->textViewShouldChangeTextInRangeReplacementText(view, NSRange{250, 0}, "b"_ns))
        << "the 251st character";
    EXPECT_TRUE(form->textViewShouldChangeTextInRangeReplacementText(view, NSRange{0, 1}, "b"_ns));
    EXPECT_FALSE(form->textViewShouldChangeTextInRangeReplacementText(view, NSRange{0, 0}, "\n"_ns));
    view->setText("abc"_ns);
    form->textViewDidChange(view);
    EXPECT_EQ(form->textCount(), 247u);
}

TEST_F(GradeCommentTests, TouchOutsideTheCardClosesWithoutSaving) {
    auto form = present();
    ASSERT_TRUE(UITestDriver::tapAtPoint(CGPointMake(5, 100)));
    advance(0.5);
    EXPECT_FALSE(form->view()->superview());
    EXPECT_EQ(storedAnswers(), "nil");
}

TEST_F(GradeCommentTests, CustomQuestionsWithoutGradeAreKeyedByTheirLabels) {
    writeText(documentsFile("quorvane_config.txt"),
              R"({"profile": [{"profile_key": "CUSTOM_QUESTION", "extra": {"questions": ["Q1"]}}]})");
    auto questions = NSArray::arrayWithObjects(
        {NSDictionary::dictionaryWithEntries({{"type"_ns, "textBox"_ns}, {"label"_ns, "Scratches?"_ns}}),
         NSDictionary::dictionaryWithEntries({{"type"_ns, "textBox"_ns}, {"label"_ns, ""_ns}})});
    present(questions);
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Save and continue"));
    EXPECT_EQ(storedAnswers(), R"([{"Scratches?":""},{"key":""}])");
}
