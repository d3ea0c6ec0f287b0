// CGContext: a drawing destination on cairo, with the platform's graphics state and C interface.
//
// A bitmap context (CGBitmapContextCreate) owns its pixels: 8 bits per component, RGB with
// premultiplied alpha (or none), at any size up to kCGImageMaximumSide pixels a side. Its user
// space starts as the platform's: the origin at the bottom-left corner, y growing upwards, one unit
// per pixel. UIKit's image contexts flip and scale that space (see UIGraphics.h).
//
// The graphics state (CTM, clip, colours, line settings, alpha, blend mode, shadow, interpolation)
// is saved and restored with CGContextSaveGState/RestoreGState. The current path is not part of it:
// its points are fixed in device space as they are added, and filling, stroking or clipping
// consumes it. Transparency layers group drawing and composite it once, with the alpha, blend mode
// and shadow in force when the layer began.
//
// Bad input is harmless: a NaN or infinite coordinate makes the call do nothing; a transform that
// cannot be inverted makes the drawing calls do nothing until it is undone.
#pragma once

#include <CoreGraphics/CGColor.h>
#include <CoreGraphics/CGGradient.h>
#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGPath.h>

#include <functional>
#include <memory>

typedef struct _cairo cairo_t;

enum CGPathDrawingMode : int32_t {
    kCGPathFill = 0,
    kCGPathEOFill = 1,
    kCGPathStroke = 2,
    kCGPathFillStroke = 3,
    kCGPathEOFillStroke = 4,
};

enum CGBlendMode : int32_t {
    kCGBlendModeNormal = 0,
    kCGBlendModeMultiply,
    kCGBlendModeScreen,
    kCGBlendModeOverlay,
    kCGBlendModeDarken,
    kCGBlendModeLighten,
    kCGBlendModeColorDodge,
    kCGBlendModeColorBurn,
    kCGBlendModeSoftLight,
    kCGBlendModeHardLight,
    kCGBlendModeDifference,
    kCGBlendModeExclusion,
    kCGBlendModeHue,
    kCGBlendModeSaturation,
    kCGBlendModeColor,
    kCGBlendModeLuminosity,
    kCGBlendModeClear,
    kCGBlendModeCopy,
    kCGBlendModeSourceIn,
    kCGBlendModeSourceOut,
    kCGBlendModeSourceAtop,
    kCGBlendModeDestinationOver,
    kCGBlendModeDestinationIn,
    kCGBlendModeDestinationOut,
    kCGBlendModeDestinationAtop,
    kCGBlendModeXOR,
    kCGBlendModePlusDarker,
    kCGBlendModePlusLighter,
};

namespace cg_detail {
struct ContextState;
}

class CGContext : public NSObject {
    NS_OBJECT(CGContext, NSObject)
public:
    CGContext();
    ~CGContext() override;

    // A bitmap context over a new image surface; nil (with the reason logged) for a bad size or
    // layout. See CGBitmapContextCreate.
    static Ref<CGContext> bitmap(size_t width, size_t height, const CGColorSpaceRef& space, CGBitmapInfo info);

    // For the platform's own renderers (text): the cairo context, with its matrix kept equal to the
    // CTM. Callers restore what they change.
    cairo_t* cairo() const noexcept;
    cg_detail::ContextState& state() const noexcept { return *state_; }

private:
    std::unique_ptr<cg_detail::ContextState> state_;
};

using CGContextRef = Ref<CGContext>;

// Bitmap contexts. `data` must be null (the context owns its pixels); bitsPerComponent must be 8;
// bytesPerRow 0 lets the context choose. The alpha info must be premultiplied (first or last), none
// skip first/last or none. Anything else, or a side of 0 or above kCGImageMaximumSide, gives nil
// and logs why.
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent, size_t bytesPerRow,
                                   const CGColorSpaceRef& space, CGBitmapInfo bitmapInfo);
