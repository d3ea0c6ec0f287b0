#include <UISupport/LCViewConstraint.h>

#include <UISupport/LCCompositeConstraint.h>
#include <UISupport/UIView+LCAdditions.h>

#include <Foundation/NSNumber.h>
#include <Foundation/NSSet.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(LCViewConstraint, LCConstraint) {
    using C = LCViewConstraint;
    b.conformsTo(NS_PROTOCOL(NSCopying));
    b.readonlyProperty("firstViewAttribute", &C::firstViewAttribute);
    b.readonlyProperty("secondViewAttribute", &C::secondViewAttribute);
    b.readonlyProperty("layoutConstraint", &C::layoutConstraint);
    b.readonlyProperty("installedView", &C::installedView);
    b.method("isActive", &C::isActive);
    b.method("hasBeenInstalled", &C::hasBeenInstalled);
    b.method("supportsActiveProperty", &C::supportsActiveProperty);
}

namespace {

const char* attributeName(NSLayoutAttribute attribute) {
    return NSLayoutAttributeName(attribute);
}

bool isEdge(NSLayoutAttribute a) {
    return a == NSLayoutAttributeLeft || a == NSLayoutAttributeRight || a == NSLayoutAttributeTop ||
           a == NSLayoutAttributeBottom || a == NSLayoutAttributeLeading || a == NSLayoutAttributeTrailing;
}

} // namespace

LCViewConstraint::LCViewConstraint(const Ref<LCViewAttribute>& firstViewAttribute)
    : firstViewAttribute_(firstViewAttribute) {}

Ref<NSArray> LCViewConstraint::installedConstraintsForView(const Ref<UIView>& view) {
    if (!view) {
        return NSArray::array();
    }
    return lc_installedConstraints(view)->allObjects();
}

void LCViewConstraint::setSecondViewAttribute(const id& target) {
    if (!target) {
        NSException::raise(NSInvalidArgumentException, "A constraint cannot relate to nil.");
    }
    if (auto value = cast<NSValue>(target)) {
        setLayoutConstantWithValue(value);
    } else if (auto view = cast<UIView>(target)) {
        secondViewAttribute_ = make<LCViewAttribute>(view, firstViewAttribute_->layoutAttribute());
    } else if (auto attribute = cast<LCViewAttribute>(target)) {
        secondViewAttribute_ = attribute;
    } else {
        NSException::raise(NSInvalidArgumentException,
                           "A constraint relates to a view, a view attribute, an array of them or a boxed value, not "
                           "to an object of class " +
                               target->getClass()->name() + ".");
    }
}

void LCViewConstraint::setLayoutRelation(NSLayoutRelation relation) {
    layoutRelation_ = relation;
    hasLayoutRelation_ = true;
}

void LCViewConstraint::setLayoutConstant(CGFloat constant) {
    layoutConstant_ = constant;
    if (auto constraint = layoutConstraint()) {
        constraint->setConstant(constant);
    }
}

bool LCViewConstraint::supportsActiveProperty() const {
    auto constraint = layoutConstraint();
    return constraint && constraint->respondsToSelector("isActive");
}

bool LCViewConstraint::isActive() const {
    if (!supportsActiveProperty()) {
        return true;
    }
    return layoutConstraint()->isActive();
}

bool LCViewConstraint::hasBeenInstalled() const {
    return layoutConstraint() && isActive();
}

LCConstraint::RelationBlock LCViewConstraint::equalToWithRelation() {
    Ref<LCViewConstraint> self(this);
    return [self](const id& target, NSLayoutRelation relation) -> Ref_ {
        if (auto array = cast<NSArray>(target)) {
            std::vector<Ref<LCConstraint>> children;
            for (const id& element : *array) {
                auto copy = cast<LCViewConstraint>(self->copy());
                copy->setLayoutRelation(relation);
                copy->setSecondViewAttribute(element);
                children.push_back(copy);
            }
            auto composite = make<LCCompositeConstraint>(std::move(children));
            auto delegate = self->delegate();
            composite->setDelegate(delegate);
            if (auto owner = LCConstraintDelegateOf(delegate)) {
                owner->constraintShouldBeReplacedWithConstraint(self, composite);
            }
            return composite;
        }
        self->setLayoutRelation(relation);
        self->setSecondViewAttribute(target);
        return self;
    };
}

