#include <Shell/GradeCommentViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Core/DXProfileManager.h>
#include <Core/WLActionSheet.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSSet.h>
#include <Runtime/ClassBuilder.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIWindow.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_PROTOCOL(GradeCommentViewControllerDelegate) {
    p.required("gradeCommentViewController:cancel:onSave:", "v@:@B@");
}

NS_IMPLEMENT_CLASS(GradeCommentViewController, UIViewController) {
    b.conformsTo(UITextViewDelegateProtocol());
    b.method("onSave:", &GradeCommentViewController::onSave);
    b.method("tapTriangle:", &GradeCommentViewController::tapTriangle);
    b.method("tapGrade:", &GradeCommentViewController::tapGrade);
    b.method("closePopup:", &GradeCommentViewController::closePopup);
    b.method("keyboardShow:", &GradeCommentViewController::keyboardShow);
    b.method("keyboardHide:", &GradeCommentViewController::keyboardHide);
    b.method("textView:shouldChangeTextInRange:replacementText:",
             &GradeCommentViewController::textViewShouldChangeTextInRangeReplacementText);
    b.method("textViewDidChange:", &GradeCommentViewController::textViewDidChange);
    b.property("questions", &GradeCommentViewController::questions, &GradeCommentViewController::setQuestions);
    b.property("forms", &GradeCommentViewController::forms, &GradeCommentViewController::setForms);
}

namespace {

constexpr double kAnimation = 0.25;
constexpr CGFloat kPopScale = 1.3;

Ref<UIFont> formFont() {
    return UIFont::systemFontOfSize(16);
}

CGFloat textHeight(const Ref<NSString>& text, CGFloat width) {
    auto attributes = NSDictionary::dictionaryWithEntries({{NSFontAttributeName(), formFont()}});
    return boundingRectWithSizeOptionsAttributesContext(
               text ? text : NSString::string(), CGSizeMake(width, 0),
               NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading, attributes, nullptr)
        .size.height;
}

Ref<UILabel> formLabel(CGRect frame) {
    auto label = make<UILabel>(frame);
    label->setFont(formFont());
    label->setTextColor(UIColor::blackColor());
    return label;
}

Ref<NSString> textOf(const id& value) {
    auto text = cast<NSString>(value);
    return text ? text : NSString::string();
}

const bool nibRegistered = [] {
    UINib::registerNibNamed("GradeCommentViewController", [](const id& owner) -> Ref<NSArray> {
        auto form = cast<GradeCommentViewController>(owner);
        CGRect bounds = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(bounds);
        root->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.4));
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        CGFloat width = bounds.size.width - 20;
        CGFloat height = std::min<CGFloat>(420, bounds.size.height - 80);
        auto popup = make<UIView>(CGRectMake(10, std::floor((bounds.size.height - height) / 2), width, height));
        popup->setBackgroundColor(UIColor::whiteColor());
        root->addSubview(popup);
        auto title = make<UILabel>(CGRectMake(10, 10, width - 20, 30));
        title->setFont(UIFont::boldSystemFontOfSize(18));
        title->setTextAlignment(NSTextAlignmentCenter);
        popup->addSubview(title);
        auto grade = make<UILabel>(CGRectMake(10, 44, width - 20, 0));
        popup->addSubview(grade);
        auto scroll = make<UIScrollView>(CGRectMake(0, 48, width, height - 48 - 60));
        popup->addSubview(scroll);
        auto save = UIButton::buttonWithType(UIButtonTypeCustom);
        save->setFrame(CGRectMake(10, height - 54, width - 20, 44));
        save->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.13, 0.45, 0.75, 1));
        save->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
        popup->addSubview(save);
        if (form) {
            save->addTargetActionForControlEvents(form, "onSave:", UIControlEventTouchUpInside);
            form->setPopupView(popup);
            form->setGradecommentLabel(title);
            form->setPopupViewTitleLabel(title);
            form->setGradeLabel(grade);
            form->setScrollView(scroll);
            form->setSaveButton(save);
        }
        return NSArray::arrayWithObjects({root});
    });
    return true;
}();

} // namespace

GradeCommentViewController::GradeCommentViewController(const Ref<NSDictionary>& data) {
    setLastData(data ? NSDictionary::dictionaryWithDictionary(data) : nullptr);
}

