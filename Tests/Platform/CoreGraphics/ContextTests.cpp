#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImageCoding.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Pixel {
    int r, g, b, a;
};

// Reads the pixel at (x, y) counted from the top-left corner of the bitmap.
Pixel at(const CGContextRef& c, size_t x, size_t y) {
    uint8_t p[4]{};
    auto image = CGBitmapContextCreateImage(c);
    EXPECT_TRUE(CGImageGetPixel(image, x, y, p));
    return {p[0], p[1], p[2], p[3]};
}

CGContextRef context(size_t w = 20, size_t h = 20) {
    return CGBitmapContextCreate(nullptr, w, h, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
}

// In the y-up space of a bitmap context, user y = h - 1 - row for the pixel centres.
void expectColour(Pixel p, int r, int g, int b, int a, int tolerance = 2) {
    EXPECT_NEAR(p.r, r, tolerance);
    EXPECT_NEAR(p.g, g, tolerance);
    EXPECT_NEAR(p.b, b, tolerance);
    EXPECT_NEAR(p.a, a, tolerance);
}

} // namespace

TEST(BitmapContext, RefusesBadSizesAndLayouts) {
    EXPECT_FALSE(context(0, 10));
    EXPECT_FALSE(context(10, 0));
    EXPECT_FALSE(context(16385, 1));
    EXPECT_TRUE(context(16384, 1));
    EXPECT_FALSE(
        CGBitmapContextCreate(nullptr, 4, 4, 16, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaLast));
    auto opaque = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast);
    ASSERT_TRUE(opaque);
    EXPECT_EQ(CGBitmapContextGetAlphaInfo(opaque), kCGImageAlphaNoneSkipLast);
    EXPECT_EQ(at(opaque, 0, 0).a, 255);
}

TEST(BitmapContext, StartsTransparentWithTheOriginAtTheBottomLeft) {
    auto c = context();
    expectColour(at(c, 5, 5), 0, 0, 0, 0);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 5));
    expectColour(at(c, 10, 19), 255, 0, 0, 255);
    expectColour(at(c, 10, 0), 0, 0, 0, 0);
}

