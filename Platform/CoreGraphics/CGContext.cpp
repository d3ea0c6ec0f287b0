#include <CoreGraphics/CGContext.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace cg_detail {

struct Colour {
    double r = 0, g = 0, b = 0, a = 1;
};

struct Shadow {
    bool on = false;
    CGSize offset{};
    CGFloat blur = 0;
    Colour colour;
};

struct GState {
    CGAffineTransform ctm{};
    bool degenerate = false;
    Colour fill;
    Colour stroke;
    bool fillGrey = false;
    bool strokeGrey = false;
    double alpha = 1;
    CGBlendMode blend = kCGBlendModeNormal;
    Shadow shadow;
    CGInterpolationQuality interpolation = kCGInterpolationDefault;
    // Set on the entry that a transparency layer pushed: the settings to composite the layer with.
    bool layer = false;
    bool layerBounded = false;
    CGRect layerRect{};
};

struct ContextState {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    size_t width = 0;
    size_t height = 0;
    CGColorSpaceRef space;
    CGBitmapInfo info = 0;
    GState g;
    std::vector<GState> stack;
    // Images made from the context share its pixels until it is next used; `shared` says an image
    // may still hold them, and `sharedBase` is the surface's reference count without any image.
    bool shared = false;
    unsigned sharedBase = 0;

    ~ContextState() {
        if (cr) {
            cairo_destroy(cr);
        }
        if (surface) {
            cairo_surface_destroy(surface);
        }
    }
};

} // namespace cg_detail

using cg_detail::Colour;
using cg_detail::ContextState;
using cg_detail::GState;

NS_IMPLEMENT_CLASS(CGContext, NSObject) {}

CGContext::CGContext() : state_(std::make_unique<ContextState>()) {}
CGContext::~CGContext() = default;

namespace {

// A new cairo context on `target` in the state of `from` (matrix, clip, current path, line and
// fill settings, source), or null when that state cannot be carried over: a saved state or a
// clip that is not a set of whole-pixel rectangles lives only in `from`.
cairo_t* carryOver(cairo_t* from, cairo_surface_t* target) {
    cairo_matrix_t matrix;
    cairo_get_matrix(from, &matrix);
    cairo_identity_matrix(from);
    cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(from);
    cairo_path_t* path = cairo_copy_path(from);
    cairo_set_matrix(from, &matrix);
    cairo_t* cr = nullptr;
    if (clip->status == CAIRO_STATUS_SUCCESS && path->status == CAIRO_STATUS_SUCCESS) {
        cr = cairo_create(target);
        for (int i = 0; i < clip->num_rectangles; ++i) {
            const cairo_rectangle_t& r = clip->rectangles[i];
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        if (clip->num_rectangles == 0) {
            cairo_rectangle(cr, 0, 0, 0, 0); // everything is clipped away
        }
        cairo_clip(cr);
        cairo_append_path(cr, path);
        cairo_set_matrix(cr, &matrix);
        cairo_set_line_width(cr, cairo_get_line_width(from));
        cairo_set_line_cap(cr, cairo_get_line_cap(from));
        cairo_set_line_join(cr, cairo_get_line_join(from));
        cairo_set_miter_limit(cr, cairo_get_miter_limit(from));
        std::vector<double> dashes(static_cast<size_t>(cairo_get_dash_count(from)));
        double offset = 0;
        cairo_get_dash(from, dashes.data(), &offset);
        cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), offset);
        cairo_set_antialias(cr, cairo_get_antialias(from));
        cairo_set_tolerance(cr, cairo_get_tolerance(from));
        cairo_set_fill_rule(cr, cairo_get_fill_rule(from));
        cairo_set_operator(cr, cairo_get_operator(from));
        cairo_set_source(cr, cairo_get_source(from));
    }
    cairo_rectangle_list_destroy(clip);
    cairo_path_destroy(path);
    return cr;
}

// Copy-on-write: before the context is used again after an image was made from it, it moves to
// a copy of its pixels if an image still holds them.
void ownPixels(ContextState& s) {
    if (!s.shared || !s.cr) {
        return;
    }
    s.shared = false;
    if (cairo_surface_get_reference_count(s.surface) <= s.sharedBase) {
        return; // the images are gone
    }
    cairo_surface_flush(s.surface);
    int h = cairo_image_surface_get_height(s.surface);
    cairo_surface_t* copy = cairo_image_surface_create(cairo_image_surface_get_format(s.surface),
                                                       cairo_image_surface_get_width(s.surface), h);
    cairo_t* cr = cairo_surface_status(copy) == CAIRO_STATUS_SUCCESS ? carryOver(s.cr, copy) : nullptr;
    if (!cr) {
        // Cannot happen for a context an image shares (see CGBitmapContextCreateImage) short of
        // memory; the context then stops drawing rather than change the image.
        NSLog("CGContext: cannot copy %d rows of shared pixels; the context no longer draws", h);
        cairo_surface_destroy(copy);
        cairo_destroy(s.cr);
        s.cr = nullptr;
        return;
    }
    std::memcpy(cairo_image_surface_get_data(copy), cairo_image_surface_get_data(s.surface),
                static_cast<size_t>(cairo_image_surface_get_stride(s.surface)) * static_cast<size_t>(h));
    cairo_surface_mark_dirty(copy);
    cairo_destroy(s.cr);
    cairo_surface_destroy(s.surface);
    s.cr = cr;
    s.surface = copy;
}

} // namespace

cairo_t* CGContext::cairo() const noexcept {
    ownPixels(*state_);
    return state_->cr;
}

