// What the pictures of a walked road must show (the simulator's --screenshots): every screen of the
// run has its picture, named for it; no picture is a blank page, except a screen that is meant to
// be a plain fill, and then it is the fill's colour; a test screen or start page shows something
// under its header; no image view on show is empty (but those that get their picture only with a
// result); and no text on show is cut short.
#pragma once

#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>
#include <Foundation/NSData.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreenshot.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace screenshot_checks {

using RGB = std::array<uint8_t, 3>;

// The screens meant to be one plain colour when they appear, and that colour: the colour fills
// start on white.
inline const std::map<std::string, RGB>& plainFills() {
    static const std::map<std::string, RGB> fills = {
        {"FillColorViewController", {255, 255, 255}},
        {"FillColor4ItouchuViewController", {255, 255, 255}},
    };
    return fills;
}

// The test screens and pages that show nothing under their header when they appear, by design:
// the stylus screen's only view is its arrow button, which starts in the top-left corner, over the
// header.
inline const std::set<std::string>& headerOnlyScreens() {
    static const std::set<std::string> screens = {"StylusViewController"};
    return screens;
}

// The image views that a screen shows empty when it appears, because the screen gives them their
// picture only with a result: the marks of a test's steps, the sensors' status lights, the Home
// key's flag and the ambient light's lamp ("light_on" at the pass).
inline bool emptyUntilAResult(const std::string& screen, const std::string& view) {
    static const std::set<std::string> marks = {"step1",     "step2",          "step3", "step4", "step5",
                                                "step6",     "step7",          "step8", "step9", "accelerometerLight",
                                                "gyroLight", "magnetometLight"};
    return marks.count(view) || (screen == "HomeKeyViewController" && view == "flagImage") ||
           (screen == "AmbientLightViewController" && view == "imageView");
}

// A picture's pixels, drawn once into a bitmap whose buffer is read directly (a call per pixel is
// slow under the sanitizers). Pixels are compared as whole 32-bit words.
class Pixels {
public:
    explicit Pixels(const Ref<UIImage>& image) : image_(image->CGImage()) {
        width_ = CGImageGetWidth(image_);
        height_ = CGImageGetHeight(image_);
        context_ = CGBitmapContextCreate(nullptr, width_, height_, 8, 0, CGColorSpaceCreateDeviceRGB(),
                                         kCGImageAlphaPremultipliedLast);
        if (context_) {
            CGContextDrawImage(context_, CGRectMake(0, 0, static_cast<CGFloat>(width_), static_cast<CGFloat>(height_)),
                               image_);
            data_ = static_cast<const uint8_t*>(CGBitmapContextGetData(context_));
            stride_ = CGBitmapContextGetBytesPerRow(context_);
        }
    }
    bool valid() const { return data_ != nullptr; }
    size_t width() const { return width_; }
    size_t height() const { return height_; }
    // The pixel at x from the left and y from the top, as a word to compare.
    uint32_t at(size_t x, size_t y) const {
        uint32_t word;
        std::memcpy(&word, data_ + y * stride_ + x * 4, sizeof word);
        return word;
    }
    // The colour of a pixel, as straight red, green and blue.
    RGB colour(size_t x, size_t y) const {
        uint8_t p[4] = {};
        CGImageGetPixel(image_, x, y, p);
        return RGB{p[0], p[1], p[2]};
    }
    // Whether every pixel of the rows from `top` down has one colour.
    bool isPlainBelow(size_t top) const {
        if (top >= height_) {
            return true;
        }
        uint32_t first = at(0, top);
        for (size_t y = top; y < height_; ++y) {
            for (size_t x = 0; x < width_; ++x) {
                if (at(x, y) != first) {
                    return false;
                }
            }
        }
        return true;
    }
    // Where the header ends: the first row whose leftmost pixel differs from the top-left corner's.
    size_t headerBottom() const {
        uint32_t top = at(0, 0);
        size_t y = 1;
        while (y < height_ && at(0, y) == top) {
            ++y;
        }
        return y;
    }

private:
    CGImageRef image_;
    CGContextRef context_;
    const uint8_t* data_ = nullptr;
    size_t width_ = 0, height_ = 0, stride_ = 0;
};

// The one colour of every pixel of the picture, or nothing when it has more than one.
inline std::optional<RGB> plainColour(const Pixels& pixels) {
    if (!pixels.valid() || !pixels.isPlainBelow(0)) {
        return std::nullopt;
    }
    return pixels.colour(0, 0);
}

// Checks the pictures the recorder wrote under `dir`; `screens` are the classes of the run's test
// screens, each of which must have its picture.
inline void expectUsablePictures(const std::string& dir, const std::set<std::string>& screens) {
    std::vector<UIScreenshotRecord> records;
    for (const auto& record : UIScreenshotRecords()) {
        if (record.path.starts_with(dir)) {
            records.push_back(record);
        }
    }
    ASSERT_FALSE(records.empty()) << "no pictures in " << dir;
    std::set<std::string> pictured;
    for (const auto& record : records) {
        pictured.insert(record.screen);
        auto image = UIImage::imageWithData(NSData::dataWithContentsOfFile(NSString::from(record.path)));
        ASSERT_TRUE(image) << record.path << " does not read as a PNG";
        Pixels pixels(image);
        ASSERT_TRUE(pixels.valid()) << record.path;
        auto plain = plainColour(pixels);
        // A screen's first picture shows it as it appears; a later one (a question, an overlay)
        // only has to show something.
        bool first = record.change.empty();
        auto fill = plainFills().find(record.screen);
        if (!first || fill == plainFills().end()) {
            EXPECT_FALSE(plain) << record.path << ": " << record.screen << " shows nothing but one colour";
        } else {
            ASSERT_TRUE(plain) << record.path << ": " << record.screen << " is to be a plain fill";
            EXPECT_EQ(*plain, fill->second) << record.path << ": " << record.screen << " shows another colour";
        }
        bool page = screens.count(record.screen) || record.screen == "DXStartViewController";
        if (first && page && !plain && !plainFills().count(record.screen) &&
            !headerOnlyScreens().count(record.screen)) {
            EXPECT_FALSE(pixels.isPlainBelow(pixels.headerBottom()))
                << record.path << ": " << record.screen << " shows an empty page under its header";
        }
        for (const auto& view : record.emptyImages) {
            if (emptyUntilAResult(record.screen, view)) {
                continue;
            }
            ADD_FAILURE() << record.path << ": " << record.screen << " shows the image view " << view
                          << " without its image";
        }
        for (const auto& label : record.cutTexts) {
            ADD_FAILURE() << record.path << ": " << record.screen << " cuts the text of " << label << " short";
        }
    }
    for (const auto& screen : screens) {
        EXPECT_TRUE(pictured.count(screen)) << screen << " has no picture";
    }
}

} // namespace screenshot_checks