// A snapshot of the context's pixels as an image; nil for a nil context.
CGImageRef CGBitmapContextCreateImage(const CGContextRef& c);
size_t CGBitmapContextGetWidth(const CGContextRef& c);
size_t CGBitmapContextGetHeight(const CGContextRef& c);
size_t CGBitmapContextGetBitsPerComponent(const CGContextRef& c);
size_t CGBitmapContextGetBytesPerRow(const CGContextRef& c);
CGColorSpaceRef CGBitmapContextGetColorSpace(const CGContextRef& c);
CGBitmapInfo CGBitmapContextGetBitmapInfo(const CGContextRef& c);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(const CGContextRef& c);
// The pixels, in the drawing library's native 32-bit layout (see CGImage.h).
void* CGBitmapContextGetData(const CGContextRef& c);
inline void CGContextRelease(const CGContextRef&) {}
inline void CGContextFlush(const CGContextRef&) {}

// Graphics state.
void CGContextSaveGState(const CGContextRef& c);
void CGContextRestoreGState(const CGContextRef& c);

// The current transformation matrix.
void CGContextTranslateCTM(const CGContextRef& c, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(const CGContextRef& c, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(const CGContextRef& c, CGFloat angle);
void CGContextConcatCTM(const CGContextRef& c, CGAffineTransform transform);
CGAffineTransform CGContextGetCTM(const CGContextRef& c);
CGPoint CGContextConvertPointToDeviceSpace(const CGContextRef& c, CGPoint point);

// Line and drawing settings.
void CGContextSetLineWidth(const CGContextRef& c, CGFloat width);
void CGContextSetLineCap(const CGContextRef& c, CGLineCap cap);
void CGContextSetLineJoin(const CGContextRef& c, CGLineJoin join);
void CGContextSetMiterLimit(const CGContextRef& c, CGFloat limit);
// `lengths` null or `count` 0 turns dashing off.
void CGContextSetLineDash(const CGContextRef& c, CGFloat phase, const CGFloat* lengths, size_t count);
void CGContextSetFlatness(const CGContextRef& c, CGFloat flatness);
void CGContextSetAlpha(const CGContextRef& c, CGFloat alpha);
void CGContextSetBlendMode(const CGContextRef& c, CGBlendMode mode);
void CGContextSetShouldAntialias(const CGContextRef& c, bool should);
void CGContextSetAllowsAntialiasing(const CGContextRef& c, bool allows);
void CGContextSetInterpolationQuality(const CGContextRef& c, CGInterpolationQuality quality);
CGInterpolationQuality CGContextGetInterpolationQuality(const CGContextRef& c);
// A shadow under everything drawn next: offset in the base space (y up), blur radius in points.
// A nil colour (or alpha 0) turns it off.
void CGContextSetShadowWithColor(const CGContextRef& c, CGSize offset, CGFloat blur, const CGColorRef& color);
// The platform's default shadow colour: black at one third alpha.
void CGContextSetShadow(const CGContextRef& c, CGSize offset, CGFloat blur);

// Colours.
void CGContextSetFillColorWithColor(const CGContextRef& c, const CGColorRef& color);
void CGContextSetStrokeColorWithColor(const CGContextRef& c, const CGColorRef& color);
void CGContextSetRGBFillColor(const CGContextRef& c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
void CGContextSetRGBStrokeColor(const CGContextRef& c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
void CGContextSetGrayFillColor(const CGContextRef& c, CGFloat gray, CGFloat alpha);
void CGContextSetGrayStrokeColor(const CGContextRef& c, CGFloat gray, CGFloat alpha);
void CGContextSetFillColorSpace(const CGContextRef& c, const CGColorSpaceRef& space);
void CGContextSetStrokeColorSpace(const CGContextRef& c, const CGColorSpaceRef& space);
// Components of the fill (stroke) colour space, alpha last.
void CGContextSetFillColor(const CGContextRef& c, const CGFloat* components);
void CGContextSetStrokeColor(const CGContextRef& c, const CGFloat* components);

// The current path.
void CGContextBeginPath(const CGContextRef& c);
void CGContextMoveToPoint(const CGContextRef& c, CGFloat x, CGFloat y);
void CGContextAddLineToPoint(const CGContextRef& c, CGFloat x, CGFloat y);
void CGContextAddCurveToPoint(const CGContextRef& c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                              CGFloat y);
void CGContextAddQuadCurveToPoint(const CGContextRef& c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
void CGContextClosePath(const CGContextRef& c);
void CGContextAddRect(const CGContextRef& c, CGRect rect);
void CGContextAddRects(const CGContextRef& c, const CGRect* rects, size_t count);
void CGContextAddLines(const CGContextRef& c, const CGPoint* points, size_t count);
void CGContextAddEllipseInRect(const CGContextRef& c, CGRect rect);
// As CGPathAddArc: `clockwise` true means decreasing angles in the y-up space.
void CGContextAddArc(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                     int clockwise);
void CGContextAddArcToPoint(const CGContextRef& c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius);
void CGContextAddPath(const CGContextRef& c, const CGPathRef& path);
bool CGContextIsPathEmpty(const CGContextRef& c);
CGPoint CGContextGetPathCurrentPoint(const CGContextRef& c);
CGRect CGContextGetPathBoundingBox(const CGContextRef& c);

// Painting.
void CGContextDrawPath(const CGContextRef& c, CGPathDrawingMode mode);
void CGContextFillPath(const CGContextRef& c);
void CGContextEOFillPath(const CGContextRef& c);
void CGContextStrokePath(const CGContextRef& c);
void CGContextFillRect(const CGContextRef& c, CGRect rect);
void CGContextFillRects(const CGContextRef& c, const CGRect* rects, size_t count);
void CGContextStrokeRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeRectWithWidth(const CGContextRef& c, CGRect rect, CGFloat width);
// Makes the rectangle fully transparent.
void CGContextClearRect(const CGContextRef& c, CGRect rect);
void CGContextFillEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeEllipseInRect(const CGContextRef& c, CGRect rect);
// Strokes the segments (points[0], points[1]), (points[2], points[3]), ...
void CGContextStrokeLineSegments(const CGContextRef& c, const CGPoint* points, size_t count);

// Clipping: intersects the clip with the current path (consumed) or the rectangles.
void CGContextClip(const CGContextRef& c);
void CGContextEOClip(const CGContextRef& c);
void CGContextClipToRect(const CGContextRef& c, CGRect rect);
void CGContextClipToRects(const CGContextRef& c, const CGRect* rects, size_t count);
CGRect CGContextGetClipBoundingBox(const CGContextRef& c);

// Images and gradients. An image fills `rect` upright in the y-up user space.
void CGContextDrawImage(const CGContextRef& c, CGRect rect, const CGImageRef& image);
// Repeats the image, each copy the size of `rect`, over the whole clip.
void CGContextDrawTiledImage(const CGContextRef& c, CGRect rect, const CGImageRef& image);
void CGContextDrawLinearGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startPoint,
                                 CGPoint endPoint, CGGradientDrawingOptions options);
void CGContextDrawRadialGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startCenter,
                                 CGFloat startRadius, CGPoint endCenter, CGFloat endRadius,
                                 CGGradientDrawingOptions options);

// Transparency layers (auxiliaryInfo is unused and may be nil).
void CGContextBeginTransparencyLayer(const CGContextRef& c, const id& auxiliaryInfo);
void CGContextBeginTransparencyLayerWithRect(const CGContextRef& c, CGRect rect, const id& auxiliaryInfo);
void CGContextEndTransparencyLayer(const CGContextRef& c);

namespace cg_detail {
// Paints marks made directly on cairo (text, for one) through the context's graphics state: its
// blend mode, alpha and shadow. `draw` makes the marks with the cairo context as it stands (its
// matrix is the CTM) and multiplies the alpha it is given into its colours; it may be called into
// a group. Does nothing while the CTM cannot be inverted.
void paint(const CGContextRef& c, const std::function<void(cairo_t* cr, double alpha)>& draw);
} // namespace cg_detail