namespace {

bool finite(std::initializer_list<double> values) {
    for (double v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

bool finiteRect(CGRect r) {
    return finite({r.origin.x, r.origin.y, r.size.width, r.size.height});
}

// The state when the context can draw: not nil, and a CTM that can be inverted.
ContextState* drawable(const CGContextRef& c) {
    if (!c || !c->cairo()) {
        return nullptr;
    }
    ContextState* s = &c->state();
    return s->g.degenerate ? nullptr : s;
}

ContextState* stateOf(const CGContextRef& c) {
    return c && c->cairo() ? &c->state() : nullptr;
}

// Keeps cairo's matrix equal to the CTM followed by the flip from the y-up base space to cairo's
// y-down device space.
void applyCTM(ContextState* s) {
    const CGAffineTransform& m = s->g.ctm;
    double det = m.a * m.d - m.b * m.c;
    if (!finite({m.a, m.b, m.c, m.d, m.tx, m.ty}) || det == 0 || !std::isfinite(det)) {
        s->g.degenerate = true;
        return;
    }
    s->g.degenerate = false;
    cairo_matrix_t cm;
    cairo_matrix_init(&cm, m.a, -m.b, m.c, -m.d, m.tx, static_cast<double>(s->height) - m.ty);
    cairo_set_matrix(s->cr, &cm);
}

void concat(const CGContextRef& c, CGAffineTransform t) {
    ContextState* s = stateOf(c);
    if (!s || !finite({t.a, t.b, t.c, t.d, t.tx, t.ty})) {
        return;
    }
    s->g.ctm = CGAffineTransformConcat(t, s->g.ctm);
    applyCTM(s);
}

cairo_operator_t cairoOperator(CGBlendMode mode) {
    switch (mode) {
    case kCGBlendModeNormal:
        return CAIRO_OPERATOR_OVER;
    case kCGBlendModeMultiply:
        return CAIRO_OPERATOR_MULTIPLY;
    case kCGBlendModeScreen:
        return CAIRO_OPERATOR_SCREEN;
    case kCGBlendModeOverlay:
        return CAIRO_OPERATOR_OVERLAY;
    case kCGBlendModeDarken:
        return CAIRO_OPERATOR_DARKEN;
    case kCGBlendModeLighten:
        return CAIRO_OPERATOR_LIGHTEN;
    case kCGBlendModeColorDodge:
        return CAIRO_OPERATOR_COLOR_DODGE;
    case kCGBlendModeColorBurn:
        return CAIRO_OPERATOR_COLOR_BURN;
    case kCGBlendModeSoftLight:
        return CAIRO_OPERATOR_SOFT_LIGHT;
    case kCGBlendModeHardLight:
        return CAIRO_OPERATOR_HARD_LIGHT;
    case kCGBlendModeDifference:
        return CAIRO_OPERATOR_DIFFERENCE;
    case kCGBlendModeExclusion:
        return CAIRO_OPERATOR_EXCLUSION;
    case kCGBlendModeHue:
        return CAIRO_OPERATOR_HSL_HUE;
    case kCGBlendModeSaturation:
        return CAIRO_OPERATOR_HSL_SATURATION;
    case kCGBlendModeColor:
        return CAIRO_OPERATOR_HSL_COLOR;
    case kCGBlendModeLuminosity:
        return CAIRO_OPERATOR_HSL_LUMINOSITY;
    case kCGBlendModeClear:
        return CAIRO_OPERATOR_CLEAR;
    case kCGBlendModeCopy:
        return CAIRO_OPERATOR_SOURCE;
    case kCGBlendModeSourceIn:
        return CAIRO_OPERATOR_IN;
    case kCGBlendModeSourceOut:
        return CAIRO_OPERATOR_OUT;
    case kCGBlendModeSourceAtop:
        return CAIRO_OPERATOR_ATOP;
    case kCGBlendModeDestinationOver:
        return CAIRO_OPERATOR_DEST_OVER;
    case kCGBlendModeDestinationIn:
        return CAIRO_OPERATOR_DEST_IN;
    case kCGBlendModeDestinationOut:
        return CAIRO_OPERATOR_DEST_OUT;
    case kCGBlendModeDestinationAtop:
        return CAIRO_OPERATOR_DEST_ATOP;
    case kCGBlendModeXOR:
        return CAIRO_OPERATOR_XOR;
    case kCGBlendModePlusDarker:
        return CAIRO_OPERATOR_DARKEN;
    case kCGBlendModePlusLighter:
        return CAIRO_OPERATOR_ADD;
    }
    return CAIRO_OPERATOR_OVER;
}

// Three passes of a box blur approximate a Gaussian of the given radius (pixels) on an A8 surface.
void blurAlpha(cairo_surface_t* surface, double radius) {
    int r = static_cast<int>(std::lround(radius / 2));
    if (r <= 0) {
        return;
    }
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> line(static_cast<size_t>(std::max(w, h)));
    auto pass = [&](unsigned char* base, int count, int step) {
        for (int i = 0; i < count; ++i) {
            line[static_cast<size_t>(i)] = base[i * step];
        }
        int sum = 0, window = 2 * r + 1;
        for (int i = -r; i <= r; ++i) {
            sum += (i >= 0 && i < count) ? line[static_cast<size_t>(i)] : 0;
        }
        for (int i = 0; i < count; ++i) {
            base[i * step] = static_cast<unsigned char>(sum / window);
            int in = i + r + 1, out = i - r;
            sum += (in < count ? line[static_cast<size_t>(in)] : 0) - (out >= 0 ? line[static_cast<size_t>(out)] : 0);
        }
    };
    for (int k = 0; k < 3; ++k) {
        for (int y = 0; y < h; ++y) {
            pass(data + y * stride, w, 1);
        }
        for (int x = 0; x < w; ++x) {
            pass(data + x, h, stride);
        }
    }
    cairo_surface_mark_dirty(surface);
}

// The device-space box of the current clip, cut to the surface.
cairo_rectangle_int_t deviceClip(ContextState* s) {
    double x1, y1, x2, y2;
    cairo_save(s->cr);
    cairo_identity_matrix(s->cr);
    cairo_clip_extents(s->cr, &x1, &y1, &x2, &y2);
    cairo_restore(s->cr);
    int ix1 = std::max(0, static_cast<int>(std::floor(x1)));
    int iy1 = std::max(0, static_cast<int>(std::floor(y1)));
    int ix2 = std::min(static_cast<int>(s->width), static_cast<int>(std::ceil(x2)));
    int iy2 = std::min(static_cast<int>(s->height), static_cast<int>(std::ceil(y2)));
    return {ix1, iy1, std::max(0, ix2 - ix1), std::max(0, iy2 - iy1)};
}

// The device scale along the axes (for shadow offsets and blur, given in points).
double deviceScale(ContextState* s) {
    const CGAffineTransform& m = s->g.ctm;
    return std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
}

void paintState(ContextState* s, const std::function<void(cairo_t*, double)>& draw) {
    cairo_t* cr = s->cr;
    const GState& g = s->g;
    cairo_operator_t op = cairoOperator(g.blend);
    if (!g.shadow.on) {
        cairo_save(cr);
        cairo_set_operator(cr, op);
        draw(cr, g.alpha);
        cairo_restore(cr);
        return;
    }
    cairo_push_group(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    draw(cr, 1.0);
    cairo_pattern_t* content = cairo_pop_group(cr);
    cairo_rectangle_int_t box = deviceClip(s);
    if (box.width > 0 && box.height > 0) {
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, box.width, box.height);
        cairo_surface_set_device_offset(mask, -box.x, -box.y);
        cairo_t* mcr = cairo_create(mask);
        cairo_matrix_t m;
        cairo_get_matrix(cr, &m);
        cairo_set_matrix(mcr, &m);
        cairo_set_source(mcr, content);
        cairo_paint(mcr);
        cairo_destroy(mcr);
        double scale = deviceScale(s);
        blurAlpha(mask, g.shadow.blur * scale);
        // A plain offset keeps the base space's direction: positive heights go up.
        double dx = g.shadow.offset.width * scale, dy = -g.shadow.offset.height * scale;
        cairo_surface_set_device_offset(mask, 0, 0);
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_set_operator(cr, op);
        const Colour& sc = g.shadow.colour;
        cairo_set_source_rgba(cr, sc.r, sc.g, sc.b, sc.a * g.alpha);
        cairo_mask_surface(cr, mask, box.x + dx, box.y + dy);
        cairo_restore(cr);
        cairo_surface_destroy(mask);
    }
    cairo_save(cr);
    cairo_set_operator(cr, op);
    cairo_set_source(cr, content);
    cairo_paint_with_alpha(cr, g.alpha);
    cairo_restore(cr);
    cairo_pattern_destroy(content);
}

void setColour(cairo_t* cr, const Colour& c, double alpha) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a * alpha);
}

void fillPath(ContextState* s, cairo_fill_rule_t rule) {
    Colour colour = s->g.fill;
    paintState(s, [&](cairo_t* cr, double alpha) {
        cairo_set_fill_rule(cr, rule);
        setColour(cr, colour, alpha);
        cairo_fill_preserve(cr);
    });
}

void strokePath(ContextState* s) {
    Colour colour = s->g.stroke;
    paintState(s, [&](cairo_t* cr, double alpha) {
        setColour(cr, colour, alpha);
        cairo_stroke_preserve(cr);
    });
}

CGPoint currentUserPoint(ContextState* s) {
    double x = 0, y = 0;
    cairo_get_current_point(s->cr, &x, &y);
    return CGPointMake(x, y);
}

// Adds the elements of `path` to the current path; when `skipFirstMove`, a leading move (the
// joining point of an arc) is dropped so that the path continues from the current point.
void addElements(ContextState* s, const CGPath& path, bool skipFirstMove) {
    cairo_t* cr = s->cr;
    bool first = true;
    for (const auto& e : path.elements()) {
        bool skip = first && skipFirstMove && e.type == kCGPathElementMoveToPoint;
        first = false;
        if (skip) {
            continue;
        }
        const CGPoint* p = e.points;
        switch (e.type) {
        case kCGPathElementMoveToPoint:
            cairo_move_to(cr, p[0].x, p[0].y);
            break;
        case kCGPathElementAddLineToPoint:
            cairo_line_to(cr, p[0].x, p[0].y);
            break;
        case kCGPathElementAddQuadCurveToPoint: {
            CGPoint p0 = cairo_has_current_point(cr) ? currentUserPoint(s) : p[0];
            cairo_curve_to(cr, p0.x + 2.0 / 3 * (p[0].x - p0.x), p0.y + 2.0 / 3 * (p[0].y - p0.y),
                           p[1].x + 2.0 / 3 * (p[0].x - p[1].x), p[1].y + 2.0 / 3 * (p[0].y - p[1].y), p[1].x, p[1].y);
            break;
        }
        case kCGPathElementAddCurveToPoint:
            cairo_curve_to(cr, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
            break;
        case kCGPathElementCloseSubpath:
            cairo_close_path(cr);
            break;
        }
    }
}

bool pathIsFinite(const CGPath& path) {
    for (const auto& e : path.elements()) {
        for (const auto& p : e.points) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                return false;
            }
        }
    }
    return true;
}

