// Images made from a bitmap context share its pixels until the context is used again: each image
// keeps what the context held when it was made, and the context draws on as if none was made.
#include <CoreGraphics/CGContext.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

CGContextRef context(size_t w = 24, size_t h = 24) {
    return CGBitmapContextCreate(nullptr, w, h, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
}

std::vector<uint8_t> bytes(const CGContextRef& c) {
    auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(c));
    return {data, data + CGBitmapContextGetBytesPerRow(c) * CGBitmapContextGetHeight(c)};
}

// Every pixel of the image, straight RGBA, row by row from the top.
std::vector<uint8_t> pixels(const CGImageRef& image) {
    std::vector<uint8_t> out;
    for (size_t y = 0; y < CGImageGetHeight(image); ++y) {
        for (size_t x = 0; x < CGImageGetWidth(image); ++x) {
            uint8_t p[4]{};
            EXPECT_TRUE(CGImageGetPixel(image, x, y, p));
            out.insert(out.end(), p, p + 4);
        }
    }
    return out;
}

void fill(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGRect rect = CGRectMake(0, 0, 24, 24)) {
    CGContextSetRGBFillColor(c, r, g, b, 1);
    CGContextFillRect(c, rect);
}

// Runs `before`, then `after` on two contexts, one of them with an image made in between, and
// expects the same pixels in both; the image made in between must keep what `before` drew.
void expectSnapshotChangesNothing(const std::function<void(const CGContextRef&)>& before,
                                  const std::function<void(const CGContextRef&)>& after) {
    auto plain = context(), snapped = context(), reference = context();
    before(plain);
    before(snapped);
    before(reference);
    auto image = CGBitmapContextCreateImage(snapped);
    ASSERT_TRUE(image);
    after(plain);
    after(snapped);
    EXPECT_EQ(bytes(snapped), bytes(plain));
    EXPECT_EQ(pixels(image), pixels(CGBitmapContextCreateImage(reference)));
}

} // namespace

TEST(SharedPixels, AnImageKeepsItsPixelsWhenTheContextDrawsOn) {
    auto c = context();
    fill(c, 1, 0, 0);
    auto red = CGBitmapContextCreateImage(c);
    auto sameRed = CGBitmapContextCreateImage(c);
    fill(c, 0, 0, 1);
    auto blue = CGBitmapContextCreateImage(c);
    uint8_t p[4]{};
    ASSERT_TRUE(CGImageGetPixel(red, 12, 12, p));
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[2], 0);
    EXPECT_EQ(pixels(sameRed), pixels(red));
    ASSERT_TRUE(CGImageGetPixel(blue, 12, 12, p));
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[2], 255);
}

TEST(SharedPixels, WritingThroughTheContextsDataLeavesTheImageAlone) {
    auto c = context();
    fill(c, 0, 1, 0);
    auto image = CGBitmapContextCreateImage(c);
    auto before = pixels(image);
    std::memset(CGBitmapContextGetData(c), 0, CGBitmapContextGetBytesPerRow(c) * CGBitmapContextGetHeight(c));
    EXPECT_EQ(pixels(image), before);
    uint8_t p[4]{};
    ASSERT_TRUE(CGImageGetPixel(CGBitmapContextCreateImage(c), 3, 3, p));
    EXPECT_EQ(p[3], 0);
}

TEST(SharedPixels, AContextCanDrawItsOwnImage) {
    auto c = context();
    fill(c, 1, 0, 0, CGRectMake(0, 0, 12, 24));
    auto image = CGBitmapContextCreateImage(c);
    CGContextDrawImage(c, CGRectMake(12, 0, 24, 24), image); // the left half lands on the right half
    uint8_t p[4]{};
    ASSERT_TRUE(CGImageGetPixel(CGBitmapContextCreateImage(c), 18, 12, p));
    EXPECT_EQ(p[0], 255);
    ASSERT_TRUE(CGImageGetPixel(image, 18, 12, p));
    EXPECT_EQ(p[3], 0);
}

TEST(SharedPixels, TheTransformClipPathAndLineSettingsCarryOver) {
    expectSnapshotChangesNothing(
        [](const CGContextRef& c) {
            fill(c, 1, 1, 1);
            CGContextTranslateCTM(c, 3, 2);
            CGContextScaleCTM(c, 1.5, 1);
            CGContextClipToRect(c, CGRectMake(1, 1, 12, 18));
            CGContextSetLineWidth(c, 3);
            CGContextSetLineCap(c, kCGLineCapRound);
            const CGFloat dash[] = {4, 2};
            CGContextSetLineDash(c, 1, dash, 2);
            CGContextSetRGBStrokeColor(c, 0, 0.5, 1, 1);
            CGContextMoveToPoint(c, 0, 0);
            CGContextAddLineToPoint(c, 10, 15);
        },
        [](const CGContextRef& c) {
            CGContextAddLineToPoint(c, 14, 3);
            CGContextStrokePath(c);
            fill(c, 1, 0, 0, CGRectMake(-5, 12, 40, 3));
        });
}

TEST(SharedPixels, ASavedStateOrAShapedClipStillWorksAfterAnImage) {
    expectSnapshotChangesNothing(
        [](const CGContextRef& c) {
            fill(c, 0, 0, 0);
            CGContextSaveGState(c);
            CGContextAddEllipseInRect(c, CGRectMake(2, 2, 20, 16));
            CGContextClip(c);
            fill(c, 0, 1, 0);
        },
        [](const CGContextRef& c) {
            fill(c, 0, 0, 1, CGRectMake(0, 0, 24, 8));
            CGContextRestoreGState(c);
            fill(c, 1, 0, 0, CGRectMake(0, 20, 24, 4));
        });
    expectSnapshotChangesNothing(
        [](const CGContextRef& c) {
            CGContextClipToRect(c, CGRectMake(0, 0, 0, 0));
            fill(c, 1, 0, 0);
        },
        [](const CGContextRef& c) { fill(c, 0, 1, 0); });
}

TEST(SharedPixels, AnImageOutlivesItsContext) {
    CGImageRef image;
    {
        auto c = context(8, 8);
        fill(c, 0, 0, 1);
        image = CGBitmapContextCreateImage(c);
    }
    uint8_t p[4]{};
    ASSERT_TRUE(CGImageGetPixel(image, 7, 7, p));
    EXPECT_EQ(p[2], 255);
    EXPECT_EQ(p[3], 255);
}
