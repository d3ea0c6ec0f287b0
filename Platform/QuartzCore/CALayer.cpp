#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSNumber.h>
#include <QuartzCore/CAAnimation.h>
#include <QuartzCore/CAAnimationValue.h>
#include <QuartzCore/CABase.h>
#include <QuartzCore/CABasicAnimation.h>
#include <QuartzCore/CALayer.h>
#include <QuartzCore/CATransaction.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <atomic>
#include <cmath>

NS_IMPLEMENT_CLASS(CALayer, NSObject) {
    b.property("opacity", &CALayer::opacity, &CALayer::setOpacity);
    b.property("cornerRadius", &CALayer::cornerRadius, &CALayer::setCornerRadius);
    b.property("borderWidth", &CALayer::borderWidth, &CALayer::setBorderWidth);
    b.property("bounds", &CALayer::bounds, &CALayer::setBounds);
    b.property("position", &CALayer::position, &CALayer::setPosition);
    b.property("frame", &CALayer::frame, &CALayer::setFrame);
    b.property("hidden", &CALayer::isHidden, &CALayer::setHidden);
    b.property("masksToBounds", &CALayer::masksToBounds, &CALayer::setMasksToBounds);
    b.property("name", &CALayer::name, &CALayer::setName);
}

Ref<CALayer> CALayer::layer() {
    return make<CALayer>();
}

// One animation running on a layer.
struct CALayer::AnimationEntry {
    std::string key;
    Ref<CAAnimation> animation;
    double defaultDuration = 0.25;
    bool started = false;
    bool stopped = false;
    std::vector<std::shared_ptr<ca_detail::TransactionCompletion>> completions;
    std::shared_ptr<std::atomic<bool>> startTimer;
    std::shared_ptr<std::atomic<bool>> endTimer;

    void cancelTimers() {
        for (auto* t : {&startTimer, &endTimer}) {
            if (*t) {
                (*t)->store(false);
            }
        }
    }
};

namespace {

// Runs `work` on the main queue at the media time `time` (at the next turn when it has passed).
std::shared_ptr<std::atomic<bool>> scheduleAt(double time, std::function<void()> work) {
    auto flag = std::make_shared<std::atomic<bool>>(true);
    auto block = [flag, work = std::move(work)] {
        if (flag->exchange(false)) {
            work();
        }
    };
    double delay = time - CACurrentMediaTime();
    if (!(delay > 0)) {
        dispatch_async(dispatch_get_main_queue(), block);
    } else {
        auto ns = static_cast<int64_t>(std::llround(delay * static_cast<double>(NSEC_PER_SEC)));
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, ns), dispatch_get_main_queue(), block);
    }
    return flag;
}

void sendDidStart(const std::shared_ptr<CALayer::AnimationEntry>& entry) {
    if (entry->started) {
        return;
    }
    entry->started = true;
    id delegate = entry->animation->delegate();
    SEL selector("animationDidStart:");
    if (delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithArguments(selector, {id(entry->animation)});
    }
}

// Tells the delegate and the transactions waiting for it that the animation has ended.
void notifyStop(const std::shared_ptr<CALayer::AnimationEntry>& entry, bool finished) {
    if (finished) {
        sendDidStart(entry);
    }
    id delegate = entry->animation->delegate();
    SEL selector("animationDidStop:finished:");
    if (delegate && delegate->respondsToSelector(selector)) {
        delegate->performSelectorWithArguments(selector, {id(entry->animation), NSNumber::numberWithBool(finished)});
    }
    auto completions = std::move(entry->completions);
    entry->completions.clear();
    for (auto& c : completions) {
        c->animationEnded();
    }
}

} // namespace

CALayer::CALayer() : transaction_(ca_detail::transactionForNewLayer()) {}

CALayer::~CALayer() {
    for (auto& child : sublayers_) {
        child->superlayer_ = nullptr;
    }
    // Animations end with their layer, unfinished.
    for (auto& entry : animations_) {
        if (!entry->stopped) {
            entry->stopped = true;
            entry->cancelTimers();
            dispatch_async(dispatch_get_main_queue(), [entry] { notifyStop(entry, false); });
        }
    }
}

void CALayer::setBounds(CGRect bounds) {
    AnimatableChange change(this, "bounds");
    changeValueForKey("bounds", [&] { bounds_ = bounds; });
}