Ref<NSArray> GradeCommentViewController::defaultQuestions() {
    (void)nibRegistered;
    auto grades = NSArray::arrayWithObjects({"AP"_ns, "AB"_ns, "B-"_ns, "C"_ns, "D"_ns});
    return NSArray::arrayWithObjects(
        {NSDictionary::dictionaryWithEntries({{"type"_ns, "comboBox"_ns},
                                              {"label"_ns, DXLocalizedString("GRADE_COMMENT_GRADE_LABEL")},
                                              {"items"_ns, grades}}),
         NSDictionary::dictionaryWithEntries(
             {{"type"_ns, "textBox"_ns}, {"label"_ns, DXLocalizedString("GRADE_COMMENT_COMMENT_LABEL")}})});
}

void GradeCommentViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (auto label = gradecommentLabel()) {
        label->setText(DXLocalizedString("GRADE_COMMENT_TITLE"));
    }
    if (auto save = saveButton()) {
        save->setTitleForState(DXLocalizedString("GRADE_COMMENT_SAVECONTINUE"), UIControlStateNormal);
    }
    CGFloat width = UIScreen::mainScreen()->bounds().size.width - 20;
    CGFloat y = 5;
    setForms(NSMutableArray::array());
    if (!questions()) {
        setQuestions(defaultQuestions());
    }
    auto list = questions();
    for (const auto& item : *list) {
        if (auto question = cast<NSDictionary>(item)) {
            layoutQuestion(question, width, y);
        }
    }
    if (auto scroll = scrollView()) {
        scroll->setContentSize(CGSizeMake(std::floor(width), std::floor(y + 5)));
    }
    if (auto popup = popupView()) {
        popup->layer()->setCornerRadius(3);
        popup->layer()->setShadowOpacity(0.8f);
        popup->layer()->setShadowOffset(CGSizeMake(0, 0));
        setCurrentPopViewFrame(popup->frame());
    }
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserverSelectorNameObject(id(this), "keyboardShow:", UIKeyboardWillShowNotification(), nullptr);
    center->addObserverSelectorNameObject(id(this), "keyboardHide:", UIKeyboardWillHideNotification(), nullptr);
    addDeallocHook([](NSObject* self) { NSNotificationCenter::defaultCenter()->removeObserver(id(self)); });
}

void GradeCommentViewController::layoutQuestion(const Ref<NSDictionary>& question, CGFloat width, CGFloat& y) {
    auto scroll = scrollView();
    if (!scroll) {
        return;
    }
    auto type = textOf(question->objectForKey("type"_ns));
    auto labelText = textOf(question->objectForKey("label"_ns));
    bool combo = type->isEqualToString("comboBox"_ns);
    bool text = type->isEqualToString("textBox"_ns);
    if (!combo && !text) {
        return;
    }
    auto entry = NSMutableDictionary::dictionary();
    entry->setObjectForKey(type, "type"_ns);

    auto title = formLabel(CGRectMake(5, std::floor(y), std::floor(width - 10), 0));
    title->setNumberOfLines(0);
    title->setText(labelText);
    title->sizeToFit();
    scroll->addSubview(title);
    entry->setObjectForKey(title, "titleLabel"_ns);

    if (combo) {
        y += textHeight(labelText, std::floor(width)) + 2;
        auto items = cast<NSArray>(question->objectForKey("items"_ns));
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setImageForState(UIImage::imageNamed("grade_comment_triangle"_ns), UIControlStateNormal);
        button->setFrame(CGRectMake(0, std::floor(y - 5), 30, 26));
        button->addTargetActionForControlEvents(id(this), "tapTriangle:", UIControlEventTouchUpInside);
        scroll->addSubview(button);
        auto value = formLabel(CGRectMake(35, std::floor(y - 3), std::floor(width - 50), 26));
        value->setNumberOfLines(1);
        value->setLineBreakMode(NSLineBreakByTruncatingTail);
        if (items && items->count() > 0) {
            value->setText(textOf(items->objectAtIndex(0)));
        }
        scroll->addSubview(value);
        entry->setObjectForKey(button, "button"_ns);
        entry->setObjectForKey(value, "valueLabel"_ns);
        entry->setObjectForKey(items ? items : NSArray::array(), "items"_ns);
        y += 30;
    } else {
        auto popup = popupView();
        CGFloat measure = popup ? std::floor(popup->frame().size.width) : std::floor(width);
        y += textHeight(labelText, measure) + 2;
        auto view = make<UITextView>(CGRectMake(5, std::floor(y), std::floor(width - 10), 100));
        view->layer()->setBorderWidth(1);
        view->layer()->setBorderColor(UIColor::blackColor()->CGColor());
        view->setFont(formFont());
        scroll->addSubview(view);
        entry->setObjectForKey(view, "textView"_ns);
        y += 100;
    }
    y += 5;
    forms()->addObject(entry);
}

void GradeCommentViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    if (auto popup = popupView(); popup && !popupMoved_) {
        setCurrentPopViewFrame(popup->frame());
    }
}

Ref<NSArray> GradeCommentViewController::answers() const {
    auto profile = DXProfileManager::sharedManager();
    auto custom = profile->needCustomQuestion();
    bool keyByLabel = custom && custom->count() > 0 && !profile->needGradeComment();
    auto result = NSMutableArray::array();
    if (!forms_) {
        return result;
    }
    for (const auto& item : *forms_) {
        auto entry = cast<NSDictionary>(item);
        bool combo = textOf(entry->objectForKey("type"_ns))->isEqualToString("comboBox"_ns);
        Ref<NSString> key = NSString::from(combo ? "GRADE" : "COMMENT");
        if (keyByLabel) {
            auto title = cast<UILabel>(entry->objectForKey("titleLabel"_ns));
            auto text = title ? title->text() : nullptr;
            key = text && text->length() > 0 ? text : NSString::from("key");
        }
        Ref<NSString> value;
        if (combo) {
            auto label = cast<UILabel>(entry->objectForKey("valueLabel"_ns));
            value = label ? label->text() : nullptr;
        } else {
            auto view = cast<UITextView>(entry->objectForKey("textView"_ns));
            value = view ? view->text() : nullptr;
        }
        result->addObject(NSDictionary::dictionaryWithEntries({{key, value ? value : NSString::string()}}));
    }
    return result;
}

void GradeCommentViewController::onSave(const id&) {
    Ref<GradeCommentViewController> self(this);
    if (auto d = delegate()) {
        d->performSelectorWithArguments("gradeCommentViewController:cancel:onSave:", {self, box(false), answers()});
    }
    closePopup(nullptr);
}

void GradeCommentViewController::tapTriangle(const Ref<UIButton>& sender) {
    if (auto scroll = scrollView()) {
        auto subviews = scroll->subviews();
        for (const auto& sub : *subviews) {
            if (auto view = cast<UITextView>(sub)) {
                view->resignFirstResponder();
            }
        }
    }
    Ref<NSMutableDictionary> entry;
    Ref<NSArray> formList = forms();
    for (const auto& item : *formList) {
        auto candidate = cast<NSMutableDictionary>(item);
        if (candidate && textOf(candidate->objectForKey("type"_ns))->isEqualToString("comboBox"_ns) &&
            candidate->objectForKey("button"_ns).get() == sender.get()) {
            entry = candidate;
            break;
        }
    }
    if (!entry) {
        return;
    }
    auto items = cast<NSArray>(entry->objectForKey("items"_ns));
    auto sheet = make<WLActionSheet>(DXLocalizedString("GRADE_COMMENT_ACTIVESHEET_TITLE"),
                                     DXLocalizedString("GRADE_COMMENT_ACTIVESHEET_CANCEL"), items);
    Weak<NSMutableDictionary> weakEntry(entry);
    sheet->dismissForCompletionHandle([weakEntry, items](NSInteger index, bool isCancel) {
        auto target = weakEntry.lock();
        if (isCancel || !target || !items || index < 0 || index >= static_cast<NSInteger>(items->count())) {
            return;
        }
        auto value = items->objectAtIndex(static_cast<NSUInteger>(index));
        target->setObjectForKey(value, "value"_ns);
        if (auto label = cast<UILabel>(target->objectForKey("valueLabel"_ns))) {
            label->setText(textOf(value));
        }
    });
    sheet->showView();
}

