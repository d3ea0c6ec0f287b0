// CALayer: the geometry and look of one rectangle of the screen (bounds, position, anchor point,
// transform, opacity, corner radius, border, background colour) in a tree of layers. Every view
// is backed by one; other layers (shape layers, preview layers) can hang under it.
//
// The layer keeps the model values (what code set). Animations (CAAnimation.h) run on it under
// keys, on the platform clock; presentationLayer() answers a copy with the values the animations
// show at the clock's current time, which is what is drawn.
//
// Implicit animations. A change of an animatable property (geometry, transform, opacity, corner
// radius, border, colours, shadow; a subclass's own, see AnimatableChange) asks actionForKey() for
// an action: none while CATransaction disables actions or before the layer's first transaction is
// committed; the delegate's answer to `actionForLayer:forKey:` when it has one (NSNull: none; a
// view answers NSNull, its animations come from UIView's animation blocks); otherwise a basic
// animation from the shown value to the new one, with the transaction's duration and pacing. The
// action is added under the property's name.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGColor.h>
#include <CoreGraphics/CGContext.h>
#include <Foundation/NSArray.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAAnimation;

// Contents gravity: how `contents` fills the bounds.
const Ref<NSString>& kCAGravityCenter();
const Ref<NSString>& kCAGravityTop();
const Ref<NSString>& kCAGravityBottom();
const Ref<NSString>& kCAGravityLeft();
const Ref<NSString>& kCAGravityRight();
const Ref<NSString>& kCAGravityTopLeft();
const Ref<NSString>& kCAGravityTopRight();
const Ref<NSString>& kCAGravityBottomLeft();
const Ref<NSString>& kCAGravityBottomRight();
const Ref<NSString>& kCAGravityResize();
const Ref<NSString>& kCAGravityResizeAspect();
const Ref<NSString>& kCAGravityResizeAspectFill();

class CALayer : public NSObject {
    NS_OBJECT(CALayer, NSObject)
public:
    CALayer();
    ~CALayer() override;
    static Ref<CALayer> layer();

    // Geometry. `frame` is derived from bounds, position, anchor point and transform.
    CGRect bounds() const noexcept { return bounds_; }
    void setBounds(CGRect bounds);
    CGPoint position() const noexcept { return position_; }
    void setPosition(CGPoint position);
    CGPoint anchorPoint() const noexcept { return anchorPoint_; }
    void setAnchorPoint(CGPoint anchorPoint);
    CGRect frame() const;
    // Sets position and size. With a transform other than identity only the position follows the
    // new frame; the bounds keep their size.
    void setFrame(CGRect frame);
    CGAffineTransform affineTransform() const noexcept { return transform_; }
    void setAffineTransform(CGAffineTransform transform);
    CGFloat zPosition() const noexcept { return zPosition_; }
    void setZPosition(CGFloat z) {
        AnimatableChange change(this, "zPosition");
        zPosition_ = z;
    }

