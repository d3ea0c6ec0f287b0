// LCCompositeConstraint: several constraints that take the same description (edges, size, centre,
// a group, or one relation to an array of targets). It owns its children and is their delegate.
#pragma once

#include <UISupport/LCConstraint.h>

#include <vector>

class LCCompositeConstraint : public LCConstraint, public LCConstraintDelegate {
    NS_OBJECT(LCCompositeConstraint, LCConstraint)
public:
    LCCompositeConstraint() = default;
    // `initWithChildren:`.
    explicit LCCompositeConstraint(std::vector<Ref<LCConstraint>> children);

    const std::vector<Ref<LCConstraint>>& childConstraints() const noexcept { return children_; }
    id lc_key() const { return key_; }

    RelationBlock equalToWithRelation() override;
    DoubleBlock multipliedBy() override;
    DoubleBlock dividedBy() override;
    PriorityBlock priority() override;
    // Children get "key[0]", "key[1]", ...
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
    void activate() override;
    void deactivate() override;

    void constraintShouldBeReplacedWithConstraint(const Ref<LCConstraint>& constraint,
                                                  const Ref<LCConstraint>& replacement) override;
    Ref<LCConstraint> constraintAddConstraintWithLayoutAttribute(const Ref<LCConstraint>& constraint,
                                                                 NSLayoutAttribute layoutAttribute) override;

private:
    template <class F>
    void forEachChild(F&& f) {
        auto children = children_;
        for (auto& child : children) {
            f(child);
        }
    }
    std::vector<Ref<LCConstraint>> children_;
    id key_;
};

// The delegate of a constraint as the protocol's interface, or nullptr.
LCConstraintDelegate* LCConstraintDelegateOf(const Ref<NSObject>& delegate);
