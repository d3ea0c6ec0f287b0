#include <Runtime/ClassBuilder.h>
#include <UIKit/LayoutEngine.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UILayoutGuide.h>
#include <UIKit/UIView.h>

#include <cctype>
#include <cmath>
#include <optional>

namespace {

bool isSizeAttribute(NSLayoutAttribute a) {
    return a == NSLayoutAttributeWidth || a == NSLayoutAttributeHeight;
}

// The view an item belongs to for installation: the view itself or a guide's owning view.
Ref<UIView> viewOfItem(const id& item) {
    if (auto v = cast<UIView>(item)) {
        return v;
    }
    if (auto g = cast<UILayoutGuide>(item)) {
        return g->owningView();
    }
    return nullptr;
}

Ref<UIView> closestCommonAncestor(const Ref<UIView>& a, const Ref<UIView>& b) {
    if (!a) {
        return b;
    }
    if (!b) {
        return a;
    }
    for (Ref<UIView> v = a; v; v = v->superview()) {
        if (b->isDescendantOfView(v)) {
            return v;
        }
    }
    return nullptr;
}

// MARK: Visual format language

struct Predicate {
    NSLayoutRelation relation = NSLayoutRelationEqual;
    CGFloat constant = 0;
    id view; // a view named as the object (view predicates only)
    float priority = 1000;
};

struct Element {
    bool superview = false;
    id item;
    std::vector<Predicate> predicates;
};

struct Connection {
    enum Kind { Flush, Standard, Explicit } kind = Flush;
    std::vector<Predicate> predicates;
};

class FormatParser {
public:
    FormatParser(const std::string& format, const Ref<NSDictionary>& metrics, const Ref<NSDictionary>& views)
        : s_(format), metrics_(metrics), views_(views) {}

    [[noreturn]] void fail(const std::string& why) const {
        std::string marker(pos_, ' ');
        NSException::raise(NSInvalidArgumentException,
                           "Unable to parse constraint format:\n" + why + "\n" + s_ + "\n" + marker + "^");
    }

    void skipSpaces() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) {
            ++pos_;
        }
    }
    bool peek(char c) {
        skipSpaces();
        return pos_ < s_.size() && s_[pos_] == c;
    }
    bool accept(char c) {
        if (peek(c)) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!accept(c)) {
            fail(std::string("Expected '") + c + "'");
        }
    }
    bool atEnd() {
        skipSpaces();
        return pos_ >= s_.size();
    }

    std::string name() {
        skipSpaces();
        size_t start = pos_;
        if (pos_ < s_.size() && (std::isalpha(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_')) {
            ++pos_;
            while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_')) {
                ++pos_;
            }
        }
        return s_.substr(start, pos_ - start);
    }

    std::optional<double> number() {
        skipSpaces();
        size_t start = pos_;
        if (pos_ < s_.size() && (s_[pos_] == '-' || s_[pos_] == '+')) {
            ++pos_;
        }
        bool digits = false;
        while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.')) {
            digits = true;
            ++pos_;
        }
        if (!digits) {
            pos_ = start;
            return std::nullopt;
        }
        return std::stod(s_.substr(start, pos_ - start));
    }

    id lookup(const Ref<NSDictionary>& table, const std::string& key) const {
        return table ? table->objectForKey(NSString::from(key)) : nullptr;
    }

    // A number or a metric name.
    std::optional<double> constantOrMetric(bool allowViews, id* viewOut) {
        if (auto n = number()) {
            return n;
        }
        size_t start = pos_;
        std::string n = name();
        if (n.empty()) {
            return std::nullopt;
        }
        if (auto m = cast<NSNumber>(lookup(metrics_, n))) {
            return m->doubleValue();
        }
        if (allowViews && viewOut) {
            if (auto v = lookup(views_, n)) {
                *viewOut = v;
                return 0.0;
            }
        }
        pos_ = start;
        fail("Unknown metric or view name \"" + n + "\"");
    }

    Predicate predicate(bool allowViews) {
        Predicate p;
        skipSpaces();
        if (s_.compare(pos_, 2, "==") == 0) {
            pos_ += 2;
        } else if (s_.compare(pos_, 2, "<=") == 0) {
            p.relation = NSLayoutRelationLessThanOrEqual;
            pos_ += 2;
        } else if (s_.compare(pos_, 2, ">=") == 0) {
            p.relation = NSLayoutRelationGreaterThanOrEqual;
            pos_ += 2;
        }
        auto c = constantOrMetric(allowViews, &p.view);
        if (!c) {
            fail("Expected a number, a metric or a view name");
        }
        p.constant = *c;
        if (accept('@')) {
            auto pr = constantOrMetric(false, nullptr);
            if (!pr) {
                fail("Expected a priority");
            }
            p.priority = static_cast<float>(*pr);
        }
        return p;
    }

    std::vector<Predicate> predicateList(bool allowViews) {
        std::vector<Predicate> list;
        if (accept('(')) {
            list.push_back(predicate(allowViews));
            while (accept(',')) {
                list.push_back(predicate(allowViews));
            }
            expect(')');
        } else {
            auto c = constantOrMetric(false, nullptr);
            if (!c) {
                fail("Expected a number or a metric name");
            }
            Predicate p;
            p.constant = *c;
            list.push_back(p);
        }
        return list;
    }

    Element view() {
        expect('[');
        Element e;
        std::string n = name();
        if (n.empty()) {
            fail("Expected a view name");
        }
        e.item = lookup(views_, n);
        if (!e.item) {
            fail("\"" + n + "\" is not a key in the views dictionary");
        }
        if (peek('(')) {
            e.predicates = predicateList(true);
        }
        expect(']');
        return e;
    }

    Connection connection() {
        Connection c;
        if (!accept('-')) {
            return c;
        }
        if (peek('[') || peek('|')) {
            c.kind = Connection::Standard;
            return c;
        }
        c.kind = Connection::Explicit;
        c.predicates = predicateList(false);
        expect('-');
        return c;
    }

    void parse(bool& vertical, std::vector<Element>& elements, std::vector<Connection>& connections) {
        skipSpaces();
        if (s_.compare(pos_, 2, "H:") == 0) {
            pos_ += 2;
        } else if (s_.compare(pos_, 2, "V:") == 0) {
            vertical = true;
            pos_ += 2;
        }
        if (accept('|')) {
            elements.push_back(Element{true, nullptr, {}});
            connections.push_back(connection());
        }
        while (true) {
            elements.push_back(view());
            if (atEnd()) {
                break;
            }
            connections.push_back(connection());
            if (accept('|')) {
                elements.push_back(Element{true, nullptr, {}});
                if (!atEnd()) {
                    fail("Nothing may follow the superview bar");
                }
                break;
            }
            if (!peek('[')) {
                fail("Expected a view");
            }
        }
    }