void CALayer::setPosition(CGPoint position) {
    AnimatableChange change(this, "position");
    changeValueForKey("position", [&] { position_ = position; });
}

void CALayer::setAnchorPoint(CGPoint anchorPoint) {
    AnimatableChange change(this, "anchorPoint");
    anchorPoint_ = anchorPoint;
}

CGRect CALayer::frame() const {
    CGRect local = CGRectMake(-anchorPoint_.x * bounds_.size.width, -anchorPoint_.y * bounds_.size.height,
                              bounds_.size.width, bounds_.size.height);
    CGRect r = CGAffineTransformIsIdentity(transform_) ? local : CGRectApplyAffineTransform(local, transform_);
    return CGRectOffset(r, position_.x, position_.y);
}

void CALayer::setFrame(CGRect frame) {
    frame = CGRectStandardize(frame);
    if (CGAffineTransformIsIdentity(transform_)) {
        setBounds(CGRectMake(bounds_.origin.x, bounds_.origin.y, frame.size.width, frame.size.height));
        setPosition(CGPointMake(frame.origin.x + anchorPoint_.x * frame.size.width,
                                frame.origin.y + anchorPoint_.y * frame.size.height));
    } else {
        CGRect current = this->frame();
        setPosition(CGPointMake(position_.x + frame.origin.x - current.origin.x,
                                position_.y + frame.origin.y - current.origin.y));
    }
}

void CALayer::setAffineTransform(CGAffineTransform transform) {
    AnimatableChange change(this, "transform");
    transform_ = transform;
}

void CALayer::setOpacity(float opacity) {
    AnimatableChange change(this, "opacity");
    changeValueForKey("opacity", [&] { opacity_ = std::clamp(opacity, 0.0f, 1.0f); });
}

Ref<NSArray> CALayer::sublayers() const {
    if (sublayers_.empty()) {
        return nullptr;
    }
    return NSArray::arrayWithRefs(sublayers_);
}

void CALayer::detach(CALayer* child) {
    auto it =
        std::find_if(sublayers_.begin(), sublayers_.end(), [&](const Ref<CALayer>& l) { return l.get() == child; });
    if (it != sublayers_.end()) {
        sublayers_.erase(it);
    }
}

void CALayer::addSublayer(const Ref<CALayer>& layer) {
    insertSublayerAtIndex(layer, static_cast<unsigned>(sublayers_.size() + 1));
}

void CALayer::insertSublayerAtIndex(const Ref<CALayer>& layer, unsigned index) {
    if (!layer || layer.get() == this) {
        return;
    }
    Ref<CALayer> keep = layer;
    if (auto old = layer->superlayer()) {
        old->detach(layer.get());
    }
    size_t at = std::min<size_t>(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(at), layer);
    layer->superlayer_ = Ref<CALayer>(this);
}

void CALayer::insertSublayerBelow(const Ref<CALayer>& layer, const Ref<CALayer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    if (!sibling || it == sublayers_.end()) {
        insertSublayerAtIndex(layer, 0);
        return;
    }
    Ref<CALayer> keep = layer;
    if (auto old = layer->superlayer()) {
        old->detach(layer.get());
    }
    it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    sublayers_.insert(it, layer);
    layer->superlayer_ = Ref<CALayer>(this);
}

void CALayer::insertSublayerAbove(const Ref<CALayer>& layer, const Ref<CALayer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    if (!sibling || it == sublayers_.end()) {
        addSublayer(layer);
        return;
    }
    Ref<CALayer> keep = layer;
    if (auto old = layer->superlayer()) {
        old->detach(layer.get());
    }
    it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    sublayers_.insert(it + 1, layer);
    layer->superlayer_ = Ref<CALayer>(this);
}

void CALayer::removeFromSuperlayer() {
    Ref<CALayer> keep(this);
    if (auto parent = superlayer()) {
        parent->detach(this);
    }
    superlayer_ = nullptr;
}

void CALayer::displayIfNeeded() {
    if (needsDisplay_) {
        needsDisplay_ = false;
        display();
    }
}

// MARK: - Animations

