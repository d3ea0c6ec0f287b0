// CALayer: the geometry and look of one rectangle of the screen (bounds, position, anchor point,
// transform, opacity, corner radius, border, background colour) in a tree of layers. Every view
// is backed by one; other layers (shape layers, preview layers) can hang under it.
//
// Nothing is composited: the layer keeps the model values that the platform's model layer keeps.
// Animations of the view layer are recorded per layer under a key, so that removing a layer's
// animations ends them early, as on the platform.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGColor.h>
#include <CoreGraphics/CGContext.h>
#include <Foundation/NSArray.h>

#include <functional>
#include <string>
#include <vector>

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
    CALayer() = default;
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
    void setZPosition(CGFloat z) { zPosition_ = z; }

    // Look.
    float opacity() const noexcept { return opacity_; }
    void setOpacity(float opacity);
    bool isHidden() const noexcept { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    bool masksToBounds() const noexcept { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }
    CGFloat cornerRadius() const noexcept { return cornerRadius_; }
    void setCornerRadius(CGFloat radius) { cornerRadius_ = radius; }
    CGFloat borderWidth() const noexcept { return borderWidth_; }
    void setBorderWidth(CGFloat width) { borderWidth_ = width; }
    CGColorRef borderColor() const { return borderColor_; }
    void setBorderColor(CGColorRef color) { borderColor_ = std::move(color); }
    CGColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(CGColorRef color) { backgroundColor_ = std::move(color); }
    CGColorRef shadowColor() const { return shadowColor_; }
    void setShadowColor(CGColorRef color) { shadowColor_ = std::move(color); }
    float shadowOpacity() const noexcept { return shadowOpacity_; }
    void setShadowOpacity(float opacity) { shadowOpacity_ = opacity; }
    CGSize shadowOffset() const noexcept { return shadowOffset_; }
    void setShadowOffset(CGSize offset) { shadowOffset_ = offset; }
    CGFloat shadowRadius() const noexcept { return shadowRadius_; }
    void setShadowRadius(CGFloat radius) { shadowRadius_ = radius; }
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

    // Animations running on the layer, by key (the animated property). Removing one ends it early:
    // its cancel handler runs (the animation's completion then sees finished = NO).
    // `addRunningAnimation` is how animation code registers; it answers a token for
    // `animationDidFinish`, which forgets an animation that ended by itself.
    Ref<NSArray> animationKeys() const;
    bool hasAnimationForKey(const std::string& key) const;
    void removeAnimationForKey(const Ref<NSString>& key);
    void removeAllAnimations();
    uint64_t addRunningAnimation(const std::string& key, std::function<void()> cancel);
    void animationDidFinish(uint64_t token);
    // Explicit animations (objects of the animation classes), by key; one added under a key that
    // has one replaces it. Headless they are recorded: nothing interpolates, and they stay until
    // removed (removeAnimationForKey, removeAllAnimations).
    void addAnimationForKey(const id& animation, const Ref<NSString>& key);
    id animationForKey(const Ref<NSString>& key) const;

    // The layer whose alpha masks this one's content (held strongly).
    Ref<CALayer> mask() const { return mask_; }
    void setMask(const Ref<CALayer>& mask) { mask_ = mask; }

    // Converts a point between this layer's coordinates and another layer's of the same tree.
    CGPoint convertPointToLayer(CGPoint point, const Ref<CALayer>& layer) const;
    CGPoint convertPointFromLayer(CGPoint point, const Ref<CALayer>& layer) const;

    Ref<NSString> description() const override;

    // Rendering (CALayerRendering.cpp). renderInContext draws the layer and its sublayers into a
    // UIKit (y-down) context in the layer's own bounds space: background (rounded by the corner
    // radius), contents (a CGImage, placed by contentsGravity), the backing store its delegate drew,
    // drawInContext, the sublayers by zPosition then order, each through its position, transform and
    // anchor point, and the border on top. Opacity below 1 and a shadow composite the layer as one
    // group; masksToBounds clips the content and sublayers to the rounded bounds; hidden layers draw
    // nothing. Layers that need display are displayed first.
    void renderInContext(const CGContextRef& context);
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
    struct RunningAnimation {
        uint64_t token;
        std::string key;
        std::function<void()> cancel;
        id animation; // an explicit animation object, nil for the view animations
    };
    Ref<CALayer> mask_;
    std::vector<RunningAnimation> animations_;
    Ref<NSString> contentsGravity_;
    CGImageRef backingStore_;
};
