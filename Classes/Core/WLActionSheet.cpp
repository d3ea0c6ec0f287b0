#include <Core/WLActionSheet.h>

#include <Core/WLSheetItem.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSSet.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITableViewHeaderFooterView.h>
#include <UIKit/UITouch.h>

#include <algorithm>
#include <cmath>
#include <limits>

NS_IMPLEMENT_CLASS(WLActionSheet, UIView) {
    b.method("numberOfSectionsInTableView:", &WLActionSheet::numberOfSectionsInTableView);
    b.method("tableView:numberOfRowsInSection:", &WLActionSheet::tableViewNumberOfRowsInSection);
    b.method("tableView:cellForRowAtIndexPath:", &WLActionSheet::tableViewCellForRowAtIndexPath);
    b.method("tableView:willDisplayCell:forRowAtIndexPath:", &WLActionSheet::tableViewWillDisplayCellForRowAtIndexPath);
    b.method("tableView:willDisplayHeaderView:forSection:", &WLActionSheet::tableViewWillDisplayHeaderViewForSection);
    b.method("tableView:heightForRowAtIndexPath:", &WLActionSheet::tableViewHeightForRowAtIndexPath);
    b.method("tableView:heightForHeaderInSection:", &WLActionSheet::tableViewHeightForHeaderInSection);
    b.method("tableView:didSelectRowAtIndexPath:", &WLActionSheet::tableViewDidSelectRowAtIndexPath);
    b.method("statusBarOrientationDidChangeNotification:", &WLActionSheet::statusBarOrientationDidChangeNotification);
}

namespace {
const char* const kSheetItem = "Sheet_Item";
constexpr double kCancelGap = 8;
constexpr double kTopMargin = 44;
} // namespace

WLActionSheet::WLActionSheet(CGRect) : UIView(UIScreen::mainScreen()->bounds()) {
    setBackgroundColor(UIColor::clearColor());
    titleColor_ = UIColor::grayColor();
    destructiveColor_ = UIColor::blackColor();
    otherTitlesColor_ = UIColor::blackColor();
    titleFont_ = UIFont::systemFontOfSize(14);
    otherTitlesFont_ = UIFont::systemFontOfSize(18);
    NSNotificationCenter::defaultCenter()->addObserverSelectorNameObject(
        id(this),
        "statusBarOrientationDidChangeNotification:", UIApplicationDidChangeStatusBarOrientationNotification(),
        nullptr);
    addDeallocHook([](NSObject* self) { NSNotificationCenter::defaultCenter()->removeObserver(id(self)); });
}

WLActionSheet::WLActionSheet(const Ref<NSString>& title, const Ref<NSString>& cancelTitle,
                             const Ref<NSArray>& otherTitles)
    : WLActionSheet(CGRectZero) {
    setTitle(title);
    setCancelTitle(cancelTitle);
    setOtherTitles(otherTitles);
}

// MARK: - Properties

void WLActionSheet::setTitle(const Ref<NSString>& title) {
    title_ = title ? cast<NSString>(title->copy()) : nullptr;
    titleModel_ = title_ && title_->length() > 0 ? WLSheetModel::modelWithTitleFont(title_, titleFont_) : nullptr;
}

void WLActionSheet::setCancelTitle(const Ref<NSString>& cancelTitle) {
    cancelTitle_ = cancelTitle ? cast<NSString>(cancelTitle->copy()) : nullptr;
    cancelModel_ = cancelTitle_ && cancelTitle_->length() > 0
                       ? WLSheetModel::modelWithTitleFont(cancelTitle_, otherTitlesFont_)
                       : nullptr;
}

void WLActionSheet::setOtherTitles(const Ref<NSArray>& otherTitles) {
    otherTitles_ = otherTitles ? NSArray::arrayWithArray(otherTitles) : nullptr;
    if (!otherTitles_ || otherTitles_->count() == 0) {
        otherModels_ = nullptr;
        return;
    }
    std::vector<id> models;
    for (const auto& item : *otherTitles_) {
        models.push_back(WLSheetModel::modelWithTitleFont(cast<NSString>(item), otherTitlesFont_));
    }
    otherModels_ = NSArray::arrayWithVector(std::move(models));
}

void WLActionSheet::setTitleColor(const Ref<UIColor>& color) {
    if (color) {
        titleColor_ = color;
    }
}

void WLActionSheet::setDestructiveColor(const Ref<UIColor>& color) {
    if (color) {
        destructiveColor_ = color;
    }
}

void WLActionSheet::setOtherTitlesColor(const Ref<UIColor>& color) {
    if (color) {
        otherTitlesColor_ = color;
    }
}

