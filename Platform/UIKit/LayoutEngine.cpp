#include <Foundation/NSLog.h>
#include <UIKit/LayoutEngine.h>
#include <UIKit/LayoutSolver.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UILabel.h>
#include <UIKit/UILayoutGuide.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIView.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace uikit_detail {

namespace {

using Expr = LayoutSolver::Expression;
using Relation = LayoutSolver::Relation;

// Below every priority a constraint can have: keeps free views where they are.
constexpr double kStayPriority = 0.001;

bool placedByConstraints(const UIView* view) {
    return !view->translatesAutoresizingMaskIntoConstraints() && view->superview();
}

UIView* islandRoot(UIView* view) {
    UIView* v = view;
    while (placedByConstraints(v)) {
        v = v->superview().get();
    }
    return v;
}

// The untransformed frame of a view in its superview's bounds coordinates (the alignment rect).
CGRect alignmentFrame(const UIView* view) {
    CGRect b = view->bounds();
    CGPoint c = view->center();
    CGPoint a = view->layer()->anchorPoint();
    return CGRectMake(c.x - b.size.width * a.x, c.y - b.size.height * a.y, b.size.width, b.size.height);
}

// Where a view lies now in the root's bounds coordinates.
CGRect currentRectInRoot(const UIView* view, const UIView* root) {
    if (view == root) {
        return root->bounds();
    }
    auto parent = view->superview();
    CGRect p = currentRectInRoot(parent.get(), root);
    CGRect f = alignmentFrame(view);
    CGPoint origin = parent->bounds().origin;
    return CGRectMake(p.origin.x + f.origin.x - origin.x, p.origin.y + f.origin.y - origin.y, f.size.width,
                      f.size.height);
}

CGFloat roundToPixel(CGFloat value, CGFloat scale) {
    return std::round(value * scale) / scale;
}

// The rectangle of a layout item in the root's coordinates, as expressions of the unknowns.
struct ItemRect {
    Expr left, top, width, height;
    bool placed = false; // its four values are variables of the solver
    LayoutSolver::Variable vars[4] = {0, 0, 0, 0};
};

struct PendingConstraint {
    Expr expression;
    Relation relation;
    double priority;
    Ref<NSLayoutConstraint> source; // nil for intrinsic sizes and stays
};

std::vector<Weak<NSLayoutConstraint>>& reportedConstraints() {
    static auto* list = new std::vector<Weak<NSLayoutConstraint>>;
    return *list;
}

// Logs a required constraint left out, once per constraint.
void reportUnsatisfiable(const Ref<NSLayoutConstraint>& constraint) {
    auto& list = reportedConstraints();
    std::erase_if(list, [](const Weak<NSLayoutConstraint>& w) { return w.expired(); });
    for (const auto& w : list) {
        if (w.lock() == constraint) {
            return;
        }
    }
    list.emplace_back(constraint);
    NSLog("Unable to simultaneously satisfy constraints.\nWill attempt to recover by breaking constraint \n%@",
          constraint);
}

class System {
public:
    explicit System(UIView* root) : root_(root) {}

    // Collects the constraints of the root's tree; false when there are none.
    bool build() {
        collect(root_);
        return !constraints_.empty();
    }

    void solve() {
        for (auto& p : pending_) {
            if (!solver_.addConstraint(p.expression, p.relation, p.priority) && p.source) {
                reportUnsatisfiable(p.source);
            }
        }
    }

    // The solved rectangle of a view in the root's coordinates, rounded to pixels.
    CGRect solvedRect(UIView* view) {
        const ItemRect& r = rectOfView(view);
        return rounded(r);
    }

    bool isPlaced(UIView* view) const {
        auto it = rects_.find(view);
        return it != rects_.end() && it->second.placed;
    }