LCConstraint::DoubleBlock LCViewConstraint::multipliedBy() {
    Ref<LCViewConstraint> self(this);
    return [self](CGFloat multiplier) -> Ref_ {
        self->setLayoutMultiplier(multiplier);
        return self;
    };
}

LCConstraint::DoubleBlock LCViewConstraint::dividedBy() {
    Ref<LCViewConstraint> self(this);
    return [self](CGFloat divider) -> Ref_ {
        self->setLayoutMultiplier(1.0 / divider);
        return self;
    };
}

LCConstraint::PriorityBlock LCViewConstraint::priority() {
    Ref<LCViewConstraint> self(this);
    return [self](LCLayoutPriority priority) -> Ref_ {
        self->setLayoutPriority(priority);
        return self;
    };
}

LCConstraint::ObjectBlock LCViewConstraint::key() {
    Ref<LCViewConstraint> self(this);
    return [self](const id& key) -> Ref_ {
        self->setLc_key(key);
        return self;
    };
}

void LCViewConstraint::setLayoutConstantWithValue(const Ref<NSValue>& value) {
    if (value && !cast<NSNumber>(value)) {
        std::string type = value->objCType();
        NSLayoutAttribute attribute = firstViewAttribute_->layoutAttribute();
        bool fits = true;
        const char* kind = nullptr;
        if (type == "{CGPoint=dd}") {
            fits = attribute == NSLayoutAttributeCenterX || attribute == NSLayoutAttributeCenterY;
            kind = "CGPoint";
        } else if (type == "{CGSize=dd}") {
            fits = firstViewAttribute_->isSizeAttribute();
            kind = "CGSize";
        } else if (type == "{UIEdgeInsets=dddd}") {
            fits = isEdge(attribute);
            kind = "UIEdgeInsets";
        }
        if (!fits) {
            NSException::raise(NSInvalidArgumentException, std::string("A boxed ") + kind +
                                                               " cannot be the constant of a " +
                                                               attributeName(attribute) + " constraint.");
        }
    }
    LCConstraint::setLayoutConstantWithValue(value);
}

LCConstraint::Ref_ LCViewConstraint::addConstraintWithLayoutAttribute(NSLayoutAttribute layoutAttribute) {
    auto owner = LCConstraintDelegateOf(delegate());
    if (!owner) {
        NSException::raise(NSInternalInconsistencyException,
                           "A constraint can only be chained while its maker or composite is alive.");
    }
    return owner->constraintAddConstraintWithLayoutAttribute(Ref_(this), layoutAttribute);
}

void LCViewConstraint::setOffset(CGFloat offset) {
    setLayoutConstant(offset);
}

void LCViewConstraint::setInsets(UIEdgeInsets insets) {
    switch (firstViewAttribute_->layoutAttribute()) {
    case NSLayoutAttributeLeft:
    case NSLayoutAttributeLeading:
        setLayoutConstant(insets.left);
        break;
    case NSLayoutAttributeRight:
    case NSLayoutAttributeTrailing:
        setLayoutConstant(-insets.right);
        break;
    case NSLayoutAttributeTop:
        setLayoutConstant(insets.top);
        break;
    case NSLayoutAttributeBottom:
        setLayoutConstant(-insets.bottom);
        break;
    default:
        break;
    }
}

void LCViewConstraint::setInset(CGFloat inset) {
    setInsets(UIEdgeInsets{inset, inset, inset, inset});
}

void LCViewConstraint::setSizeOffset(CGSize sizeOffset) {
    switch (firstViewAttribute_->layoutAttribute()) {
    case NSLayoutAttributeWidth:
        setLayoutConstant(sizeOffset.width);
        break;
    case NSLayoutAttributeHeight:
        setLayoutConstant(sizeOffset.height);
        break;
    default:
        break;
    }
}

void LCViewConstraint::setCenterOffset(CGPoint centerOffset) {
    switch (firstViewAttribute_->layoutAttribute()) {
    case NSLayoutAttributeCenterX:
        setLayoutConstant(centerOffset.x);
        break;
    case NSLayoutAttributeCenterY:
        setLayoutConstant(centerOffset.y);
        break;
    default:
        break;
    }
}

