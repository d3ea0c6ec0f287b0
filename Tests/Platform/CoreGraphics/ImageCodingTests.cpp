#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImageCoding.h>

#include <gtest/gtest.h>

namespace {

CGImageRef sample(CGImageAlphaInfo info = kCGImageAlphaPremultipliedLast) {
    auto c = CGBitmapContextCreate(nullptr, 30, 20, 8, 0, CGColorSpaceCreateDeviceRGB(), info);
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 30, 20));
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 10, 15, 10)); // top-left quarter red
    CGContextSetRGBFillColor(c, 0, 0, 1, 0.5);
    CGContextClearRect(c, CGRectMake(15, 0, 15, 10));
    CGContextFillRect(c, CGRectMake(15, 0, 15, 10)); // bottom-right half-transparent blue
    return CGBitmapContextCreateImage(c);
}

std::array<uint8_t, 4> pixel(const CGImageRef& image, size_t x, size_t y) {
    std::array<uint8_t, 4> p{};
    CGImageGetPixel(image, x, y, p.data());
    return p;
}

} // namespace

TEST(PNG, RoundTripKeepsPixelsAlphaAndOrientation) {
    auto image = sample();
    auto data = CGImageCreatePNGData(image, 6);
    ASSERT_TRUE(data);
    EXPECT_EQ(CGImageFormatOfData(data->bytes(), data->length()), CGImageFormat::PNG);
    int orientation = 0;
    auto back = CGImageCreateFromEncodedData(data->bytes(), data->length(), &orientation);
    ASSERT_TRUE(back);
    EXPECT_EQ(orientation, 6);
    EXPECT_EQ(CGImageGetWidth(back), 30u);
    EXPECT_EQ(CGImageGetHeight(back), 20u);
    EXPECT_EQ(CGImageGetAlphaInfo(back), kCGImageAlphaPremultipliedLast);
    EXPECT_EQ(pixel(back, 2, 2), (std::array<uint8_t, 4>{255, 0, 0, 255}));
    auto blue = pixel(back, 25, 15);
    EXPECT_EQ(blue[2], 255);
    EXPECT_NEAR(blue[3], 128, 1);

    auto plain = CGImageCreatePNGData(image);
    CGImageCreateFromEncodedData(plain->bytes(), plain->length(), &orientation);
    EXPECT_EQ(orientation, 1);
}

TEST(JPEG, RoundTripKeepsColoursCloseAndOrientation) {
    auto image = sample(kCGImageAlphaNoneSkipLast);
    auto data = CGImageCreateJPEGData(image, 0.9, 3);
    ASSERT_TRUE(data);
    int orientation = 0;
    auto back = CGImageCreateFromEncodedData(data->bytes(), data->length(), &orientation);
    ASSERT_TRUE(back);
    EXPECT_EQ(orientation, 3);
    EXPECT_EQ(CGImageGetAlphaInfo(back), kCGImageAlphaNoneSkipLast);
    auto red = pixel(back, 3, 3);
    EXPECT_GT(red[0], 230);
    EXPECT_LT(red[1], 30);
    EXPECT_EQ(red[3], 255);
    auto white = pixel(back, 27, 3);
    EXPECT_GT(white[1], 230);
    // A lower quality gives fewer bytes.
    EXPECT_LT(CGImageCreateJPEGData(image, 0.1)->length(), data->length());
}

TEST(Decoding, TruncatedCorruptOrForeignDataGivesNil) {
    auto png = CGImageCreatePNGData(sample());
    auto jpeg = CGImageCreateJPEGData(sample(kCGImageAlphaNoneSkipLast), 0.8);
    std::string error;
    for (const auto& data : {png, jpeg}) {
        for (size_t cut : {data->length() / 2, data->length() - 20, size_t(12)}) {
            EXPECT_FALSE(CGImageCreateFromEncodedData(data->bytes(), cut, nullptr, &error)) << cut;
            EXPECT_FALSE(error.empty());
        }
        std::vector<uint8_t> bytes(data->bytes(), data->bytes() + data->length());
        for (size_t i = bytes.size() / 3; i < bytes.size() * 2 / 3; i += 7) {
            bytes[i] ^= 0x5A;
        }
        EXPECT_FALSE(CGImageCreateFromEncodedData(bytes.data(), bytes.size()));
    }
    const uint8_t text[] = "GIF89a not an image we decode";
    EXPECT_FALSE(CGImageCreateFromEncodedData(text, sizeof text, nullptr, &error));
    EXPECT_FALSE(CGImageCreateFromEncodedData(nullptr, 0));
}

TEST(Decoding, RefusesImagesLargerThanTheLimit) {
    // A PNG header announcing 20000 x 1 pixels.
    auto png = CGImageCreatePNGData(sample());
    std::vector<uint8_t> bytes(png->bytes(), png->bytes() + png->length());
    bytes[16] = 0, bytes[17] = 0, bytes[18] = 0x4E, bytes[19] = 0x20;
    // The chunk's CRC (over type and data) must stay right for the header to be read.
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
    }
    crc ^= 0xFFFFFFFF;
    for (int k = 0; k < 4; ++k) {
        bytes[29 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
    }
    std::string error;
    EXPECT_FALSE(CGImageCreateFromEncodedData(bytes.data(), bytes.size(), nullptr, &error));
    EXPECT_NE(error.find("16384"), std::string::npos) << error;
}

TEST(DataProvider, ThePlatformDecodersCheckTheFormat) {
    auto png = CGImageCreatePNGData(sample());
    auto provider = CGDataProviderCreateWithCFData(png);
    EXPECT_TRUE(CGImageCreateWithPNGDataProvider(provider, nullptr, true, kCGRenderingIntentDefault));
    EXPECT_FALSE(CGImageCreateWithJPEGDataProvider(provider, nullptr, true, kCGRenderingIntentDefault));
}
