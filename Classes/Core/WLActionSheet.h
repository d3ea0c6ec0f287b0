// WLActionSheet: the app's own bottom sheet. A dimmed background over the whole screen and, sliding
// up from the bottom edge, a plain table: an optional title row, the choice rows and, below an
// 8-point gap, a cancel row. The choice is reported once through a block with the chosen index and
// whether it was a cancel; the sheet then slides away and removes itself.
//
// The sheet lays itself over the key window, above the application's own views (the status-bar
// window of this platform is only as high as the status bar, so it cannot hold a full-screen sheet).
// While shown it is held by that window; the caller need not keep it. Main thread only.
#pragma once

#include <Core/WLSheetModel.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSNotificationCenter.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UITableView.h>
#include <UIKit/UIView.h>
#include <UIKit/UIWindow.h>

#include <functional>

class WLActionSheet : public UIView {
    NS_OBJECT(WLActionSheet, UIView)
public:
    // Receives the chosen index (NSIntegerMax for a tap outside the table) and whether it cancels.
    using CompletionHandle = std::function<void(NSInteger index, bool isCancel)>;

    // `initWithFrame:`: the frame is always the main screen's bounds.
    WLActionSheet() : WLActionSheet(CGRectZero) {}
    explicit WLActionSheet(CGRect frame);
    // `initWithTitle:cancelTitle:otherTitles:`: heights are computed with the default fonts.
    WLActionSheet(const Ref<NSString>& title, const Ref<NSString>& cancelTitle, const Ref<NSArray>& otherTitles);

    Ref<NSString> title() const { return title_; }
    void setTitle(const Ref<NSString>& title);
    Ref<NSString> cancelTitle() const { return cancelTitle_; }
    void setCancelTitle(const Ref<NSString>& cancelTitle);
    Ref<NSArray> otherTitles() const { return otherTitles_; }
    void setOtherTitles(const Ref<NSArray>& otherTitles);
    NSInteger destructiveButtonIndex() const { return destructiveButtonIndex_; }
    void setDestructiveButtonIndex(NSInteger index) { destructiveButtonIndex_ = index; }

    // Nil is ignored by these setters. A new font changes the drawing at once, the heights only
    // after reloadData.
    Ref<UIColor> titleColor() const { return titleColor_; }
    void setTitleColor(const Ref<UIColor>& color);
    Ref<UIColor> destructiveColor() const { return destructiveColor_; }
    void setDestructiveColor(const Ref<UIColor>& color);
    Ref<UIColor> otherTitlesColor() const { return otherTitlesColor_; }
    void setOtherTitlesColor(const Ref<UIColor>& color);
    Ref<UIFont> titleFont() const { return titleFont_; }
    void setTitleFont(const Ref<UIFont>& font);
    Ref<UIFont> otherTitlesFont() const { return otherTitlesFont_; }
    void setOtherTitlesFont(const Ref<UIFont>& font);

    // `dismissForCompletionHandle:`: only stores the block.
    void dismissForCompletionHandle(CompletionHandle handle) { completionHanlde_ = std::move(handle); }
    void showView();
    // Recomputes every row height for the current fonts and the table height; the rows themselves
    // are not reloaded.
    void reloadData();

    // Steps of showing and hiding.
    double tableHeight();
    double animationDuration() const;
    void updateTableView();
    void showViewAnimation();
    void dismissViewAnimation();
    Ref<UIWindow> statusBarWindow() const;
    UIInterfaceOrientation appInterface() const;

    Ref<WLSheetModel> titleModel() const { return titleModel_; }
    Ref<WLSheetModel> cancelModel() const { return cancelModel_; }
    Ref<NSArray> otherModels() const { return otherModels_; }
    Ref<UITableView> tableView();
    Ref<UIView> backgroundView();
    double tableViewHeight() const { return tableViewHeight_; }
    bool tableViewShouldFixed() const { return tableViewShouldFixed_; }

    // Table data source and delegate.
    NSInteger numberOfSectionsInTableView(const Ref<UITableView>& tableView);
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section);
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                        const Ref<NSIndexPath>& indexPath);
    void tableViewWillDisplayCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<UITableViewCell>& cell,
                                                   const Ref<NSIndexPath>& indexPath);
    void tableViewWillDisplayHeaderViewForSection(const Ref<UITableView>& tableView, const Ref<UIView>& view,
                                                  NSInteger section);
    double tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);
    double tableViewHeightForHeaderInSection(const Ref<UITableView>& tableView, NSInteger section);
    void tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);

    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void statusBarOrientationDidChangeNotification(const Ref<NSNotification>& notification);

private:
    // 1 when there is a title row (it takes row 0 of section 0), else 0.
    NSInteger titleRows() const { return titleModel_ ? 1 : 0; }
    NSInteger otherCount() const { return otherModels_ ? static_cast<NSInteger>(otherModels_->count()) : 0; }
    Ref<WLSheetModel> otherModelAt(NSInteger index) const;

    Ref<NSString> title_;
    Ref<NSString> cancelTitle_;
    Ref<NSArray> otherTitles_;
    NSInteger destructiveButtonIndex_ = -1;
    Ref<UIColor> titleColor_;
    Ref<UIColor> destructiveColor_;
    Ref<UIColor> otherTitlesColor_;
    Ref<UIFont> titleFont_;
    Ref<UIFont> otherTitlesFont_;

    Ref<WLSheetModel> titleModel_;
    Ref<WLSheetModel> cancelModel_;
    Ref<NSArray> otherModels_;
    Ref<UITableView> tableView_;
    double tableViewHeight_ = 0;
    bool tableViewShouldFixed_ = false;
    Ref<UIView> backgroundView_;
    CompletionHandle completionHanlde_;
};
