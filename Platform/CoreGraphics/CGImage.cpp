#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGImageCoding.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <cairo.h>

#include <cmath>
#include <cstring>

NS_IMPLEMENT_CLASS(CGImage, NSObject) {}
NS_IMPLEMENT_CLASS(CGDataProvider, NSObject) {}

CGImage::CGImage(cairo_surface_t* surface, CGColorSpaceRef space, CGBitmapInfo info)
    : surface_(surface), space_(space ? std::move(space) : CGColorSpaceCreateDeviceRGB()), info_(info) {
    if (surface_) {
        width_ = static_cast<size_t>(cairo_image_surface_get_width(surface_));
        height_ = static_cast<size_t>(cairo_image_surface_get_height(surface_));
    }
}

CGImage::~CGImage() {
    if (surface_) {
        cairo_surface_destroy(surface_);
    }
}

size_t CGImage::bytesPerRow() const noexcept {
    return surface_ ? static_cast<size_t>(cairo_image_surface_get_stride(surface_)) : 0;
}

bool CGImage::hasAlpha() const noexcept {
    auto a = info_ & kCGBitmapAlphaInfoMask;
    return a != kCGImageAlphaNone && a != kCGImageAlphaNoneSkipFirst && a != kCGImageAlphaNoneSkipLast;
}

Ref<NSString> CGImage::description() const {
    return NSString::stringWithFormat("<CGImage %p> (%zu x %zu)", static_cast<const void*>(this), width_, height_);
}

size_t CGImageGetWidth(const CGImageRef& image) {
    return image ? image->width() : 0;
}

size_t CGImageGetHeight(const CGImageRef& image) {
    return image ? image->height() : 0;
}

size_t CGImageGetBitsPerComponent(const CGImageRef& image) {
    return image ? 8 : 0;
}

size_t CGImageGetBitsPerPixel(const CGImageRef& image) {
    return image ? 32 : 0;
}

size_t CGImageGetBytesPerRow(const CGImageRef& image) {
    return image ? image->bytesPerRow() : 0;
}

CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image) {
    return image ? image->colorSpace() : nullptr;
}

CGImageAlphaInfo CGImageGetAlphaInfo(const CGImageRef& image) {
    return image ? static_cast<CGImageAlphaInfo>(image->bitmapInfo() & kCGBitmapAlphaInfoMask) : kCGImageAlphaNone;
}

CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image) {
    return image ? image->bitmapInfo() : 0;
}

CGImageRef CGImageCreateWithImageInRect(const CGImageRef& image, CGRect rect) {
    if (!image) {
        return nullptr;
    }
    rect = CGRectStandardize(rect);
    if (!std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) || !std::isfinite(rect.size.width) ||
        !std::isfinite(rect.size.height)) {
        return nullptr;
    }
    CGRect cut = CGRectIntersection(CGRectIntegral(rect), CGRectMake(0, 0, static_cast<double>(image->width()),
                                                                     static_cast<double>(image->height())));
    if (CGRectIsNull(cut) || CGRectIsEmpty(cut)) {
        return nullptr;
    }
    int x = static_cast<int>(cut.origin.x), y = static_cast<int>(cut.origin.y);
    int w = static_cast<int>(cut.size.width), h = static_cast<int>(cut.size.height);
    cairo_surface_t* src = image->surface();
    cairo_format_t format = cairo_image_surface_get_format(src);
    cairo_surface_t* out = cairo_image_surface_create(format, w, h);
    if (cairo_surface_status(out) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(out);
        return nullptr;
    }
    cairo_surface_flush(src);
    const unsigned char* from = cairo_image_surface_get_data(src);
    int fromStride = cairo_image_surface_get_stride(src);
    unsigned char* to = cairo_image_surface_get_data(out);
    int toStride = cairo_image_surface_get_stride(out);
    for (int row = 0; row < h; ++row) {
        std::memcpy(to + row * toStride, from + (y + row) * fromStride + x * 4, static_cast<size_t>(w) * 4);
    }
    cairo_surface_mark_dirty(out);
    return make<CGImage>(out, image->colorSpace(), image->bitmapInfo());
}

CGImageRef CGImageCreateCopy(const CGImageRef& image) {
    if (!image) {
        return nullptr;
    }
    return CGImageCreateWithImageInRect(
        image, CGRectMake(0, 0, static_cast<double>(image->width()), static_cast<double>(image->height())));
}

bool CGImageGetPixel(const CGImageRef& image, size_t x, size_t y, uint8_t rgba[4]) {
    if (!image || x >= image->width() || y >= image->height()) {
        return false;
    }
    cairo_surface_t* s = image->surface();
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    uint32_t px;
    std::memcpy(&px, data + y * static_cast<size_t>(cairo_image_surface_get_stride(s)) + x * 4, 4);
    bool alpha = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32;
    uint32_t a = alpha ? (px >> 24) & 0xFF : 0xFF;
    uint32_t r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
    if (a > 0 && a < 255) {
        r = (r * 255 + a / 2) / a;
        g = (g * 255 + a / 2) / a;
        b = (b * 255 + a / 2) / a;
    }
    rgba[0] = static_cast<uint8_t>(std::min<uint32_t>(r, 255));
    rgba[1] = static_cast<uint8_t>(std::min<uint32_t>(g, 255));
    rgba[2] = static_cast<uint8_t>(std::min<uint32_t>(b, 255));
    rgba[3] = static_cast<uint8_t>(a);
    return true;
}

CGDataProviderRef CGDataProviderCreateWithCFData(const Ref<NSData>& data) {
    return data ? make<CGDataProvider>(data) : nullptr;
}

Ref<NSData> CGDataProviderCopyData(const CGDataProviderRef& provider) {
    return provider ? provider->data() : nullptr;
}

namespace {
CGImageRef decodeAs(const CGDataProviderRef& source, const CGFloat* decode, CGImageFormat format) {
    if (!source || !source->data() || decode) {
        return nullptr;
    }
    auto data = source->data();
    if (CGImageFormatOfData(data->bytes(), data->length()) != format) {
        return nullptr;
    }
    return CGImageCreateFromEncodedData(data->bytes(), data->length());
}
} // namespace

CGImageRef CGImageCreateWithPNGDataProvider(const CGDataProviderRef& source, const CGFloat* decode, bool,
                                            CGColorRenderingIntent) {
    return decodeAs(source, decode, CGImageFormat::PNG);
}

CGImageRef CGImageCreateWithJPEGDataProvider(const CGDataProviderRef& source, const CGFloat* decode, bool,
                                             CGColorRenderingIntent) {
    return decodeAs(source, decode, CGImageFormat::JPEG);
}
