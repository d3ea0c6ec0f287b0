#include <Foundation/NSIndexSet.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UITableView.h>
#include <UIKit/UITouch.h>

#include <algorithm>

using uikit_detail::sendIfResponds;

NS_IMPLEMENT_CLASS(UITableView, UIScrollView) {
    b.method("reloadData", &UITableView::reloadData);
    b.method("numberOfSections", &UITableView::numberOfSections);
    b.method("numberOfRowsInSection:", &UITableView::numberOfRowsInSection);
    b.method("cellForRowAtIndexPath:", &UITableView::cellForRowAtIndexPath);
    b.method("dequeueReusableCellWithIdentifier:", &UITableView::dequeueReusableCellWithIdentifier);
    b.method("dequeueReusableCellWithIdentifier:forIndexPath:",
             &UITableView::dequeueReusableCellWithIdentifierForIndexPath);
    b.method("deselectRowAtIndexPath:animated:", &UITableView::deselectRowAtIndexPathAnimated);
    b.method("indexPathForSelectedRow", &UITableView::indexPathForSelectedRow);
    b.property("rowHeight", &UITableView::rowHeight, &UITableView::setRowHeight);
    b.property("tableHeaderView", &UITableView::tableHeaderView, &UITableView::setTableHeaderView);
    b.property("tableFooterView", &UITableView::tableFooterView, &UITableView::setTableFooterView);
    b.property("allowsSelection", &UITableView::allowsSelection, &UITableView::setAllowsSelection);
}

UITableView::UITableView(CGRect frame, UITableViewStyle style) : UIScrollView(frame), style_(style) {
    if (style == UITableViewStyleGrouped) {
        setBackgroundColor(UIColor::groupTableViewBackgroundColor());
    } else {
        setBackgroundColor(UIColor::whiteColor());
    }
}

UITableView::~UITableView() = default;

void UITableView::setDataSource(const id& dataSource) {
    dataSource_ = dataSource;
    needsReload_ = true;
    setNeedsLayout();
}

void UITableView::setDelegate(const id& delegate) {
    tableDelegate_ = delegate;
    UIScrollView::setDelegate(delegate);
    needsReload_ = true;
    setNeedsLayout();
}

void UITableView::setRowHeight(CGFloat height) {
    rowHeight_ = height;
    needsReload_ = true;
    setNeedsLayout();
}

void UITableView::setTableHeaderView(const Ref<UIView>& view) {
    if (tableHeaderView_) {
        tableHeaderView_->removeFromSuperview();
    }
    tableHeaderView_ = view;
    if (view) {
        addSubview(view);
    }
    needsReload_ = true;
    setNeedsLayout();
}

void UITableView::setTableFooterView(const Ref<UIView>& view) {
    if (tableFooterView_) {
        tableFooterView_->removeFromSuperview();
    }
    tableFooterView_ = view;
    if (view) {
        addSubview(view);
    }
    needsReload_ = true;
    setNeedsLayout();
}

void UITableView::setBackgroundView(const Ref<UIView>& view) {
    if (backgroundView_) {
        backgroundView_->removeFromSuperview();
    }
    backgroundView_ = view;
    if (view) {
        view->setFrame(bounds());
        insertSubviewAtIndex(view, 0);
    }
}

// MARK: - Reuse

void UITableView::registerClassForCellReuseIdentifier(Class cellClass, const Ref<NSString>& identifier) {
    if (!identifier) {
        NSException::raise(NSInvalidArgumentException, "a reuse identifier is required");
    }
    if (cellClass && !cellClass->isSubclassOfClass(UITableViewCell::class_())) {
        NSException::raise(NSInvalidArgumentException, "a registered cell class must be a UITableViewCell");
    }
    cellNibs_.erase(identifier->str());
    cellClasses_[identifier->str()] = cellClass;
}

void UITableView::registerNibForCellReuseIdentifier(const Ref<UINib>& nib, const Ref<NSString>& identifier) {
    if (!identifier) {
        NSException::raise(NSInvalidArgumentException, "a reuse identifier is required");
    }
    cellClasses_.erase(identifier->str());
    cellNibs_[identifier->str()] = nib;
}

