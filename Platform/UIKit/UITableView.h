// UITableView: a scrolling list of sections of rows. The data source (UITableViewDataSource) and
// the delegate (UITableViewDelegate), both held weakly, are asked by selector, and only for the
// methods they respond to: counts and cells from the data source; heights, header and footer
// views, display, highlight and selection from the delegate.
//
// The table makes cells only for the rows that show in its bounds (at layout: layoutIfNeeded, or
// the next layout pass), puts the cells that leave into a pool per reuse identifier, and hands
// them out again from dequeueReusableCellWithIdentifier: after sending prepareForReuse. Row
// insertions, deletions and reloads of parts reload the whole table.
#pragma once

#include <UIKit/NSIndexPath.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScrollView.h>
#include <UIKit/UITableViewCell.h>
#include <UIKit/UITableViewHeaderFooterView.h>

#include <map>

enum UITableViewStyle : NSInteger {
    UITableViewStylePlain = 0,
    UITableViewStyleGrouped = 1,
};

enum UITableViewScrollPosition : NSInteger {
    UITableViewScrollPositionNone = 0,
    UITableViewScrollPositionTop = 1,
    UITableViewScrollPositionMiddle = 2,
    UITableViewScrollPositionBottom = 3,
};

enum UITableViewRowAnimation : NSInteger {
    UITableViewRowAnimationFade = 0,
    UITableViewRowAnimationRight = 1,
    UITableViewRowAnimationLeft = 2,
    UITableViewRowAnimationTop = 3,
    UITableViewRowAnimationBottom = 4,
    UITableViewRowAnimationNone = 5,
    UITableViewRowAnimationMiddle = 6,
    UITableViewRowAnimationAutomatic = 100,
};

enum UITableViewCellSeparatorStyle : NSInteger {
    UITableViewCellSeparatorStyleNone = 0,
    UITableViewCellSeparatorStyleSingleLine = 1,
};

inline constexpr CGFloat UITableViewAutomaticDimension = -1;

class UITableView : public UIScrollView {
    NS_OBJECT(UITableView, UIScrollView)
public:
    UITableView() : UITableView(CGRectZero, UITableViewStylePlain) {}
    explicit UITableView(CGRect frame) : UITableView(frame, UITableViewStylePlain) {}
    // `initWithFrame:style:`.
    UITableView(CGRect frame, UITableViewStyle style);
    ~UITableView() override;

    UITableViewStyle style() const noexcept { return style_; }
    id dataSource() const { return dataSource_.lock(); }
    void setDataSource(const id& dataSource);
    id delegate() const { return tableDelegate_.lock(); }
    void setDelegate(const id& delegate);

