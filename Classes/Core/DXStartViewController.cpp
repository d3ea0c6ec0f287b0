#include <Core/DXStartViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Core/DXLayoutResource.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_PROTOCOL(DXStartViewControllerDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("startViewController:withIndexOfDoItem:", "v@:@Q");
}

NS_IMPLEMENT_CLASS(DXStartViewController, DXViewController) {
    b.method("dismiss:", &DXStartViewController::dismiss);
    b.method("start:", &DXStartViewController::start);
    b.property("testModel", &DXStartViewController::testModel, &DXStartViewController::setTestModel);
    b.property("indexOfDoItem", &DXStartViewController::indexOfDoItem, &DXStartViewController::setIndexOfDoItem);
    b.property("testModelCount", &DXStartViewController::testModelCount, &DXStartViewController::setTestModelCount);
    b.property("testImageView", &DXStartViewController::testImageView, &DXStartViewController::setTestImageView,
               "weak");
    b.property("testTitleLabel", &DXStartViewController::testTitleLabel, &DXStartViewController::setTestTitleLabel,
               "weak");
    b.property("testProgressLabel", &DXStartViewController::testProgressLabel,
               &DXStartViewController::setTestProgressLabel, "weak");
    b.property("desc", &DXStartViewController::desc, &DXStartViewController::setDesc, "weak");
    b.property("startButton", &DXStartViewController::startButton, &DXStartViewController::setStartButton, "weak");
}

namespace {

using namespace dx_layout;

// The layout resource: icon, title, run position and instruction from the top down, the start
// button near the bottom.
const bool nibRegistered = [] {
    UINib::registerNibNamed("DXStartViewController", [](const id& owner) -> Ref<NSArray> {
        auto screen = cast<DXStartViewController>(owner);
        auto root = make<UIView>(UIScreen::mainScreen()->bounds());
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);

        auto image = make<UIImageView>();
        place(root, image);
        pin(root, image, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 40);
        pin(root, image, NSLayoutAttributeCenterX, root, NSLayoutAttributeCenterX, 0);
        size(root, image, NSLayoutAttributeWidth, 96);
        size(root, image, NSLayoutAttributeHeight, 96);

        auto title = make<UILabel>();
        title->setFont(UIFont::boldSystemFontOfSize(24));
        title->setTextAlignment(NSTextAlignmentCenter);
        // A long title wraps: it is never cut short.
        title->setNumberOfLines(0);
        title->setPreferredMaxLayoutWidth(UIScreen::mainScreen()->bounds().size.width - 40);
        place(root, title);
        pin(root, title, NSLayoutAttributeTop, image, NSLayoutAttributeBottom, 20);
        pin(root, title, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 20);
        pin(root, title, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -20);

        auto progress = make<UILabel>();
        progress->setFont(UIFont::systemFontOfSize(16));
        progress->setTextAlignment(NSTextAlignmentCenter);
        place(root, progress);
        pin(root, progress, NSLayoutAttributeTop, title, NSLayoutAttributeBottom, 8);
        pin(root, progress, NSLayoutAttributeCenterX, root, NSLayoutAttributeCenterX, 0);

        auto desc = make<UILabel>();
        desc->setFont(UIFont::systemFontOfSize(18));
        desc->setNumberOfLines(0);
        desc->setTextAlignment(NSTextAlignmentCenter);
        place(root, desc);
        pin(root, desc, NSLayoutAttributeTop, progress, NSLayoutAttributeBottom, 24);
        pin(root, desc, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 24);
        pin(root, desc, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -24);
        desc->setPreferredMaxLayoutWidth(UIScreen::mainScreen()->bounds().size.width - 48);

        auto start = UIButton::buttonWithType(UIButtonTypeSystem);
        start->setTitleForState(DXLocalizedString("READYSTART_CONTROLLER_START"), UIControlStateNormal);
        start->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
        start->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.13, 0.45, 0.75, 1));
        start->titleLabel()->setFont(UIFont::boldSystemFontOfSize(22));
        place(root, start);
        pin(root, start, NSLayoutAttributeBottom, root, NSLayoutAttributeBottom, -48);
        pin(root, start, NSLayoutAttributeCenterX, root, NSLayoutAttributeCenterX, 0);
        size(root, start, NSLayoutAttributeWidth, 220);
        size(root, start, NSLayoutAttributeHeight, 56);

        if (screen) {
            start->addTargetActionForControlEvents(screen, "start:", UIControlEventTouchUpInside);
            screen->setTestImageView(image);
            screen->setTestTitleLabel(title);
            screen->setTestProgressLabel(progress);
            screen->setDesc(desc);
            screen->setStartButton(start);
        }
        return NSArray::arrayWithObjects({root});
    });
    return true;
}();

} // namespace

DXStartViewController::DXStartViewController(const Ref<DXTestModel>& testModel, NSUInteger indexOfTestModel,
                                             NSUInteger testModelCount, const id& headerDelegate) {
    (void)nibRegistered;
    testModel_ = testModel;
    indexOfDoItem_ = indexOfTestModel;
    testModelCount_ = testModelCount;
    headerDelegate_ = headerDelegate;
}

void DXStartViewController::willDealloc() {
    NSLog("%@ dealloc", NSStringFromClass(getClass()));
    DXViewController::willDealloc();
}

void DXStartViewController::viewDidLoad() {
    DXViewController::viewDidLoad();
    if (auto header = headerView()) {
        header->setDelegate(headerDelegate());
        header->setHideBackButton(false);
    }
    Ref<UIView> root = view();
    CGFloat headerHeight = DXHeaderHeight();
    for (const auto& constraint : root->constraintList()) {
        if (constraint->secondItem().get() == static_cast<NSObject*>(root.get()) &&
            constraint->secondAttribute() == NSLayoutAttributeTop) {
            constraint->setConstant(constraint->constant() + headerHeight);
        }
    }
    root->setNeedsLayout();

    auto model = testModel();
    if (auto image = testImageView()) {
        auto icon = model ? model->icon() : nullptr;
        image->setImage(icon && icon->length() > 0 ? UIImage::imageNamed(icon) : nullptr);
    }
    if (auto label = testTitleLabel()) {
        label->setText(model ? model->title() : nullptr);
    }
    if (auto label = testProgressLabel()) {
        label->setText(NSString::stringWithFormat("%d/%d", indexOfDoItem() + 1, testModelCount()));
    }
    if (auto label = desc()) {
        label->setText(model ? model->instruction() : nullptr);
    }
}

void DXStartViewController::viewWillAppear(bool animated) {
    DXViewController::viewWillAppear(animated);
}

void DXStartViewController::dismiss(const id&) {
    if (auto presenting = presentingViewController()) {
        presenting->dismissViewControllerAnimatedCompletion(false);
    } else {
        dismissViewControllerAnimatedCompletion(false);
    }
    if (startBlock) {
        startBlock();
    }
}

void DXStartViewController::start(const id&) {
    SEL selector("startViewController:withIndexOfDoItem:");
    if (id delegate = this->delegate(); delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithArguments(selector, {Ref<DXStartViewController>(this), box(indexOfDoItem())});
    }
}