void UITableView::registerClassForHeaderFooterViewReuseIdentifier(Class viewClass, const Ref<NSString>& identifier) {
    if (!identifier) {
        NSException::raise(NSInvalidArgumentException, "a reuse identifier is required");
    }
    headerClasses_[identifier->str()] = viewClass;
}

Ref<UITableViewCell> UITableView::makeCell(const Ref<NSString>& identifier) {
    const std::string& key = identifier->str();
    if (auto it = cellClasses_.find(key); it != cellClasses_.end() && it->second) {
        auto cell = cast<UITableViewCell>(it->second->createInstance());
        if (!cell) {
            NSException::raise(NSInternalInconsistencyException,
                               "the cell class registered for \"" + key + "\" cannot be created");
        }
        cell->setReuseIdentifier(identifier);
        return cell;
    }
    if (auto it = cellNibs_.find(key); it != cellNibs_.end() && it->second) {
        auto objects = it->second->instantiateWithOwnerOptions(nullptr, nullptr);
        for (const auto& o : *objects) {
            if (auto cell = cast<UITableViewCell>(o)) {
                cell->setReuseIdentifier(identifier);
                return cell;
            }
        }
        NSException::raise(NSInternalInconsistencyException,
                           "the nib registered for \"" + key + "\" holds no table view cell");
    }
    return nullptr;
}

Ref<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const Ref<NSString>& identifier) {
    if (!identifier) {
        return nullptr;
    }
    auto& pool = pool_[identifier->str()];
    if (!pool.empty()) {
        auto cell = pool.back();
        pool.pop_back();
        uikit_detail::send(cell, "prepareForReuse");
        return cell;
    }
    return makeCell(identifier);
}

Ref<UITableViewCell> UITableView::dequeueReusableCellWithIdentifierForIndexPath(const Ref<NSString>& identifier,
                                                                                const Ref<NSIndexPath>&) {
    auto cell = dequeueReusableCellWithIdentifier(identifier);
    if (!cell) {
        NSException::raise(NSInternalInconsistencyException,
                           "unable to dequeue a cell with identifier " + (identifier ? identifier->str() : "(null)") +
                               " - must register a nib or a class for the identifier");
    }
    return cell;
}

Ref<UITableViewHeaderFooterView>
UITableView::dequeueReusableHeaderFooterViewWithIdentifier(const Ref<NSString>& identifier) {
    if (!identifier) {
        return nullptr;
    }
    auto& pool = headerPool_[identifier->str()];
    if (!pool.empty()) {
        auto view = pool.back();
        pool.pop_back();
        uikit_detail::send(view, "prepareForReuse");
        return view;
    }
    auto it = headerClasses_.find(identifier->str());
    if (it == headerClasses_.end()) {
        return nullptr;
    }
    if (!it->second || it->second == UITableViewHeaderFooterView::class_()) {
        return make<UITableViewHeaderFooterView>(identifier);
    }
    return cast<UITableViewHeaderFooterView>(it->second->createInstance());
}

void UITableView::enqueue(const Ref<UITableViewCell>& cell) {
    cell->removeFromSuperview();
    if (auto identifier = cell->reuseIdentifier()) {
        pool_[identifier->str()].push_back(cell);
    }
}

// MARK: - Data

CGFloat UITableView::resolveRowHeight(const id& delegate, const Ref<NSIndexPath>& path) {
    id answer;
    CGFloat h = rowHeight_;
    if (sendIfResponds(delegate, "tableView:heightForRowAtIndexPath:", {Ref<UITableView>(this), path}, &answer)) {
        h = unbox<double>(answer);
    }
    if (h < 0) {
        h = estimatedRowHeight_ > 0 ? estimatedRowHeight_ : 44;
    }
    return h;
}

