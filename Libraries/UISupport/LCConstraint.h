// LCConstraint: the abstract, chainable description of a layout constraint, and the protocol by
// which a constraint asks its owner (a maker or a composite) to grow or replace it.
//
// The chain is made of block properties: each getter answers a block whose call sets something
// and answers the constraint that the chain continues with, so a description reads
//     maker->bottom()->equalTo()(superview)->offset()(-90);
// The members marked abstract raise NSInternalInconsistencyException ("You must override %@ in a
// subclass.") on LCConstraint itself; LCViewConstraint and LCCompositeConstraint implement them.
//
// Targets of equalTo and its relatives: a UIView (its same attribute), an LCViewAttribute, an
// NSNumber (a constant), a boxed CGPoint, CGSize or UIEdgeInsets ("{CGPoint=dd}", "{CGSize=dd}",
// "{UIEdgeInsets=dddd}"), or an array of views or attributes (one constraint each). Anything else,
// nil included, and a boxed value that does not fit the attribute (a point for a width) raise
// NSInvalidArgumentException.
#pragma once

#include <Runtime/ProtocolBuilder.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIGeometry.h>

#include <functional>

class LCConstraint;
class NSValue;

NS_DECLARE_PROTOCOL(LCConstraintDelegate);

// What a constraint's owner does for it. Implemented by LCConstraintMaker and LCCompositeConstraint.
class LCConstraintDelegate {
public:
    virtual ~LCConstraintDelegate() = default;
    // `constraint:shouldBeReplacedWithConstraint:`: `replacement` takes the place of `constraint`,
    // which is one of the owner's entries.
    virtual void constraintShouldBeReplacedWithConstraint(const Ref<LCConstraint>& constraint,
                                                          const Ref<LCConstraint>& replacement) = 0;
    // `constraint:addConstraintWithLayoutAttribute:`: a further attribute for a chain that starts at
    // `constraint` (nil for a fresh one); answers the constraint the chain continues with.
    virtual Ref<LCConstraint> constraintAddConstraintWithLayoutAttribute(const Ref<LCConstraint>& constraint,
                                                                         NSLayoutAttribute layoutAttribute) = 0;
};

using LCLayoutPriority = float;
inline constexpr LCLayoutPriority LCLayoutPriorityRequired = 1000;
inline constexpr LCLayoutPriority LCLayoutPriorityDefaultHigh = 750;
inline constexpr LCLayoutPriority LCLayoutPriorityDefaultMedium = 500;
inline constexpr LCLayoutPriority LCLayoutPriorityDefaultLow = 250;

class LCConstraint : public NSObject {
    NS_OBJECT(LCConstraint, NSObject)
public:
    using Ref_ = Ref<LCConstraint>;
    using ObjectBlock = std::function<Ref_(const id&)>;
    using RelationBlock = std::function<Ref_(const id&, NSLayoutRelation)>;
    using DoubleBlock = std::function<Ref_(CGFloat)>;
    using PriorityBlock = std::function<Ref_(LCLayoutPriority)>;
    using VoidBlock = std::function<Ref_()>;
    using InsetsBlock = std::function<Ref_(UIEdgeInsets)>;
    using SizeBlock = std::function<Ref_(CGSize)>;
    using PointBlock = std::function<Ref_(CGPoint)>;
    using ValueBlock = std::function<Ref_(const Ref<NSValue>&)>;

    LCConstraint() = default;

    // Relations.
    ObjectBlock equalTo();
    ObjectBlock greaterThanOrEqualTo();
    ObjectBlock lessThanOrEqualTo();
    ObjectBlock lc_equalTo();
    ObjectBlock lc_greaterThanOrEqualTo();
    ObjectBlock lc_lessThanOrEqualTo();
    virtual RelationBlock equalToWithRelation(); // abstract

    // Multiplier and priority.
    virtual DoubleBlock multipliedBy(); // abstract
    virtual DoubleBlock dividedBy();    // abstract
    virtual PriorityBlock priority();   // abstract
    VoidBlock priorityLow();
    VoidBlock priorityMedium();
    VoidBlock priorityHigh();

    // Constants.
    DoubleBlock offset();
    InsetsBlock insets();
    DoubleBlock inset();
    SizeBlock sizeOffset();
    PointBlock centerOffset();
    ValueBlock valueOffset();
    // Answers no block: boxed offsets go through valueOffset.
    VoidBlock lc_offset();

    // The debugging key.
    virtual ObjectBlock key(); // abstract

    // Words that read well and do nothing.
    Ref_ with() { return Ref_(this); }
    Ref_ and_() { return Ref_(this); }

    // A further attribute on the chain.
    Ref_ left();
    Ref_ top();
    Ref_ right();
    Ref_ bottom();
    Ref_ leading();
    Ref_ trailing();
    Ref_ width();
    Ref_ height();
    Ref_ centerX();
    Ref_ centerY();
    Ref_ baseline();

    // A boxed value as the constant: a number is an offset, a point a centre offset, a size a size
    // offset, insets are insets (the type encoding decides). Raises NSInvalidArgumentException for
    // any other value, or one that does not fit the constrained attribute.
    virtual void setLayoutConstantWithValue(const Ref<NSValue>& value);

    // Abstract.
    virtual Ref_ addConstraintWithLayoutAttribute(NSLayoutAttribute layoutAttribute);
    virtual void setOffset(CGFloat offset);
    virtual void setInsets(UIEdgeInsets insets);
    virtual void setInset(CGFloat inset);
    virtual void setSizeOffset(CGSize sizeOffset);
    virtual void setCenterOffset(CGPoint centerOffset);
    virtual void install();
    virtual void uninstall();
    virtual void activate();
    virtual void deactivate();

    // The owner (a maker or a composite), held weakly.
    Ref<NSObject> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<NSObject>& delegate) { delegate_ = delegate; }
    bool updateExisting() const noexcept { return updateExisting_; }
    void setUpdateExisting(bool update) { updateExisting_ = update; }

protected:
    [[noreturn]] void mustOverride(const char* selector) const;

private:
    Weak<NSObject> delegate_;
    bool updateExisting_ = false;
};