private:
    std::string s_;
    size_t pos_ = 0;
    Ref<NSDictionary> metrics_;
    Ref<NSDictionary> views_;
};

} // namespace

const char* NSLayoutAttributeName(NSLayoutAttribute a) {
    static const char* names[] = {"notAnAttribute",
                                  "left",
                                  "right",
                                  "top",
                                  "bottom",
                                  "leading",
                                  "trailing",
                                  "width",
                                  "height",
                                  "centerX",
                                  "centerY",
                                  "lastBaseline",
                                  "firstBaseline",
                                  "leftMargin",
                                  "rightMargin",
                                  "topMargin",
                                  "bottomMargin",
                                  "leadingMargin",
                                  "trailingMargin",
                                  "centerXWithinMargins",
                                  "centerYWithinMargins"};
    auto i = static_cast<size_t>(a);
    return i < sizeof names / sizeof names[0] ? names[i] : "unknown";
}

NS_IMPLEMENT_CLASS(NSLayoutConstraint, NSObject) {
    b.property("constant", &NSLayoutConstraint::constant, &NSLayoutConstraint::setConstant);
    b.property("priority", &NSLayoutConstraint::priority, &NSLayoutConstraint::setPriority);
    b.property("active", &NSLayoutConstraint::isActive, &NSLayoutConstraint::setActive);
    b.property("identifier", &NSLayoutConstraint::identifier, &NSLayoutConstraint::setIdentifier);
    b.readonlyProperty("firstItem", &NSLayoutConstraint::firstItem);
    b.readonlyProperty("secondItem", &NSLayoutConstraint::secondItem);
    b.readonlyProperty("firstAttribute", &NSLayoutConstraint::firstAttribute);
    b.readonlyProperty("secondAttribute", &NSLayoutConstraint::secondAttribute);
    b.readonlyProperty("relation", &NSLayoutConstraint::relation);
    b.readonlyProperty("multiplier", &NSLayoutConstraint::multiplier);
    b.method("isActive", &NSLayoutConstraint::isActive);
}