// A temporary path that starts at the current point (when there is one), for arcs.
Ref<CGPath> fromCurrentPoint(ContextState* s, bool* joined) {
    auto path = make<CGPath>();
    *joined = cairo_has_current_point(s->cr);
    if (*joined) {
        path->moveToPoint(currentUserPoint(s));
    }
    return path;
}

Colour colourOf(const CGColorRef& color) {
    if (!color) {
        return {0, 0, 0, 0};
    }
    return {color->red(), color->green(), color->blue(), color->alpha()};
}

Colour colourFromComponents(bool grey, const CGFloat* c) {
    auto u = [](CGFloat v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    if (grey) {
        return {u(c[0]), u(c[0]), u(c[0]), u(c[1])};
    }
    return {u(c[0]), u(c[1]), u(c[2]), u(c[3])};
}

cairo_filter_t filterFor(CGInterpolationQuality q) {
    switch (q) {
    case kCGInterpolationNone:
        return CAIRO_FILTER_NEAREST;
    case kCGInterpolationLow:
        return CAIRO_FILTER_FAST;
    default:
        return CAIRO_FILTER_GOOD;
    }
}

void addGradientStops(cairo_pattern_t* p, const CGGradientRef& gradient) {
    for (const auto& stop : gradient->stops()) {
        cairo_pattern_add_color_stop_rgba(p, stop.location, stop.r, stop.g, stop.b, stop.a);
    }
}

} // namespace

// MARK: - Bitmap contexts