void LCViewConstraint::install() {
    if (hasBeenInstalled()) {
        return;
    }
    Ref<UIView> firstView = firstViewAttribute_->view();
    if (!firstView) {
        NSException::raise(NSInternalInconsistencyException, "A constraint cannot be installed: its view is gone.");
    }
    if (auto existing = layoutConstraint(); existing && supportsActiveProperty()) {
        existing->setActive(true);
        lc_installedConstraints(firstView)->addObject(Ref<LCViewConstraint>(this));
        return;
    }

    NSLayoutAttribute firstAttribute = firstViewAttribute_->layoutAttribute();
    id firstItem = firstViewAttribute_->item();
    id secondItem;
    NSLayoutAttribute secondAttribute = NSLayoutAttributeNotAnAttribute;
    Ref<UIView> secondView;
    if (secondViewAttribute_) {
        secondItem = secondViewAttribute_->item();
        secondAttribute = secondViewAttribute_->layoutAttribute();
        secondView = secondViewAttribute_->view();
        if (!secondView || !secondItem) {
            NSException::raise(NSInternalInconsistencyException,
                               "A constraint cannot be installed: the view it relates to is gone.");
        }
    }
    if (!firstViewAttribute_->isSizeAttribute() && !secondViewAttribute_) {
        auto superview = firstView->superview();
        if (!superview) {
            NSException::raise(NSInternalInconsistencyException,
                               std::string("A ") + attributeName(firstAttribute) +
                                   " constraint relative to the superview cannot be installed on a view with no "
                                   "superview (" +
                                   firstView->description()->UTF8String() + ").");
        }
        secondItem = superview;
        secondAttribute = firstAttribute;
    }

    Ref<UIView> installedView;
    if (secondView) {
        installedView = lc_closestCommonSuperview(firstView, secondView);
        if (!installedView) {
            NSException::raise(NSInternalInconsistencyException,
                               std::string("A constraint cannot be installed between views that share no ancestor (") +
                                   firstView->description()->UTF8String() + " and " +
                                   secondView->description()->UTF8String() + ").");
        }
    } else if (firstViewAttribute_->isSizeAttribute()) {
        installedView = firstView;
    } else {
        installedView = firstView->superview();
    }

    auto constraint = make<LCLayoutConstraint>(firstItem, firstAttribute, layoutRelation_, secondItem, secondAttribute,
                                               layoutMultiplier_, layoutConstant_);
    constraint->setPriority(layoutPriority_);
    constraint->setLc_key(key_);
    installedView_ = installedView;

    if (updateExisting()) {
        if (auto similar = layoutConstraintSimilarTo(constraint)) {
            similar->setConstant(constraint->constant());
            layoutConstraint_ = similar;
            return;
        }
    }
    installedView->addConstraint(constraint);
    layoutConstraint_ = constraint;
    lc_installedConstraints(firstView)->addObject(Ref<LCViewConstraint>(this));
}

Ref<LCLayoutConstraint> LCViewConstraint::layoutConstraintSimilarTo(const Ref<LCLayoutConstraint>& constraint) const {
    auto view = installedView();
    if (!view) {
        return nullptr;
    }
    const auto& list = view->constraintList();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        auto existing = cast<LCLayoutConstraint>(*it);
        if (!existing) {
            continue;
        }
        if (existing->firstItem() == constraint->firstItem() && existing->secondItem() == constraint->secondItem() &&
            existing->firstAttribute() == constraint->firstAttribute() &&
            existing->secondAttribute() == constraint->secondAttribute() &&
            existing->relation() == constraint->relation() && existing->multiplier() == constraint->multiplier() &&
            existing->priority() == constraint->priority()) {
            return existing;
        }
    }
    return nullptr;
}

void LCViewConstraint::uninstall() {
    if (supportsActiveProperty()) {
        layoutConstraint()->setActive(false);
    } else {
        if (auto constraint = layoutConstraint()) {
            if (auto view = installedView()) {
                view->removeConstraint(constraint);
            }
        }
        layoutConstraint_ = nullptr;
        installedView_ = nullptr;
    }
    if (auto view = firstViewAttribute_->view()) {
        lc_installedConstraints(view)->removeObject(Ref<LCViewConstraint>(this));
    }
}

id LCViewConstraint::copy() const {
    auto copy = make<LCViewConstraint>(firstViewAttribute_);
    copy->setLayoutConstant(layoutConstant_);
    copy->setLayoutRelation(layoutRelation_);
    copy->setLayoutPriority(layoutPriority_);
    copy->setLayoutMultiplier(layoutMultiplier_);
    copy->setDelegate(delegate());
    return copy;
}