    CGFloat rowHeight() const noexcept { return rowHeight_; }
    void setRowHeight(CGFloat height);
    CGFloat estimatedRowHeight() const noexcept { return estimatedRowHeight_; }
    void setEstimatedRowHeight(CGFloat height) { estimatedRowHeight_ = height; }
    CGFloat sectionHeaderHeight() const noexcept { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(CGFloat height) { sectionHeaderHeight_ = height; }
    CGFloat sectionFooterHeight() const noexcept { return sectionFooterHeight_; }
    void setSectionFooterHeight(CGFloat height) { sectionFooterHeight_ = height; }
    Ref<UIView> tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(const Ref<UIView>& view);
    Ref<UIView> tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(const Ref<UIView>& view);
    UITableViewCellSeparatorStyle separatorStyle() const noexcept { return separatorStyle_; }
    // The separator settings reach the cells at the next layout pass.
    void setSeparatorStyle(UITableViewCellSeparatorStyle style);
    UIEdgeInsets separatorInset() const noexcept { return separatorInset_; }
    void setSeparatorInset(UIEdgeInsets inset);
    Ref<UIColor> separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const Ref<UIColor>& colour);
    bool allowsSelection() const noexcept { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    bool allowsMultipleSelection() const noexcept { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    Ref<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const Ref<UIView>& view);

    // Reuse.
    void registerClassForCellReuseIdentifier(Class cellClass, const Ref<NSString>& identifier);
    void registerNibForCellReuseIdentifier(const Ref<UINib>& nib, const Ref<NSString>& identifier);
    void registerClassForHeaderFooterViewReuseIdentifier(Class viewClass, const Ref<NSString>& identifier);
    // A pooled cell (after prepareForReuse), a new one of the registered class or nib, or nil.
    Ref<UITableViewCell> dequeueReusableCellWithIdentifier(const Ref<NSString>& identifier);
    // As above, but raises NSInternalInconsistencyException when nothing is registered.
    Ref<UITableViewCell> dequeueReusableCellWithIdentifierForIndexPath(const Ref<NSString>& identifier,
                                                                       const Ref<NSIndexPath>& indexPath);
    Ref<UITableViewHeaderFooterView> dequeueReusableHeaderFooterViewWithIdentifier(const Ref<NSString>& identifier);

    // Data.
    void reloadData();
    void reloadRowsAtIndexPathsWithRowAnimation(const Ref<NSArray>& indexPaths, UITableViewRowAnimation animation);
    void insertRowsAtIndexPathsWithRowAnimation(const Ref<NSArray>& indexPaths, UITableViewRowAnimation animation);
    void deleteRowsAtIndexPathsWithRowAnimation(const Ref<NSArray>& indexPaths, UITableViewRowAnimation animation);
    void reloadSectionsWithRowAnimation(const Ref<NSIndexSet>& sections, UITableViewRowAnimation animation);
    void beginUpdates();
    void endUpdates();
    NSInteger numberOfSections();
    NSInteger numberOfRowsInSection(NSInteger section);

    // Geometry and the visible part.
    CGRect rectForRowAtIndexPath(const Ref<NSIndexPath>& indexPath);
    CGRect rectForSection(NSInteger section);
    Ref<NSIndexPath> indexPathForRowAtPoint(CGPoint point);
    Ref<NSIndexPath> indexPathForCell(const Ref<UITableViewCell>& cell) const;
    // The visible cell of a row, nil when the row does not show.
    Ref<UITableViewCell> cellForRowAtIndexPath(const Ref<NSIndexPath>& indexPath) const;
    Ref<NSArray> visibleCells() const;
    Ref<NSArray> indexPathsForVisibleRows() const;
    Ref<UITableViewHeaderFooterView> headerViewForSection(NSInteger section) const;
    void scrollToRowAtIndexPathAtScrollPositionAnimated(const Ref<NSIndexPath>& indexPath,
                                                        UITableViewScrollPosition position, bool animated);

    // Selection, in code (no delegate calls, as on the platform).
    Ref<NSIndexPath> indexPathForSelectedRow() const;
    Ref<NSArray> indexPathsForSelectedRows() const;
    void selectRowAtIndexPathAnimatedScrollPosition(const Ref<NSIndexPath>& indexPath, bool animated,
                                                    UITableViewScrollPosition position);
    void deselectRowAtIndexPathAnimated(const Ref<NSIndexPath>& indexPath, bool animated);
    // What a tap on a row does: highlight, willSelect, select, didSelect (by selector).
    void userSelectRowAtIndexPath(const Ref<NSIndexPath>& indexPath);

    void layoutSubviews() override;
    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

protected:
    void contentOffsetDidChange() override;
    void boundsSizeDidChange(CGSize oldSize) override;

private:
    struct Section {
        CGFloat headerHeight = 0;
        CGFloat footerHeight = 0;
        std::vector<CGFloat> rowHeights;
        CGFloat top = 0; // of the header, in content coordinates
    };
    void loadModel();
    void ensureModel();
    void layoutVisible();
    void enqueue(const Ref<UITableViewCell>& cell);
    bool validIndexPath(const Ref<NSIndexPath>& indexPath) const;
    Ref<NSIndexPath> indexPathAtPoint(CGPoint point) const;
    Ref<UITableViewCell> makeCell(const Ref<NSString>& identifier);
    void updateCellSelection();
    CGFloat resolveRowHeight(const id& delegate, const Ref<NSIndexPath>& path);

    UITableViewStyle style_;
    Weak<NSObject> dataSource_;
    Weak<NSObject> tableDelegate_;
    CGFloat rowHeight_ = 44;
    CGFloat estimatedRowHeight_ = 0;
    CGFloat sectionHeaderHeight_ = 28;
    CGFloat sectionFooterHeight_ = 28;
    Ref<UIView> tableHeaderView_;
    Ref<UIView> tableFooterView_;
    Ref<UIView> backgroundView_;
    UITableViewCellSeparatorStyle separatorStyle_ = UITableViewCellSeparatorStyleSingleLine;
    UIEdgeInsets separatorInset_{0, 15, 0, 0};
    Ref<UIColor> separatorColor_;
    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    bool needsReload_ = true;
    bool inLayout_ = false;
    int updates_ = 0;
    std::vector<Section> sections_;
    std::map<std::string, Class> cellClasses_;
    std::map<std::string, Ref<UINib>> cellNibs_;
    std::map<std::string, Class> headerClasses_;
    std::map<std::string, std::vector<Ref<UITableViewCell>>> pool_;
    std::map<std::string, std::vector<Ref<UITableViewHeaderFooterView>>> headerPool_;
    std::vector<std::pair<Ref<NSIndexPath>, Ref<UITableViewCell>>> visible_;
    std::map<NSInteger, Ref<UIView>> headers_;
    std::map<NSInteger, Ref<UIView>> footers_;
    std::vector<Ref<NSIndexPath>> selected_;
    Ref<NSIndexPath> touched_;
};
