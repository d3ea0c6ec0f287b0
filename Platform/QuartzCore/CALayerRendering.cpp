// Rendering of layer trees into a drawing context (see CALayer.h).
#include <QuartzCore/CALayer.h>

#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>

#define CA_STRING_CONSTANT(Name, Value)                                                                                \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(Value);                                                      \
        return value;                                                                                                  \
    }
CA_STRING_CONSTANT(kCAGravityCenter, "center")
CA_STRING_CONSTANT(kCAGravityTop, "top")
CA_STRING_CONSTANT(kCAGravityBottom, "bottom")
CA_STRING_CONSTANT(kCAGravityLeft, "left")
CA_STRING_CONSTANT(kCAGravityRight, "right")
CA_STRING_CONSTANT(kCAGravityTopLeft, "topLeft")
CA_STRING_CONSTANT(kCAGravityTopRight, "topRight")
CA_STRING_CONSTANT(kCAGravityBottomLeft, "bottomLeft")
CA_STRING_CONSTANT(kCAGravityBottomRight, "bottomRight")
CA_STRING_CONSTANT(kCAGravityResize, "resize")
CA_STRING_CONSTANT(kCAGravityResizeAspect, "resizeAspect")
CA_STRING_CONSTANT(kCAGravityResizeAspectFill, "resizeAspectFill")
#undef CA_STRING_CONSTANT

namespace {

void addBoundsPath(const CGContextRef& c, CGRect r, CGFloat radius) {
    radius = std::min({radius, r.size.width / 2, r.size.height / 2});
    if (radius > 0) {
        auto path = CGPathCreateMutable();
        CGPathAddRoundedRect(path, nullptr, r, radius, radius);
        CGContextAddPath(c, path);
    } else {
        CGContextAddRect(c, r);
    }
}

// Draws an upright image (row 0 at the top) into a rectangle of the y-down space.
void drawUpright(const CGContextRef& c, CGRect rect, const CGImageRef& image) {
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, rect.origin.x, rect.origin.y + rect.size.height);
    CGContextScaleCTM(c, 1, -1);
    CGContextDrawImage(c, CGRectMake(0, 0, rect.size.width, rect.size.height), image);
    CGContextRestoreGState(c);
}

CGRect gravityRect(const Ref<NSString>& gravity, CGRect b, CGSize s) {
    auto is = [&](const Ref<NSString>& g) { return gravity->isEqual(g); };
    if (is(kCAGravityResize()) || s.width <= 0 || s.height <= 0) {
        return b;
    }
    if (is(kCAGravityResizeAspect()) || is(kCAGravityResizeAspectFill())) {
        double fx = b.size.width / s.width, fy = b.size.height / s.height;
        double f = is(kCAGravityResizeAspect()) ? std::min(fx, fy) : std::max(fx, fy);
        CGSize z = CGSizeMake(s.width * f, s.height * f);
        return CGRectMake(CGRectGetMidX(b) - z.width / 2, CGRectGetMidY(b) - z.height / 2, z.width, z.height);
    }
    double x = CGRectGetMidX(b) - s.width / 2, y = CGRectGetMidY(b) - s.height / 2;
    const std::string& g = gravity->str();
    if (g.find("Left") != std::string::npos || g == "left") {
        x = b.origin.x;
    } else if (g.find("Right") != std::string::npos || g == "right") {
        x = CGRectGetMaxX(b) - s.width;
    }
    if (g.starts_with("top")) {
        y = b.origin.y;
    } else if (g.starts_with("bottom")) {
        y = CGRectGetMaxY(b) - s.height;
    }
    return CGRectMake(x, y, s.width, s.height);
}

void renderTree(CALayer* model, CALayer* layer, const CGContextRef& c);
void renderPlaced(CALayer* model, CALayer* sub, const CGContextRef& c);

// Set while a tree renders as it will settle (renderSettledInContext).
thread_local bool renderingSettled = false;

// What the screen shows of a layer: its presentation copy while an animation runs, the layer itself
// otherwise.
Ref<CALayer> shownLayer(CALayer* layer) {
    Ref<NSArray> running = layer->animationKeys();
    if (running && running->count() > 0) {
        if (Ref<CALayer> shown = renderingSettled ? layer->settledPresentationLayer() : layer->presentationLayer()) {
            return shown;
        }
    }
    return Ref<CALayer>(layer);
}

void renderSublayers(CALayer* layer, const CGContextRef& c) {
    std::vector<Ref<CALayer>> subs = layer->sublayerList();
    std::vector<std::pair<Ref<CALayer>, Ref<CALayer>>> shown;
    shown.reserve(subs.size());
    for (const auto& sub : subs) {
        shown.emplace_back(sub, shownLayer(sub.get()));
    }
    std::stable_sort(shown.begin(), shown.end(),
                     [](const auto& a, const auto& b) { return a.second->zPosition() < b.second->zPosition(); });
    for (const auto& [model, sub] : shown) {
        if (sub->isHidden() || sub->opacity() <= 0) {
            continue;
        }
        renderPlaced(model.get(), sub.get(), c);
    }
}