void CALayer::addAnimationForKey(const Ref<CAAnimation>& animation, const Ref<NSString>& key) {
    if (!animation) {
        return;
    }
    Ref<CAAnimation> running = cast<CAAnimation>(animation->copy());
    if (!running) {
        return;
    }
    if (running->beginTime() == 0) {
        running->setBeginTime(CACurrentMediaTime());
    }
    std::string k = key ? key->str() : std::string();
    if (!k.empty()) {
        removeAnimationForKey(key);
    }
    auto entry = std::make_shared<AnimationEntry>();
    entry->key = k;
    entry->animation = running;
    entry->defaultDuration = CATransaction::animationDuration();
    entry->completions = ca_detail::completionsForNewAnimation();
    animations_.push_back(entry);

    entry->startTimer = scheduleAt(running->beginTime(), [entry] {
        if (!entry->stopped) {
            sendDidStart(entry);
        }
    });
    double end = running->beginTime() + running->endTimeOffset(entry->defaultDuration);
    if (std::isfinite(end)) {
        Weak<CALayer> weak(Ref<CALayer>(this));
        entry->endTimer = scheduleAt(end, [weak, entry] {
            if (auto layer = weak.lock()) {
                layer->endAnimation(entry, true);
            }
        });
    }
}

void CALayer::endAnimation(const std::shared_ptr<AnimationEntry>& entry, bool finished) {
    Ref<CALayer> keep(this);
    if (!finished || entry->animation->isRemovedOnCompletion()) {
        auto it = std::find(animations_.begin(), animations_.end(), entry);
        if (it != animations_.end()) {
            animations_.erase(it);
        }
    }
    // An animation kept after its end has stopped already: its removal says nothing more.
    if (entry->stopped) {
        return;
    }
    entry->stopped = true;
    entry->cancelTimers();
    if (finished) {
        notifyStop(entry, true);
    } else {
        dispatch_async(dispatch_get_main_queue(), [entry] { notifyStop(entry, false); });
    }
}

Ref<CAAnimation> CALayer::animationForKey(const Ref<NSString>& key) const {
    if (!key || key->str().empty()) {
        return nullptr;
    }
    for (const auto& entry : animations_) {
        if (entry->key == key->str()) {
            return entry->animation;
        }
    }
    return nullptr;
}

void CALayer::removeAnimationForKey(const Ref<NSString>& key) {
    if (!key || key->str().empty()) {
        return;
    }
    std::vector<std::shared_ptr<AnimationEntry>> removed;
    for (const auto& entry : animations_) {
        if (entry->key == key->str()) {
            removed.push_back(entry);
        }
    }
    for (const auto& entry : removed) {
        endAnimation(entry, false);
    }
}

void CALayer::removeAllAnimations() {
    auto removed = animations_;
    for (const auto& entry : removed) {
        endAnimation(entry, false);
    }
}

Ref<NSArray> CALayer::animationKeys() const {
    std::vector<id> keys;
    for (const auto& entry : animations_) {
        if (!entry->key.empty()) {
            keys.push_back(NSString::from(entry->key));
        }
    }
    if (keys.empty()) {
        return nullptr;
    }
    return NSArray::arrayWithVector(std::move(keys));
}

bool CALayer::hasAnimationForKey(const std::string& key) const {
    return std::any_of(animations_.begin(), animations_.end(),
                       [&](const std::shared_ptr<AnimationEntry>& e) { return e->key == key; });
}

// MARK: - Presentation

void CALayer::copyModelValuesInto(CALayer& copy) const {
    copy.bounds_ = bounds_;
    copy.position_ = position_;
    copy.anchorPoint_ = anchorPoint_;
    copy.transform_ = transform_;
    copy.zPosition_ = zPosition_;
    copy.opacity_ = opacity_;
    copy.hidden_ = hidden_;
    copy.masksToBounds_ = masksToBounds_;
    copy.allowsGroupOpacity_ = allowsGroupOpacity_;
    copy.opaque_ = opaque_;
    copy.cornerRadius_ = cornerRadius_;
    copy.borderWidth_ = borderWidth_;
    copy.borderColor_ = borderColor_;
    copy.backgroundColor_ = backgroundColor_;
    copy.shadowColor_ = shadowColor_;
    copy.shadowOpacity_ = shadowOpacity_;
    copy.shadowOffset_ = shadowOffset_;
    copy.shadowRadius_ = shadowRadius_;
    copy.contentsScale_ = contentsScale_;
    copy.contents_ = contents_;
    copy.contentsGravity_ = contentsGravity_;
    copy.backingStore_ = backingStore_;
    copy.name_ = name_;
    copy.delegate_ = delegate_;
    copy.mask_ = mask_ ? mask_->presentationLayer() : nullptr;
    // The properties that subclasses register.
    auto& self = const_cast<CALayer&>(*this);
    for (Class cls = getClass(); cls && cls != CALayer::class_(); cls = cls->superclass()) {
        for (const ObjCProperty* p : cls->ownProperties()) {
            if (p->readonly || !p->getter || !p->setter) {
                continue;
            }
            try {
                p->setter(&copy, p->getter(&self));
            } catch (...) {
                // A property that cannot be copied keeps the new layer's value.
            }
        }
    }
}

