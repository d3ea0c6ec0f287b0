#include <UISupport/LCConstraintMaker.h>

#include <UISupport/LCCompositeConstraint.h>
#include <UISupport/LCViewConstraint.h>

#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(LCConstraintMaker, NSObject) {
    b.conformsTo(NS_PROTOCOL(LCConstraintDelegate));
    b.method("install", &LCConstraintMaker::install);
}

LCConstraintMaker::LCConstraintMaker(const Ref<UIView>& view) : view_(view) {}

Ref<LCConstraint> LCConstraintMaker::left() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeLeft);
}
Ref<LCConstraint> LCConstraintMaker::top() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeTop);
}
Ref<LCConstraint> LCConstraintMaker::right() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeRight);
}
Ref<LCConstraint> LCConstraintMaker::bottom() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeBottom);
}
Ref<LCConstraint> LCConstraintMaker::leading() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeLeading);
}
Ref<LCConstraint> LCConstraintMaker::trailing() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeTrailing);
}
Ref<LCConstraint> LCConstraintMaker::width() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeWidth);
}
Ref<LCConstraint> LCConstraintMaker::height() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeHeight);
}
Ref<LCConstraint> LCConstraintMaker::centerX() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeCenterX);
}
Ref<LCConstraint> LCConstraintMaker::centerY() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeCenterY);
}
Ref<LCConstraint> LCConstraintMaker::baseline() {
    return constraintAddConstraintWithLayoutAttribute(nullptr, NSLayoutAttributeBaseline);
}

Ref<LCConstraint> LCConstraintMaker::edges() {
    return addConstraintWithAttributes(LCAttributeLeft | LCAttributeRight | LCAttributeTop | LCAttributeBottom);
}
Ref<LCConstraint> LCConstraintMaker::size() {
    return addConstraintWithAttributes(LCAttributeWidth | LCAttributeHeight);
}
Ref<LCConstraint> LCConstraintMaker::center() {
    return addConstraintWithAttributes(LCAttributeCenterX | LCAttributeCenterY);
}

std::function<Ref<LCConstraint>(NSInteger)> LCConstraintMaker::attributes() {
    Ref<LCConstraintMaker> self(this);
    return [self](NSInteger mask) { return self->addConstraintWithAttributes(mask); };
}

std::function<Ref<LCConstraint>(std::function<void()>)> LCConstraintMaker::group() {
    Ref<LCConstraintMaker> self(this);
    return [self](std::function<void()> block) -> Ref<LCConstraint> {
        size_t before = self->constraints_.size();
        if (block) {
            block();
        }
        std::vector<Ref<LCConstraint>> added(self->constraints_.begin() + static_cast<std::ptrdiff_t>(before),
                                             self->constraints_.end());
        auto composite = make<LCCompositeConstraint>(std::move(added));
        composite->setDelegate(self);
        return composite;
    };
}

Ref<LCConstraint> LCConstraintMaker::addConstraintWithAttributes(NSInteger mask) {
    static constexpr NSLayoutAttribute order[] = {
        NSLayoutAttributeLeft,    NSLayoutAttributeRight,    NSLayoutAttributeTop,     NSLayoutAttributeBottom,
        NSLayoutAttributeLeading, NSLayoutAttributeTrailing, NSLayoutAttributeWidth,   NSLayoutAttributeHeight,
        NSLayoutAttributeCenterX, NSLayoutAttributeCenterY,  NSLayoutAttributeBaseline};
    std::vector<Ref<LCConstraint>> children;
    auto view = this->view();
    for (NSLayoutAttribute attribute : order) {
        if (mask & (NSInteger{1} << attribute)) {
            children.push_back(make<LCViewConstraint>(make<LCViewAttribute>(view, attribute)));
        }
    }
    auto composite = make<LCCompositeConstraint>(std::move(children));
    composite->setDelegate(Ref<NSObject>(this));
    constraints_.push_back(composite);
    return composite;
}

Ref<NSArray> LCConstraintMaker::install() {
    if (removeExisting_) {
        auto installed = LCViewConstraint::installedConstraintsForView(view());
        for (const id& constraint : *installed) {
            cast<LCConstraint>(constraint)->uninstall();
        }
    }
    auto constraints = constraints_;
    for (auto& constraint : constraints) {
        constraint->setUpdateExisting(updateExisting_);
        constraint->install();
    }
    constraints_.clear();
    return NSArray::arrayWithRefs(constraints);
}

void LCConstraintMaker::constraintShouldBeReplacedWithConstraint(const Ref<LCConstraint>& constraint,
                                                                 const Ref<LCConstraint>& replacement) {
    auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
    if (it != constraints_.end()) {
        *it = replacement;
    }
}

Ref<LCConstraint> LCConstraintMaker::constraintAddConstraintWithLayoutAttribute(const Ref<LCConstraint>& constraint,
                                                                                NSLayoutAttribute layoutAttribute) {
    auto attribute = make<LCViewAttribute>(view(), layoutAttribute);
    auto created = make<LCViewConstraint>(attribute);
    if (auto existing = cast<LCViewConstraint>(constraint)) {
        auto composite = make<LCCompositeConstraint>(std::vector<Ref<LCConstraint>>{existing, created});
        composite->setDelegate(Ref<NSObject>(this));
        constraintShouldBeReplacedWithConstraint(existing, composite);
        return composite;
    }
    if (!constraint) {
        created->setDelegate(Ref<NSObject>(this));
        constraints_.push_back(created);
    }
    return created;
}