void WLActionSheet::setTitleFont(const Ref<UIFont>& font) {
    if (font) {
        titleFont_ = font;
    }
}

void WLActionSheet::setOtherTitlesFont(const Ref<UIFont>& font) {
    if (font) {
        otherTitlesFont_ = font;
    }
}

Ref<WLSheetModel> WLActionSheet::otherModelAt(NSInteger index) const {
    if (index < 0 || index >= otherCount()) {
        return nullptr;
    }
    return cast<WLSheetModel>(otherModels_->objectAtIndex(static_cast<NSUInteger>(index)));
}

Ref<UITableView> WLActionSheet::tableView() {
    if (!tableView_) {
        CGRect b = bounds();
        tableView_ =
            make<UITableView>(CGRectMake(0, b.size.height, b.size.width, tableViewHeight_), UITableViewStylePlain);
        tableView_->setDataSource(id(this));
        tableView_->setDelegate(id(this));
        tableView_->setRowHeight(50);
        tableView_->setBackgroundColor(UIColor::whiteColor());
        tableView_->setTableFooterView(make<UIView>());
        tableView_->setSeparatorColor(UIColor::colorWithWhiteAlpha(0.85, 1));
    }
    return tableView_;
}

Ref<UIView> WLActionSheet::backgroundView() {
    if (!backgroundView_) {
        backgroundView_ = make<UIView>(UIScreen::mainScreen()->bounds());
        backgroundView_->setBackgroundColor(UIColor::blackColor());
        backgroundView_->setUserInteractionEnabled(false);
        backgroundView_->setAlpha(0);
    }
    return backgroundView_;
}

// MARK: - Showing

void WLActionSheet::reloadData() {
    if (titleModel_) {
        titleModel_->updateHeightForFont(titleFont_);
    }
    if (cancelModel_) {
        cancelModel_->updateHeightForFont(otherTitlesFont_);
    }
    if (otherTitles_ && otherModels_) {
        for (const auto& item : *otherModels_) {
            cast<WLSheetModel>(item)->updateHeightForFont(otherTitlesFont_);
        }
    }
    tableViewHeight_ = tableHeight();
}

double WLActionSheet::tableHeight() {
    double sum = titleModel_ ? titleModel_->height() : 0;
    sum += cancelModel_ ? cancelModel_->height() + kCancelGap : 0;
    if (otherModels_) {
        for (const auto& item : *otherModels_) {
            sum += cast<WLSheetModel>(item)->height();
        }
    }
    if (std::trunc(sum) == 0) {
        // A sheet without any rows still offers a way out: one empty cancel row.
        cancelModel_ = WLSheetModel::modelWithTitleFont(NSString::string(), otherTitlesFont_);
        return cancelModel_->height();
    }
    double limit = bounds().size.height - kTopMargin;
    if (sum <= limit) {
        tableViewShouldFixed_ = true;
        return std::max(sum, kCancelGap);
    }
    tableViewShouldFixed_ = false;
    return std::max(limit, kCancelGap);
}

double WLActionSheet::animationDuration() const {
    UIInterfaceOrientation orientation = appInterface();
    bool landscape = orientation == 3 || orientation == 4;
    double extent = landscape ? bounds().size.width : bounds().size.height;
    double d = static_cast<int32_t>(tableViewHeight_ / extent * 100) / 100.0;
    return std::min(std::max(d, 0.35), 0.5);
}

void WLActionSheet::updateTableView() {
    auto table = tableView();
    table->setScrollEnabled(!tableViewShouldFixed_);
    table->setShowsVerticalScrollIndicator(!tableViewShouldFixed_);
}

Ref<UIWindow> WLActionSheet::statusBarWindow() const {
    if (auto window = UIApplication::sharedApplication()->keyWindow()) {
        return window;
    }
    return UIWindow::keyWindow();
}

UIInterfaceOrientation WLActionSheet::appInterface() const {
    return UIApplication::sharedApplication()->statusBarOrientation();
}

void WLActionSheet::showView() {
    tableViewHeight_ = tableHeight();
    if (auto window = statusBarWindow()) {
        window->addSubview(Ref<UIView>(this));
    }
    addSubview(backgroundView());
    auto table = tableView();
    CGRect frame = table->frame();
    table->setFrame(CGRectMake(frame.origin.x, frame.origin.y, frame.size.width, tableViewHeight_));
    addSubview(table);
    updateTableView();
    showViewAnimation();
}

void WLActionSheet::showViewAnimation() {
    Ref<WLActionSheet> self(this);
    UIView::animateWithDurationAnimations(animationDuration(), [self] {
        auto table = self->tableView();
        CGRect frame = table->frame();
        frame.origin.y = self->bounds().size.height - frame.size.height;
        table->setFrame(frame);
        self->backgroundView()->setAlpha(0.5);
    });
}