TEST(BitmapContext, SnapshotsDoNotFollowLaterDrawing) {
    auto c = context();
    auto before = CGBitmapContextCreateImage(c);
    CGContextSetGrayFillColor(c, 1, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    uint8_t p[4];
    ASSERT_TRUE(CGImageGetPixel(before, 3, 3, p));
    EXPECT_EQ(p[3], 0);
    expectColour(at(c, 3, 3), 255, 255, 255, 255);
}

TEST(Fill, FillsWithWindingAndEvenOddRules) {
    auto c = context(40, 20);
    CGContextSetRGBFillColor(c, 0, 0, 1, 1);
    // Two nested squares, both drawn the same way round.
    for (double x : {0.0, 20.0}) {
        CGContextAddRect(c, CGRectMake(x, 0, 20, 20));
        CGContextAddRect(c, CGRectMake(x + 5, 5, 10, 10));
        if (x == 0) {
            CGContextFillPath(c);
        } else {
            CGContextEOFillPath(c);
        }
    }
    expectColour(at(c, 10, 10), 0, 0, 255, 255); // winding: the hole is filled
    expectColour(at(c, 30, 10), 0, 0, 0, 0);     // even-odd: the hole stays empty
    expectColour(at(c, 22, 10), 0, 0, 255, 255);
    EXPECT_TRUE(CGContextIsPathEmpty(c));
}

TEST(Fill, AlphaAndGlobalAlphaBlendOverWhatIsThere) {
    auto c = context();
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    CGContextSetRGBFillColor(c, 0, 0, 0, 0.5);
    CGContextFillRect(c, CGRectMake(0, 0, 10, 20));
    CGContextSetAlpha(c, 0.5);
    CGContextSetRGBFillColor(c, 0, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(10, 0, 10, 20));
    expectColour(at(c, 5, 5), 128, 128, 128, 255, 3);
    expectColour(at(c, 15, 5), 128, 128, 128, 255, 3);
}

TEST(Fill, EllipsesArcsAndRoundedCornersLeaveTheCornersEmpty) {
    auto c = context(40, 40);
    CGContextSetRGBFillColor(c, 0, 1, 0, 1);
    CGContextFillEllipseInRect(c, CGRectMake(0, 0, 40, 40));
    expectColour(at(c, 20, 20), 0, 255, 0, 255);
    expectColour(at(c, 1, 1), 0, 0, 0, 0);

    auto d = context(40, 40);
    CGContextSetRGBFillColor(d, 1, 0, 0, 1);
    CGContextMoveToPoint(d, 20, 20);
    CGContextAddArc(d, 20, 20, 15, 0, M_PI / 2, 0); // a quarter turn upwards (y up)
    CGContextClosePath(d);
    CGContextFillPath(d);
    expectColour(at(d, 27, 12), 255, 0, 0, 255); // up and right of the centre
    expectColour(at(d, 13, 27), 0, 0, 0, 0);

    auto e = context(40, 40);
    auto rounded = CGPathCreateMutable();
    CGPathAddRoundedRect(rounded, nullptr, CGRectMake(0, 0, 40, 40), 10, 10);
    CGContextAddPath(e, rounded);
    CGContextSetRGBFillColor(e, 1, 1, 0, 1);
    CGContextFillPath(e);
    expectColour(at(e, 0, 0), 0, 0, 0, 0);
    expectColour(at(e, 20, 0), 255, 255, 0, 255);
    expectColour(at(e, 20, 20), 255, 255, 0, 255);
}

TEST(Stroke, WidthCapsAndDashes) {
    auto c = context(40, 20);
    CGContextSetRGBStrokeColor(c, 0, 0, 0, 1);
    CGContextSetLineWidth(c, 4);
    CGContextMoveToPoint(c, 5, 10);
    CGContextAddLineToPoint(c, 35, 10);
    CGContextStrokePath(c);
    expectColour(at(c, 20, 9), 0, 0, 0, 255);
    expectColour(at(c, 20, 11), 0, 0, 0, 255);
    expectColour(at(c, 20, 13), 0, 0, 0, 0);
    expectColour(at(c, 3, 9), 0, 0, 0, 0); // butt cap: nothing before the start

    auto d = context(40, 20);
    CGContextSetLineWidth(d, 4);
    CGContextSetLineCap(d, kCGLineCapSquare);
    CGContextMoveToPoint(d, 5, 10);
    CGContextAddLineToPoint(d, 35, 10);
    CGContextStrokePath(d);
    expectColour(at(d, 3, 9), 0, 0, 0, 255); // square cap reaches 2 points further

    auto e = context(40, 20);
    const CGFloat dash[] = {5, 5};
    CGContextSetLineDash(e, 0, dash, 2);
    CGContextSetLineWidth(e, 2);
    CGContextMoveToPoint(e, 0, 10);
    CGContextAddLineToPoint(e, 40, 10);
    CGContextStrokePath(e);
    expectColour(at(e, 2, 9), 0, 0, 0, 255);
    expectColour(at(e, 7, 9), 0, 0, 0, 0);
    expectColour(at(e, 12, 9), 0, 0, 0, 255);
}

TEST(Clip, ClipsToRectsAndPathsUntilRestored) {
    auto c = context();
    CGContextSaveGState(c);
    CGContextClipToRect(c, CGRectMake(0, 0, 10, 20));
    EXPECT_EQ(CGContextGetClipBoundingBox(c), CGRectMake(0, 0, 10, 20));
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    CGContextRestoreGState(c);
    expectColour(at(c, 5, 5), 255, 0, 0, 255);
    expectColour(at(c, 15, 5), 0, 0, 0, 0);
    // The fill colour was part of the saved state.
    CGContextFillRect(c, CGRectMake(10, 0, 10, 20));
    expectColour(at(c, 15, 5), 0, 0, 0, 255);

    auto d = context();
    CGContextAddEllipseInRect(d, CGRectMake(0, 0, 20, 20));
    CGContextClip(d);
    CGContextSetRGBFillColor(d, 0, 0, 1, 1);
    CGContextFillRect(d, CGRectMake(0, 0, 20, 20));
    expectColour(at(d, 10, 10), 0, 0, 255, 255);
    expectColour(at(d, 0, 0), 0, 0, 0, 0);
}

TEST(Transform, CTMTransformsWhatIsDrawnAndIsSaved) {
    auto c = context(20, 20);
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, 0, 20);
    CGContextScaleCTM(c, 1, -1); // y down, as UIKit draws
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 5));
    EXPECT_EQ(CGContextGetCTM(c), CGAffineTransformMake(1, 0, 0, -1, 0, 20));
    CGContextRestoreGState(c);
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(c)));
    expectColour(at(c, 10, 2), 255, 0, 0, 255);
    expectColour(at(c, 10, 17), 0, 0, 0, 0);

    auto d = context(20, 20);
    CGContextTranslateCTM(d, 10, 10);
    CGContextRotateCTM(d, M_PI / 4);
    CGContextSetRGBFillColor(d, 0, 0, 0, 1);
    CGContextFillRect(d, CGRectMake(-4, -4, 8, 8));
    expectColour(at(d, 10, 6), 0, 0, 0, 255); // the diamond reaches further along the axes...
    expectColour(at(d, 10, 13), 0, 0, 0, 255);
    expectColour(at(d, 14, 6), 0, 0, 0, 0); // ...and not as far towards the corners
}

