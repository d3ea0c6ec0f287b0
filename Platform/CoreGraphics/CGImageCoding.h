// Encoding and decoding of PNG (libpng) and JPEG (libjpeg-turbo) images, the part of the platform's
// image I/O that images need.
//
// Decoding is strict: truncated or corrupt data, an unknown format, or a side of zero or above
// kCGImageMaximumSide pixels gives nil, never a partly decoded image. The orientation travels in
// EXIF (the JPEG APP1 segment, the PNG eXIf chunk), as the EXIF orientation number 1 to 8 (1 when
// absent or invalid).
#pragma once

#include <CoreGraphics/CGImage.h>

#include <string>

enum class CGImageFormat { Unknown, PNG, JPEG };

// The format that the data's signature announces.
CGImageFormat CGImageFormatOfData(const uint8_t* bytes, size_t length);
// Decodes a PNG or JPEG image. On failure answers nil and, when `error` is given, says why.
CGImageRef CGImageCreateFromEncodedData(const uint8_t* bytes, size_t length, int* exifOrientation = nullptr,
                                        std::string* error = nullptr);
// Encodes the image; nil for a nil image. JPEG quality runs from 0 (smallest) to 1 (best).
Ref<NSData> CGImageCreatePNGData(const CGImageRef& image, int exifOrientation = 1);
Ref<NSData> CGImageCreateJPEGData(const CGImageRef& image, CGFloat quality, int exifOrientation = 1);