void WLActionSheet::dismissViewAnimation() {
    Ref<WLActionSheet> self(this);
    UIView::animateWithDurationAnimationsCompletion(
        animationDuration(),
        [self] {
            auto table = self->tableView();
            CGRect frame = table->frame();
            frame.origin.y = self->bounds().size.height;
            table->setFrame(frame);
            self->backgroundView()->setAlpha(0);
        },
        [self](bool) { self->removeFromSuperview(); });
}

void WLActionSheet::statusBarOrientationDidChangeNotification(const Ref<NSNotification>&) {
    setFrame(UIScreen::mainScreen()->bounds());
    backgroundView()->setFrame(bounds());
    reloadData();
    CGRect b = bounds();
    tableView()->setFrame(CGRectMake(0, b.size.height - tableViewHeight_, b.size.width, tableViewHeight_));
    updateTableView();
}

// MARK: - Table

NSInteger WLActionSheet::numberOfSectionsInTableView(const Ref<UITableView>&) {
    return cancelModel_ ? 2 : 1;
}

NSInteger WLActionSheet::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger section) {
    if (section == 0) {
        return titleRows() + otherCount();
    }
    return cancelModel_ ? 1 : 0;
}

Ref<UITableViewCell> WLActionSheet::tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                                   const Ref<NSIndexPath>&) {
    auto cell = tableView->dequeueReusableCellWithIdentifier(NSString::from(kSheetItem));
    if (!cell) {
        cell = make<WLSheetItem>(UITableViewCellStyleDefault, NSString::from(kSheetItem));
        cell->textLabel()->setNumberOfLines(0);
        cell->textLabel()->setTextAlignment(NSTextAlignmentCenter);
    }
    return cell;
}

void WLActionSheet::tableViewWillDisplayCellForRowAtIndexPath(const Ref<UITableView>&, const Ref<UITableViewCell>& cell,
                                                              const Ref<NSIndexPath>& indexPath) {
    auto label = cell->textLabel();
    if (indexPath->section() == 0 && indexPath->row() == 0 && titleModel_) {
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        label->setText(titleModel_->title());
        label->setTextColor(titleColor_);
        label->setFont(titleFont_);
        return;
    }
    cell->setSelectionStyle(UITableViewCellSelectionStyleDefault);
    label->setFont(otherTitlesFont_);
    label->setTextColor(otherTitlesColor_);
    if (indexPath->section() == 1 && cancelModel_) {
        label->setText(cancelModel_->title());
        label->setTextColor(titleColor_);
        return;
    }
    NSInteger index = indexPath->row() - titleRows();
    if (auto model = otherModelAt(index)) {
        label->setText(model->title());
    }
    if (index == destructiveButtonIndex_) {
        label->setTextColor(destructiveColor_);
    }
}

void WLActionSheet::tableViewWillDisplayHeaderViewForSection(const Ref<UITableView>&, const Ref<UIView>& view,
                                                             NSInteger section) {
    if (section != 1) {
        return;
    }
    if (auto header = cast<UITableViewHeaderFooterView>(view)) {
        header->contentView()->setBackgroundColor(UIColor::groupTableViewBackgroundColor());
    }
}

double WLActionSheet::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& indexPath) {
    if (indexPath->section() == 0) {
        if (titleModel_ && indexPath->row() == 0) {
            return titleModel_->height();
        }
        auto model = otherModelAt(indexPath->row() - titleRows());
        return model ? model->height() : 50;
    }
    return cancelModel_ ? cancelModel_->height() : 50;
}

double WLActionSheet::tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger section) {
    if (!titleModel_ && !otherModels_) {
        return 0;
    }
    return section == 1 ? kCancelGap : 0;
}

void WLActionSheet::tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView,
                                                     const Ref<NSIndexPath>& indexPath) {
    if (indexPath->section() == 0 && indexPath->row() == 0 && titleModel_) {
        return;
    }
    NSInteger index = indexPath->section() != 0 ? otherCount() : indexPath->row() - titleRows();
    if (completionHanlde_) {
        completionHanlde_(index, indexPath->section() == 1);
    }
    dismissViewAnimation();
    tableView->deselectRowAtIndexPathAnimated(indexPath, true);
}

void WLActionSheet::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIView::touchesEndedWithEvent(touches, event);
    if (!touches) {
        return;
    }
    for (const auto& item : *touches) {
        auto touch = cast<UITouch>(item);
        if (touch && touch->view().get() == this) {
            if (completionHanlde_) {
                completionHanlde_(std::numeric_limits<NSInteger>::max(), true);
            }
            dismissViewAnimation();
            return;
        }
    }
}