// Draws a sublayer (or a mask) through its position, transform and anchor point.
void renderPlaced(CALayer* model, CALayer* sub, const CGContextRef& c) {
    CGRect b = sub->bounds();
    CGPoint p = sub->position(), a = sub->anchorPoint();
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, p.x, p.y);
    CGContextConcatCTM(c, sub->affineTransform());
    CGContextTranslateCTM(c, -a.x * b.size.width - b.origin.x, -a.y * b.size.height - b.origin.y);
    renderTree(model, sub, c);
    CGContextRestoreGState(c);
}

// Draws `layer` (the model or its presentation copy) with the sublayers of `model`.
void renderTree(CALayer* model, CALayer* layer, const CGContextRef& c) {
    if (layer->isHidden() || layer->opacity() <= 0) {
        return;
    }
    Ref<CALayer> keep(model);
    model->displayIfNeeded();
    CGRect b = layer->bounds();
    CGFloat radius = std::max(0.0, layer->cornerRadius());
    bool shadow = layer->shadowOpacity() > 0 && layer->shadowColor();
    bool group = layer->opacity() < 1 || shadow;
    CGContextSaveGState(c);
    if (group) {
        CGContextSetAlpha(c, layer->opacity());
        if (shadow) {
            // Layer offsets are in its y-down space; the context's are y-up.
            CGContextSetShadowWithColor(c, CGSizeMake(layer->shadowOffset().width, -layer->shadowOffset().height),
                                        layer->shadowRadius(),
                                        CGColorCreateCopyWithAlpha(layer->shadowColor(), layer->shadowColor()->alpha() *
                                                                                             layer->shadowOpacity()));
        }
        CGContextBeginTransparencyLayer(c, nullptr);
    }
    // A mask keeps what it covers by its alpha: the layer draws into a group that the mask's own
    // rendering then cuts (destination-in).
    auto mask = layer->mask();
    if (mask) {
        CGContextBeginTransparencyLayer(c, nullptr);
    }
    if (auto bg = layer->backgroundColor(); bg && bg->alpha() > 0) {
        CGContextSetFillColorWithColor(c, bg);
        CGContextBeginPath(c);
        addBoundsPath(c, b, radius);
        CGContextFillPath(c);
    }
    CGContextSaveGState(c);
    if (layer->masksToBounds()) {
        CGContextBeginPath(c);
        addBoundsPath(c, b, radius);
        CGContextClip(c);
    }
    if (auto image = cast<CGImage>(layer->contents())) {
        CGFloat scale = layer->contentsScale() > 0 ? layer->contentsScale() : 1;
        CGSize size =
            CGSizeMake(static_cast<double>(image->width()) / scale, static_cast<double>(image->height()) / scale);
        drawUpright(c, gravityRect(layer->contentsGravity(), b, size), image);
    }
    if (auto store = model->backingStore()) {
        drawUpright(c, b, store);
    }
    CGContextSaveGState(c);
    layer->drawInContext(c);
    CGContextRestoreGState(c);
    renderSublayers(model, c);
    CGContextRestoreGState(c);
    if (auto border = layer->borderColor(); border && layer->borderWidth() > 0) {
        CGFloat w = layer->borderWidth();
        CGContextSetStrokeColorWithColor(c, border);
        CGContextSetLineWidth(c, w);
        CGContextBeginPath(c);
        addBoundsPath(c, CGRectInset(b, w / 2, w / 2), std::max(0.0, radius - w / 2));
        CGContextStrokePath(c);
    }
    if (mask) {
        // A presentation copy carries its mask's presentation; a model shows its mask as animated.
        Ref<CALayer> maskModel = mask->modelLayer();
        Ref<CALayer> maskShown = mask->isPresentationLayer() ? mask : shownLayer(mask.get());
        CGContextSaveGState(c);
        CGContextSetBlendMode(c, kCGBlendModeDestinationIn);
        CGContextBeginTransparencyLayer(c, nullptr);
        renderPlaced(maskModel.get(), maskShown.get(), c);
        CGContextEndTransparencyLayer(c);
        CGContextRestoreGState(c);
        CGContextEndTransparencyLayer(c);
    }
    if (group) {
        CGContextEndTransparencyLayer(c);
    }
    CGContextRestoreGState(c);
}

} // namespace

void CALayer::renderInContext(const CGContextRef& context) {
    if (!context) {
        return;
    }
    Ref<CALayer> shown = shownLayer(this);
    renderTree(this, shown.get(), context);
}

void CALayer::renderSettledInContext(const CGContextRef& context) {
    struct Scope {
        bool was = renderingSettled;
        Scope() { renderingSettled = true; }
        ~Scope() { renderingSettled = was; }
    } scope;
    renderInContext(context);
}

void CALayer::drawInContext(const CGContextRef& context) {
    auto d = delegate();
    if (d && d->respondsToSelector("drawLayer:inContext:")) {
        d->performSelectorWithObjectWithObject("drawLayer:inContext:", id(this), context);
    }
}

void CALayer::display() {
    auto d = delegate();
    if (d && d->respondsToSelector("displayLayer:")) {
        d->performSelectorWithObject("displayLayer:", id(this));
    }
}

Ref<NSString> CALayer::contentsGravity() const {
    return contentsGravity_ ? contentsGravity_ : kCAGravityResize();
}
