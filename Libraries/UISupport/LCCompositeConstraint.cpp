#include <UISupport/LCCompositeConstraint.h>

#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(LCCompositeConstraint, LCConstraint) {
    b.conformsTo(NS_PROTOCOL(LCConstraintDelegate));
}

LCConstraintDelegate* LCConstraintDelegateOf(const Ref<NSObject>& delegate) {
    return dynamic_cast<LCConstraintDelegate*>(delegate.get());
}

LCCompositeConstraint::LCCompositeConstraint(std::vector<Ref<LCConstraint>> children) : children_(std::move(children)) {
    Ref<NSObject> self(this);
    for (auto& child : children_) {
        child->setDelegate(self);
    }
}

LCConstraint::RelationBlock LCCompositeConstraint::equalToWithRelation() {
    Ref<LCCompositeConstraint> self(this);
    return [self](const id& target, NSLayoutRelation relation) -> Ref_ {
        self->forEachChild([&](const Ref<LCConstraint>& child) { child->equalToWithRelation()(target, relation); });
        return self;
    };
}

LCConstraint::DoubleBlock LCCompositeConstraint::multipliedBy() {
    Ref<LCCompositeConstraint> self(this);
    return [self](CGFloat multiplier) -> Ref_ {
        self->forEachChild([&](const Ref<LCConstraint>& child) { child->multipliedBy()(multiplier); });
        return self;
    };
}

LCConstraint::DoubleBlock LCCompositeConstraint::dividedBy() {
    Ref<LCCompositeConstraint> self(this);
    return [self](CGFloat divider) -> Ref_ {
        self->forEachChild([&](const Ref<LCConstraint>& child) { child->dividedBy()(divider); });
        return self;
    };
}

LCConstraint::PriorityBlock LCCompositeConstraint::priority() {
    Ref<LCCompositeConstraint> self(this);
    return [self](LCLayoutPriority priority) -> Ref_ {
        self->forEachChild([&](const Ref<LCConstraint>& child) { child->priority()(priority); });
        return self;
    };
}

LCConstraint::ObjectBlock LCCompositeConstraint::key() {
    Ref<LCCompositeConstraint> self(this);
    return [self](const id& key) -> Ref_ {
        self->key_ = key;
        int index = 0;
        self->forEachChild([&](const Ref<LCConstraint>& child) {
            child->key()(NSString::stringWithFormat("%@[%d]", key, index));
            ++index;
        });
        return self;
    };
}

void LCCompositeConstraint::setLayoutConstantWithValue(const Ref<NSValue>& value) {
    forEachChild([&](const Ref<LCConstraint>& child) { child->setLayoutConstantWithValue(value); });
}

LCConstraint::Ref_ LCCompositeConstraint::addConstraintWithLayoutAttribute(NSLayoutAttribute layoutAttribute) {
    constraintAddConstraintWithLayoutAttribute(Ref_(this), layoutAttribute);
    return Ref_(this);
}

void LCCompositeConstraint::setOffset(CGFloat offset) {
    forEachChild([&](const Ref<LCConstraint>& child) { child->setOffset(offset); });
}

void LCCompositeConstraint::setInsets(UIEdgeInsets insets) {
    forEachChild([&](const Ref<LCConstraint>& child) { child->setInsets(insets); });
}

void LCCompositeConstraint::setInset(CGFloat inset) {
    forEachChild([&](const Ref<LCConstraint>& child) { child->setInset(inset); });
}

void LCCompositeConstraint::setSizeOffset(CGSize sizeOffset) {
    forEachChild([&](const Ref<LCConstraint>& child) { child->setSizeOffset(sizeOffset); });
}

void LCCompositeConstraint::setCenterOffset(CGPoint centerOffset) {
    forEachChild([&](const Ref<LCConstraint>& child) { child->setCenterOffset(centerOffset); });
}

void LCCompositeConstraint::install() {
    forEachChild([&](const Ref<LCConstraint>& child) {
        child->setUpdateExisting(updateExisting());
        child->install();
    });
}

void LCCompositeConstraint::uninstall() {
    forEachChild([&](const Ref<LCConstraint>& child) { child->uninstall(); });
}

void LCCompositeConstraint::activate() {
    forEachChild([&](const Ref<LCConstraint>& child) { child->activate(); });
}

void LCCompositeConstraint::deactivate() {
    forEachChild([&](const Ref<LCConstraint>& child) { child->deactivate(); });
}

void LCCompositeConstraint::constraintShouldBeReplacedWithConstraint(const Ref<LCConstraint>& constraint,
                                                                     const Ref<LCConstraint>& replacement) {
    auto it = std::find(children_.begin(), children_.end(), constraint);
    if (it != children_.end()) {
        *it = replacement;
    }
}

Ref<LCConstraint> LCCompositeConstraint::constraintAddConstraintWithLayoutAttribute(const Ref<LCConstraint>&,
                                                                                    NSLayoutAttribute layoutAttribute) {
    auto owner = LCConstraintDelegateOf(delegate());
    if (!owner) {
        NSException::raise(NSInternalInconsistencyException,
                           "A constraint can only be chained while its maker is alive.");
    }
    auto added = owner->constraintAddConstraintWithLayoutAttribute(Ref_(this), layoutAttribute);
    added->setDelegate(Ref<NSObject>(this));
    children_.push_back(added);
    return added;
}