    // The frame `view` should have in its superview.
    CGRect solvedFrame(UIView* view) {
        auto parent = view->superview();
        CGRect mine = solvedRect(view);
        CGRect theirs = solvedRect(parent.get());
        CGPoint origin = parent->bounds().origin;
        return CGRectMake(mine.origin.x - theirs.origin.x + origin.x, mine.origin.y - theirs.origin.y + origin.y,
                          mine.size.width, mine.size.height);
    }

    CGRect solvedGuideFrame(UILayoutGuide* guide) {
        auto owner = guide->owningView();
        CGRect mine = rounded(rectOfItem(guide));
        CGRect theirs = solvedRect(owner.get());
        CGPoint origin = owner->bounds().origin;
        return CGRectMake(mine.origin.x - theirs.origin.x + origin.x, mine.origin.y - theirs.origin.y + origin.y,
                          mine.size.width, mine.size.height);
    }

    const std::vector<UIView*>& placedViews() const { return placedViews_; }
    const std::vector<UILayoutGuide*>& placedGuides() const { return placedGuides_; }

private:
    void collect(UIView* view) {
        for (const auto& c : view->constraintList()) {
            addModelConstraint(c);
        }
        for (const auto& sub : view->subviewList()) {
            collect(sub.get());
        }
    }

    bool inTree(const id& item) const {
        if (auto v = cast<UIView>(item)) {
            return v.get() == root_ || v->isDescendantOfView(Ref<UIView>(root_));
        }
        if (auto g = cast<UILayoutGuide>(item)) {
            auto owner = g->owningView();
            return owner && (owner.get() == root_ || owner->isDescendantOfView(Ref<UIView>(root_)));
        }
        return false;
    }

    void addModelConstraint(const Ref<NSLayoutConstraint>& c) {
        id first = c->firstItem();
        id second = c->secondItem();
        if (!first || !inTree(first) || (second && !inTree(second))) {
            return;
        }
        constraints_.push_back(c);
        // Positions are measured in the bounds of the view that holds the constraint, so that a
        // multiplier scales distances from its origin (the superview's centre X times 0.5 is a
        // quarter of its width) wherever that view lies.
        auto holder = c->installedView();
        UIView* container = holder ? holder.get() : root_;
        Expr e = attributeIn(container, first, c->firstAttribute());
        if (second) {
            e.add(attributeIn(container, second, c->secondAttribute()), -c->multiplier());
        }
        e.add(-c->constant());
        Relation r = c->relation() == NSLayoutRelationEqual             ? Relation::Equal
                     : c->relation() == NSLayoutRelationLessThanOrEqual ? Relation::LessOrEqual
                                                                        : Relation::GreaterOrEqual;
        pending_.push_back({std::move(e), r, std::clamp<double>(c->priority(), 1, 1000), c});
    }

    CGRect rounded(const ItemRect& r) {
        CGFloat scale = scale_ > 0 ? scale_ : (scale_ = UIScreen::mainScreen()->scale());
        auto eval = [&](const Expr& e) {
            double v = e.constant;
            for (const auto& t : e.terms) {
                v += t.coefficient * solver_.value(t.variable);
            }
            return v;
        };
        double l = eval(r.left), t = eval(r.top), w = eval(r.width), h = eval(r.height);
        double x0 = roundToPixel(l, scale), y0 = roundToPixel(t, scale);
        double x1 = roundToPixel(l + w, scale), y1 = roundToPixel(t + h, scale);
        return CGRectMake(x0, y0, x1 - x0, y1 - y0);
    }

    ItemRect makePlaced(CGRect current) {
        ItemRect r;
        r.placed = true;
        double values[4] = {current.origin.x, current.origin.y, current.size.width, current.size.height};
        for (int i = 0; i < 4; ++i) {
            r.vars[i] = solver_.addVariable();
            if (!std::isfinite(values[i])) {
                continue;
            }
            Expr stay = Expr::of(r.vars[i]);
            stay.add(-values[i]);
            stays_.push_back({std::move(stay), Relation::Equal, kStayPriority, nullptr});
        }
        r.left = Expr::of(r.vars[0]);
        r.top = Expr::of(r.vars[1]);
        r.width = Expr::of(r.vars[2]);
        r.height = Expr::of(r.vars[3]);
        return r;
    }

