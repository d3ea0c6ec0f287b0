#include <Categorys/UIImage+FillColor.h>
#include <Categorys/UIImage+Reshape.h>
#include <Support/PlatformTestCase.h>

#include <array>

namespace {

std::array<uint8_t, 4> pixel(const Ref<UIImage>& image, size_t x, size_t y) {
    std::array<uint8_t, 4> p{};
    EXPECT_TRUE(CGImageGetPixel(image->CGImage(), x, y, p.data()));
    return p;
}

// A w x h image: its left half red, its right half blue, its top-left pixel green; fully opaque
// unless `transparentRight`, which makes the right half transparent.
Ref<UIImage> halves(size_t w, size_t h, UIImageOrientation orientation = UIImageOrientationUp,
                    bool transparentRight = false) {
    auto c = CGBitmapContextCreate(nullptr, w, h, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
    double dw = static_cast<double>(w), dh = static_cast<double>(h);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, dw / 2, dh));
    if (!transparentRight) {
        CGContextSetRGBFillColor(c, 0, 0, 1, 1);
        CGContextFillRect(c, CGRectMake(dw / 2, 0, dw / 2, dh));
    }
    CGContextSetRGBFillColor(c, 0, 1, 0, 1);
    CGContextFillRect(c, CGRectMake(0, dh - 1, 1, 1));
    return UIImage::imageWithCGImageScaleOrientation(CGBitmapContextCreateImage(c), 1, orientation);
}

using RGBA = std::array<uint8_t, 4>;
const RGBA red{255, 0, 0, 255}, blue{0, 0, 255, 255}, clear{0, 0, 0, 0};

} // namespace

class ImageCategoryTests : public PlatformTestCase {};

TEST_F(ImageCategoryTests, FillsAreSolidAndRoundedCornersStayTransparent) {
    auto square = fillImgOfSizeWithColor(CGSizeMake(10, 10), UIColor::redColor());
    ASSERT_TRUE(square);
    EXPECT_EQ(square->size(), CGSizeMake(10, 10));
    EXPECT_EQ(square->scale(), 1);
    for (size_t at : {0u, 5u, 9u}) {
        EXPECT_EQ(pixel(square, at, at), red);
    }
    auto disc = fillImgOfSizeWithColorCornerRadius(CGSizeMake(10, 10), UIColor::redColor(), 5);
    EXPECT_EQ(pixel(disc, 0, 0), clear);
    EXPECT_EQ(pixel(disc, 9, 9), clear);
    EXPECT_EQ(pixel(disc, 5, 5), red);
    auto halfClear = fillImgOfSizeWithColor(CGSizeMake(4, 4), UIColor::colorWithRedGreenBlueAlpha(0, 1, 0, 0.5));
    EXPECT_NEAR(pixel(halfClear, 2, 2)[3], 128, 1) << "the colour's alpha is kept";
    EXPECT_FALSE(fillImgOfSizeWithColor(CGSizeMake(0, 10), UIColor::redColor()));
}

TEST_F(ImageCategoryTests, CroppingUsesPixelsAndKeepsAlpha) {
    auto image = halves(40, 20, UIImageOrientationUp, true);
    auto left = croppedImage(image, CGRectMake(0, 0, 10, 20));
    ASSERT_TRUE(left);
    EXPECT_EQ(left->size(), CGSizeMake(10, 20));
    EXPECT_EQ(pixel(left, 5, 10), red);
    auto right = croppedImage(image, CGRectMake(30, 5, 20, 20));
    EXPECT_EQ(right->size(), CGSizeMake(10, 15)) << "cut to the bitmap";
    EXPECT_EQ(pixel(right, 5, 5), clear);
    EXPECT_FALSE(croppedImage(image, CGRectMake(50, 0, 10, 10)));
}

