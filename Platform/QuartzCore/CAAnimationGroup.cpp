#include <QuartzCore/CAAnimationGroup.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CAAnimationGroup, CAAnimation) {
    b.property("animations", &CAAnimationGroup::animations, &CAAnimationGroup::setAnimations, "copy");
}

Ref<CAAnimationGroup> CAAnimationGroup::animation() {
    return make<CAAnimationGroup>();
}

void CAAnimationGroup::copySettingsInto(CAAnimation& into) const {
    CAAnimation::copySettingsInto(into);
    if (auto* g = dynamic_cast<CAAnimationGroup*>(&into)) {
        if (animations_) {
            // The members are copied too, so the layer's group does not change with the caller's.
            std::vector<id> members;
            for (NSUInteger i = 0; i < animations_->count(); ++i) {
                id member = animations_->objectAtIndex(i);
                members.push_back(cast<CAAnimation>(member) ? member->copy() : member);
            }
            g->animations_ = NSArray::arrayWithVector(std::move(members));
        } else {
            g->animations_ = nullptr;
        }
    }
}

void CAAnimationGroup::applyToPresentation(CALayer& presentation, double parentTime, double defaultDuration) const {
    if (!animations_) {
        return;
    }
    auto progress = progressAtTime(parentTime, defaultDuration);
    if (!progress) {
        return;
    }
    double d = effectiveDuration(defaultDuration);
    double groupTime = progress->fraction * d;
    for (NSUInteger i = 0; i < animations_->count(); ++i) {
        if (auto member = cast<CAAnimation>(animations_->objectAtIndex(i))) {
            member->applyToPresentation(presentation, groupTime, d);
        }
    }
}