    const ItemRect& rectOfView(UIView* view) {
        if (auto it = rects_.find(view); it != rects_.end()) {
            return it->second;
        }
        ItemRect r;
        if (view == root_) {
            CGRect b = view->bounds();
            r.left = Expr(b.origin.x);
            r.top = Expr(b.origin.y);
            r.width = Expr(b.size.width);
            r.height = Expr(b.size.height);
        } else if (!view->translatesAutoresizingMaskIntoConstraints()) {
            rectOfView(view->superview().get()); // its frame is reported relative to the superview
            r = makePlaced(currentRectInRoot(view, root_));
            addIntrinsicSize(view, r);
            placedViews_.push_back(view);
        } else {
            auto parent = view->superview();
            ItemRect p = rectOfView(parent.get());
            CGRect f = alignmentFrame(view);
            CGPoint origin = parent->bounds().origin;
            r.left = p.left;
            r.left.add(f.origin.x - origin.x);
            r.top = p.top;
            r.top.add(f.origin.y - origin.y);
            r.width = Expr(f.size.width);
            r.height = Expr(f.size.height);
        }
        return rects_.emplace(view, std::move(r)).first->second;
    }

    void addIntrinsicSize(UIView* view, const ItemRect& r) {
        CGSize size = view->intrinsicContentSize();
        auto axis = [&](double value, const Expr& length, UILayoutConstraintAxis a) {
            if (!(value >= 0) || std::isinf(value)) {
                return; // no intrinsic metric on this axis
            }
            Expr e = length;
            e.add(-value);
            double hugging = view->contentHuggingPriorityForAxis(a);
            double compression = view->contentCompressionResistancePriorityForAxis(a);
            if (compression > 0) {
                pending_.push_back({e, Relation::GreaterOrEqual, std::min(compression, 1000.0), nullptr});
            }
            if (hugging > 0) {
                pending_.push_back({e, Relation::LessOrEqual, std::min(hugging, 1000.0), nullptr});
            }
        };
        axis(size.width, r.width, UILayoutConstraintAxisHorizontal);
        axis(size.height, r.height, UILayoutConstraintAxisVertical);
    }

    ItemRect rectOfItem(UILayoutGuide* guide) {
        if (auto it = guideRects_.find(guide); it != guideRects_.end()) {
            return it->second;
        }
        auto owner = guide->owningView();
        ItemRect o = rectOfView(owner.get());
        ItemRect r;
        auto inset = [&](UIEdgeInsets in) {
            r.left = o.left;
            r.left.add(in.left);
            r.top = o.top;
            r.top.add(in.top);
            r.width = o.width;
            r.width.add(-in.left - in.right);
            r.height = o.height;
            r.height.add(-in.top - in.bottom);
        };
        switch (guide->kind()) {
        case UILayoutGuide::Kind::SafeArea:
            inset(owner->safeAreaInsets());
            break;
        case UILayoutGuide::Kind::Margins:
            inset(owner->layoutMargins());
            break;
        case UILayoutGuide::Kind::TopLayoutSupport:
            r.left = o.left;
            r.top = o.top;
            r.width = o.width;
            r.height = Expr(guide->length());
            break;
        case UILayoutGuide::Kind::BottomLayoutSupport:
            r.left = o.left;
            r.top = o.top;
            r.top.add(o.height).add(-guide->length());
            r.width = o.width;
            r.height = Expr(guide->length());
            break;
        case UILayoutGuide::Kind::Plain: {
            CGRect ownerNow = currentRectInRoot(owner.get(), root_);
            CGRect f = guide->layoutFrame();
            CGPoint origin = owner->bounds().origin;
            r = makePlaced(CGRectMake(ownerNow.origin.x + f.origin.x - origin.x,
                                      ownerNow.origin.y + f.origin.y - origin.y, f.size.width, f.size.height));
            placedGuides_.push_back(guide);
            break;
        }
        }
        guideRects_.emplace(guide, r);
        return r;
    }