TEST_F(ImageCategoryTests, ResizingDrawsUprightImagesUprightAndKeepsAlpha) {
    auto image = halves(400, 200, UIImageOrientationUp, true);
    auto small = resizedImageInterpolationQuality(image, CGSizeMake(100, 50), kCGInterpolationHigh);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), CGSizeMake(100, 50));
    EXPECT_EQ(pixel(small, 10, 40), red) << "the left half stays on the left, not transposed";
    EXPECT_EQ(pixel(small, 25, 5), red);
    EXPECT_EQ(pixel(small, 90, 25)[3], 0) << "transparency is kept";

    auto fit = resizedImageWithContentModeBoundsInterpolationQuality(image, UIViewContentModeScaleAspectFit,
                                                                     CGSizeMake(100, 100), kCGInterpolationDefault);
    EXPECT_EQ(fit->size(), CGSizeMake(100, 50));
    auto fill = resizedImageWithContentModeBoundsInterpolationQuality(image, UIViewContentModeScaleAspectFill,
                                                                      CGSizeMake(100, 100), kCGInterpolationDefault);
    EXPECT_EQ(fill->size(), CGSizeMake(200, 100));
    try {
        resizedImageWithContentModeBoundsInterpolationQuality(image, UIViewContentModeScaleToFill, CGSizeMake(100, 100),
                                                              kCGInterpolationDefault);
        FAIL() << "mode 0 is not supported";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInvalidArgumentException);
        EXPECT_EQ(e.reason(), "Unsupported content mode: 0");
    }
}

TEST_F(ImageCategoryTests, ResizingASidewaysImageTurnsItUpright) {
    // A 40 x 20 bitmap shown turned right: 20 x 40 points, its bitmap's left (red) on top.
    auto image = halves(40, 20, UIImageOrientationRight);
    EXPECT_EQ(image->size(), CGSizeMake(20, 40));
    auto upright = resizedImageInterpolationQuality(image, CGSizeMake(20, 40), kCGInterpolationNone);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->size(), CGSizeMake(20, 40));
    EXPECT_EQ(pixel(upright, 10, 5), red);
    EXPECT_EQ(pixel(upright, 10, 35), blue);
}

TEST_F(ImageCategoryTests, FixOrientationTurnsTheBitmapUpright) {
    auto up = halves(30, 40);
    EXPECT_EQ(fixOrientation(up), up) << "an upright image is itself";
    auto right = halves(400, 300, UIImageOrientationRight);
    auto fixed = fixOrientation(right);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->imageOrientation(), UIImageOrientationUp);
    EXPECT_EQ(fixed->size(), CGSizeMake(300, 400));
    EXPECT_EQ(pixel(fixed, 150, 50), red) << "the bitmap's left side is the top";
    EXPECT_EQ(pixel(fixed, 150, 350), blue);
    EXPECT_EQ(pixel(fixed, 299, 0)[1], 255) << "the bitmap's top-left corner turns to the top right";

    auto down = fixOrientation(halves(40, 20, UIImageOrientationDown));
    EXPECT_EQ(pixel(down, 5, 10), blue);
    EXPECT_EQ(pixel(down, 35, 10), red);
    auto mirrored = fixOrientation(halves(40, 20, UIImageOrientationUpMirrored));
    EXPECT_EQ(pixel(mirrored, 5, 10), blue);
}

TEST_F(ImageCategoryTests, TransformsForOrientations) {
    EXPECT_TRUE(CGAffineTransformIsIdentity(transformForOrientation(halves(4, 2), CGSizeMake(4, 2))));
    auto t = transformForOrientation(halves(4, 2, UIImageOrientationUpMirrored), CGSizeMake(4, 2));
    EXPECT_EQ(t, CGAffineTransformMake(-1, 0, 0, 1, 4, 0));
    auto r = transformForOrientation(halves(4, 2, UIImageOrientationRight), CGSizeMake(300, 400));
    EXPECT_NEAR(r.tx, 0, 1e-9);
    EXPECT_NEAR(r.ty, 400, 1e-9);
    EXPECT_NEAR(r.b, -1, 1e-9);
}

TEST_F(ImageCategoryTests, RotationGrowsTheBoxAroundTheImage) {
    auto quarter = rotatedByDegrees(halves(100, 50), 90);
    ASSERT_TRUE(quarter);
    EXPECT_NEAR(quarter->size().width, 50, 1e-6);
    EXPECT_NEAR(quarter->size().height, 100, 1e-6);
    // Turned clockwise on the screen: the left (red) half goes to the top.
    EXPECT_EQ(pixel(quarter, 25, 20), red);
    EXPECT_EQ(pixel(quarter, 25, 80), blue);
    auto diagonal = rotatedByDegrees(halves(100, 100), 45);
    EXPECT_NEAR(diagonal->size().width, 141.42, 1) << "whole pixels";
    EXPECT_NEAR(diagonal->size().height, 141.42, 1);
}