Ref<CGContext> CGContext::bitmap(size_t width, size_t height, const CGColorSpaceRef& space, CGBitmapInfo info) {
    if (width == 0 || height == 0 || width > kCGImageMaximumSide || height > kCGImageMaximumSide) {
        NSLog("CGBitmapContextCreate: invalid size %zu x %zu pixels: each side must be 1 to %zu pixels", width, height,
              kCGImageMaximumSide);
        return nullptr;
    }
    cairo_format_t format;
    switch (info & kCGBitmapAlphaInfoMask) {
    case kCGImageAlphaPremultipliedFirst:
    case kCGImageAlphaPremultipliedLast:
        format = CAIRO_FORMAT_ARGB32;
        break;
    case kCGImageAlphaNone:
    case kCGImageAlphaNoneSkipFirst:
    case kCGImageAlphaNoneSkipLast:
        format = CAIRO_FORMAT_RGB24;
        break;
    default:
        NSLog("CGBitmapContextCreate: unsupported parameter combination: alpha info %u (premultiplied or no alpha "
              "only)",
              info & kCGBitmapAlphaInfoMask);
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create(format, static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        NSLog("CGBitmapContextCreate: cannot allocate %zu x %zu pixels", width, height);
        return nullptr;
    }
    auto c = make<CGContext>();
    ContextState& s = c->state();
    s.surface = surface;
    s.cr = cairo_create(surface);
    s.width = width;
    s.height = height;
    s.space = space ? space : CGColorSpaceCreateDeviceRGB();
    s.info = info;
    s.g.fillGrey = s.g.strokeGrey = s.space->model() == kCGColorSpaceModelMonochrome;
    cairo_set_line_width(s.cr, 1);
    cairo_set_miter_limit(s.cr, 10);
    applyCTM(&s);
    return c;
}

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent, size_t bytesPerRow,
                                   const CGColorSpaceRef& space, CGBitmapInfo bitmapInfo) {
    if (data) {
        NSLog("CGBitmapContextCreate: caller-provided pixel memory is not supported; pass NULL");
        return nullptr;
    }
    if (bitsPerComponent != 8) {
        NSLog("CGBitmapContextCreate: unsupported parameter combination: %zu bits per component (8 only)",
              bitsPerComponent);
        return nullptr;
    }
    if (bytesPerRow != 0 && width <= kCGImageMaximumSide && bytesPerRow < width * 4) {
        NSLog("CGBitmapContextCreate: invalid data bytes/row: should be at least %zu", width * 4);
        return nullptr;
    }
    return CGContext::bitmap(width, height, space, bitmapInfo);
}

CGImageRef CGBitmapContextCreateImage(const CGContextRef& c) {
    if (!c || !c->state().cr) {
        return nullptr;
    }
    ContextState* s = &c->state();
    cairo_surface_flush(s->surface);
    // The image shares the pixels while the context is left as it is (see ownPixels). A context
    // with a saved state or a clip that cannot be carried to a new surface gives a copy at once.
    if (!s->shared && s->stack.empty()) {
        cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(s->cr);
        bool plain = clip->status == CAIRO_STATUS_SUCCESS;
        cairo_rectangle_list_destroy(clip);
        if (plain) {
            s->shared = true;
            s->sharedBase = cairo_surface_get_reference_count(s->surface);
        }
    }
    if (s->shared) {
        return make<CGImage>(cairo_surface_reference(s->surface), s->space, s->info);
    }
    cairo_format_t format = cairo_image_surface_get_format(s->surface);
    int w = static_cast<int>(s->width), h = static_cast<int>(s->height);
    cairo_surface_t* copy = cairo_image_surface_create(format, w, h);
    if (cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(copy);
        return nullptr;
    }
    int stride = cairo_image_surface_get_stride(s->surface);
    std::memcpy(cairo_image_surface_get_data(copy), cairo_image_surface_get_data(s->surface),
                static_cast<size_t>(stride) * static_cast<size_t>(h));
    cairo_surface_mark_dirty(copy);
    return make<CGImage>(copy, s->space, s->info);
}

size_t CGBitmapContextGetWidth(const CGContextRef& c) {
    return c ? c->state().width : 0;
}

size_t CGBitmapContextGetHeight(const CGContextRef& c) {
    return c ? c->state().height : 0;
}

size_t CGBitmapContextGetBitsPerComponent(const CGContextRef& c) {
    return c && c->cairo() ? 8 : 0;
}

size_t CGBitmapContextGetBytesPerRow(const CGContextRef& c) {
    ContextState* s = stateOf(c);
    return s ? static_cast<size_t>(cairo_image_surface_get_stride(s->surface)) : 0;
}

CGColorSpaceRef CGBitmapContextGetColorSpace(const CGContextRef& c) {
    return c ? c->state().space : nullptr;
}

CGBitmapInfo CGBitmapContextGetBitmapInfo(const CGContextRef& c) {
    return c ? c->state().info : 0;
}

CGImageAlphaInfo CGBitmapContextGetAlphaInfo(const CGContextRef& c) {
    return static_cast<CGImageAlphaInfo>(CGBitmapContextGetBitmapInfo(c) & kCGBitmapAlphaInfoMask);
}

void* CGBitmapContextGetData(const CGContextRef& c) {
    ContextState* s = stateOf(c);
    if (!s) {
        return nullptr;
    }
    cairo_surface_flush(s->surface);
    return cairo_image_surface_get_data(s->surface);
}

// MARK: - Graphics state

void CGContextSaveGState(const CGContextRef& c) {
    ContextState* s = stateOf(c);
    if (!s) {
        return;
    }
    cairo_save(s->cr);
    s->stack.push_back(s->g);
    s->stack.back().layer = false;
}

void CGContextRestoreGState(const CGContextRef& c) {
    ContextState* s = stateOf(c);
    if (!s || s->stack.empty() || s->stack.back().layer) {
        return;
    }
    cairo_restore(s->cr);
    s->g = s->stack.back();
    s->stack.pop_back();
}

void CGContextTranslateCTM(const CGContextRef& c, CGFloat tx, CGFloat ty) {
    concat(c, CGAffineTransformMakeTranslation(tx, ty));
}

void CGContextScaleCTM(const CGContextRef& c, CGFloat sx, CGFloat sy) {
    concat(c, CGAffineTransformMakeScale(sx, sy));
}

void CGContextRotateCTM(const CGContextRef& c, CGFloat angle) {
    if (std::isfinite(angle)) {
        concat(c, CGAffineTransformMakeRotation(angle));
    }
}

void CGContextConcatCTM(const CGContextRef& c, CGAffineTransform transform) {
    concat(c, transform);
}

CGAffineTransform CGContextGetCTM(const CGContextRef& c) {
    return c ? c->state().g.ctm : CGAffineTransformIdentity;
}

CGPoint CGContextConvertPointToDeviceSpace(const CGContextRef& c, CGPoint point) {
    return CGPointApplyAffineTransform(point, CGContextGetCTM(c));
}

void CGContextSetLineWidth(const CGContextRef& c, CGFloat width) {
    if (ContextState* s = stateOf(c); s && std::isfinite(width) && width >= 0) {
        cairo_set_line_width(s->cr, width);
    }
}