    ItemRect rectOf(const id& item) {
        if (auto v = cast<UIView>(item)) {
            return rectOfView(v.get());
        }
        return rectOfItem(cast<UILayoutGuide>(item).get());
    }

    Expr attributeIn(UIView* container, const id& item, NSLayoutAttribute a) {
        Expr e = attribute(item, a);
        bool horizontal = a == NSLayoutAttributeLeft || a == NSLayoutAttributeRight || a == NSLayoutAttributeLeading ||
                          a == NSLayoutAttributeTrailing || a == NSLayoutAttributeCenterX ||
                          a == NSLayoutAttributeLeftMargin || a == NSLayoutAttributeRightMargin ||
                          a == NSLayoutAttributeLeadingMargin || a == NSLayoutAttributeTrailingMargin ||
                          a == NSLayoutAttributeCenterXWithinMargins;
        bool vertical = a == NSLayoutAttributeTop || a == NSLayoutAttributeBottom || a == NSLayoutAttributeCenterY ||
                        a == NSLayoutAttributeLastBaseline || a == NSLayoutAttributeFirstBaseline ||
                        a == NSLayoutAttributeTopMargin || a == NSLayoutAttributeBottomMargin ||
                        a == NSLayoutAttributeCenterYWithinMargins;
        if (horizontal || vertical) {
            const ItemRect& c = rectOfView(container);
            CGPoint origin = container->bounds().origin;
            e.add(horizontal ? c.left : c.top, -1);
            e.add(horizontal ? origin.x : origin.y);
        }
        return e;
    }

    Expr attribute(const id& item, NSLayoutAttribute a) {
        ItemRect r = rectOf(item);
        UIEdgeInsets m{};
        if (auto v = cast<UIView>(item)) {
            m = v->layoutMargins();
        }
        auto sum = [](Expr e, const Expr& other, double factor, double constant) {
            e.add(other, factor);
            e.add(constant);
            return e;
        };
        switch (a) {
        case NSLayoutAttributeLeft:
        case NSLayoutAttributeLeading:
            return r.left;
        case NSLayoutAttributeRight:
        case NSLayoutAttributeTrailing:
            return sum(r.left, r.width, 1, 0);
        case NSLayoutAttributeTop:
            return r.top;
        case NSLayoutAttributeBottom:
            return sum(r.top, r.height, 1, 0);
        case NSLayoutAttributeWidth:
            return r.width;
        case NSLayoutAttributeHeight:
            return r.height;
        case NSLayoutAttributeCenterX:
            return sum(r.left, r.width, 0.5, 0);
        case NSLayoutAttributeCenterY:
            return sum(r.top, r.height, 0.5, 0);
        case NSLayoutAttributeLastBaseline:
            if (auto label = cast<UILabel>(item)) {
                return sum(r.top, r.height, 1, label->font()->descender());
            }
            return sum(r.top, r.height, 1, 0);
        case NSLayoutAttributeFirstBaseline:
            if (auto label = cast<UILabel>(item)) {
                return sum(r.top, Expr(), 0, label->font()->ascender());
            }
            return sum(r.top, r.height, 1, 0);
        case NSLayoutAttributeLeftMargin:
        case NSLayoutAttributeLeadingMargin:
            return sum(r.left, Expr(), 0, m.left);
        case NSLayoutAttributeRightMargin:
        case NSLayoutAttributeTrailingMargin:
            return sum(r.left, r.width, 1, -m.right);
        case NSLayoutAttributeTopMargin:
            return sum(r.top, Expr(), 0, m.top);
        case NSLayoutAttributeBottomMargin:
            return sum(r.top, r.height, 1, -m.bottom);
        case NSLayoutAttributeCenterXWithinMargins:
            return sum(r.left, r.width, 0.5, m.left / 2 - m.right / 2);
        case NSLayoutAttributeCenterYWithinMargins:
            return sum(r.top, r.height, 0.5, m.top / 2 - m.bottom / 2);
        case NSLayoutAttributeNotAnAttribute:
            break;
        }
        return Expr();
    }

public:
    // Stays go last, so that they never decide which required constraint is left out.
    void finish() {
        for (auto& s : stays_) {
            pending_.push_back(std::move(s));
        }
        stays_.clear();
    }

private:
    UIView* root_;
    LayoutSolver solver_;
    CGFloat scale_ = 0;
    std::unordered_map<const UIView*, ItemRect> rects_;
    std::unordered_map<const UILayoutGuide*, ItemRect> guideRects_;
    std::vector<Ref<NSLayoutConstraint>> constraints_;
    std::vector<PendingConstraint> pending_;
    std::vector<PendingConstraint> stays_;
    std::vector<UIView*> placedViews_;
    std::vector<UILayoutGuide*> placedGuides_;
};

void applyFrame(UIView* view, CGRect frame) {
    if (CGAffineTransformIsIdentity(view->transform())) {
        if (view->frame() != frame) {
            view->setFrame(frame);
        }
        return;
    }
    CGRect b = view->bounds();
    if (b.size != frame.size) {
        view->setBounds(CGRectMake(b.origin.x, b.origin.y, frame.size.width, frame.size.height));
    }
    CGPoint a = view->layer()->anchorPoint();
    CGPoint c = CGPointMake(frame.origin.x + frame.size.width * a.x, frame.origin.y + frame.size.height * a.y);
    if (view->center() != c) {
        view->setCenter(c);
    }
}

} // namespace