void GradeCommentViewController::showInViewAnimated(const Ref<UIView>& view, bool animated) {
    if (!view) {
        return;
    }
    view->addSubview(this->view());
    if (animated) {
        auto v = this->view();
        v->setTransform(CGAffineTransformMakeScale(kPopScale, kPopScale));
        v->setAlpha(0);
        UIView::animateWithDurationAnimations(kAnimation, [v] {
            v->setTransform(CGAffineTransformMakeScale(1, 1));
            v->setAlpha(1);
        });
    }
}

void GradeCommentViewController::showPopupView(const Ref<UIView>& view) {
    if (view) {
        view->addSubview(this->view());
    }
}

void GradeCommentViewController::closePopup(const id&) {
    auto v = view();
    UIView::animateWithDurationAnimationsCompletion(
        kAnimation,
        [v] {
            v->setTransform(CGAffineTransformMakeScale(kPopScale, kPopScale));
            v->setAlpha(0);
        },
        [v](bool) { v->removeFromSuperview(); });
}

void GradeCommentViewController::keyboardShow(const Ref<NSNotification>& notification) {
    auto popup = popupView();
    auto info = notification ? notification->userInfo() : nullptr;
    if (!popup || !info) {
        return;
    }
    auto frameValue = cast<NSValue>(info->objectForKey(UIKeyboardFrameEndUserInfoKey()));
    auto duration = cast<NSNumber>(info->objectForKey(UIKeyboardAnimationDurationUserInfoKey()));
    CGRect keyboard = frameValue ? frameValue->value<CGRect>() : CGRectZero;
    if (!popupMoved_) {
        // The card's place before any shift; a layout pass may not have recorded it yet.
        setCurrentPopViewFrame(popup->frame());
    }
    CGRect place = currentPopViewFrame();
    CGFloat shift = std::max<CGFloat>(CGRectGetMaxY(place) - keyboard.origin.y + 5, 0);
    popupMoved_ = true;
    UIView::animateWithDurationAnimations(duration ? duration->doubleValue() : kAnimation,
                                          [popup, place, shift] { popup->setFrame(CGRectOffset(place, 0, -shift)); });
}

void GradeCommentViewController::keyboardHide(const Ref<NSNotification>& notification) {
    auto popup = popupView();
    if (!popup) {
        return;
    }
    auto info = notification ? notification->userInfo() : nullptr;
    auto duration = info ? cast<NSNumber>(info->objectForKey(UIKeyboardAnimationDurationUserInfoKey())) : nullptr;
    CGRect place = currentPopViewFrame();
    UIView::animateWithDurationAnimations(duration ? duration->doubleValue() : kAnimation,
                                          [popup, place] { popup->setFrame(place); });
    popupMoved_ = false;
}

void GradeCommentViewController::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIViewController::touchesBeganWithEvent(touches, event);
    auto touch = touches ? cast<UITouch>(touches->anyObject()) : nullptr;
    if (!touch) {
        return;
    }
    auto hit = touch->view();
    auto grade = gradeLabel();
    if (grade && hit == grade) {
        NSLog("touch label");
        return;
    }
    auto popup = popupView();
    if (popup && hit && (hit == popup || hit->isDescendantOfView(popup))) {
        return;
    }
    closePopup(nullptr);
}

bool GradeCommentViewController::textViewShouldChangeTextInRangeReplacementText(const Ref<UITextView>& textView,
                                                                                NSRange range,
                                                                                const Ref<NSString>& text) {
    if (text && text->isEqualToString("\n"_ns)) {
        textView->resignFirstResponder();
        return false;
    }
    // The platform's keyboard has no emoji input mode, so no input is refused for its language.
    NSUInteger current = textView->text() ? textView->text()->length() : 0;
    NSUInteger replaced = std::min(range.length, current);
    NSUInteger added = text ? text->length() : 0;
    return current - replaced + added <= GradeCommentTextLimit;
}

void GradeCommentViewController::textViewDidChange(const Ref<UITextView>& textView) {
    NSUInteger length = textView && textView->text() ? textView->text()->length() : 0;
    setTextCount(length >= GradeCommentTextLimit ? 0 : GradeCommentTextLimit - length);
}