Ref<CALayer> CALayer::presentationLayer() const {
    return presentationCopy(false);
}

Ref<CALayer> CALayer::settledPresentationLayer() const {
    return presentationCopy(true);
}

Ref<CALayer> CALayer::presentationCopy(bool settled) const {
    if (model_) {
        return Ref<CALayer>(const_cast<CALayer*>(this));
    }
    Ref<CALayer> copy = cast<CALayer>(getClass()->createInstance());
    if (!copy) {
        copy = make<CALayer>();
    }
    copy->model_ = Ref<CALayer>(const_cast<CALayer*>(this));
    copyModelValuesInto(*copy);
    if (settled && mask_) {
        copy->mask_ = mask_->settledPresentationLayer();
    }
    double now = CACurrentMediaTime();
    auto running = animations_;
    for (const auto& entry : running) {
        const auto& animation = entry->animation;
        double at = now;
        if (settled) {
            double end = animation->beginTime() + animation->endTimeOffset(entry->defaultDuration);
            if (std::isfinite(end)) {
                if (animation->isRemovedOnCompletion()) {
                    continue; // it leaves the layer at its end: the model value is what stays
                }
                at = std::max(now, end);
            }
        }
        animation->applyToPresentation(*copy, at, entry->defaultDuration);
    }
    return copy;
}

Ref<CALayer> CALayer::modelLayer() const {
    return model_ ? model_ : Ref<CALayer>(const_cast<CALayer*>(this));
}

id CALayer::presentationValueForKeyPath(const Ref<NSString>& keyPath) const {
    if (!keyPath) {
        return nullptr;
    }
    if (animations_.empty() || model_) {
        return ca_detail::layerValueForKeyPath(*this, keyPath->str());
    }
    return ca_detail::layerValueForKeyPath(*presentationLayer(), keyPath->str());
}

// MARK: - Actions

bool CALayer::isCommitted() const noexcept {
    return transaction_ == 0 || ca_detail::isTransactionCommitted(transaction_);
}

id CALayer::actionForKey(const Ref<NSString>& key) {
    if (!key || CATransaction::disableActions()) {
        return nullptr;
    }
    id delegate = this->delegate();
    SEL selector("actionForLayer:forKey:");
    if (delegate && delegate->respondsToSelector(selector)) {
        id action = delegate->performSelectorWithArguments(selector, {id(Ref<CALayer>(this)), id(key)});
        if (cast<NSNull>(action)) {
            return nullptr;
        }
        if (action) {
            return action;
        }
    }
    return defaultActionForKey(key);
}

id CALayer::defaultActionForKey(const Ref<NSString>& key) {
    auto animation = CABasicAnimation::animationWithKeyPath(key);
    auto timing = CATransaction::animationTimingFunction();
    animation->setTimingFunction(timing ? timing
                                        : CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionDefault()));
    return animation;
}

CALayer::AnimatableChange::AnimatableChange(CALayer* layer, const char* key) : layer_(layer), key_(key) {
    if (!layer_ || !layer_->takesImplicitActions_ || layer_->model_ || !layer_->isCommitted()) {
        return;
    }
    auto name = NSString::from(key_);
    action_ = layer_->actionForKey(name);
    if (action_) {
        shownValue_ = layer_->presentationValueForKeyPath(name);
    }
}