void LayoutEngine::layoutSubviewsOfView(UIView* view) {
    bool hasPlacedSubview =
        std::any_of(view->subviewList().begin(), view->subviewList().end(),
                    [](const Ref<UIView>& s) { return !s->translatesAutoresizingMaskIntoConstraints(); });
    bool hasPlainGuide = false;
    if (auto guides = view->layoutGuides()) {
        for (const auto& g : *guides) {
            hasPlainGuide = hasPlainGuide || cast<UILayoutGuide>(g)->kind() == UILayoutGuide::Kind::Plain;
        }
    }
    if (!hasPlacedSubview && !hasPlainGuide) {
        return;
    }
    Ref<UIView> self(view);
    UIView* root = islandRoot(view);
    System system(root);
    if (!system.build()) {
        return;
    }
    system.finish();
    system.solve();

    // The views below this one whose own subviews move lay out next, in this pass.
    for (UIView* placed : std::vector<UIView*>(system.placedViews())) {
        auto parent = placed->superview();
        if (!parent || parent.get() == view || !parent->isDescendantOfView(self)) {
            continue;
        }
        if (placed->frame() != system.solvedFrame(placed)) {
            parent->setNeedsLayout();
        }
    }
    for (UILayoutGuide* guide : std::vector<UILayoutGuide*>(system.placedGuides())) {
        auto owner = guide->owningView();
        if (owner.get() == view) {
            guide->setLayoutFrame(system.solvedGuideFrame(guide));
        } else if (owner && owner->isDescendantOfView(self)) {
            owner->setNeedsLayout();
        }
    }
    for (const auto& sub : std::vector<Ref<UIView>>(view->subviewList())) {
        if (system.isPlaced(sub.get()) && sub->superview().get() == view) {
            applyFrame(sub.get(), system.solvedFrame(sub.get()));
        }
    }
}

void LayoutEngine::invalidate(UIView* view) {
    if (!view) {
        return;
    }
    view->setNeedsLayout();
    for (UIView* v = view; placedByConstraints(v);) {
        auto parent = v->superview();
        parent->setNeedsLayout();
        v = parent.get();
    }
}

} // namespace uikit_detail