void UITableView::loadModel() {
    needsReload_ = false;
    Ref<UITableView> self(this);
    auto source = dataSource();
    auto delegate = this->delegate();
    sections_.clear();
    NSInteger count = 1;
    id answer;
    if (sendIfResponds(source, "numberOfSectionsInTableView:", {self}, &answer)) {
        count = std::max(0L, unbox<long>(answer));
    }
    if (!source) {
        count = 0;
    }
    CGFloat y = tableHeaderView_ ? tableHeaderView_->frame().size.height : 0;
    for (NSInteger s = 0; s < count; ++s) {
        Section section;
        section.top = y;
        NSInteger rows = 0;
        if (sendIfResponds(source, "tableView:numberOfRowsInSection:", {self, box(s)}, &answer)) {
            rows = std::max(0L, unbox<long>(answer));
        }
        auto headerHeight = [&](const char* heightSel, const char* viewSel, const char* titleSel,
                                CGFloat fallback) -> CGFloat {
            id a;
            if (sendIfResponds(delegate, heightSel, {self, box(s)}, &a)) {
                CGFloat h = unbox<double>(a);
                return h < 0 ? fallback : h;
            }
            if (sendIfResponds(delegate, viewSel, {self, box(s)}, &a) && a) {
                auto view = cast<UIView>(a);
                return view && view->frame().size.height > 0 ? view->frame().size.height : fallback;
            }
            if (sendIfResponds(source, titleSel, {self, box(s)}, &a) && a) {
                return fallback;
            }
            return style_ == UITableViewStyleGrouped ? fallback : 0;
        };
        section.headerHeight = headerHeight("tableView:heightForHeaderInSection:", "tableView:viewForHeaderInSection:",
                                            "tableView:titleForHeaderInSection:", sectionHeaderHeight_);
        section.footerHeight = headerHeight("tableView:heightForFooterInSection:", "tableView:viewForFooterInSection:",
                                            "tableView:titleForFooterInSection:", sectionFooterHeight_);
        y += section.headerHeight;
        for (NSInteger r = 0; r < rows; ++r) {
            CGFloat h = resolveRowHeight(delegate, NSIndexPath::indexPathForRowInSection(r, s));
            section.rowHeights.push_back(h);
            y += h;
        }
        y += section.footerHeight;
        sections_.push_back(std::move(section));
    }
    CGFloat footer = tableFooterView_ ? tableFooterView_->frame().size.height : 0;
    setContentSize(CGSizeMake(bounds().size.width, y + footer));
}

void UITableView::ensureModel() {
    if (needsReload_) {
        loadModel();
    }
}

void UITableView::reloadData() {
    uikit_detail::assertMainThread("reloadData");
    for (auto& [path, cell] : std::vector(visible_)) {
        enqueue(cell);
    }
    visible_.clear();
    for (auto& [s, view] : headers_) {
        view->removeFromSuperview();
        if (auto hf = cast<UITableViewHeaderFooterView>(view); hf && hf->reuseIdentifier()) {
            headerPool_[hf->reuseIdentifier()->str()].push_back(hf);
        }
    }
    for (auto& [s, view] : footers_) {
        view->removeFromSuperview();
        if (auto hf = cast<UITableViewHeaderFooterView>(view); hf && hf->reuseIdentifier()) {
            headerPool_[hf->reuseIdentifier()->str()].push_back(hf);
        }
    }
    headers_.clear();
    footers_.clear();
    selected_.clear();
    loadModel();
    setNeedsLayout();
}

