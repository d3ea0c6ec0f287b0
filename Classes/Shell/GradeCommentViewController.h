// GradeCommentViewController: a pop-up form with a short list of questions about the device (by
// default a grade chosen from "AP", "AB", "B-", "C", "D" and a free-text comment) that hands the
// answers to its delegate. A question is a dictionary: "type" ("comboBox" or "textBox"; other types
// are skipped), "label" and, for a combo box, "items". Its view comes from the layout resource
// "GradeCommentViewController" (registered in code). Main thread only.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScrollView.h>
#include <UIKit/UITextView.h>
#include <UIKit/UIViewController.h>

// Required: `gradeCommentViewController:cancel:onSave:` (form, BOOL cancel, NSArray answers). Sent
// by selector.
NS_DECLARE_PROTOCOL(GradeCommentViewControllerDelegate);

// Characters a text box takes.
inline constexpr NSUInteger GradeCommentTextLimit = 250;

class GradeCommentViewController : public UIViewController {
    NS_OBJECT(GradeCommentViewController, UIViewController)
public:
    GradeCommentViewController() = default;
    // `initWithData:`: also keeps the dictionary as lastData.
    explicit GradeCommentViewController(const Ref<NSDictionary>& data);

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    NS_PROPERTY(Ref<NSArray>, questions, setQuestions)
    NS_PROPERTY(Ref<NSArray>, grades, setGrades)
    NS_PROPERTY(NSUInteger, textCount, setTextCount)
    NS_PROPERTY(Ref<NSDictionary>, lastData, setLastData)
    NS_PROPERTY(Ref<NSMutableArray>, forms, setForms)
    NS_PROPERTY(CGRect, currentPopViewFrame, setCurrentPopViewFrame)

    NS_WEAK_PROPERTY(UIView, popupView, setPopupView)
    NS_WEAK_PROPERTY(UILabel, popupViewTitleLabel, setPopupViewTitleLabel)
    NS_WEAK_PROPERTY(UILabel, gradeLabelSubject, setGradeLabelSubject)
    NS_WEAK_PROPERTY(UILabel, gradeLabel, setGradeLabel)
    NS_WEAK_PROPERTY(UILabel, commentLabel, setCommentLabel)
    NS_WEAK_PROPERTY(UITextView, commentTextView, setCommentTextView)
    NS_WEAK_PROPERTY(UILabel, textCountLabel, setTextCountLabel)
    NS_WEAK_PROPERTY(UIButton, saveButton, setSaveButton)
    NS_WEAK_PROPERTY(UIButton, dropBoxButton, setDropBoxButton)
    NS_WEAK_PROPERTY(UIScrollView, scrollView, setScrollView)
    NS_WEAK_PROPERTY(UILabel, gradecommentLabel, setGradecommentLabel)

    // The two default questions (a grade and a comment).
    static Ref<NSArray> defaultQuestions();

    // Titles the form, lays the questions out in the scroll view and observes the keyboard.
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    // Actions: the save button, every choice button, and one that does nothing.
    void onSave(const id& sender);
    void tapTriangle(const Ref<UIButton>& sender);
    void tapGrade(const id&) {}

    void showInViewAnimated(const Ref<UIView>& view, bool animated);
    void showPopupView(const Ref<UIView>& view);
    void closePopup(const id& sender);

    // The answers as handed to the delegate: one single-entry dictionary per form entry.
    Ref<NSArray> answers() const;

    void keyboardShow(const Ref<NSNotification>& notification);
    void keyboardHide(const Ref<NSNotification>& notification);
    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

    // Text-view delegate.
    bool textViewShouldChangeTextInRangeReplacementText(const Ref<UITextView>& textView, NSRange range,
                                                        const Ref<NSString>& text);
    void textViewDidChange(const Ref<UITextView>& textView);

private:
    void layoutQuestion(const Ref<NSDictionary>& question, CGFloat width, CGFloat& y);
    Weak<NSObject> delegate_;
    bool popupMoved_ = false;
};
