// CGImage: an immutable bitmap. Pixels are 8 bits per component, 32 bits per pixel, kept in the
// drawing library's native layout (premultiplied alpha, or no alpha for opaque images) so that
// drawing an image never converts it. The bitmap info records what the platform would report: a
// decoded PNG or a drawn bitmap is RGBA premultiplied (alpha last), a JPEG has no alpha.
//
// Images come from bitmap contexts (CGBitmapContextCreateImage), from other images (cropping,
// copying) and from PNG and JPEG data (see CGImageCoding.h). No image is larger than
// kCGImageMaximumSide pixels on a side.
#pragma once

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSData.h>

typedef struct _cairo_surface cairo_surface_t;

enum CGImageAlphaInfo : uint32_t {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};

using CGBitmapInfo = uint32_t;
inline constexpr CGBitmapInfo kCGBitmapAlphaInfoMask = 0x1F;
inline constexpr CGBitmapInfo kCGBitmapByteOrderMask = 0x7000;
inline constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Little = 1 << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2 << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Big = 3 << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Big = 4 << 12;

enum CGInterpolationQuality : int32_t {
    kCGInterpolationDefault = 0,
    kCGInterpolationNone = 1,
    kCGInterpolationLow = 2,
    kCGInterpolationMedium = 4,
    kCGInterpolationHigh = 3,
};

enum CGColorRenderingIntent : int32_t {
    kCGRenderingIntentDefault = 0,
    kCGRenderingIntentAbsoluteColorimetric,
    kCGRenderingIntentRelativeColorimetric,
    kCGRenderingIntentPerceptual,
    kCGRenderingIntentSaturation,
};

// The largest width or height, in pixels, of an image or a bitmap context.
inline constexpr size_t kCGImageMaximumSide = 16384;

class CGImage : public NSObject {
    NS_OBJECT(CGImage, NSObject)
public:
    CGImage() = default;
    // Takes over one reference to `surface` (an image surface of the drawing library).
    CGImage(cairo_surface_t* surface, CGColorSpaceRef space, CGBitmapInfo info);
    ~CGImage() override;

    size_t width() const noexcept { return width_; }
    size_t height() const noexcept { return height_; }
    size_t bytesPerRow() const noexcept;
    CGColorSpaceRef colorSpace() const { return space_; }
    CGBitmapInfo bitmapInfo() const noexcept { return info_; }
    bool hasAlpha() const noexcept;
    // The pixels, for the drawing layer; never written.
    cairo_surface_t* surface() const noexcept { return surface_; }

    Ref<NSString> description() const override;

private:
    cairo_surface_t* surface_ = nullptr;
    size_t width_ = 0;
    size_t height_ = 0;
    CGColorSpaceRef space_;
    CGBitmapInfo info_ = kCGImageAlphaPremultipliedLast;
};

using CGImageRef = Ref<CGImage>;

size_t CGImageGetWidth(const CGImageRef& image);
size_t CGImageGetHeight(const CGImageRef& image);
size_t CGImageGetBitsPerComponent(const CGImageRef& image);
size_t CGImageGetBitsPerPixel(const CGImageRef& image);
size_t CGImageGetBytesPerRow(const CGImageRef& image);
CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image);
CGImageAlphaInfo CGImageGetAlphaInfo(const CGImageRef& image);
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image);
// The part of the image inside `rect`, in pixels from the top-left corner; the rectangle is made
// integral and cut to the image. nil when it does not meet the image.
CGImageRef CGImageCreateWithImageInRect(const CGImageRef& image, CGRect rect);
CGImageRef CGImageCreateCopy(const CGImageRef& image);
inline void CGImageRelease(const CGImageRef&) {}

// Reads one pixel (x from the left, y from the top) as straight (not premultiplied) red, green,
// blue and alpha bytes. False outside the image. For tests and the operator, which look at pixels.
bool CGImageGetPixel(const CGImageRef& image, size_t x, size_t y, uint8_t rgba[4]);

// A source of bytes for the image decoders.
class CGDataProvider : public NSObject {
    NS_OBJECT(CGDataProvider, NSObject)
public:
    CGDataProvider() = default;
    explicit CGDataProvider(Ref<NSData> data) : data_(std::move(data)) {}
    Ref<NSData> data() const { return data_; }

private:
    Ref<NSData> data_;
};

using CGDataProviderRef = Ref<CGDataProvider>;

CGDataProviderRef CGDataProviderCreateWithCFData(const Ref<NSData>& data);
Ref<NSData> CGDataProviderCopyData(const CGDataProviderRef& provider);
inline void CGDataProviderRelease(const CGDataProviderRef&) {}
// Decode arrays and rendering intents are not supported: `decode` must be null; the intent is ignored.
CGImageRef CGImageCreateWithPNGDataProvider(const CGDataProviderRef& source, const CGFloat* decode,
                                            bool shouldInterpolate, CGColorRenderingIntent intent);
CGImageRef CGImageCreateWithJPEGDataProvider(const CGDataProviderRef& source, const CGFloat* decode,
                                             bool shouldInterpolate, CGColorRenderingIntent intent);