void UITableView::reloadRowsAtIndexPathsWithRowAnimation(const Ref<NSArray>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::insertRowsAtIndexPathsWithRowAnimation(const Ref<NSArray>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::deleteRowsAtIndexPathsWithRowAnimation(const Ref<NSArray>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::reloadSectionsWithRowAnimation(const Ref<NSIndexSet>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::beginUpdates() {
    ++updates_;
}

void UITableView::endUpdates() {
    if (updates_ > 0 && --updates_ == 0) {
        reloadData();
    }
}

NSInteger UITableView::numberOfSections() {
    ensureModel();
    return static_cast<NSInteger>(sections_.size());
}

NSInteger UITableView::numberOfRowsInSection(NSInteger section) {
    ensureModel();
    if (section < 0 || section >= static_cast<NSInteger>(sections_.size())) {
        NSException::raise(NSRangeException, "section " + std::to_string(section) + " beyond the table's " +
                                                 std::to_string(sections_.size()) + " sections");
    }
    return static_cast<NSInteger>(sections_[static_cast<size_t>(section)].rowHeights.size());
}

// MARK: - Geometry

bool UITableView::validIndexPath(const Ref<NSIndexPath>& p) const {
    return p && p->length() == 2 && p->section() >= 0 && p->section() < static_cast<NSInteger>(sections_.size()) &&
           p->row() >= 0 &&
           p->row() < static_cast<NSInteger>(sections_[static_cast<size_t>(p->section())].rowHeights.size());
}

CGRect UITableView::rectForRowAtIndexPath(const Ref<NSIndexPath>& indexPath) {
    ensureModel();
    if (!validIndexPath(indexPath)) {
        NSException::raise(NSRangeException, "request for the rect of an invalid index path");
    }
    const auto& s = sections_[static_cast<size_t>(indexPath->section())];
    CGFloat y = s.top + s.headerHeight;
    for (NSInteger r = 0; r < indexPath->row(); ++r) {
        y += s.rowHeights[static_cast<size_t>(r)];
    }
    return CGRectMake(0, y, bounds().size.width, s.rowHeights[static_cast<size_t>(indexPath->row())]);
}

CGRect UITableView::rectForSection(NSInteger section) {
    ensureModel();
    if (section < 0 || section >= static_cast<NSInteger>(sections_.size())) {
        NSException::raise(NSRangeException, "request for the rect of an invalid section");
    }
    const auto& s = sections_[static_cast<size_t>(section)];
    CGFloat h = s.headerHeight + s.footerHeight;
    for (CGFloat r : s.rowHeights) {
        h += r;
    }
    return CGRectMake(0, s.top, bounds().size.width, h);
}

Ref<NSIndexPath> UITableView::indexPathAtPoint(CGPoint point) const {
    for (size_t si = 0; si < sections_.size(); ++si) {
        const auto& s = sections_[si];
        CGFloat y = s.top + s.headerHeight;
        for (size_t r = 0; r < s.rowHeights.size(); ++r) {
            if (point.y >= y && point.y < y + s.rowHeights[r]) {
                return NSIndexPath::indexPathForRowInSection(static_cast<NSInteger>(r), static_cast<NSInteger>(si));
            }
            y += s.rowHeights[r];
        }
    }
    return nullptr;
}

Ref<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point) {
    ensureModel();
    return indexPathAtPoint(point);
}

Ref<NSIndexPath> UITableView::indexPathForCell(const Ref<UITableViewCell>& cell) const {
    for (const auto& [path, c] : visible_) {
        if (c == cell) {
            return path;
        }
    }
    return nullptr;
}

Ref<UITableViewCell> UITableView::cellForRowAtIndexPath(const Ref<NSIndexPath>& indexPath) const {
    for (const auto& [path, cell] : visible_) {
        if (path->isEqual(indexPath)) {
            return cell;
        }
    }
    return nullptr;
}

Ref<NSArray> UITableView::visibleCells() const {
    std::vector<id> out;
    for (const auto& [path, cell] : visible_) {
        out.push_back(cell);
    }
    return NSArray::arrayWithVector(std::move(out));
}

Ref<NSArray> UITableView::indexPathsForVisibleRows() const {
    std::vector<id> out;
    for (const auto& [path, cell] : visible_) {
        out.push_back(path);
    }
    return NSArray::arrayWithVector(std::move(out));
}

Ref<UITableViewHeaderFooterView> UITableView::headerViewForSection(NSInteger section) const {
    auto it = headers_.find(section);
    return it == headers_.end() ? nullptr : cast<UITableViewHeaderFooterView>(it->second);
}

void UITableView::scrollToRowAtIndexPathAtScrollPositionAnimated(const Ref<NSIndexPath>& indexPath,
                                                                 UITableViewScrollPosition position, bool animated) {
    CGRect row = rectForRowAtIndexPath(indexPath);
    CGRect b = bounds();
    CGFloat y = b.origin.y;
    switch (position) {
    case UITableViewScrollPositionTop:
        y = row.origin.y;
        break;
    case UITableViewScrollPositionMiddle:
        y = CGRectGetMidY(row) - b.size.height / 2;
        break;
    case UITableViewScrollPositionBottom:
        y = CGRectGetMaxY(row) - b.size.height;
        break;
    case UITableViewScrollPositionNone:
        scrollRectToVisibleAnimated(row, animated);
        return;
    }
    y = std::max(0.0, std::min(y, std::max(0.0, contentSize().height - b.size.height)));
    setContentOffsetAnimated(CGPointMake(b.origin.x, y), animated);
}

// MARK: - Layout

void UITableView::contentOffsetDidChange() {
    if (!needsReload_) {
        layoutVisible();
    }
}

void UITableView::boundsSizeDidChange(CGSize oldSize) {
    UIScrollView::boundsSizeDidChange(oldSize);
    needsReload_ = true;
}

void UITableView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    ensureModel();
    layoutVisible();
}

void UITableView::layoutVisible() {
    if (inLayout_) {
        return;
    }
    inLayout_ = true;
    Ref<UITableView> self(this);
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{inLayout_};
    auto source = dataSource();
    auto delegate = this->delegate();
    CGRect b = bounds();
    CGFloat width = b.size.width;
    CGFloat top = b.origin.y;
    CGFloat bottom = b.origin.y + b.size.height;
    if (tableHeaderView_) {
        CGRect f = tableHeaderView_->frame();
        tableHeaderView_->setFrame(CGRectMake(0, 0, width, f.size.height));
    }
    if (backgroundView_) {
        backgroundView_->setFrame(b);
    }
    std::vector<std::pair<Ref<NSIndexPath>, Ref<UITableViewCell>>> next;
    std::vector<std::pair<Ref<NSIndexPath>, Ref<UITableViewCell>>> old = std::move(visible_);
    visible_.clear();
    auto takeOld = [&](const Ref<NSIndexPath>& path) -> Ref<UITableViewCell> {
        for (auto it = old.begin(); it != old.end(); ++it) {
            if (it->first->isEqual(path)) {
                auto cell = it->second;
                old.erase(it);
                return cell;
            }
        }
        return nullptr;
    };
    // Cells of rows that no longer show go back to their pools first, so the new rows reuse them.
    {
        std::vector<std::pair<Ref<NSIndexPath>, Ref<UITableViewCell>>> keep;
        for (auto& entry : old) {
            CGRect r = validIndexPath(entry.first) ? rectForRowAtIndexPath(entry.first) : CGRectNull;
            if (!CGRectIsNull(r) && CGRectGetMaxY(r) > top && r.origin.y < bottom) {
                keep.push_back(entry);
            } else {
                enqueue(entry.second);
                sendIfResponds(delegate,
                               "tableView:didEndDisplayingCell:forRowAtIndexPath:", {self, entry.second, entry.first});
            }
        }
        old = std::move(keep);
    }
    for (size_t si = 0; si < sections_.size(); ++si) {
        const auto& s = sections_[si];
        auto section = static_cast<NSInteger>(si);
        CGFloat y = s.top;
        // The header.
        auto placeSupplementary = [&](std::map<NSInteger, Ref<UIView>>& store, CGFloat at, CGFloat height,
                                      const char* viewSel, const char* titleSel) {
            bool shows = height > 0 && at + height > top && at < bottom;
            auto it = store.find(section);
            if (!shows) {
                if (it != store.end()) {
                    it->second->removeFromSuperview();
                    store.erase(it);
                }
                return;
            }
            Ref<UIView> view = it != store.end() ? it->second : nullptr;
            if (!view) {
                id answer;
                if (sendIfResponds(delegate, viewSel, {self, box(section)}, &answer)) {
                    view = cast<UIView>(answer);
                }
                if (!view && sendIfResponds(source, titleSel, {self, box(section)}, &answer) && answer) {
                    auto header = make<UITableViewHeaderFooterView>(nullptr);
                    header->textLabel()->setText(cast<NSString>(answer));
                    view = header;
                }
                if (!view) {
                    return;
                }
                store[section] = view;
                addSubview(view);
            }
            view->setFrame(CGRectMake(0, at, width, height));
        };
        placeSupplementary(headers_, y, s.headerHeight,
                           "tableView:viewForHeaderInSection:", "tableView:titleForHeaderInSection:");
        y += s.headerHeight;
        for (size_t r = 0; r < s.rowHeights.size(); ++r) {
            CGFloat h = s.rowHeights[r];
            bool shows = y + h > top && y < bottom;
            if (shows) {
                auto path = NSIndexPath::indexPathForRowInSection(static_cast<NSInteger>(r), section);
                auto cell = takeOld(path);
                bool fresh = !cell;
                if (fresh) {
                    id answer;
                    sendIfResponds(source, "tableView:cellForRowAtIndexPath:", {self, path}, &answer);
                    cell = cast<UITableViewCell>(answer);
                    if (!cell) {
                        NSException::raise(NSInternalInconsistencyException,
                                           "UITableView dataSource must return a cell from "
                                           "tableView:cellForRowAtIndexPath:");
                    }
                }
                cell->setFrame(CGRectMake(0, y, width, h));
                cell->adoptTableSeparator(separatorStyle_ != UITableViewCellSeparatorStyleNone, separatorColor_,
                                          separatorInset_);
                if (fresh) {
                    bool selected = std::any_of(selected_.begin(), selected_.end(),
                                                [&path = path](const Ref<NSIndexPath>& p) { return p->isEqual(path); });
                    cell->setSelectedAnimated(selected, false);
                    if (cell->superview().get() != this) {
                        addSubview(cell);
                    }
                    sendIfResponds(delegate, "tableView:willDisplayCell:forRowAtIndexPath:", {self, cell, path});
                }
                visible_.emplace_back(path, cell);
            }
            y += h;
        }
        placeSupplementary(footers_, y, s.footerHeight,
                           "tableView:viewForFooterInSection:", "tableView:titleForFooterInSection:");
    }
    for (auto& [path, cell] : old) {
        enqueue(cell);
        sendIfResponds(delegate, "tableView:didEndDisplayingCell:forRowAtIndexPath:", {self, cell, path});
    }
    if (tableFooterView_) {
        CGRect f = tableFooterView_->frame();
        CGFloat footer = tableFooterView_->frame().size.height;
        tableFooterView_->setFrame(CGRectMake(0, contentSize().height - footer, width, f.size.height));
    }
}

// MARK: - Separators

void UITableView::setSeparatorStyle(UITableViewCellSeparatorStyle style) {
    separatorStyle_ = style;
    setNeedsLayout();
}

void UITableView::setSeparatorInset(UIEdgeInsets inset) {
    separatorInset_ = inset;
    setNeedsLayout();
}

void UITableView::setSeparatorColor(const Ref<UIColor>& colour) {
    separatorColor_ = colour;
    setNeedsLayout();
}

// MARK: - Selection

Ref<NSIndexPath> UITableView::indexPathForSelectedRow() const {
    return selected_.empty() ? nullptr : selected_.front();
}

Ref<NSArray> UITableView::indexPathsForSelectedRows() const {
    if (selected_.empty()) {
        return nullptr;
    }
    return NSArray::arrayWithRefs(selected_);
}

void UITableView::updateCellSelection() {
    for (const auto& [path, cell] : visible_) {
        bool selected = std::any_of(selected_.begin(), selected_.end(),
                                    [&path = path](const Ref<NSIndexPath>& p) { return p->isEqual(path); });
        if (cell->isSelected() != selected) {
            uikit_detail::send(cell, "setSelected:animated:", {box(selected), box(false)});
        }
    }
}

void UITableView::selectRowAtIndexPathAnimatedScrollPosition(const Ref<NSIndexPath>& indexPath, bool animated,
                                                             UITableViewScrollPosition position) {
    ensureModel();
    if (!allowsMultipleSelection_) {
        selected_.clear();
    }
    if (indexPath && validIndexPath(indexPath)) {
        if (!std::any_of(selected_.begin(), selected_.end(),
                         [&](const Ref<NSIndexPath>& p) { return p->isEqual(indexPath); })) {
            selected_.push_back(indexPath);
        }
        if (position != UITableViewScrollPositionNone) {
            scrollToRowAtIndexPathAtScrollPositionAnimated(indexPath, position, animated);
        }
    }
    updateCellSelection();
}

void UITableView::deselectRowAtIndexPathAnimated(const Ref<NSIndexPath>& indexPath, bool) {
    std::erase_if(selected_, [&](const Ref<NSIndexPath>& p) { return p->isEqual(indexPath); });
    updateCellSelection();
}

void UITableView::userSelectRowAtIndexPath(const Ref<NSIndexPath>& indexPath) {
    ensureModel();
    if (!allowsSelection_ || !validIndexPath(indexPath)) {
        return;
    }
    Ref<UITableView> self(this);
    auto delegate = this->delegate();
    id answer;
    if (sendIfResponds(delegate, "tableView:shouldHighlightRowAtIndexPath:", {self, indexPath}, &answer) &&
        !unbox<bool>(answer)) {
        return;
    }
    Ref<NSIndexPath> path = indexPath;
    if (sendIfResponds(delegate, "tableView:willSelectRowAtIndexPath:", {self, path}, &answer)) {
        path = cast<NSIndexPath>(answer);
        if (!path || !validIndexPath(path)) {
            return;
        }
    }
    if (!allowsMultipleSelection_) {
        for (const auto& previous : std::vector<Ref<NSIndexPath>>(selected_)) {
            if (previous->isEqual(path)) {
                continue;
            }
            if (sendIfResponds(delegate, "tableView:willDeselectRowAtIndexPath:", {self, previous}, &answer) &&
                !answer) {
                continue;
            }
            deselectRowAtIndexPathAnimated(previous, false);
            sendIfResponds(delegate, "tableView:didDeselectRowAtIndexPath:", {self, previous});
        }
    } else if (std::any_of(selected_.begin(), selected_.end(),
                           [&](const Ref<NSIndexPath>& p) { return p->isEqual(path); })) {
        deselectRowAtIndexPathAnimated(path, false);
        sendIfResponds(delegate, "tableView:didDeselectRowAtIndexPath:", {self, path});
        return;
    }
    selectRowAtIndexPathAnimatedScrollPosition(path, false, UITableViewScrollPositionNone);
    sendIfResponds(delegate, "tableView:didSelectRowAtIndexPath:", {self, path});
}

void UITableView::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto touch = cast<UITouch>(touches->anyObject());
    touched_ = touch ? indexPathAtPoint(touch->locationInView(Ref<UIView>(this))) : nullptr;
    if (auto cell = touched_ ? cellForRowAtIndexPath(touched_) : nullptr) {
        cell->setHighlighted(true);
    }
}

void UITableView::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto touch = cast<UITouch>(touches->anyObject());
    auto path = touch ? indexPathAtPoint(touch->locationInView(Ref<UIView>(this))) : nullptr;
    if (touched_) {
        if (auto cell = cellForRowAtIndexPath(touched_)) {
            cell->setHighlighted(false);
        }
    }
    if (path && touched_ && path->isEqual(touched_)) {
        userSelectRowAtIndexPath(path);
    }
    touched_ = nullptr;
}

void UITableView::touchesCancelledWithEvent(const Ref<NSSet>&, const Ref<UIEvent>&) {
    if (touched_) {
        if (auto cell = cellForRowAtIndexPath(touched_)) {
            cell->setHighlighted(false);
        }
    }
    touched_ = nullptr;
}