TEST(Gradient, LinearGradientsRunBetweenTheirPointsAndExtendOnlyWhenAsked) {
    auto c = context(100, 4);
    const CGFloat comps[] = {1, 0, 0, 1, 0, 0, 1, 1};
    auto g = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), comps, nullptr, 2);
    CGContextDrawLinearGradient(c, g, CGPointMake(25, 0), CGPointMake(75, 0), 0);
    expectColour(at(c, 10, 2), 0, 0, 0, 0);
    expectColour(at(c, 90, 2), 0, 0, 0, 0);
    Pixel mid = at(c, 50, 2);
    EXPECT_NEAR(mid.r, 128, 8);
    EXPECT_NEAR(mid.b, 128, 8);
    EXPECT_GT(at(c, 30, 2).r, at(c, 70, 2).r);

    auto d = context(100, 4);
    CGContextDrawLinearGradient(d, g, CGPointMake(25, 0), CGPointMake(75, 0),
                                kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    expectColour(at(d, 10, 2), 255, 0, 0, 255);
    expectColour(at(d, 90, 2), 0, 0, 255, 255);
}

TEST(Gradient, RadialGradientsGrowFromTheCentre) {
    auto c = context(40, 40);
    auto g = CGGradientCreateWithColors(
        CGColorSpaceCreateDeviceRGB(),
        NSArray::arrayWithObjects({CGColorCreateGenericRGB(1, 1, 1, 1), CGColorCreateGenericRGB(0, 0, 0, 1)}), nullptr);
    CGContextDrawRadialGradient(c, g, CGPointMake(20, 20), 0, CGPointMake(20, 20), 20, 0);
    EXPECT_GT(at(c, 20, 20).r, 240);
    EXPECT_LT(at(c, 20, 38).r, 30);
    EXPECT_EQ(at(c, 0, 0).a, 0);

    // Extended past the end only: the end colour continues outside; inside the start circle of a
    // ring-shaped gradient nothing is drawn.
    auto after = context(40, 40);
    CGContextDrawRadialGradient(after, g, CGPointMake(20, 20), 0, CGPointMake(20, 20), 10,
                                kCGGradientDrawsAfterEndLocation);
    EXPECT_GT(at(after, 20, 20).r, 230);
    expectColour(at(after, 1, 1), 0, 0, 0, 255);
    auto ring = context(40, 40);
    CGContextDrawRadialGradient(ring, g, CGPointMake(20, 20), 5, CGPointMake(20, 20), 10,
                                kCGGradientDrawsAfterEndLocation);
    EXPECT_EQ(at(ring, 20, 20).a, 0);
    expectColour(at(ring, 1, 1), 0, 0, 0, 255);
    auto inside = context(40, 40);
    CGContextDrawRadialGradient(inside, g, CGPointMake(20, 20), 5, CGPointMake(20, 20), 10,
                                kCGGradientDrawsBeforeStartLocation);
    expectColour(at(inside, 20, 20), 255, 255, 255, 255);
    EXPECT_EQ(at(inside, 1, 1).a, 0);
}

TEST(Shadow, AShadowFallsBesideTheShape) {
    auto c = context(40, 40);
    CGContextSetShadowWithColor(c, CGSizeMake(5, -5), 0, CGColorCreateGenericRGB(0, 0, 0, 1));
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(10, 20, 10, 10));
    expectColour(at(c, 15, 15), 255, 0, 0, 255);
    expectColour(at(c, 22, 22), 0, 0, 0, 255); // right and down of the square
    expectColour(at(c, 8, 8), 0, 0, 0, 0);
}