void CGContextSetLineCap(const CGContextRef& c, CGLineCap cap) {
    if (ContextState* s = stateOf(c)) {
        cairo_set_line_cap(s->cr, cap == kCGLineCapRound    ? CAIRO_LINE_CAP_ROUND
                                  : cap == kCGLineCapSquare ? CAIRO_LINE_CAP_SQUARE
                                                            : CAIRO_LINE_CAP_BUTT);
    }
}

void CGContextSetLineJoin(const CGContextRef& c, CGLineJoin join) {
    if (ContextState* s = stateOf(c)) {
        cairo_set_line_join(s->cr, join == kCGLineJoinRound   ? CAIRO_LINE_JOIN_ROUND
                                   : join == kCGLineJoinBevel ? CAIRO_LINE_JOIN_BEVEL
                                                              : CAIRO_LINE_JOIN_MITER);
    }
}

void CGContextSetMiterLimit(const CGContextRef& c, CGFloat limit) {
    if (ContextState* s = stateOf(c); s && std::isfinite(limit) && limit >= 0) {
        cairo_set_miter_limit(s->cr, limit);
    }
}

void CGContextSetLineDash(const CGContextRef& c, CGFloat phase, const CGFloat* lengths, size_t count) {
    ContextState* s = stateOf(c);
    if (!s) {
        return;
    }
    std::vector<double> dashes;
    double total = 0;
    if (lengths) {
        for (size_t i = 0; i < count; ++i) {
            if (!std::isfinite(lengths[i]) || lengths[i] < 0) {
                return;
            }
            dashes.push_back(lengths[i]);
            total += lengths[i];
        }
    }
    if (dashes.empty() || total <= 0) {
        cairo_set_dash(s->cr, nullptr, 0, 0);
        return;
    }
    cairo_set_dash(s->cr, dashes.data(), static_cast<int>(dashes.size()), std::isfinite(phase) ? phase : 0);
}

void CGContextSetFlatness(const CGContextRef&, CGFloat) {}

void CGContextSetAlpha(const CGContextRef& c, CGFloat alpha) {
    if (ContextState* s = stateOf(c); s && std::isfinite(alpha)) {
        s->g.alpha = std::clamp(alpha, 0.0, 1.0);
    }
}

void CGContextSetBlendMode(const CGContextRef& c, CGBlendMode mode) {
    if (ContextState* s = stateOf(c)) {
        s->g.blend = mode;
    }
}

