// Fuzzes image decoding: PNG and JPEG bytes through the decoder (a whole image or nil, never a
// partial one), then through UIImage, drawing and re-encoding of what decoded.
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImageCoding.h>
#include <Foundation/NSData.h>
#include <Foundation/NSLog.h>
#include <UIKit/UIImage.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool ready = [] {
        NSLogSetHook([](const std::string&) {});
        return true;
    }();
    (void)ready;
    int orientation = 0;
    std::string error;
    auto image = CGImageCreateFromEncodedData(bytes, size, &orientation, &error);
    if (!image) {
        return 0;
    }
    if (orientation < 1 || orientation > 8 || CGImageGetWidth(image) == 0 ||
        CGImageGetWidth(image) > kCGImageMaximumSide || CGImageGetHeight(image) > kCGImageMaximumSide) {
        __builtin_trap();
    }
    uint8_t pixel[4];
    CGImageGetPixel(image, CGImageGetWidth(image) - 1, CGImageGetHeight(image) - 1, pixel);
    // Small images go on through drawing and encoding.
    if (CGImageGetWidth(image) * CGImageGetHeight(image) <= 256 * 256) {
        auto c =
            CGBitmapContextCreate(nullptr, 16, 16, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
        CGContextDrawImage(c, CGRectMake(0, 0, 16, 16), image);
        auto ui = UIImage::imageWithData(NSData::dataWithBytesLength(bytes, size));
        if (!ui) {
            __builtin_trap();
        }
        auto png = UIImagePNGRepresentation(ui);
        if (!png || !CGImageCreateFromEncodedData(png->bytes(), png->length())) {
            __builtin_trap();
        }
    }
    return 0;
}