TEST(TransparencyLayer, CompositesTheGroupOnceWithTheLayerAlpha) {
    auto c = context();
    CGContextSetAlpha(c, 0.5);
    CGContextBeginTransparencyLayer(c, nullptr);
    CGContextSetRGBFillColor(c, 0, 0, 1, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 15, 20));
    CGContextFillRect(c, CGRectMake(5, 0, 15, 20)); // overlaps without darkening inside the layer
    CGContextEndTransparencyLayer(c);
    expectColour(at(c, 10, 10), 0, 0, 255, 128, 3);
    expectColour(at(c, 2, 10), 0, 0, 255, 128, 3);
}

TEST(BlendMode, ClearErasesAndCopyReplaces) {
    auto c = context();
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    CGContextSetBlendMode(c, kCGBlendModeClear);
    CGContextFillRect(c, CGRectMake(0, 0, 10, 20));
    expectColour(at(c, 5, 5), 0, 0, 0, 0);
    expectColour(at(c, 15, 5), 255, 0, 0, 255);
    CGContextSetBlendMode(c, kCGBlendModeCopy);
    CGContextSetRGBFillColor(c, 0, 1, 0, 0.5);
    CGContextFillRect(c, CGRectMake(10, 0, 10, 20));
    expectColour(at(c, 15, 5), 0, 255, 0, 128, 3);
}

TEST(Image, DrawsImagesUprightAndScaled) {
    auto src = context(2, 2);
    CGContextSetRGBFillColor(src, 1, 0, 0, 1);
    CGContextFillRect(src, CGRectMake(0, 1, 2, 1)); // the top row red
    auto image = CGBitmapContextCreateImage(src);
    auto c = context(20, 20);
    CGContextSetInterpolationQuality(c, kCGInterpolationNone);
    CGContextDrawImage(c, CGRectMake(0, 0, 20, 20), image);
    expectColour(at(c, 10, 3), 255, 0, 0, 255);
    expectColour(at(c, 10, 16), 0, 0, 0, 0);

    auto crop = CGImageCreateWithImageInRect(image, CGRectMake(0, 0, 2, 1));
    ASSERT_TRUE(crop);
    EXPECT_EQ(CGImageGetWidth(crop), 2u);
    EXPECT_EQ(CGImageGetHeight(crop), 1u);
    uint8_t p[4];
    CGImageGetPixel(crop, 0, 0, p);
    EXPECT_EQ(p[0], 255);
    EXPECT_FALSE(CGImageCreateWithImageInRect(image, CGRectMake(5, 5, 2, 2)));
}

TEST(BadInput, NonFiniteCoordinatesAndSingularTransformsDrawNothing) {
    double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    auto c = context();
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(nan, 0, 10, 10));
    CGContextFillRect(c, CGRectMake(0, 0, inf, 10));
    CGContextMoveToPoint(c, 0, 0);
    CGContextAddLineToPoint(c, nan, 5);
    CGContextAddArc(c, 10, 10, inf, 0, 1, 0);
    CGContextFillPath(c);
    CGContextTranslateCTM(c, nan, 0);
    CGContextSaveGState(c);
    CGContextScaleCTM(c, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    CGContextRestoreGState(c);
    expectColour(at(c, 5, 15), 0, 0, 0, 0);
    // The context still works afterwards.
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    expectColour(at(c, 5, 15), 255, 0, 0, 255);
}

TEST(ColourSpace, GreyAndRGBColoursAndComponents) {
    auto grey = CGColorCreate(CGColorSpaceCreateDeviceGray(), std::array<CGFloat, 2>{0.5, 1}.data());
    EXPECT_EQ(CGColorGetNumberOfComponents(grey), 2u);
    EXPECT_EQ(CGColorSpaceGetModel(CGColorGetColorSpace(grey)), kCGColorSpaceModelMonochrome);
    EXPECT_DOUBLE_EQ(CGColorGetComponents(grey)[0], 0.5);
    auto c = context();
    CGContextSetFillColorSpace(c, CGColorSpaceCreateDeviceGray());
    const CGFloat white[] = {1, 1};
    CGContextSetFillColor(c, white);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    expectColour(at(c, 5, 5), 255, 255, 255, 255);
    CGContextSetFillColorWithColor(c, grey);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    expectColour(at(c, 5, 5), 128, 128, 128, 255, 2);
}