    // Look.
    float opacity() const noexcept { return opacity_; }
    void setOpacity(float opacity);
    bool isHidden() const noexcept { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    bool masksToBounds() const noexcept { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }
    CGFloat cornerRadius() const noexcept { return cornerRadius_; }
    void setCornerRadius(CGFloat radius) {
        AnimatableChange change(this, "cornerRadius");
        cornerRadius_ = radius;
    }
    CGFloat borderWidth() const noexcept { return borderWidth_; }
    void setBorderWidth(CGFloat width) {
        AnimatableChange change(this, "borderWidth");
        borderWidth_ = width;
    }
    CGColorRef borderColor() const { return borderColor_; }
    void setBorderColor(CGColorRef color) {
        AnimatableChange change(this, "borderColor");
        borderColor_ = std::move(color);
    }
    CGColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(CGColorRef color) {
        AnimatableChange change(this, "backgroundColor");
        backgroundColor_ = std::move(color);
    }
    CGColorRef shadowColor() const { return shadowColor_; }
    void setShadowColor(CGColorRef color) {
        AnimatableChange change(this, "shadowColor");
        shadowColor_ = std::move(color);
    }
    float shadowOpacity() const noexcept { return shadowOpacity_; }
    void setShadowOpacity(float opacity) {
        AnimatableChange change(this, "shadowOpacity");
        shadowOpacity_ = opacity;
    }
    CGSize shadowOffset() const noexcept { return shadowOffset_; }
    void setShadowOffset(CGSize offset) {
        AnimatableChange change(this, "shadowOffset");
        shadowOffset_ = offset;
    }
    CGFloat shadowRadius() const noexcept { return shadowRadius_; }
    void setShadowRadius(CGFloat radius) {
        AnimatableChange change(this, "shadowRadius");
        shadowRadius_ = radius;
    }
    bool allowsGroupOpacity() const noexcept { return allowsGroupOpacity_; }
    void setAllowsGroupOpacity(bool allows) { allowsGroupOpacity_ = allows; }
    bool isOpaque() const noexcept { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    CGFloat contentsScale() const noexcept { return contentsScale_; }
    void setContentsScale(CGFloat scale) { contentsScale_ = scale; }
    id contents() const { return contents_; }
    void setContents(const id& contents) { contents_ = contents; }
    Ref<NSString> name() const { return name_; }
    void setName(const Ref<NSString>& name) { name_ = name; }

    // The tree. A layer has at most one superlayer; adding it elsewhere moves it.
    Ref<CALayer> superlayer() const { return superlayer_.lock(); }
    Ref<NSArray> sublayers() const;
    const std::vector<Ref<CALayer>>& sublayerList() const noexcept { return sublayers_; }
    void addSublayer(const Ref<CALayer>& layer);
    void insertSublayerAtIndex(const Ref<CALayer>& layer, unsigned index);
    void insertSublayerBelow(const Ref<CALayer>& layer, const Ref<CALayer>& sibling);
    void insertSublayerAbove(const Ref<CALayer>& layer, const Ref<CALayer>& sibling);
    void removeFromSuperlayer();

    // The object that draws the layer (a view for its own layer), held weakly.
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }

    // Drawing requests: the drawing layer draws the content later; here the request is recorded.
    void setNeedsDisplay() { needsDisplay_ = true; }
    bool needsDisplay() const noexcept { return needsDisplay_; }
    void displayIfNeeded();
    void setNeedsLayout() { needsLayout_ = true; }
    bool needsLayout() const noexcept { return needsLayout_; }

    // Animations, by key. The layer runs a copy of the animation it is given; its beginTime 0 becomes
    // the current media time and its duration 0 the transaction's animation duration. Adding one
    // under a key that has one removes that one first; a nil or empty key adds one that no key
    // reaches. Removing an animation that has not ended tells its delegate finished = NO (at the
    // next turn of the main queue). Animations run on the main thread.
    void addAnimationForKey(const Ref<CAAnimation>& animation, const Ref<NSString>& key);
    // The layer's copy; nil for no animation under the key.
    Ref<CAAnimation> animationForKey(const Ref<NSString>& key) const;
    void removeAnimationForKey(const Ref<NSString>& key);
    void removeAllAnimations();
    // The keys in the order the animations were added; nil when there are none.
    Ref<NSArray> animationKeys() const;
    bool hasAnimationForKey(const std::string& key) const;

    // A copy of the layer with the values its animations show now (CACurrentMediaTime). The copy is
    // of the layer's class and holds every value of the layer, the subclass properties registered
    // for key-value coding included; its mask is the mask's presentation layer; it has no
    // superlayer, sublayers or animations. For a presentation layer it answers itself.
    Ref<CALayer> presentationLayer() const;
    // The copy as the layer will show once its animations have run their course: an animation that
    // leaves the layer when it ends shows nothing (the model value shows), one that stays shows its
    // last value, and one without end shows its value now. Its mask is settled the same way.
    Ref<CALayer> settledPresentationLayer() const;
    // The layer whose values a presentation layer shows; the layer itself otherwise.
    Ref<CALayer> modelLayer() const;
    bool isPresentationLayer() const noexcept { return static_cast<bool>(model_); }
    // The value a key path shows now (the model's when nothing animates it); see
    // CAAnimationValue.h for the key paths.
    id presentationValueForKeyPath(const Ref<NSString>& keyPath) const;

    // The action for a change of `key` (see the header comment): an animation, or nil.
    id actionForKey(const Ref<NSString>& key);
    // The action a layer takes when nothing else gives one: a basic animation of the key.
    static id defaultActionForKey(const Ref<NSString>& key);
    // Whether the transaction that made the layer has been committed.
    bool isCommitted() const noexcept;
    // Internal: a view's own layer takes no implicit actions (the view answers NSNull for every
    // key); the view says so once instead of being asked at every change.
    void setTakesImplicitActions(bool takes) { takesImplicitActions_ = takes; }
    // Internal: one animation running on the layer.
    struct AnimationEntry;

    // The layer whose alpha masks this one's content (held strongly).
    Ref<CALayer> mask() const { return mask_; }
    void setMask(const Ref<CALayer>& mask) { mask_ = mask; }

    // Converts a point between this layer's coordinates and another layer's. A nil layer is this
    // layer's root. Layers of two trees meet in the space their roots stand in (see below).
    CGPoint convertPointToLayer(CGPoint point, const Ref<CALayer>& layer) const;
    CGPoint convertPointFromLayer(CGPoint point, const Ref<CALayer>& layer) const;
    // Converts a point between this layer's coordinates and the space its root layer stands in: the
    // root's own position, bounds origin and transform count, as a superlayer's would. For a
    // window's layer that space is the screen's; a layer that stands alone is placed by its frame.
    CGPoint convertPointToRootSpace(CGPoint point) const;
    CGPoint convertPointFromRootSpace(CGPoint point) const;

    Ref<NSString> description() const override;

    // Rendering (CALayerRendering.cpp). renderInContext draws the layer and its sublayers into a
    // UIKit (y-down) context in the layer's own bounds space: background (rounded by the corner
    // radius), contents (a CGImage, placed by contentsGravity), the backing store its delegate drew,
    // drawInContext, the sublayers by zPosition then order, each through its position, transform and
    // anchor point, and the border on top. Opacity below 1 and a shadow composite the layer as one
    // group; masksToBounds clips the content and sublayers to the rounded bounds; hidden layers draw
    // nothing. Layers that need display are displayed first.
    void renderInContext(const CGContextRef& context);
    // The same as the tree will show once the animations of all its layers have run their course
    // (see settledPresentationLayer): a picture of the screen without the transitions in progress.
    void renderSettledInContext(const CGContextRef& context);
    // Draws the layer's own content; the base asks the delegate ("drawLayer:inContext:") when it
    // answers to it.
    virtual void drawInContext(const CGContextRef& context);
    Ref<NSString> contentsGravity() const;
    void setContentsGravity(const Ref<NSString>& gravity) { contentsGravity_ = gravity; }
    // What the delegate drew (a view's drawRect:), an image in the y-down orientation of its bounds.
    CGImageRef backingStore() const { return backingStore_; }
    void setBackingStore(const CGImageRef& image) { backingStore_ = image; }

protected:
    // Called by displayIfNeeded; the base asks the delegate ("displayLayer:") when it answers to it.
    virtual void display();

    // Wraps the change of an animatable property, in its setter:
    //     void setStrokeEnd(CGFloat v) { AnimatableChange change(this, "strokeEnd"); strokeEnd_ = v; }
    // It looks for the action before the change and runs it after. A subclass registers such a
    // property for key-value coding so that animations can read and write it.
    class AnimatableChange {
    public:
        AnimatableChange(CALayer* layer, const char* key);
        ~AnimatableChange();
        AnimatableChange(const AnimatableChange&) = delete;
        AnimatableChange& operator=(const AnimatableChange&) = delete;

    private:
        CALayer* layer_;
        const char* key_;
        id action_;
        id shownValue_;
    };

private:
    // From this layer's coordinates to its superlayer's.
    CGPoint pointToSuperlayer(CGPoint p) const;
    CGPoint pointFromSuperlayer(CGPoint p) const;
    void detach(CALayer* child);

    CGRect bounds_{};
    CGPoint position_{};
    CGPoint anchorPoint_{0.5, 0.5};
    CGAffineTransform transform_{};
    CGFloat zPosition_ = 0;
    float opacity_ = 1;
    bool hidden_ = false;
    bool masksToBounds_ = false;
    bool allowsGroupOpacity_ = true;
    bool opaque_ = false;
    bool needsDisplay_ = false;
    bool needsLayout_ = false;
    CGFloat cornerRadius_ = 0;
    CGFloat borderWidth_ = 0;
    CGColorRef borderColor_;
    CGColorRef backgroundColor_;
    CGColorRef shadowColor_;
    float shadowOpacity_ = 0;
    CGSize shadowOffset_{0, -3};
    CGFloat shadowRadius_ = 3;
    CGFloat contentsScale_ = 1;
    id contents_;
    Ref<NSString> name_;
    Weak<CALayer> superlayer_;
    std::vector<Ref<CALayer>> sublayers_;
    Weak<NSObject> delegate_;
    Ref<CALayer> mask_;
    void copyModelValuesInto(CALayer& copy) const;
    Ref<CALayer> presentationCopy(bool settled) const;
    void endAnimation(const std::shared_ptr<AnimationEntry>& entry, bool finished);
    std::vector<std::shared_ptr<AnimationEntry>> animations_;
    Ref<CALayer> model_; // set on a presentation layer
    uint64_t transaction_ = 0;
    bool takesImplicitActions_ = true;
    Ref<NSString> contentsGravity_;
    CGImageRef backingStore_;
};