CALayer::AnimatableChange::~AnimatableChange() {
    if (!action_) {
        return;
    }
    try {
        auto name = NSString::from(key_);
        if (auto basic = cast<CABasicAnimation>(action_)) {
            auto animation = cast<CABasicAnimation>(basic->copy());
            if (!animation->keyPath()) {
                animation->setKeyPath(name);
            }
            if (!animation->fromValue() && !animation->toValue() && !animation->byValue()) {
                animation->setFromValue(shownValue_);
            }
            layer_->addAnimationForKey(animation, name);
        } else if (auto animation = cast<CAAnimation>(action_)) {
            layer_->addAnimationForKey(animation, name);
        }
    } catch (...) {
        // An action that cannot run leaves the change without animation.
    }
}

CGPoint CALayer::pointToSuperlayer(CGPoint p) const {
    // Local coordinates are relative to bounds.origin; the anchor point sits at `position`.
    CGPoint local{p.x - bounds_.origin.x - anchorPoint_.x * bounds_.size.width,
                  p.y - bounds_.origin.y - anchorPoint_.y * bounds_.size.height};
    CGPoint t = CGPointApplyAffineTransform(local, transform_);
    return {t.x + position_.x, t.y + position_.y};
}

CGPoint CALayer::pointFromSuperlayer(CGPoint p) const {
    CGPoint t{p.x - position_.x, p.y - position_.y};
    CGPoint local = CGPointApplyAffineTransform(t, CGAffineTransformInvert(transform_));
    return {local.x + bounds_.origin.x + anchorPoint_.x * bounds_.size.width,
            local.y + bounds_.origin.y + anchorPoint_.y * bounds_.size.height};
}

namespace {

// Whether two layers belong to one tree (have the same root).
bool sameTree(const CALayer* a, const CALayer* b) {
    auto rootOf = [](const CALayer* layer, Ref<CALayer>& hold) {
        for (auto parent = layer->superlayer(); parent; parent = parent->superlayer()) {
            hold = parent;
        }
        return hold ? hold.get() : layer;
    };
    Ref<CALayer> holdA, holdB;
    return rootOf(a, holdA) == rootOf(b, holdB);
}

} // namespace

CGPoint CALayer::convertPointToRootSpace(CGPoint point) const {
    CGPoint p = point;
    Ref<CALayer> hold;
    for (const CALayer* l = this; l;) {
        p = l->pointToSuperlayer(p);
        hold = l->superlayer();
        l = hold.get();
    }
    return p;
}

CGPoint CALayer::convertPointFromRootSpace(CGPoint point) const {
    std::vector<Ref<CALayer>> ancestors;
    for (auto l = superlayer(); l; l = l->superlayer()) {
        ancestors.push_back(l);
    }
    CGPoint p = point;
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
        p = (*it)->pointFromSuperlayer(p);
    }
    return pointFromSuperlayer(p);
}

CGPoint CALayer::convertPointToLayer(CGPoint point, const Ref<CALayer>& layer) const {
    if (layer && !sameTree(layer.get(), this)) {
        // Two trees: through the space both roots stand in.
        return layer->convertPointFromRootSpace(convertPointToRootSpace(point));
    }
    // Up to the root, then down to the target.
    CGPoint p = point;
    const CALayer* l = this;
    while (l) {
        if (layer && l == layer.get()) {
            return p;
        }
        auto parent = l->superlayer();
        if (!parent) {
            break;
        }
        p = l->pointToSuperlayer(p);
        l = parent.get();
    }
    if (!layer) {
        return p;
    }
    return layer->convertPointFromLayer(p, nullptr);
}

CGPoint CALayer::convertPointFromLayer(CGPoint point, const Ref<CALayer>& layer) const {
    if (layer && !sameTree(layer.get(), this)) {
        return convertPointFromRootSpace(layer->convertPointToRootSpace(point));
    }
    CGPoint inRoot = layer ? layer->convertPointToLayer(point, nullptr) : point;
    std::vector<const CALayer*> chain;
    for (const CALayer* l = this; l; l = l->superlayer().get()) {
        chain.push_back(l);
    }
    CGPoint p = inRoot;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it == chain.rbegin()) {
            continue; // the root's coordinates are the starting point
        }
        p = (*it)->pointFromSuperlayer(p);
    }
    return p;
}

Ref<NSString> CALayer::description() const {
    CGRect f = frame();
    return NSString::stringWithFormat("<%s: %p; frame = (%g %g; %g %g)>", getClass()->name(),
                                      static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                                      f.size.height);
}