NSLayoutConstraint::NSLayoutConstraint(const id& firstItem, NSLayoutAttribute firstAttribute, NSLayoutRelation relation,
                                       const id& secondItem, NSLayoutAttribute secondAttribute, CGFloat multiplier,
                                       CGFloat constant)
    : firstItem_(firstItem), firstAttribute_(firstAttribute), relation_(relation), secondItem_(secondItem),
      secondAttribute_(secondAttribute), multiplier_(multiplier), constant_(constant) {
    if (!firstItem) {
        NSException::raise(NSInvalidArgumentException, "A constraint needs a first item");
    }
    if (firstAttribute == NSLayoutAttributeNotAnAttribute) {
        NSException::raise(NSInvalidArgumentException, "A constraint needs a first attribute");
    }
    if (secondItem && secondAttribute == NSLayoutAttributeNotAnAttribute) {
        NSException::raise(NSInvalidArgumentException, "A constraint with a second item needs a second attribute");
    }
    if (!secondItem && secondAttribute != NSLayoutAttributeNotAnAttribute) {
        NSException::raise(NSInvalidArgumentException,
                           "A constraint without a second item cannot have a second attribute");
    }
    if (!secondItem && !isSizeAttribute(firstAttribute)) {
        NSException::raise(NSInvalidArgumentException, std::string("A constraint cannot make a location attribute (") +
                                                           NSLayoutAttributeName(firstAttribute) +
                                                           ") equal to a constant");
    }
    if (secondItem && isSizeAttribute(firstAttribute) != isSizeAttribute(secondAttribute)) {
        NSException::raise(NSInvalidArgumentException, "Invalid pairing of layout attributes");
    }
    if (!std::isfinite(multiplier) || !std::isfinite(constant)) {
        NSException::raise(NSInvalidArgumentException, "A constraint's multiplier and constant must be finite");
    }
    if (secondItem && multiplier == 0 && !isSizeAttribute(firstAttribute)) {
        NSException::raise(NSInvalidArgumentException,
                           "A multiplier of 0 with a location for the first attribute makes a location equal to a "
                           "constant");
    }
}

Ref<NSLayoutConstraint> NSLayoutConstraint::constraintWithItemAttributeRelatedByToItemAttributeMultiplierConstant(
    const id& view1, NSLayoutAttribute attr1, NSLayoutRelation relation, const id& view2, NSLayoutAttribute attr2,
    CGFloat multiplier, CGFloat constant) {
    return make<NSLayoutConstraint>(view1, attr1, relation, view2, attr2, multiplier, constant);
}

Ref<NSArray> NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews(const Ref<NSString>& format,
                                                                                NSLayoutFormatOptions options,
                                                                                const Ref<NSDictionary>& metrics,
                                                                                const Ref<NSDictionary>& views) {
    if (!format) {
        NSException::raise(NSInvalidArgumentException, "Unable to parse constraint format: no format");
    }
    FormatParser parser(format->str(), metrics, views);
    bool vertical = false;
    std::vector<Element> elements;
    std::vector<Connection> connections;
    parser.parse(vertical, elements, connections);

    NSLayoutAttribute lead = vertical ? NSLayoutAttributeTop : NSLayoutAttributeLeading;
    NSLayoutAttribute trail = vertical ? NSLayoutAttributeBottom : NSLayoutAttributeTrailing;
    NSLayoutAttribute size = vertical ? NSLayoutAttributeHeight : NSLayoutAttributeWidth;
    if (!vertical) {
        NSLayoutFormatOptions direction = options & NSLayoutFormatDirectionMask;
        if (direction == NSLayoutFormatDirectionLeftToRight) {
            lead = NSLayoutAttributeLeft;
            trail = NSLayoutAttributeRight;
        } else if (direction == NSLayoutFormatDirectionRightToLeft) {
            lead = NSLayoutAttributeRight;
            trail = NSLayoutAttributeLeft;
        }
    }

    // The superview of the bars: the first view's superview.
    id superview;
    for (const auto& e : elements) {
        if (!e.superview) {
            auto v = viewOfItem(e.item);
            if (cast<UIView>(e.item)) {
                superview = v ? id(v->superview()) : nullptr;
            } else {
                superview = v;
            }
            break;
        }
    }
    bool usesBars = std::any_of(elements.begin(), elements.end(), [](const Element& e) { return e.superview; });
    if (usesBars && !superview) {
        parser.fail("View has no superview");
    }

    auto out = NSMutableArray::array();
    auto addConstraint = [&](const id& a, NSLayoutAttribute aa, NSLayoutRelation rel, const id& b, NSLayoutAttribute ba,
                             CGFloat constant, float priority) {
        auto c = make<NSLayoutConstraint>(a, aa, rel, b, ba, 1.0, constant);
        c->priority_ = priority;
        out->addObject(c);
    };

    for (const auto& e : elements) {
        for (const auto& p : e.predicates) {
            if (p.view) {
                addConstraint(e.item, size, p.relation, p.view, size, 0, p.priority);
            } else {
                addConstraint(e.item, size, p.relation, nullptr, NSLayoutAttributeNotAnAttribute, p.constant,
                              p.priority);
            }
        }
    }
    for (size_t i = 0; i < connections.size(); ++i) {
        const Element& left = elements[i];
        const Element& right = elements[i + 1];
        const Connection& c = connections[i];
        std::vector<Predicate> spacing = c.predicates;
        if (c.kind != Connection::Explicit) {
            Predicate p;
            p.constant = c.kind == Connection::Flush ? 0 : (left.superview || right.superview ? 20 : 8);
            spacing = {p};
        }
        for (const auto& p : spacing) {
            if (left.superview) {
                addConstraint(right.item, lead, p.relation, superview, lead, p.constant, p.priority);
            } else if (right.superview) {
                addConstraint(superview, trail, p.relation, left.item, trail, p.constant, p.priority);
            } else {
                addConstraint(right.item, lead, p.relation, left.item, trail, p.constant, p.priority);
            }
        }
    }
    NSLayoutFormatOptions align = options & NSLayoutFormatAlignmentMask;
    if (align) {
        id first;
        for (const auto& e : elements) {
            if (e.superview) {
                continue;
            }
            if (!first) {
                first = e.item;
                continue;
            }
            for (int bit = 1; bit <= NSLayoutAttributeCenterYWithinMargins; ++bit) {
                if (align & (NSLayoutFormatOptions(1) << bit)) {
                    auto attr = static_cast<NSLayoutAttribute>(bit);
                    addConstraint(e.item, attr, NSLayoutRelationEqual, first, attr, 0, 1000);
                }
            }
        }
    }
    return out;
}