void CGContextSetShouldAntialias(const CGContextRef& c, bool should) {
    if (ContextState* s = stateOf(c)) {
        cairo_set_antialias(s->cr, should ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    }
}

void CGContextSetAllowsAntialiasing(const CGContextRef& c, bool allows) {
    if (!allows) {
        CGContextSetShouldAntialias(c, false);
    }
}

void CGContextSetInterpolationQuality(const CGContextRef& c, CGInterpolationQuality quality) {
    if (ContextState* s = stateOf(c)) {
        s->g.interpolation = quality;
    }
}

CGInterpolationQuality CGContextGetInterpolationQuality(const CGContextRef& c) {
    return c ? c->state().g.interpolation : kCGInterpolationDefault;
}

void CGContextSetShadowWithColor(const CGContextRef& c, CGSize offset, CGFloat blur, const CGColorRef& color) {
    ContextState* s = stateOf(c);
    if (!s) {
        return;
    }
    if (!color || color->alpha() <= 0 || !finite({offset.width, offset.height, blur})) {
        s->g.shadow = {};
        return;
    }
    s->g.shadow = {true, offset, std::max(0.0, blur), colourOf(color)};
}

void CGContextSetShadow(const CGContextRef& c, CGSize offset, CGFloat blur) {
    CGContextSetShadowWithColor(c, offset, blur, CGColorCreateGenericRGB(0, 0, 0, 1.0 / 3.0));
}

// MARK: - Colours

void CGContextSetFillColorWithColor(const CGContextRef& c, const CGColorRef& color) {
    if (ContextState* s = stateOf(c)) {
        s->g.fill = colourOf(color);
    }
}

void CGContextSetStrokeColorWithColor(const CGContextRef& c, const CGColorRef& color) {
    if (ContextState* s = stateOf(c)) {
        s->g.stroke = colourOf(color);
    }
}

void CGContextSetRGBFillColor(const CGContextRef& c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    const CGFloat comps[4] = {red, green, blue, alpha};
    if (ContextState* s = stateOf(c)) {
        s->g.fill = colourFromComponents(false, comps);
    }
}

void CGContextSetRGBStrokeColor(const CGContextRef& c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    const CGFloat comps[4] = {red, green, blue, alpha};
    if (ContextState* s = stateOf(c)) {
        s->g.stroke = colourFromComponents(false, comps);
    }
}

void CGContextSetGrayFillColor(const CGContextRef& c, CGFloat gray, CGFloat alpha) {
    const CGFloat comps[2] = {gray, alpha};
    if (ContextState* s = stateOf(c)) {
        s->g.fill = colourFromComponents(true, comps);
    }
}

void CGContextSetGrayStrokeColor(const CGContextRef& c, CGFloat gray, CGFloat alpha) {
    const CGFloat comps[2] = {gray, alpha};
    if (ContextState* s = stateOf(c)) {
        s->g.stroke = colourFromComponents(true, comps);
    }
}

void CGContextSetFillColorSpace(const CGContextRef& c, const CGColorSpaceRef& space) {
    if (ContextState* s = stateOf(c)) {
        s->g.fillGrey = space && space->model() == kCGColorSpaceModelMonochrome;
        s->g.fill = {0, 0, 0, 1};
    }
}

void CGContextSetStrokeColorSpace(const CGContextRef& c, const CGColorSpaceRef& space) {
    if (ContextState* s = stateOf(c)) {
        s->g.strokeGrey = space && space->model() == kCGColorSpaceModelMonochrome;
        s->g.stroke = {0, 0, 0, 1};
    }
}

void CGContextSetFillColor(const CGContextRef& c, const CGFloat* components) {
    if (ContextState* s = stateOf(c); s && components) {
        s->g.fill = colourFromComponents(s->g.fillGrey, components);
    }
}

void CGContextSetStrokeColor(const CGContextRef& c, const CGFloat* components) {
    if (ContextState* s = stateOf(c); s && components) {
        s->g.stroke = colourFromComponents(s->g.strokeGrey, components);
    }
}

// MARK: - The current path

void CGContextBeginPath(const CGContextRef& c) {
    if (ContextState* s = stateOf(c)) {
        cairo_new_path(s->cr);
    }
}

void CGContextMoveToPoint(const CGContextRef& c, CGFloat x, CGFloat y) {
    if (ContextState* s = drawable(c); s && finite({x, y})) {
        cairo_move_to(s->cr, x, y);
    }
}

void CGContextAddLineToPoint(const CGContextRef& c, CGFloat x, CGFloat y) {
    if (ContextState* s = drawable(c); s && finite({x, y}) && cairo_has_current_point(s->cr)) {
        cairo_line_to(s->cr, x, y);
    }
}

void CGContextAddCurveToPoint(const CGContextRef& c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                              CGFloat y) {
    if (ContextState* s = drawable(c); s && finite({cp1x, cp1y, cp2x, cp2y, x, y}) && cairo_has_current_point(s->cr)) {
        cairo_curve_to(s->cr, cp1x, cp1y, cp2x, cp2y, x, y);
    }
}

void CGContextAddQuadCurveToPoint(const CGContextRef& c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y) {
    ContextState* s = drawable(c);
    if (!s || !finite({cpx, cpy, x, y}) || !cairo_has_current_point(s->cr)) {
        return;
    }
    CGPoint p0 = currentUserPoint(s);
    cairo_curve_to(s->cr, p0.x + 2.0 / 3 * (cpx - p0.x), p0.y + 2.0 / 3 * (cpy - p0.y), x + 2.0 / 3 * (cpx - x),
                   y + 2.0 / 3 * (cpy - y), x, y);
}

void CGContextClosePath(const CGContextRef& c) {
    if (ContextState* s = drawable(c); s && cairo_has_current_point(s->cr)) {
        cairo_close_path(s->cr);
    }
}

void CGContextAddRect(const CGContextRef& c, CGRect rect) {
    if (ContextState* s = drawable(c); s && finiteRect(rect)) {
        cairo_rectangle(s->cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    }
}

void CGContextAddRects(const CGContextRef& c, const CGRect* rects, size_t count) {
    for (size_t i = 0; rects && i < count; ++i) {
        CGContextAddRect(c, rects[i]);
    }
}

void CGContextAddLines(const CGContextRef& c, const CGPoint* points, size_t count) {
    if (!points || count == 0) {
        return;
    }
    CGContextMoveToPoint(c, points[0].x, points[0].y);
    for (size_t i = 1; i < count; ++i) {
        CGContextAddLineToPoint(c, points[i].x, points[i].y);
    }
}

void CGContextAddEllipseInRect(const CGContextRef& c, CGRect rect) {
    ContextState* s = drawable(c);
    if (!s || !finiteRect(rect)) {
        return;
    }
    auto path = make<CGPath>();
    path->addEllipseInRect(rect);
    addElements(s, *path, false);
}

void CGContextAddArc(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                     int clockwise) {
    ContextState* s = drawable(c);
    if (!s || !finite({x, y, radius, startAngle, endAngle}) || radius < 0) {
        return;
    }
    bool joined = false;
    auto path = fromCurrentPoint(s, &joined);
    path->addArc(CGPointMake(x, y), radius, startAngle, endAngle, clockwise != 0);
    addElements(s, *path, joined);
}

void CGContextAddArcToPoint(const CGContextRef& c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius) {
    ContextState* s = drawable(c);
    if (!s || !finite({x1, y1, x2, y2, radius}) || radius < 0 || !cairo_has_current_point(s->cr)) {
        return;
    }
    bool joined = false;
    auto path = fromCurrentPoint(s, &joined);
    path->addArcToPoint(CGPointMake(x1, y1), CGPointMake(x2, y2), radius);
    addElements(s, *path, joined);
}

void CGContextAddPath(const CGContextRef& c, const CGPathRef& path) {
    ContextState* s = drawable(c);
    if (!s || !path || !pathIsFinite(*path)) {
        return;
    }
    addElements(s, *path, false);
}

bool CGContextIsPathEmpty(const CGContextRef& c) {
    ContextState* s = stateOf(c);
    return !s || !cairo_has_current_point(s->cr);
}

CGPoint CGContextGetPathCurrentPoint(const CGContextRef& c) {
    ContextState* s = drawable(c);
    return s && cairo_has_current_point(s->cr) ? currentUserPoint(s) : CGPointZero;
}

CGRect CGContextGetPathBoundingBox(const CGContextRef& c) {
    ContextState* s = drawable(c);
    if (!s || !cairo_has_current_point(s->cr)) {
        return CGRectNull;
    }
    double x1, y1, x2, y2;
    cairo_path_extents(s->cr, &x1, &y1, &x2, &y2);
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

// MARK: - Painting

void CGContextDrawPath(const CGContextRef& c, CGPathDrawingMode mode) {
    ContextState* s = drawable(c);
    if (!s) {
        if (ContextState* any = stateOf(c)) {
            cairo_new_path(any->cr);
        }
        return;
    }
    switch (mode) {
    case kCGPathFill:
        fillPath(s, CAIRO_FILL_RULE_WINDING);
        break;
    case kCGPathEOFill:
        fillPath(s, CAIRO_FILL_RULE_EVEN_ODD);
        break;
    case kCGPathStroke:
        strokePath(s);
        break;
    case kCGPathFillStroke:
        fillPath(s, CAIRO_FILL_RULE_WINDING);
        strokePath(s);
        break;
    case kCGPathEOFillStroke:
        fillPath(s, CAIRO_FILL_RULE_EVEN_ODD);
        strokePath(s);
        break;
    }
    cairo_new_path(s->cr);
}

void CGContextFillPath(const CGContextRef& c) {
    CGContextDrawPath(c, kCGPathFill);
}

void CGContextEOFillPath(const CGContextRef& c) {
    CGContextDrawPath(c, kCGPathEOFill);
}

void CGContextStrokePath(const CGContextRef& c) {
    CGContextDrawPath(c, kCGPathStroke);
}

void CGContextFillRect(const CGContextRef& c, CGRect rect) {
    CGContextFillRects(c, &rect, 1);
}

void CGContextFillRects(const CGContextRef& c, const CGRect* rects, size_t count) {
    ContextState* s = drawable(c);
    if (!s || !rects) {
        return;
    }
    cairo_new_path(s->cr);
    CGContextAddRects(c, rects, count);
    CGContextDrawPath(c, kCGPathFill);
}

void CGContextStrokeRect(const CGContextRef& c, CGRect rect) {
    ContextState* s = drawable(c);
    if (!s) {
        return;
    }
    cairo_new_path(s->cr);
    CGContextAddRect(c, rect);
    CGContextDrawPath(c, kCGPathStroke);
}

void CGContextStrokeRectWithWidth(const CGContextRef& c, CGRect rect, CGFloat width) {
    ContextState* s = drawable(c);
    if (!s || !std::isfinite(width)) {
        return;
    }
    cairo_save(s->cr);
    cairo_set_line_width(s->cr, std::max(0.0, width));
    CGContextStrokeRect(c, rect);
    cairo_restore(s->cr);
}

void CGContextClearRect(const CGContextRef& c, CGRect rect) {
    ContextState* s = drawable(c);
    if (!s || !finiteRect(rect)) {
        return;
    }
    cairo_save(s->cr);
    cairo_new_path(s->cr);
    cairo_set_operator(s->cr, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(s->cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_fill(s->cr);
    cairo_restore(s->cr);
}

void CGContextFillEllipseInRect(const CGContextRef& c, CGRect rect) {
    if (ContextState* s = drawable(c)) {
        cairo_new_path(s->cr);
        CGContextAddEllipseInRect(c, rect);
        CGContextDrawPath(c, kCGPathFill);
    }
}

void CGContextStrokeEllipseInRect(const CGContextRef& c, CGRect rect) {
    if (ContextState* s = drawable(c)) {
        cairo_new_path(s->cr);
        CGContextAddEllipseInRect(c, rect);
        CGContextDrawPath(c, kCGPathStroke);
    }
}

void CGContextStrokeLineSegments(const CGContextRef& c, const CGPoint* points, size_t count) {
    ContextState* s = drawable(c);
    if (!s || !points) {
        return;
    }
    cairo_new_path(s->cr);
    for (size_t i = 0; i + 1 < count; i += 2) {
        CGContextMoveToPoint(c, points[i].x, points[i].y);
        CGContextAddLineToPoint(c, points[i + 1].x, points[i + 1].y);
    }
    CGContextDrawPath(c, kCGPathStroke);
}

// MARK: - Clipping

void CGContextClip(const CGContextRef& c) {
    if (ContextState* s = drawable(c)) {
        cairo_set_fill_rule(s->cr, CAIRO_FILL_RULE_WINDING);
        cairo_clip(s->cr);
    }
}

void CGContextEOClip(const CGContextRef& c) {
    if (ContextState* s = drawable(c)) {
        cairo_set_fill_rule(s->cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_clip(s->cr);
        cairo_set_fill_rule(s->cr, CAIRO_FILL_RULE_WINDING);
    }
}

void CGContextClipToRect(const CGContextRef& c, CGRect rect) {
    CGContextClipToRects(c, &rect, 1);
}

void CGContextClipToRects(const CGContextRef& c, const CGRect* rects, size_t count) {
    ContextState* s = drawable(c);
    if (!s || !rects) {
        return;
    }
    cairo_path_t* saved = cairo_copy_path(s->cr);
    cairo_new_path(s->cr);
    bool any = false;
    for (size_t i = 0; i < count; ++i) {
        if (finiteRect(rects[i])) {
            CGRect r = CGRectStandardize(rects[i]);
            cairo_rectangle(s->cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
            any = true;
        }
    }
    if (any) {
        cairo_set_fill_rule(s->cr, CAIRO_FILL_RULE_WINDING);
        cairo_clip(s->cr);
    }
    cairo_new_path(s->cr);
    cairo_append_path(s->cr, saved);
    cairo_path_destroy(saved);
}

CGRect CGContextGetClipBoundingBox(const CGContextRef& c) {
    ContextState* s = drawable(c);
    if (!s) {
        return CGRectNull;
    }
    double x1, y1, x2, y2;
    cairo_clip_extents(s->cr, &x1, &y1, &x2, &y2);
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

// MARK: - Images and gradients

void CGContextDrawImage(const CGContextRef& c, CGRect rect, const CGImageRef& image) {
    ContextState* s = drawable(c);
    if (!s || !image || !image->surface() || !finiteRect(rect)) {
        return;
    }
    rect = CGRectStandardize(rect);
    if (rect.size.width <= 0 || rect.size.height <= 0) {
        return;
    }
    double sx = rect.size.width / static_cast<double>(image->width());
    double sy = rect.size.height / static_cast<double>(image->height());
    cairo_filter_t filter = filterFor(s->g.interpolation);
    cairo_path_t* saved = cairo_copy_path(s->cr);
    cairo_new_path(s->cr);
    paintState(s, [&](cairo_t* cr, double alpha) {
        cairo_save(cr);
        cairo_translate(cr, rect.origin.x, rect.origin.y + rect.size.height);
        cairo_scale(cr, sx, -sy);
        cairo_set_source_surface(cr, image->surface(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), filter);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_rectangle(cr, 0, 0, static_cast<double>(image->width()), static_cast<double>(image->height()));
        cairo_clip(cr);
        cairo_paint_with_alpha(cr, alpha);
        cairo_restore(cr);
    });
    cairo_append_path(s->cr, saved);
    cairo_path_destroy(saved);
}

void CGContextDrawTiledImage(const CGContextRef& c, CGRect rect, const CGImageRef& image) {
    ContextState* s = drawable(c);
    if (!s || !image || !image->surface() || !finiteRect(rect)) {
        return;
    }
    rect = CGRectStandardize(rect);
    if (rect.size.width <= 0 || rect.size.height <= 0) {
        return;
    }
    double sx = rect.size.width / static_cast<double>(image->width());
    double sy = rect.size.height / static_cast<double>(image->height());
    cairo_filter_t filter = filterFor(s->g.interpolation);
    paintState(s, [&](cairo_t* cr, double alpha) {
        cairo_save(cr);
        cairo_translate(cr, rect.origin.x, rect.origin.y + rect.size.height);
        cairo_scale(cr, sx, -sy);
        cairo_set_source_surface(cr, image->surface(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), filter);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_REPEAT);
        cairo_paint_with_alpha(cr, alpha);
        cairo_restore(cr);
    });
}

void CGContextDrawLinearGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startPoint,
                                 CGPoint endPoint, CGGradientDrawingOptions options) {
    ContextState* s = drawable(c);
    if (!s || !gradient || !finite({startPoint.x, startPoint.y, endPoint.x, endPoint.y})) {
        return;
    }
    double dx = endPoint.x - startPoint.x, dy = endPoint.y - startPoint.y;
    double length = std::hypot(dx, dy);
    if (length <= 0) {
        return;
    }
    bool before = options & kCGGradientDrawsBeforeStartLocation;
    bool after = options & kCGGradientDrawsAfterEndLocation;
    cairo_path_t* saved = cairo_copy_path(s->cr);
    cairo_new_path(s->cr);
    paintState(s, [&](cairo_t* cr, double alpha) {
        cairo_save(cr);
        if (!before || !after) {
            // Only the band between the lines through the ends, across the gradient, is painted
            // (or the half-plane past the end that is extended).
            double ux = dx / length, uy = dy / length, nx = -uy, ny = ux;
            double big = 1e5;
            double s0 = before ? -big : 0, s1 = after ? length + big : length;
            auto at = [&](double along, double across) {
                return CGPointMake(startPoint.x + ux * along + nx * across, startPoint.y + uy * along + ny * across);
            };
            CGPoint q[4] = {at(s0, -big), at(s1, -big), at(s1, big), at(s0, big)};
            cairo_move_to(cr, q[0].x, q[0].y);
            for (int i = 1; i < 4; ++i) {
                cairo_line_to(cr, q[i].x, q[i].y);
            }
            cairo_close_path(cr);
            cairo_clip(cr);
        }
        cairo_pattern_t* p = cairo_pattern_create_linear(startPoint.x, startPoint.y, endPoint.x, endPoint.y);
        addGradientStops(p, gradient);
        cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
        cairo_set_source(cr, p);
        cairo_paint_with_alpha(cr, alpha);
        cairo_pattern_destroy(p);
        cairo_restore(cr);
    });
    cairo_append_path(s->cr, saved);
    cairo_path_destroy(saved);
}

void CGContextDrawRadialGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startCenter,
                                 CGFloat startRadius, CGPoint endCenter, CGFloat endRadius,
                                 CGGradientDrawingOptions options) {
    ContextState* s = drawable(c);
    if (!s || !gradient || !finite({startCenter.x, startCenter.y, startRadius, endCenter.x, endCenter.y, endRadius}) ||
        startRadius < 0 || endRadius < 0) {
        return;
    }
    bool before = options & kCGGradientDrawsBeforeStartLocation, after = options & kCGGradientDrawsAfterEndLocation;
    cairo_path_t* saved = cairo_copy_path(s->cr);
    cairo_new_path(s->cr);
    paintState(s, [&](cairo_t* cr, double alpha) {
        cairo_save(cr);
        if (before != after) {
            // One side extended: past the end circle (all but the inside of the start circle), or
            // inside the start circle (all within the end circle). Exact for nested circles.
            if (after && startRadius > 0) {
                double big = 1e5;
                cairo_rectangle(cr, -big, -big, 2 * big, 2 * big);
                cairo_new_sub_path(cr);
                cairo_arc(cr, startCenter.x, startCenter.y, startRadius, 0, 2 * M_PI);
                cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
                cairo_clip(cr);
            } else if (before) {
                cairo_arc(cr, endCenter.x, endCenter.y, endRadius, 0, 2 * M_PI);
                cairo_clip(cr);
            }
        }
        cairo_pattern_t* p =
            cairo_pattern_create_radial(startCenter.x, startCenter.y, startRadius, endCenter.x, endCenter.y, endRadius);
        addGradientStops(p, gradient);
        cairo_pattern_set_extend(p, before || after ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
        cairo_set_source(cr, p);
        cairo_paint_with_alpha(cr, alpha);
        cairo_pattern_destroy(p);
        cairo_restore(cr);
    });
    cairo_append_path(s->cr, saved);
    cairo_path_destroy(saved);
}

// MARK: - Transparency layers

namespace {
void beginLayer(const CGContextRef& c, bool bounded, CGRect rect) {
    ContextState* s = stateOf(c);
    if (!s) {
        return;
    }
    s->stack.push_back(s->g);
    GState& entry = s->stack.back();
    entry.layer = true;
    entry.layerBounded = bounded;
    entry.layerRect = rect;
    s->g.alpha = 1;
    s->g.blend = kCGBlendModeNormal;
    s->g.shadow = {};
    cairo_push_group(s->cr);
}
} // namespace

void CGContextBeginTransparencyLayer(const CGContextRef& c, const id&) {
    beginLayer(c, false, CGRectNull);
}

void CGContextBeginTransparencyLayerWithRect(const CGContextRef& c, CGRect rect, const id&) {
    beginLayer(c, finiteRect(rect), CGRectStandardize(rect));
}

void CGContextEndTransparencyLayer(const CGContextRef& c) {
    ContextState* s = stateOf(c);
    if (!s) {
        return;
    }
    auto layer = std::find_if(s->stack.rbegin(), s->stack.rend(), [](const GState& g) { return g.layer; });
    if (layer == s->stack.rend()) {
        return;
    }
    // Saves left open inside the layer end with it.
    while (!s->stack.back().layer) {
        cairo_restore(s->cr);
        s->stack.pop_back();
    }
    cairo_pattern_t* content = cairo_pop_group(s->cr);
    s->g = s->stack.back();
    s->stack.pop_back();
    bool bounded = s->g.layerBounded;
    CGRect rect = s->g.layerRect;
    s->g.layer = false;
    applyCTM(s);
    if (!s->g.degenerate) {
        cairo_path_t* saved = cairo_copy_path(s->cr);
        cairo_new_path(s->cr);
        paintState(s, [&](cairo_t* cr, double alpha) {
            cairo_save(cr);
            if (bounded) {
                cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
                cairo_clip(cr);
            }
            cairo_set_source(cr, content);
            cairo_paint_with_alpha(cr, alpha);
            cairo_restore(cr);
        });
        cairo_append_path(s->cr, saved);
        cairo_path_destroy(saved);
    }
    cairo_pattern_destroy(content);
}

void cg_detail::paint(const CGContextRef& c, const std::function<void(cairo_t* cr, double alpha)>& draw) {
    if (ContextState* s = drawable(c)) {
        cairo_path_t* saved = cairo_copy_path(s->cr);
        cairo_new_path(s->cr);
        paintState(s, draw);
        cairo_append_path(s->cr, saved);
        cairo_path_destroy(saved);
    }
}
