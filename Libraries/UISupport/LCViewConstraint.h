// LCViewConstraint: one constraint between a view's attribute and an optional second attribute (of
// another view or a layout guide), or a constant. `install` makes (or reuses) one
// LCLayoutConstraint and adds it to the right view: the closest common superview of the two views,
// the view itself for a size constant, or its superview for a position constant.
//
// A constraint that has no view to go to raises NSInternalInconsistencyException at install: a
// position relative to a view with no superview, or two views that share no ancestor (in different
// windows, or one of them out of every tree).
#pragma once

#include <UISupport/LCConstraint.h>
#include <UISupport/LCLayoutConstraint.h>
#include <UISupport/LCViewAttribute.h>

class LCViewConstraint : public LCConstraint {
    NS_OBJECT(LCViewConstraint, LCConstraint)
public:
    LCViewConstraint() = default;
    // `initWithFirstViewAttribute:`: relation equal, multiplier 1, constant 0, priority required.
    explicit LCViewConstraint(const Ref<LCViewAttribute>& firstViewAttribute);

    // The LCViewConstraints installed with `view` as first view.
    static Ref<NSArray> installedConstraintsForView(const Ref<UIView>& view);

    Ref<LCViewAttribute> firstViewAttribute() const { return firstViewAttribute_; }
    Ref<LCViewAttribute> secondViewAttribute() const { return secondViewAttribute_; }
    // A view (its same attribute), an LCViewAttribute, or a boxed constant; raises otherwise.
    void setSecondViewAttribute(const id& target);
    NSLayoutRelation layoutRelation() const noexcept { return layoutRelation_; }
    void setLayoutRelation(NSLayoutRelation relation);
    bool hasLayoutRelation() const noexcept { return hasLayoutRelation_; }
    CGFloat layoutMultiplier() const noexcept { return layoutMultiplier_; }
    void setLayoutMultiplier(CGFloat multiplier) { layoutMultiplier_ = multiplier; }
    // Also changes the installed platform constraint at once.
    CGFloat layoutConstant() const noexcept { return layoutConstant_; }
    void setLayoutConstant(CGFloat constant);
    LCLayoutPriority layoutPriority() const noexcept { return layoutPriority_; }
    void setLayoutPriority(LCLayoutPriority priority) { layoutPriority_ = priority; }
    id lc_key() const { return key_; }
    void setLc_key(const id& key) { key_ = key; }
    Ref<UIView> installedView() const { return installedView_.lock(); }
    Ref<LCLayoutConstraint> layoutConstraint() const { return layoutConstraint_.lock(); }

    bool supportsActiveProperty() const;
    bool isActive() const;
    bool hasBeenInstalled() const;

    RelationBlock equalToWithRelation() override;
    DoubleBlock multipliedBy() override;
    DoubleBlock dividedBy() override;
    PriorityBlock priority() override;
    ObjectBlock key() override;
    void setLayoutConstantWithValue(const Ref<NSValue>& value) override;
    Ref_ addConstraintWithLayoutAttribute(NSLayoutAttribute layoutAttribute) override;
    void setOffset(CGFloat offset) override;
    void setInsets(UIEdgeInsets insets) override;
    void setInset(CGFloat inset) override;
    void setSizeOffset(CGSize sizeOffset) override;
    void setCenterOffset(CGPoint centerOffset) override;
    void install() override;
    void uninstall() override;
    void activate() override { install(); }
    void deactivate() override { uninstall(); }

    // `copyWithZone:`: the first attribute, relation, multiplier, constant, priority and delegate;
    // not the second attribute or the key.
    id copy() const override;

private:
    Ref<LCLayoutConstraint> layoutConstraintSimilarTo(const Ref<LCLayoutConstraint>& constraint) const;

    Ref<LCViewAttribute> firstViewAttribute_;
    Ref<LCViewAttribute> secondViewAttribute_;
    NSLayoutRelation layoutRelation_ = NSLayoutRelationEqual;
    bool hasLayoutRelation_ = false;
    CGFloat layoutMultiplier_ = 1.0;
    CGFloat layoutConstant_ = 0;
    LCLayoutPriority layoutPriority_ = LCLayoutPriorityRequired;
    id key_;
    Weak<UIView> installedView_;
    Weak<LCLayoutConstraint> layoutConstraint_;
};
