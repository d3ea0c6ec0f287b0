#include <QuartzCore/CALayer.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <atomic>

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

CALayer::~CALayer() {
    for (auto& child : sublayers_) {
        child->superlayer_ = nullptr;
    }
}

void CALayer::setBounds(CGRect bounds) {
    changeValueForKey("bounds", [&] { bounds_ = bounds; });
}

void CALayer::setPosition(CGPoint position) {
    changeValueForKey("position", [&] { position_ = position; });
}

void CALayer::setAnchorPoint(CGPoint anchorPoint) {
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
    transform_ = transform;
}

void CALayer::setOpacity(float opacity) {
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

Ref<NSArray> CALayer::animationKeys() const {
    if (animations_.empty()) {
        return nullptr;
    }
    std::vector<id> keys;
    for (const auto& a : animations_) {
        keys.push_back(NSString::from(a.key));
    }
    return NSArray::arrayWithVector(std::move(keys));
}

bool CALayer::hasAnimationForKey(const std::string& key) const {
    return std::any_of(animations_.begin(), animations_.end(), [&](const RunningAnimation& a) { return a.key == key; });
}

void CALayer::removeAnimationForKey(const Ref<NSString>& key) {
    if (!key) {
        return;
    }
    std::vector<std::function<void()>> cancelled;
    for (auto it = animations_.begin(); it != animations_.end();) {
        if (it->key == key->str()) {
            cancelled.push_back(std::move(it->cancel));
            it = animations_.erase(it);
        } else {
            ++it;
        }
    }
    Ref<CALayer> keep(this);
    for (auto& c : cancelled) {
        if (c) {
            c();
        }
    }
}

void CALayer::removeAllAnimations() {
    auto cancelled = std::move(animations_);
    animations_.clear();
    Ref<CALayer> keep(this);
    for (auto& a : cancelled) {
        if (a.cancel) {
            a.cancel();
        }
    }
}

namespace {
uint64_t nextAnimationToken() {
    static std::atomic<uint64_t> next{1};
    return next++;
}
} // namespace

uint64_t CALayer::addRunningAnimation(const std::string& key, std::function<void()> cancel) {
    uint64_t token = nextAnimationToken();
    animations_.push_back({token, key, std::move(cancel), nullptr});
    return token;
}

void CALayer::addAnimationForKey(const id& animation, const Ref<NSString>& key) {
    if (!animation) {
        return;
    }
    std::string k = key ? key->str() : std::string();
    if (!k.empty()) {
        removeAnimationForKey(key);
    }
    animations_.push_back({nextAnimationToken(), k, nullptr, animation});
}

id CALayer::animationForKey(const Ref<NSString>& key) const {
    if (!key) {
        return nullptr;
    }
    for (const auto& a : animations_) {
        if (a.key == key->str() && a.animation) {
            return a.animation;
        }
    }
    return nullptr;
}

void CALayer::animationDidFinish(uint64_t token) {
    auto it = std::find_if(animations_.begin(), animations_.end(),
                           [&](const RunningAnimation& a) { return a.token == token; });
    if (it != animations_.end()) {
        animations_.erase(it);
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

CGPoint CALayer::convertPointToLayer(CGPoint point, const Ref<CALayer>& layer) const {
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