void NSLayoutConstraint::activateConstraints(const Ref<NSArray>& constraints) {
    if (!constraints) {
        return;
    }
    for (const auto& c : *constraints) {
        if (auto constraint = cast<NSLayoutConstraint>(c)) {
            constraint->setActive(true);
        }
    }
}

void NSLayoutConstraint::deactivateConstraints(const Ref<NSArray>& constraints) {
    if (!constraints) {
        return;
    }
    for (const auto& c : *constraints) {
        if (auto constraint = cast<NSLayoutConstraint>(c)) {
            constraint->setActive(false);
        }
    }
}

void NSLayoutConstraint::setConstant(CGFloat constant) {
    if (!std::isfinite(constant)) {
        NSException::raise(NSInvalidArgumentException, "A constraint's constant must be finite");
    }
    changeValueForKey("constant", [&] { constant_ = constant; });
    if (auto view = installedView()) {
        uikit_detail::LayoutEngine::invalidate(view.get());
    }
}

void NSLayoutConstraint::setPriority(float priority) {
    if (isActive() && (priority_ >= 1000) != (priority >= 1000)) {
        NSException::raise(NSInternalInconsistencyException,
                           "Mutating a priority from required to not on an installed constraint (or vice-versa) "
                           "is not supported");
    }
    changeValueForKey("priority", [&] { priority_ = priority; });
    if (auto view = installedView()) {
        uikit_detail::LayoutEngine::invalidate(view.get());
    }
}

bool NSLayoutConstraint::isActive() const {
    return static_cast<bool>(installedView_.lock());
}

void NSLayoutConstraint::setActive(bool active) {
    if (active == isActive()) {
        return;
    }
    Ref<NSLayoutConstraint> self(this);
    if (!active) {
        if (auto view = installedView()) {
            view->removeConstraint(self);
        }
        return;
    }
    auto first = viewOfItem(firstItem());
    auto second = viewOfItem(secondItem());
    Ref<UIView> host = closestCommonAncestor(first, second);
    if (!host) {
        NSException::raise(NSGenericException, "Unable to activate constraint: its items have no common ancestor");
    }
    host->addConstraint(self);
}

Ref<UIView> NSLayoutConstraint::installedView() const {
    return installedView_.lock();
}

void NSLayoutConstraint::setInstalledView(const Ref<UIView>& view) {
    installedView_ = view;
}

Ref<NSString> NSLayoutConstraint::description() const {
    const char* rel = relation_ == NSLayoutRelationEqual             ? "=="
                      : relation_ == NSLayoutRelationLessThanOrEqual ? "<="
                                                                     : ">=";
    auto itemName = [](const id& item) -> std::string {
        if (!item) {
            return "nil";
        }
        return NSFormat("%s:%p", {item->getClass()->name().c_str(), static_cast<const void*>(item.get())});
    };
    std::string text = itemName(firstItem()) + "." + NSLayoutAttributeName(firstAttribute_) + " " + rel + " ";
    if (secondItem()) {
        text += itemName(secondItem()) + "." + NSLayoutAttributeName(secondAttribute_);
        if (multiplier_ != 1) {
            text += NSFormat("*%g", {multiplier_});
        }
        if (constant_ != 0) {
            text += NSFormat(" + %g", {constant_});
        }
    } else {
        text += NSFormat("%g", {constant_});
    }
    if (priority_ < 1000) {
        text += NSFormat(" @%g", {static_cast<double>(priority_)});
    }
    return NSString::stringWithFormat("<NSLayoutConstraint:%p %s>", static_cast<const void*>(this), text);
}
