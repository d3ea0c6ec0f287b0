#include <UISupport/LCConstraint.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_PROTOCOL(LCConstraintDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("constraint:shouldBeReplacedWithConstraint:", "v@:@@");
    p.required("constraint:addConstraintWithLayoutAttribute:", "@@:@q");
}

NS_IMPLEMENT_CLASS(LCConstraint, NSObject) {
    using C = LCConstraint;
    b.method("setLayoutConstantWithValue:", &C::setLayoutConstantWithValue);
    b.method("install", &C::install);
    b.method("uninstall", &C::uninstall);
    b.method("activate", &C::activate);
    b.method("deactivate", &C::deactivate);
    b.method("setOffset:", &C::setOffset);
    b.method("setInset:", &C::setInset);
}

void LCConstraint::mustOverride(const char* selector) const {
    NSException::raise(NSInternalInconsistencyException,
                       std::string("You must override ") + selector + " in a subclass.");
}

LCConstraint::ObjectBlock LCConstraint::equalTo() {
    Ref_ self(this);
    return [self](const id& target) { return self->equalToWithRelation()(target, NSLayoutRelationEqual); };
}

LCConstraint::ObjectBlock LCConstraint::greaterThanOrEqualTo() {
    Ref_ self(this);
    return [self](const id& target) { return self->equalToWithRelation()(target, NSLayoutRelationGreaterThanOrEqual); };
}

LCConstraint::ObjectBlock LCConstraint::lessThanOrEqualTo() {
    Ref_ self(this);
    return [self](const id& target) { return self->equalToWithRelation()(target, NSLayoutRelationLessThanOrEqual); };
}

LCConstraint::ObjectBlock LCConstraint::lc_equalTo() {
    return equalTo();
}

LCConstraint::ObjectBlock LCConstraint::lc_greaterThanOrEqualTo() {
    return greaterThanOrEqualTo();
}

LCConstraint::ObjectBlock LCConstraint::lc_lessThanOrEqualTo() {
    return lessThanOrEqualTo();
}

LCConstraint::RelationBlock LCConstraint::equalToWithRelation() {
    mustOverride("equalToWithRelation");
}

LCConstraint::DoubleBlock LCConstraint::multipliedBy() {
    mustOverride("multipliedBy");
}

LCConstraint::DoubleBlock LCConstraint::dividedBy() {
    mustOverride("dividedBy");
}

LCConstraint::PriorityBlock LCConstraint::priority() {
    mustOverride("priority");
}

LCConstraint::VoidBlock LCConstraint::priorityLow() {
    Ref_ self(this);
    return [self] { return self->priority()(LCLayoutPriorityDefaultLow); };
}

LCConstraint::VoidBlock LCConstraint::priorityMedium() {
    Ref_ self(this);
    return [self] { return self->priority()(LCLayoutPriorityDefaultMedium); };
}

LCConstraint::VoidBlock LCConstraint::priorityHigh() {
    Ref_ self(this);
    return [self] { return self->priority()(LCLayoutPriorityDefaultHigh); };
}

LCConstraint::DoubleBlock LCConstraint::offset() {
    Ref_ self(this);
    return [self](CGFloat offset) {
        self->setOffset(offset);
        return self;
    };
}

LCConstraint::InsetsBlock LCConstraint::insets() {
    Ref_ self(this);
    return [self](UIEdgeInsets insets) {
        self->setInsets(insets);
        return self;
    };
}

LCConstraint::DoubleBlock LCConstraint::inset() {
    Ref_ self(this);
    return [self](CGFloat inset) {
        self->setInset(inset);
        return self;
    };
}

LCConstraint::SizeBlock LCConstraint::sizeOffset() {
    Ref_ self(this);
    return [self](CGSize size) {
        self->setSizeOffset(size);
        return self;
    };
}

LCConstraint::PointBlock LCConstraint::centerOffset() {
    Ref_ self(this);
    return [self](CGPoint point) {
        self->setCenterOffset(point);
        return self;
    };
}

LCConstraint::ValueBlock LCConstraint::valueOffset() {
    Ref_ self(this);
    return [self](const Ref<NSValue>& value) {
        self->setLayoutConstantWithValue(value);
        return self;
    };
}

LCConstraint::VoidBlock LCConstraint::lc_offset() {
    return nullptr;
}

LCConstraint::ObjectBlock LCConstraint::key() {
    mustOverride("key");
}

LCConstraint::Ref_ LCConstraint::left() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeLeft);
}
LCConstraint::Ref_ LCConstraint::top() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeTop);
}
LCConstraint::Ref_ LCConstraint::right() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeRight);
}
LCConstraint::Ref_ LCConstraint::bottom() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeBottom);
}
LCConstraint::Ref_ LCConstraint::leading() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeLeading);
}
LCConstraint::Ref_ LCConstraint::trailing() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeTrailing);
}
LCConstraint::Ref_ LCConstraint::width() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeWidth);
}
LCConstraint::Ref_ LCConstraint::height() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeHeight);
}
LCConstraint::Ref_ LCConstraint::centerX() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeCenterX);
}
LCConstraint::Ref_ LCConstraint::centerY() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeCenterY);
}
LCConstraint::Ref_ LCConstraint::baseline() {
    return addConstraintWithLayoutAttribute(NSLayoutAttributeBaseline);
}

void LCConstraint::setLayoutConstantWithValue(const Ref<NSValue>& value) {
    if (!value) {
        NSException::raise(NSInvalidArgumentException, "A constraint's constant cannot be nil.");
    }
    if (auto number = cast<NSNumber>(value)) {
        setOffset(number->doubleValue());
        return;
    }
    std::string type = value->objCType();
    if (type == "{CGPoint=dd}") {
        setCenterOffset(value->value<CGPoint>());
    } else if (type == "{CGSize=dd}") {
        setSizeOffset(value->value<CGSize>());
    } else if (type == "{UIEdgeInsets=dddd}") {
        setInsets(value->value<UIEdgeInsets>());
    } else {
        NSException::raise(NSInvalidArgumentException,
                           "A constraint's constant must be a number or a boxed CGPoint, CGSize or UIEdgeInsets, not a "
                           "value of type " +
                               type + ".");
    }
}

LCConstraint::Ref_ LCConstraint::addConstraintWithLayoutAttribute(NSLayoutAttribute) {
    mustOverride("addConstraintWithLayoutAttribute:");
}
void LCConstraint::setOffset(CGFloat) {
    mustOverride("setOffset:");
}
void LCConstraint::setInsets(UIEdgeInsets) {
    mustOverride("setInsets:");
}
void LCConstraint::setInset(CGFloat) {
    mustOverride("setInset:");
}
void LCConstraint::setSizeOffset(CGSize) {
    mustOverride("setSizeOffset:");
}
void LCConstraint::setCenterOffset(CGPoint) {
    mustOverride("setCenterOffset:");
}
void LCConstraint::install() {
    mustOverride("install");
}
void LCConstraint::uninstall() {
    mustOverride("uninstall");
}
void LCConstraint::activate() {
    mustOverride("activate");
}
void LCConstraint::deactivate() {
    mustOverride("deactivate");
}
